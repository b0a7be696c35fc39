// The last few image files decoded, kept with their bytes: a file read again
// with the same bytes is copied from here instead of being decoded again (a
// game loads the same sprite sheets and backgrounds on every floor it enters).
// What it keeps is in the tracked allocator, counted with the library's memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/base_image.h"

namespace qz {

// Pixels the memo lends: shared with it and with every other borrower.
using LentPixels = std::shared_ptr<const std::uint8_t>;

// A copy of what `bytes` decoded to when they were last read under `name`
// with this mirror flag; false (and `image` untouched) when not kept.
bool CopyRememberedDecode(const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror,
                          BaseImage* image);
// As CopyRememberedDecode, but the kept pixels are lent, not copied: `image`
// points into them and `lent` keeps them alive however the memo changes
// after. Lent pixels are only read; they are never freed through `image`.
bool LendRememberedDecode(const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror,
                          BaseImage* image, LentPixels* lent);
// Keeps a copy of `image`, decoded from `bytes` read under `name`; the oldest
// entry makes room. Images of block (DXT) data or with mip levels are not kept.
void RememberDecode(const std::string& name, const std::vector<std::uint8_t>& bytes, int mirror,
                    const BaseImage& image);
// Frees every entry: the library end calls it before it lists the blocks
// still live, so that only blocks left behind by their owners are listed.
void ForgetRememberedDecodes();

}  // namespace qz
