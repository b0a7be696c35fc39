// The decoded-file memo: a short list, most recent last, behind one lock (the
// file threads decode too). Entries hold their pixels outside the tracked
// allocator, whose counts stay those of the images handed out.
#include "image/decoded_file_memo.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "core/memory.h"

namespace qz {
namespace {

constexpr std::size_t kMaxEntries = 16;
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{48} << 20;

struct Entry {
  std::string name;
  std::vector<std::uint8_t> bytes;
  int mirror = 0;
  BaseImage image{};  // pixels null: they are in `pixels`
  std::vector<std::uint8_t> pixels;
};

struct Memo {
  std::mutex mutex;
  std::vector<Entry> entries;
  std::uint64_t pixelBytes = 0;
};

Memo& TheMemo() {
  static Memo memo;
  return memo;
}

std::uint64_t PixelBytes(const BaseImage& image) { return std::uint64_t{image.pitch} * image.height; }

void DropOldest(Memo& memo) {
  memo.pixelBytes -= memo.entries.front().pixels.size();
  memo.entries.erase(memo.entries.begin());
}

}  // namespace

bool CopyRememberedDecode(const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror,
                          BaseImage* image) {
  Memo& memo = TheMemo();
  std::lock_guard<std::mutex> lock(memo.mutex);
  for (auto entry = memo.entries.begin(); entry != memo.entries.end(); ++entry) {
    if (entry->mirror != mirror || entry->name != name || entry->bytes != bytes) continue;
    const std::size_t size = entry->pixels.size();
    auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC(size > 0 ? size : 1));
    if (pixels == nullptr) return false;
    std::memcpy(pixels, entry->pixels.data(), size);
    *image = entry->image;
    image->pixels = pixels;
    // Most recently used last, so that it is dropped last.
    std::rotate(entry, entry + 1, memo.entries.end());
    return true;
  }
  return false;
}

void RememberDecode(const std::string& name, std::vector<std::uint8_t> bytes, int mirror, const BaseImage& image) {
  if (image.format.dxtKind != 0 || image.mipLevels >= 2 || image.pixels == nullptr) return;
  const std::uint64_t size = PixelBytes(image);
  if (size > kMaxPixelBytes) return;
  Memo& memo = TheMemo();
  std::lock_guard<std::mutex> lock(memo.mutex);
  for (auto entry = memo.entries.begin(); entry != memo.entries.end(); ++entry) {
    if (entry->mirror == mirror && entry->name == name) {
      memo.pixelBytes -= entry->pixels.size();
      memo.entries.erase(entry);
      break;
    }
  }
  while (!memo.entries.empty() && (memo.entries.size() >= kMaxEntries || memo.pixelBytes + size > kMaxPixelBytes)) {
    DropOldest(memo);
  }
  Entry entry{name, std::move(bytes), mirror, image, std::vector<std::uint8_t>(image.pixels, image.pixels + size)};
  entry.image.pixels = nullptr;
  memo.pixelBytes += size;
  memo.entries.push_back(std::move(entry));
}

}  // namespace qz
