// A converter over a memory stream of test bytes, and a fixture that loads
// the compression manager, restores the disable bits and fails a test that
// leaves a tracked block or a manager stream behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "core/file_access.h"
#include "core/memory.h"
#include "platform/acm.h"
#include "sound/sound_converter.h"
#include "support/scratch_log.h"
#include "sound/sound_test_files.h"

namespace qz::testing {

class ConverterOver {
 public:
  explicit ConverterOver(const Bytes& bytes) : bytes_(bytes) {
    stream_ = OpenMemoryStream(bytes_.data(), bytes_.size());
    result_ = SetupSoundConverter(GetMemoryStreamInterface(), stream_, &converter_);
  }
  ~ConverterOver() {
    ReleaseSoundConverter(&converter_);
    CloseMemoryStream(stream_);
  }
  ConverterOver(const ConverterOver&) = delete;
  ConverterOver& operator=(const ConverterOver&) = delete;

  bool ok() const { return result_ == 0; }
  SoundConverter* get() { return &converter_; }
  SoundConverter* operator->() { return &converter_; }

  // Everything left, read in pieces of the given size.
  Bytes ReadAll(std::uint32_t piece = 4096) {
    Bytes out;
    Bytes buffer(piece);
    for (;;) {
      const int got = ReadConvertedPcm(&converter_, buffer.data(), piece);
      if (got <= 0) break;
      out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
  }

 private:
  Bytes bytes_;
  MemoryStream* stream_ = nullptr;
  SoundConverter converter_{};
  int result_ = -1;
};

class ConverterTest : public ScratchLogTest {
 protected:
  void SetUp() override {
    ScratchLogTest::SetUp();
    InitStreamInterfaces();
    ASSERT_EQ(LoadAcmEntryPoints(), 0);
    SetSoundConverterDisableBits(0);
    SetOggVorbisSampleBytes(2);
    blocksBefore_ = GetTrackedBlockCount();
    streamsBefore_ = plat::GetOpenAcmStreamCount();
  }
  void TearDown() override {
    EXPECT_EQ(GetTrackedBlockCount(), blocksBefore_) << "a tracked block was left";
    EXPECT_EQ(plat::GetOpenAcmStreamCount(), streamsBefore_) << "a manager stream was left open";
    SetSoundConverterDisableBits(0);
    SetOggVorbisSampleBytes(2);
    FreeAcmEntryPoints();
    ScratchLogTest::TearDown();
  }

  int blocksBefore_ = 0;
  int streamsBefore_ = 0;
};

}  // namespace qz::testing
