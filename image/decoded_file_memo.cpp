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
  const std::uint8_t* data() const { return block_.get(); }
  std::size_t size() const { return size_; }
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
  TrackedBytes pixels;
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
    if (entry->mirror != mirror || entry->name != name || !entry->bytes.Equals(bytes)) continue;
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

void RememberDecode(const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror,
                    const BaseImage& image) {
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
  Entry entry{name, TrackedBytes(bytes.data(), bytes.size()), mirror, image,
              TrackedBytes(image.pixels, static_cast<std::size_t>(size))};
  // Short of memory the file is simply decoded again next time.
  if (!entry.bytes.allocated() || !entry.pixels.allocated()) return;
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
