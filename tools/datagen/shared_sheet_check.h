// The generator's refusal of enemy sheets that share one picture: every kind
// of enemy must look like itself, so two enemy sheets painted pixel for pixel
// alike (and so written byte for byte alike) stop the data set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/datagen/canvas.h"

namespace datagen {

class SharedSheetCheck {
 public:
  // Takes the painted sheet of `fileName`; false, with *error naming both
  // files, when a sheet taken before has the same size and pixels.
  bool Add(const std::string& fileName, const Canvas& canvas, std::string* error);

 private:
  struct Seen {
    std::string fileName;
    int width, height;
    std::vector<std::uint32_t> pixels;
  };
  std::vector<Seen> seen_;
};

}  // namespace datagen
