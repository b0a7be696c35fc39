// The compression manager stand-in: what it suggests and refuses, the entry
// points by name, conversion requests that keep what does not fit, width
// narrowing, and the header discipline.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/acm.h"
#include "platform/module.h"

namespace plat {
namespace {

WaveFormatEx Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  WaveFormatEx format{};
  format.formatTag = WAVE_FORMAT_PCM;
  format.channels = channels;
  format.samplesPerSec = rate;
  format.bitsPerSample = bits;
  format.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
  format.avgBytesPerSec = rate * format.blockAlign;
  return format;
}

WaveFormatEx SuggestFor(const WaveFormatEx& source, MMRESULT* result) {
  WaveFormatEx suggested{};
  suggested.formatTag = WAVE_FORMAT_PCM;
  *result = acmFormatSuggest(nullptr, &source, &suggested, sizeof(suggested), ACM_FORMATSUGGESTF_WFORMATTAG);
  return suggested;
}

class AcmStreamTest : public ::testing::Test {
 protected:
  void Open(const WaveFormatEx& source) {
    MMRESULT result = 0;
    destination_ = SuggestFor(source, &result);
    ASSERT_EQ(result, MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamOpen(&stream_, nullptr, &source, &destination_, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
              MMSYSERR_NOERROR);
  }
  void TearDown() override {
    if (stream_ != nullptr) {
      EXPECT_EQ(acmStreamClose(stream_, 0), MMSYSERR_NOERROR);
    }
  }
  // One prepared conversion; the counts used come back in the header.
  AcmStreamHeader Convert(std::vector<std::uint8_t>& source, std::vector<std::uint8_t>& destination) {
    AcmStreamHeader header{};
    header.structSize = sizeof(header);
    header.source = source.data();
    header.sourceLength = static_cast<std::uint32_t>(source.size());
    header.destination = destination.data();
    header.destinationLength = static_cast<std::uint32_t>(destination.size());
    EXPECT_EQ(acmStreamPrepareHeader(stream_, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamConvert(stream_, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamUnprepareHeader(stream_, &header, 0), MMSYSERR_NOERROR);
    return header;
  }

  AcmStreamHandle stream_ = nullptr;
  WaveFormatEx destination_{};
};

TEST(AcmFormatTest, SuggestsSixteenBitPcmOfTheSameLayoutOrRefuses) {
  MMRESULT result = 0;
  WaveFormatEx suggested = SuggestFor(Pcm(1, 11025, 8), &result);
  EXPECT_EQ(result, MMSYSERR_NOERROR);
  EXPECT_EQ(suggested.bitsPerSample, 8) << "8-bit PCM stays 8-bit";
  suggested = SuggestFor(Pcm(2, 48000, 24), &result);
  EXPECT_EQ(result, MMSYSERR_NOERROR);
  EXPECT_EQ(suggested.bitsPerSample, 16);
  EXPECT_EQ(suggested.blockAlign, 4);
  EXPECT_EQ(suggested.avgBytesPerSec, 48000u * 4);
  EXPECT_EQ(suggested.samplesPerSec, 48000u);

  WaveFormatEx mp3{};
  mp3.formatTag = WAVE_FORMAT_MPEGLAYER3;
  mp3.channels = 2;
  mp3.samplesPerSec = 44100;
  mp3.blockAlign = 1;
  suggested = SuggestFor(mp3, &result);
  EXPECT_EQ(result, MMSYSERR_NOERROR);
  EXPECT_EQ(suggested.blockAlign, 4);

  WaveFormatEx gsm = Pcm(1, 8000, 16);
  gsm.formatTag = 0x31;
  SuggestFor(gsm, &result);
  EXPECT_EQ(result, ACMERR_NOTPOSSIBLE);
  WaveFormatEx noChannels = Pcm(1, 8000, 16);
  noChannels.channels = 0;
  SuggestFor(noChannels, &result);
  EXPECT_EQ(result, ACMERR_NOTPOSSIBLE);
  WaveFormatEx ima = Pcm(1, 8000, 16);
  ima.formatTag = WAVE_FORMAT_IMA_ADPCM;  // IMA ADPCM is 4 bits a sample
  SuggestFor(ima, &result);
  EXPECT_EQ(result, ACMERR_NOTPOSSIBLE);

  WaveFormatEx notPcm{};
  notPcm.formatTag = WAVE_FORMAT_MPEGLAYER3;
  const WaveFormatEx source = Pcm(1, 8000, 16);
  EXPECT_EQ(acmFormatSuggest(nullptr, &source, &notPcm, sizeof(notPcm), ACM_FORMATSUGGESTF_WFORMATTAG),
            ACMERR_NOTPOSSIBLE);
  std::uint32_t largest = 0;
  ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest), MMSYSERR_NOERROR);
  EXPECT_GE(largest, 30u);
}

TEST(AcmFormatTest, EntryPointsAreFoundByNameAndTheModuleCanBeAbsent) {
  ModuleHandle module = LoadLibraryA("MSACM32.DLL");
  ASSERT_NE(module, nullptr);
  for (const char* name : {"acmFormatSuggest", "acmStreamOpen", "acmStreamClose", "acmMetrics", "acmStreamPrepareHeader",
                           "acmStreamConvert", "acmStreamUnprepareHeader", "acmStreamSize"}) {
    EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  }
  EXPECT_EQ(GetProcAddress(module, "acmDriverOpen"), nullptr);
  FreeLibrary(module);
  SetModuleAbsentForTest("msacm32.dll", true);
  EXPECT_EQ(LoadLibraryA("msacm32.dll"), nullptr);
  SetModuleAbsentForTest("msacm32.dll", false);
}

TEST_F(AcmStreamTest, OutputThatDoesNotFitIsDeliveredByTheNextRequest) {
  Open(Pcm(2, 44100, 16));
  std::vector<std::uint8_t> source(2048);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 7);
  std::vector<std::uint8_t> small(600);
  AcmStreamHeader header = Convert(source, small);
  std::vector<std::uint8_t> out(small.begin(), small.begin() + header.destinationLengthUsed);
  std::vector<std::uint8_t> none;
  while (header.destinationLengthUsed != 0) {
    header = Convert(none, small);
    out.insert(out.end(), small.begin(), small.begin() + header.destinationLengthUsed);
  }
  EXPECT_EQ(out, source);
}

TEST_F(AcmStreamTest, WideSamplesKeepTheirTopSixteenBits) {
  Open(Pcm(1, 8000, 24));
  std::vector<std::uint8_t> source = {0x11, 0x22, 0x33, 0xAA, 0xBB, 0xCC, 0x01};  // and a partial sample
  std::vector<std::uint8_t> destination(64);
  const AcmStreamHeader header = Convert(source, destination);
  EXPECT_EQ(header.sourceLengthUsed, 6u) << "the partial sample stays with the caller";
  ASSERT_EQ(header.destinationLengthUsed, 4u);
  EXPECT_EQ(std::vector<std::uint8_t>(destination.begin(), destination.begin() + 4),
            (std::vector<std::uint8_t>{0x22, 0x33, 0xBB, 0xCC}));
  std::uint32_t bound = 0;
  ASSERT_EQ(acmStreamSize(stream_, 3000, &bound, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(bound, 2000u);
}

TEST_F(AcmStreamTest, RefusesUnpreparedHeadersAndMismatchedOutput) {
  const WaveFormatEx source = Pcm(2, 22050, 16);
  WaveFormatEx wrongRate = Pcm(2, 44100, 16);
  AcmStreamHandle stream = nullptr;
  EXPECT_EQ(acmStreamOpen(&stream, nullptr, &source, &wrongRate, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(stream, nullptr);
  Open(source);
  std::vector<std::uint8_t> bytes(16);
  AcmStreamHeader header{};
  header.structSize = sizeof(header);
  header.source = bytes.data();
  header.sourceLength = 16;
  header.destination = bytes.data();
  header.destinationLength = 16;
  EXPECT_EQ(acmStreamConvert(stream_, &header, 0), ACMERR_UNPREPARED);
  EXPECT_EQ(acmStreamUnprepareHeader(stream_, &header, 0), ACMERR_UNPREPARED);
  header.structSize = 8;
  EXPECT_EQ(acmStreamPrepareHeader(stream_, &header, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(acmStreamConvert(nullptr, &header, 0), MMSYSERR_INVALHANDLE);
}

// G.711 codes and their 16-bit samples, worked out by hand from the segment
// rules: sign, three segment bits, four step bits (A-law with its even bits
// inverted, µ-law with all bits inverted and a bias of 0x84).
TEST_F(AcmStreamTest, G711CodesExpandToTheirSegmentValues) {
  struct Case {
    std::uint16_t tag;
    std::vector<std::uint8_t> codes;
    std::vector<std::int16_t> samples;
  };
  const Case cases[] = {
      // 0xD5/0x55: segment 0, step 0 -> ±8; 0xAA/0x2A: segment 7, step 15 ->
      // (0xF0 + 0x108) << 6; 0xC5, 0xF5: segments 1 and 2, step 0 -> 0x108 << 0, 1.
      {WAVE_FORMAT_ALAW, {0xD5, 0x55, 0xAA, 0x2A, 0xC5, 0xF5}, {8, -8, 32256, -32256, 264, 528}},
      // 0xFF/0x7F: zero either sign; 0x00/0x80: (0x78 + 0x84) << 7 - 0x84;
      // 0xF0: (0x78 + 0x84) - 0x84; 0xEF: 0x10 -> (0 + 0x84) << 1 - 0x84.
      {WAVE_FORMAT_MULAW, {0xFF, 0x7F, 0x00, 0x80, 0xF0, 0xEF}, {0, 0, -32124, 32124, 120, 132}},
  };
  for (const Case& c : cases) {
    WaveFormatEx source = Pcm(2, 8000, 8);
    source.formatTag = c.tag;
    Open(source);
    EXPECT_EQ(destination_.bitsPerSample, 16);
    EXPECT_EQ(destination_.blockAlign, 4);
    std::vector<std::uint8_t> codes = c.codes;
    std::vector<std::uint8_t> destination(64);
    const AcmStreamHeader header = Convert(codes, destination);
    EXPECT_EQ(header.sourceLengthUsed, codes.size());
    ASSERT_EQ(header.destinationLengthUsed, 2 * codes.size());
    std::vector<std::int16_t> samples(codes.size());
    std::memcpy(samples.data(), destination.data(), 2 * codes.size());
    EXPECT_EQ(samples, c.samples) << "tag " << c.tag;
    ASSERT_EQ(acmStreamClose(stream_, 0), MMSYSERR_NOERROR);
    stream_ = nullptr;
  }
  // Codes of more than eight bits are not G.711.
  WaveFormatEx wide = Pcm(1, 8000, 16);
  wide.formatTag = WAVE_FORMAT_MULAW;
  MMRESULT result = 0;
  SuggestFor(wide, &result);
  EXPECT_EQ(result, ACMERR_NOTPOSSIBLE);
}

}  // namespace
}  // namespace plat
