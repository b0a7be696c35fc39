// A fixture that owns the image a test decodes and checks that no tracked
// block outlives the test, whatever the decoder accepted or refused.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/memory.h"
#include "image/image_decode.h"
#include "image/png_jpeg_writer.h"

namespace qz::testing {

class DecodedImageTest : public ::testing::Test {
 protected:
  void SetUp() override { blocks_ = GetTrackedBlockCount(); }
  void TearDown() override {
    FreeBaseImagePixels(&image_);
    EXPECT_EQ(GetTrackedBlockCount(), blocks_);
  }
  int DecodeWith(ImageDecoder decoder, const std::vector<std::uint8_t>& bytes) {
    FreeBaseImagePixels(&image_);
    return DecodeBytes(decoder, bytes, &image_);
  }

  BaseImage image_{};
  int blocks_ = 0;
};

}  // namespace qz::testing
