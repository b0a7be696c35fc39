#include "tools/datagen/shared_sheet_check.h"

namespace datagen {

bool SharedSheetCheck::Add(const std::string& fileName, const Canvas& canvas, std::string* error) {
  for (const Seen& earlier : seen_) {
    if (earlier.width == canvas.width() && earlier.height == canvas.height() && earlier.pixels == canvas.pixels()) {
      if (error != nullptr) {
        *error = "enemy sheets " + earlier.fileName + " and " + fileName +
                 " are the same picture: every kind of enemy needs its own art";
      }
      return false;
    }
  }
  seen_.push_back({fileName, canvas.width(), canvas.height(), canvas.pixels()});
  return true;
}

}  // namespace datagen
