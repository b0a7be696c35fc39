// The decoded-file memo: a short list, most recent last, behind one lock (the
// file threads decode too). Entries keep their file bytes and pixels in the
// tracked allocator, so the library's memory counts and its end dump show
// what the memo holds; the library end empties it.
#include "image/decoded_file_memo.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "core/memory.h"

namespace qz {
namespace {

constexpr std::size_t kMaxEntries = 16;
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{48} << 20;

struct TrackedFree {
  void operator()(std::uint8_t* block) const { QZ_FREE(block); }
};

// Bytes in one tracked block.
class TrackedBytes {
 public:
  TrackedBytes() = default;
  // Empty (and allocated() false) when memory runs out.
  explicit TrackedBytes(const std::uint8_t* bytes, std::size_t size)
      : block_(static_cast<std::uint8_t*>(QZ_ALLOC(size > 0 ? size : 1))), size_(block_ != nullptr ? size : 0) {
    if (block_ != nullptr && size > 0) std::memcpy(block_.get(), bytes, size);
  }
  bool allocated() const { return block_ != nullptr; }
  bool Equals(const std::vector<std::uint8_t>& bytes) const {
    return bytes.size() == size_ && (size_ == 0 || std::memcmp(bytes.data(), block_.get(), size_) == 0);
  }

 private:
  std::unique_ptr<std::uint8_t[], TrackedFree> block_;
  std::size_t size_ = 0;
};

struct Entry {
  std::string name;
  TrackedBytes bytes;
  int mirror = 0;
  BaseImage image{};  // pixels null: they are in `pixels`
  // Shared with borrowers, so that dropping the entry never frees pixels a
  // borrower still reads; nothing writes them once kept.
  std::shared_ptr<const std::uint8_t> pixels;
  std::size_t pixelSize = 0;
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
  memo.pixelBytes -= memo.entries.front().pixelSize;
  memo.entries.erase(memo.entries.begin());
}

// The entry for these bytes read under `name`, moved last (most recently
// used, dropped last); null when none. Callers hold the memo's lock.
Entry* FindEntry(Memo& memo, const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror) {
  for (auto entry = memo.entries.begin(); entry != memo.entries.end(); ++entry) {
    if (entry->mirror != mirror || entry->name != name || !entry->bytes.Equals(bytes)) continue;
    std::rotate(entry, entry + 1, memo.entries.end());
    return &memo.entries.back();
  }
  return nullptr;
}

}  // namespace

bool CopyRememberedDecode(const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror,
                          BaseImage* image) {
  Memo& memo = TheMemo();
  std::lock_guard<std::mutex> lock(memo.mutex);
  const Entry* entry = FindEntry(memo, name, bytes, mirror);
  if (entry == nullptr) return false;
  auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC(entry->pixelSize > 0 ? entry->pixelSize : 1));
  if (pixels == nullptr) return false;
  std::memcpy(pixels, entry->pixels.get(), entry->pixelSize);
  *image = entry->image;
  image->pixels = pixels;
  return true;
}

bool LendRememberedDecode(const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror,
                          BaseImage* image, LentPixels* lent) {
  Memo& memo = TheMemo();
  std::lock_guard<std::mutex> lock(memo.mutex);
  const Entry* entry = FindEntry(memo, name, bytes, mirror);
  if (entry == nullptr) return false;
  *lent = entry->pixels;
  *image = entry->image;
  // The record's type has no const pixels; the borrower only reads them.
  image->pixels = const_cast<std::uint8_t*>(entry->pixels.get());
  return true;
}

void RememberDecode(const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror,
                    const BaseImage& image) {
  if (image.format.dxtKind != 0 || image.mipLevels >= 2 || image.pixels == nullptr) return;
  const std::uint64_t size = PixelBytes(image);
  if (size > kMaxPixelBytes) return;
  Memo& memo = TheMemo();
  std::lock_guard<std::mutex> lock(memo.mutex);
  for (auto entry = memo.entries.begin(); entry != memo.entries.end(); ++entry) {
    if (entry->mirror == mirror && entry->name == name) {
      memo.pixelBytes -= entry->pixelSize;
      memo.entries.erase(entry);
      break;
    }
  }
  while (!memo.entries.empty() && (memo.entries.size() >= kMaxEntries || memo.pixelBytes + size > kMaxPixelBytes)) {
    DropOldest(memo);
  }
  const auto pixelSize = static_cast<std::size_t>(size);
  auto* pixels = static_cast<std::uint8_t*>(QZ_ALLOC(pixelSize > 0 ? pixelSize : 1));
  // Short of memory the file is simply decoded again next time.
  if (pixels == nullptr) return;
  std::memcpy(pixels, image.pixels, pixelSize);
  Entry entry{name, TrackedBytes(bytes.data(), bytes.size()), mirror, image,
              std::shared_ptr<const std::uint8_t>(pixels, TrackedFree{}), pixelSize};
  if (!entry.bytes.allocated()) return;
  entry.image.pixels = nullptr;
  memo.pixelBytes += size;
  memo.entries.push_back(std::move(entry));
}

void ForgetRememberedDecodes() {
  Memo& memo = TheMemo();
  std::lock_guard<std::mutex> lock(memo.mutex);
  memo.entries.clear();
  memo.pixelBytes = 0;
}

}  // namespace qz
