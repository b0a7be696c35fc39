// Converters: the wave chunk walk and its refusals, the decoder chain and its
// disable bits, compressed wave through the compression manager, the MP3
// frame scan, Ogg Vorbis, and MP3 decoded whole into memory.
#include <gtest/gtest.h>

#include "core/log_text.h"
#include "core/window_state.h"
#include "platform/module.h"
#include "sound/converter_fixture.h"
#include "sound/decoded_pcm_source.h"

namespace qz::testing {
namespace {

using SoundConverterWaveTest = ConverterTest;

const FormatFields kStereo16 = PcmFields(2, 44100, 16);

TEST_F(SoundConverterWaveTest, PcmDataComesOutByteForByteWhateverChunksSurroundIt) {
  const Bytes data = CounterPcm16(2000);
  Bytes oddChunk(5, 0xAB);
  const Bytes file = WaveBuilder()
                         .Chunk("bext", Bytes(602, 0x11))
                         .Chunk("fmt ", FormatBody(kStereo16))
                         .Chunk("LIST", Bytes(33, 0x22))
                         .Chunk("odd ", oddChunk)
                         .Chunk("data", data)
                         .Chunk("LIST", Bytes(40, 0x33))
                         .Build();
  ConverterOver converter(file);
  ASSERT_TRUE(converter.ok());
  EXPECT_EQ(converter->kind, kSoundConverterWav);
  EXPECT_EQ(GetConverterPcmSize(converter.get()), static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(converter.ReadAll(1000), data);
  Bytes buffer(16);
  EXPECT_EQ(ReadConvertedPcm(converter.get(), buffer.data(), 16), 0) << "the end stays the end";
  // 8-bit samples play as they stand; an empty data chunk at the file's end
  // is a sound of nothing.
  const Bytes bytes8 = {0x80, 0x00, 0xFF, 0x7F, 0x81};
  ConverterOver mono8(PcmWave(PcmFields(1, 8000, 8), bytes8));
  ASSERT_TRUE(mono8.ok());
  EXPECT_EQ(mono8->kind, kSoundConverterWav);
  EXPECT_EQ(mono8.ReadAll(), bytes8);
  ConverterOver empty(PcmWave(kStereo16, {}));
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(GetConverterPcmSize(empty.get()), 0);
}

TEST_F(SoundConverterWaveTest, SixteenByteFormatTakesItsBitsFromBlockAlignAndChannels) {
  // A byte rate the file got wrong (1) is worked out again; extra format
  // bytes do not reach the output format.
  for (const std::uint16_t channels : {2, 1}) {
    FormatFields fields = PcmFields(channels, 44100, 16);
    fields.bits = 0;
    fields.avgBytes = 1;
    for (const bool sixteen : {true, false}) {
      if (!sixteen) fields.bits = 16;
      const Bytes body = sixteen ? FormatBody(fields, false) : FormatBody(fields, true, {1, 2});
      ConverterOver converter(WaveBuilder().Chunk("fmt ", body).Chunk("data", CounterPcm16(64)).Build());
      ASSERT_TRUE(converter.ok()) << channels << " " << body.size();
      plat::WaveFormatEx format{};
      ASSERT_EQ(GetConverterPcmFormat(converter.get(), &format), 0);
      EXPECT_EQ(format.bitsPerSample, 16);
      EXPECT_EQ(format.extraSize, 0);
      EXPECT_EQ(format.avgBytesPerSec, 44100u * 2 * channels);
    }
  }
}

TEST_F(SoundConverterWaveTest, SeekingLandsOnTheSampleFrame) {
  const Bytes data = CounterPcm16(20000);
  ConverterOver converter(PcmWave(kStereo16, data));
  ASSERT_TRUE(converter.ok());
  Bytes first(400);
  ASSERT_EQ(ReadConvertedPcm(converter.get(), first.data(), 400), 400);
  ASSERT_EQ(SeekSoundConverter(converter.get(), 3000), 0);
  EXPECT_EQ(converter.ReadAll(777), Bytes(data.begin() + 3000 * 4, data.end()));
  ASSERT_EQ(SeekSoundConverter(converter.get(), 0), 0);
  EXPECT_EQ(converter.ReadAll(), data);
}

TEST_F(SoundConverterWaveTest, DataChunkClaimingMoreThanTheFileIsClamped) {
  const Bytes data = CounterPcm16(1001);  // ends in half a stereo frame
  const Bytes file = WaveBuilder().Chunk("fmt ", FormatBody(kStereo16)).Chunk("data", data, 0xFFFFFFFF).Build();
  ConverterOver converter(file);
  ASSERT_TRUE(converter.ok());
  EXPECT_EQ(GetConverterPcmSize(converter.get()), 2000);
  plat::WaveFormatEx format{};
  void* pcm = nullptr;
  std::uint32_t size = 0;
  ASSERT_EQ(ConvertWholeSoundToPcm(converter.get(), &format, &pcm, &size), 0);
  EXPECT_EQ(Bytes(static_cast<std::uint8_t*>(pcm), static_cast<std::uint8_t*>(pcm) + size),
            Bytes(data.begin(), data.begin() + 2000));
  QZ_FREE(pcm);
}

TEST_F(SoundConverterWaveTest, RefusesMissingChunksAndZeroOrAbsurdFields) {
  SetSoundConverterDisableBits(kConverterDisableDecodedPcm);
  EXPECT_FALSE(ConverterOver(WaveBuilder().Chunk("fmt ", FormatBody(kStereo16)).Build()).ok()) << "no data";
  EXPECT_FALSE(ConverterOver(WaveBuilder().Chunk("data", CounterPcm16(8)).Build()).ok()) << "no fmt";
  EXPECT_FALSE(ConverterOver(WaveBuilder().Chunk("fmt ", Bytes(14, 1)).Chunk("data", CounterPcm16(8)).Build()).ok())
      << "short fmt";
  const auto opensWith = [](const Bytes& fmt) {
    return ConverterOver(WaveBuilder().Chunk("fmt ", fmt).Chunk("data", CounterPcm16(8)).Build()).ok();
  };
  Bytes fmt15 = FormatBody(kStereo16, false);
  fmt15.pop_back();
  EXPECT_FALSE(opensWith(fmt15)) << "fmt one byte short";
  EXPECT_TRUE(opensWith(FormatBody(kStereo16, true, Bytes(0x10000 - 18, 0)))) << "the largest fmt";
  EXPECT_FALSE(opensWith(FormatBody(kStereo16, true, Bytes(0x10000 - 17, 0)))) << "one byte more";
  EXPECT_FALSE(ConverterOver(WaveBuilder().Chunk("fmt ", Bytes(8, 1), 16).Build()).ok()) << "cut inside fmt";
  EXPECT_FALSE(ConverterOver(WaveBuilder().Chunk("fmt ", FormatBody(kStereo16)).Chunk("LIST", {}, 1000).Build()).ok())
      << "a chunk past the end";
  Bytes notRiff = PcmWave(kStereo16, CounterPcm16(8));
  notRiff[0] = 'X';
  EXPECT_FALSE(ConverterOver(notRiff).ok());

  const struct {
    const char* what;
    void (*change)(FormatFields&);
  } refusals[] = {
      {"no channels", [](FormatFields& f) { f.channels = 0; }},
      {"rate 0", [](FormatFields& f) { f.rate = 0, f.avgBytes = 4; }},
      {"block align 0", [](FormatFields& f) { f.blockAlign = 0, f.avgBytes = 1; }},
      {"absurd rate", [](FormatFields& f) { f.rate = f.avgBytes = 0xFFFFFFFF; }},
      {"absurd channels", [](FormatFields& f) { f.channels = 200; }},
      {"nine channels", [](FormatFields& f) { f.channels = 9, f.blockAlign = 18; }},
      {"rate past 384 kHz", [](FormatFields& f) { f.rate = 384001; }},
      {"block align that is no whole frame", [](FormatFields& f) { f.blockAlign = 3; }},
  };
  for (const auto& r : refusals) {
    FormatFields fields = kStereo16;
    r.change(fields);
    EXPECT_FALSE(ConverterOver(PcmWave(fields, CounterPcm16(64))).ok()) << r.what;
  }
  const std::string message = text::kSoundFormatInvalid;
  EXPECT_TRUE(scratch_->Contains(message.substr(0, message.find('('))));
  // The largest of each is a sound.
  EXPECT_TRUE(ConverterOver(PcmWave({1, 8, 44100, 0, 16, 16}, CounterPcm16(64))).ok()) << "eight channels";
  EXPECT_TRUE(ConverterOver(PcmWave({1, 2, 384000, 0, 4, 16}, CounterPcm16(64))).ok()) << "384 kHz";
}


using SoundConverterChainTest = ConverterTest;

TEST_F(SoundConverterChainTest, PcmWaveWithItsAttemptDisabledGoesThroughTheManagerUnchanged) {
  const Bytes data = CounterPcm16(30000);
  SetSoundConverterDisableBits(kConverterDisableWav);
  ConverterOver converter(PcmWave(kStereo16, data));
  ASSERT_TRUE(converter.ok());
  EXPECT_EQ(converter->kind, kSoundConverterAcm);
  EXPECT_EQ(converter.ReadAll(3000), data);
  ASSERT_EQ(SeekSoundConverter(converter.get(), 7000), 0) << "backwards after the end";
  EXPECT_EQ(converter.ReadAll(), Bytes(data.begin() + 7000 * 4, data.end()));
}

TEST_F(SoundConverterChainTest, DisableBitsSkipTheirAttempts) {
  const Bytes wave = PcmWave(kStereo16, CounterPcm16(64));
  const Bytes ogg = EncodeOggVorbis(SineSamples(4410, 2, 440, 44100, 8000), 2, 44100);
  SetSoundConverterDisableBits(0x1F);
  EXPECT_FALSE(ConverterOver(wave).ok());
  EXPECT_FALSE(ConverterOver(ogg).ok());
  // What a movie sets while it loads its sound: only Ogg Vorbis is left.
  SetSoundConverterDisableBits(static_cast<std::uint32_t>(-5));
  EXPECT_FALSE(ConverterOver(wave).ok());
  ConverterOver movieSound(ogg);
  ASSERT_TRUE(movieSound.ok());
  EXPECT_EQ(movieSound->kind, kSoundConverterOggVorbis);
  SetSoundConverterDisableBits(0);
  ConverterOver anyOgg(ogg);
  ASSERT_TRUE(anyOgg.ok());
  EXPECT_EQ(anyOgg->kind, kSoundConverterOggVorbis) << "the wave attempts leave Ogg alone";
}

TEST_F(SoundConverterChainTest, CompressedAttemptsFailWithoutTheManagerModule) {
  const auto samples = SineSamples(4000, 1, 300, 22050, 9000);
  const AdpcmWave ima = EncodeImaAdpcm(samples, 1, 256);
  FormatFields fields{0x11, 1, 22050, 11100, 256, 4};
  const Bytes file = WaveBuilder().Chunk("fmt ", FormatBody(fields, true, ima.formatExtra)).Chunk("data", ima.data).Build();
  const int frees = plat::GetModuleFreeCount("msacm32.dll");
  FreeAcmEntryPoints();
  EXPECT_EQ(plat::GetModuleFreeCount("msacm32.dll") - frees, 1) << "the module is given back";
  SetSoundConverterDisableBits(kConverterDisableDecodedPcm);
  EXPECT_FALSE(ConverterOver(file).ok());
  ASSERT_EQ(LoadAcmEntryPoints(), 0);
  EXPECT_TRUE(ConverterOver(file).ok());
}

// Reads end at this offset, as on a file whose later sectors cannot be read.
std::int64_t g_readableBytes = 0;

std::size_t ReadBeforeTheBadSector(void* buffer, std::size_t elementSize, std::size_t count, void* stream) {
  auto* memory = static_cast<MemoryStream*>(stream);
  if (MemStreamTell(memory) + static_cast<std::int64_t>(elementSize * count) > g_readableBytes) return 0;
  return MemStreamRead(buffer, elementSize, count, memory);
}

TEST_F(SoundConverterChainTest, AReadErrorInTheDataFailsEveryAttemptAndLeavesNothingBehind) {
  const auto samples = SineSamples(4000, 1, 300, 22050, 9000);
  const AdpcmWave ima = EncodeImaAdpcm(samples, 1, 256);
  const Bytes adpcm = WaveBuilder()
                          .Chunk("fmt ", FormatBody({0x11, 1, 22050, 11100, 256, 4}, true, ima.formatExtra))
                          .Chunk("data", ima.data)
                          .Build();
  StreamFunctionTable failing = *GetMemoryStreamInterface();
  failing.Read = ReadBeforeTheBadSector;
  for (const Bytes& file : {adpcm, SilentMp3(10)}) {
    g_readableBytes = static_cast<std::int64_t>(file.size() / 2);
    MemoryStream* stream = OpenMemoryStream(file.data(), file.size());
    SoundConverter converter{};
    EXPECT_EQ(SetupSoundConverter(&failing, stream, &converter), -1);
    ReleaseSoundConverter(&converter);
    CloseMemoryStream(stream);
  }
}

using SoundConverterAdpcmTest = ConverterTest;

struct AdpcmCase {
  std::uint16_t tag;
  std::uint32_t channels;
  std::uint32_t blockAlign;
};

void ExpectAdpcmFollowsTheSource(const AdpcmCase& c) {
  SCOPED_TRACE(::testing::Message() << "tag " << c.tag << " channels " << c.channels << " block " << c.blockAlign);
  const std::uint32_t rate = 22050;
  const auto samples = SineSamples(20000, c.channels, 440, rate, 12000);
  const AdpcmWave wave =
      c.tag == 0x11 ? EncodeImaAdpcm(samples, c.channels, c.blockAlign) : EncodeMsAdpcm(samples, c.channels, c.blockAlign);
  const std::uint32_t blocks = static_cast<std::uint32_t>(wave.data.size() / c.blockAlign);
  FormatFields fields{c.tag, static_cast<std::uint16_t>(c.channels), rate, rate * c.blockAlign / wave.samplesPerBlock,
                      static_cast<std::uint16_t>(c.blockAlign), 4};
  const Bytes file = WaveBuilder().Chunk("fmt ", FormatBody(fields, true, wave.formatExtra)).Chunk("data", wave.data).Build();
  ConverterOver converter(file);
  ASSERT_TRUE(converter.ok());
  EXPECT_EQ(converter->kind, kSoundConverterAcm);
  plat::WaveFormatEx format{};
  GetConverterPcmFormat(converter.get(), &format);
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_EQ(format.blockAlign, 2 * c.channels);
  const Bytes pcm = converter.ReadAll(1000);
  ASSERT_EQ(pcm.size(), std::size_t{blocks} * wave.samplesPerBlock * c.channels * 2);
  EXPECT_EQ(GetConverterPcmSize(converter.get()), static_cast<std::int64_t>(pcm.size()));
  const auto decoded = ToSamples(pcm);
  EXPECT_LT(RmsDifference(decoded, samples), 400.0);
  // The first frame of every block is stored as it stands in the header.
  EXPECT_EQ(decoded[0], samples[0]);
  EXPECT_EQ(decoded[wave.samplesPerBlock * c.channels], samples[wave.samplesPerBlock * c.channels]);
  // Seeking backwards and forwards gives what a full decode gives there.
  for (const std::int64_t frame : {std::int64_t{12345}, std::int64_t{17}, std::int64_t{5000}}) {
    ASSERT_EQ(SeekSoundConverter(converter.get(), frame), 0);
    Bytes piece(64 * c.channels);
    ASSERT_EQ(ReadConvertedPcm(converter.get(), piece.data(), static_cast<std::uint32_t>(piece.size())),
              static_cast<int>(piece.size()));
    EXPECT_EQ(piece, Bytes(pcm.begin() + frame * 2 * c.channels, pcm.begin() + frame * 2 * c.channels + piece.size()))
        << "at frame " << frame;
  }
}

TEST_F(SoundConverterAdpcmTest, ImaAndMicrosoftAdpcmDecodeCloseToTheSource) {
  ExpectAdpcmFollowsTheSource({0x11, 1, 256});
  ExpectAdpcmFollowsTheSource({0x11, 2, 2048});
  ExpectAdpcmFollowsTheSource({0x11, 1, 4096});  // blocks larger than one conversion
  ExpectAdpcmFollowsTheSource({0x02, 1, 512});
  ExpectAdpcmFollowsTheSource({0x02, 2, 1024});
  ExpectAdpcmFollowsTheSource({0x02, 2, 3000});
}

TEST_F(SoundConverterAdpcmTest, ExtraBytesBeyondTheChunkAreNeverRead) {
  const auto samples = SineSamples(4000, 1, 300, 22050, 9000);
  const AdpcmWave wave = EncodeMsAdpcm(samples, 1, 512);
  FormatFields fields{0x02, 1, 22050, 11100, 512, 4};
  SetSoundConverterDisableBits(kConverterDisableDecodedPcm);
  Bytes body = FormatBody(fields, true, wave.formatExtra);
  body[16] = 0xFF;  // extra size far past the chunk's end: only the bytes held count
  body[17] = 0x7F;
  {
    ConverterOver converter(WaveBuilder().Chunk("fmt ", body).Chunk("data", wave.data).Build());
    ASSERT_TRUE(converter.ok());
    EXPECT_EQ(converter->acm.sourceFormat->extraSize, body.size() - sizeof(plat::WaveFormatEx));
  }
  body = FormatBody(fields, true, wave.formatExtra);
  body[20] = 100;  // a hundred coefficient pairs, seven held
  EXPECT_FALSE(ConverterOver(WaveBuilder().Chunk("fmt ", body).Chunk("data", wave.data).Build()).ok());
}

using SoundConverterMp3Test = ConverterTest;

TEST_F(SoundConverterMp3Test, FrameHeadersGiveSizeSamplesAndRate) {
  const struct {
    const char* name;
    std::uint8_t bytes[4];
    int result;
    Mp3FrameHeader expected;  // version, layer, kbps, rate, padding, channels, frame bytes, samples
  } cases[] = {
      {"MPEG-1 layer III", {0xFF, 0xFB, 0x90, 0x00}, 0, {1, 2, 128, 44100, 0, 2, 417, 1152}},
      {"padded mono", {0xFF, 0xFB, 0x92, 0xC0}, 0, {1, 2, 128, 44100, 1, 1, 418, 1152}},
      {"MPEG-2", {0xFF, 0xF3, 0x80, 0x00}, 0, {2, 2, 64, 22050, 0, 2, 208, 576}},
      {"lowest bitrate", {0xFF, 0xFB, 0x10, 0x00}, 0, {1, 2, 32, 44100, 0, 2, 104, 1152}},
      {"MPEG-1 layer I", {0xFF, 0xFF, 0x90, 0x00}, 0, {1, 0, 288, 44100, 0, 2, 312, 384}},
      {"MPEG-2 layer I", {0xFF, 0xF7, 0x80, 0x00}, 0, {2, 0, 128, 22050, 0, 2, 276, 384}},
      {"MPEG-2 layer II", {0xFF, 0xF5, 0x80, 0x00}, 0, {2, 1, 64, 22050, 0, 2, 417, 1152}},
      {"free format", {0xFF, 0xFB, 0x00, 0x00}, -1, {}},
      {"layer bits 00", {0xFF, 0xF9, 0x90, 0x00}, -1, {}},
      {"bitrate 15", {0xFF, 0xFB, 0xF0, 0x00}, -1, {}},
      {"rate 3", {0xFF, 0xFB, 0x9C, 0x00}, -1, {}},
      {"no sync", {0xFF, 0xEB, 0x90, 0x00}, -2, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Mp3FrameHeader header{};
    ASSERT_EQ(ParseMp3FrameHeader(c.bytes, &header), c.result);
    if (c.result != 0) continue;
    const Mp3FrameHeader& e = c.expected;
    EXPECT_EQ(header.mpegVersion, e.mpegVersion);
    EXPECT_EQ(header.layer, e.layer);
    EXPECT_EQ(header.bitrateKbps, e.bitrateKbps);
    EXPECT_EQ(header.sampleRate, e.sampleRate);
    EXPECT_EQ(header.padding, e.padding);
    EXPECT_EQ(header.channels, e.channels);
    EXPECT_EQ(header.frameBytes, e.frameBytes);
    EXPECT_EQ(header.samplesPerFrame, e.samplesPerFrame);
  }
}

// The decoded length matches the scan: frames × samples per frame × 4 bytes,
// all zero for silent frames.
void ExpectSilentDecode(ConverterOver& converter, std::size_t bytes) {
  EXPECT_EQ(GetConverterPcmSize(converter.get()), static_cast<std::int64_t>(bytes));
  const Bytes pcm = converter.ReadAll(2048);
  EXPECT_EQ(pcm.size(), bytes);
  EXPECT_EQ(std::count(pcm.begin(), pcm.end(), 0), static_cast<std::ptrdiff_t>(pcm.size()));
}

TEST_F(SoundConverterMp3Test, ScanSkipsTagsAndCountsEveryFrameTheInfoFrameToo) {
  SetSoundConverterDisableBits(kConverterDisableDecodedPcm);
  const auto joined = [](std::initializer_list<Bytes> parts) {
    Bytes file;
    for (const Bytes& part : parts) file.insert(file.end(), part.begin(), part.end());
    return file;
  };
  const auto version4 = [](Bytes tag) {
    tag[3] = 4;
    return tag;
  };
  const struct {
    const char* name;
    Bytes file;
    std::int64_t dataStart;
    std::size_t frames;
  } cases[] = {
      {"plain", SilentMp3(40), 0, 40},
      {"ID3v2, Info frame, ID3v1", joined({Id3v2Tag(300, false), InfoMp3Frame(30), SilentMp3(30), Id3v1Tag()}),
       310, 31},
      {"ID3v2.4 with a footer", joined({Id3v2Tag(77, true), SilentMp3(30)}), 97, 30},
      {"ID3v2.4 without one", joined({version4(Id3v2Tag(77, false)), SilentMp3(30)}), 87, 30},
      {"stray bytes before and between frames", joined({Bytes(5, 0x00), SilentMp3(10), Bytes{0x12, 0xFF, 0x00},
                                                        SilentMp3(10)}),
       5, 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConverterOver converter(c.file);
    ASSERT_TRUE(converter.ok());
    EXPECT_EQ(converter->kind, kSoundConverterAcm);
    EXPECT_EQ(converter->dataStart, c.dataStart);
    ExpectSilentDecode(converter, c.frames * 1152 * 4);
  }
}

TEST_F(SoundConverterMp3Test, Mpeg2FramesAndSeeking) {
  SetSoundConverterDisableBits(kConverterDisableDecodedPcm);
  ConverterOver converter(SilentMp3(50, kMpeg2Mono64k));
  ASSERT_TRUE(converter.ok());
  plat::WaveFormatEx format{};
  GetConverterPcmFormat(converter.get(), &format);
  EXPECT_EQ(format.samplesPerSec, 22050u);
  EXPECT_EQ(format.channels, 1);
  // The record a system codec opens the stream by describes the frames.
  const plat::Mp3WaveFormat record = *reinterpret_cast<const plat::Mp3WaveFormat*>(converter->acm.sourceFormat);
  EXPECT_EQ(std::uint32_t{record.format.avgBytesPerSec}, 64000u / 8);
  EXPECT_EQ(+record.format.blockAlign, 1);
  EXPECT_EQ(+record.format.extraSize, 12);
  EXPECT_EQ(+record.id, 1);
  EXPECT_EQ(+record.blockSize, 208);
  EXPECT_EQ(+record.framesPerBlock, 1);
  ASSERT_EQ(SeekSoundConverter(converter.get(), 50 * 576 - 100), 0);
  EXPECT_EQ(converter.ReadAll(512).size(), 200u);
  ASSERT_EQ(SeekSoundConverter(converter.get(), 50 * 576 + 1000), 0);
  EXPECT_TRUE(converter.ReadAll(512).empty()) << "past the end";
  ASSERT_EQ(SeekSoundConverter(converter.get(), 0), 0);
  ExpectSilentDecode(converter, 50 * 576 * 2);
}

TEST_F(SoundConverterMp3Test, NoFrameOrABadHeaderFailsTheAttempt) {
  SetSoundConverterDisableBits(kConverterDisableDecodedPcm);
  EXPECT_FALSE(ConverterOver(Bytes(5000, 0x00)).ok());
  Bytes onlyTags = Id3v2Tag(100, false);
  const Bytes v1 = Id3v1Tag();
  onlyTags.insert(onlyTags.end(), v1.begin(), v1.end());
  EXPECT_FALSE(ConverterOver(onlyTags).ok());
  Bytes broken = SilentMp3(10);
  broken[417 * 3 + 418 + 2] = 0xF0;  // bitrate index 15 in the fifth header
  EXPECT_FALSE(ConverterOver(broken).ok());
  // The manager's MPEG codec takes layer III only.
  EXPECT_FALSE(ConverterOver(SilentMp3(10, {0xFD, 0x90, 0x00, 417, 1152})).ok()) << "layer II";
  EXPECT_FALSE(ConverterOver(SilentMp3(10, {0xFF, 0x90, 0x00, 312, 384})).ok()) << "layer I";
}

TEST_F(SoundConverterMp3Test, TruncatedFileDecodesWhatItHoldsAndEnds) {
  SetSoundConverterDisableBits(kConverterDisableDecodedPcm);
  Bytes cut = SilentMp3(20);
  cut.resize(cut.size() - 200);
  ConverterOver converter(cut);
  ASSERT_TRUE(converter.ok());
  const Bytes pcm = converter.ReadAll(4096);
  EXPECT_GE(pcm.size(), std::size_t{19} * 1152 * 4);
  EXPECT_LE(pcm.size(), std::size_t{20} * 1152 * 4);
  // A header is read only when its four bytes are all there: three at the
  // end are no frame, four are a clipped one and count.
  for (const std::size_t tail : {3, 4}) {
    SCOPED_TRACE(tail);
    Bytes file = SilentMp3(20);
    const Bytes next = SilentMp3Frame();
    file.insert(file.end(), next.begin(), next.begin() + static_cast<std::ptrdiff_t>(tail));
    ConverterOver tailed(file);
    ASSERT_TRUE(tailed.ok());
    EXPECT_EQ(GetConverterPcmSize(tailed.get()), static_cast<std::int64_t>((tail == 4 ? 21 : 20) * 1152 * 4));
    EXPECT_EQ(tailed.ReadAll().size(), std::size_t{20} * 1152 * 4);
  }
}

using SoundConverterOggTest = ConverterTest;

TEST_F(SoundConverterOggTest, DecodesTheSourceWithItsLengthAndLevelAndSeekingEqualsSkipping) {
  const struct {
    std::uint32_t frames, channels, rate, tone;
  } cases[] = {{44100, 2, 44100, 441}, {30000, 1, 22050, 700}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.channels << " channels at " << c.rate);
    const auto source = SineSamples(c.frames, c.channels, c.tone, c.rate, 10000);
    ConverterOver converter(EncodeOggVorbis(source, c.channels, c.rate));
    ASSERT_TRUE(converter.ok());
    const std::uint32_t frameBytes = 2 * c.channels;
    plat::WaveFormatEx format{};
    GetConverterPcmFormat(converter.get(), &format);
    EXPECT_EQ(format.blockAlign, frameBytes);
    EXPECT_EQ(format.samplesPerSec, c.rate);
    EXPECT_EQ(converter->workSize, kOggVorbisWorkBytes);
    EXPECT_EQ(GetConverterPcmSize(converter.get()), std::int64_t{c.frames} * frameBytes);
    const Bytes whole = converter.ReadAll(1000);
    ASSERT_EQ(whole.size(), std::size_t{c.frames} * frameBytes);
    EXPECT_LT(RmsDifference(ToSamples(whole), source), 500.0);
    // From a block read only in part: none of its rest comes after the seek.
    ASSERT_EQ(SeekSoundConverter(converter.get(), 100), 0);
    Bytes piece(2000);
    ASSERT_EQ(ReadConvertedPcm(converter.get(), piece.data(), 1000), 1000);
    ASSERT_EQ(SeekSoundConverter(converter.get(), 12345), 0);
    EXPECT_EQ(converter->outputPosition, std::int64_t{12345} * frameBytes);
    ASSERT_EQ(ReadConvertedPcm(converter.get(), piece.data(), 2000), 2000);
    EXPECT_EQ(piece, Bytes(whole.begin() + 12345 * frameBytes, whole.begin() + 12345 * frameBytes + 2000));
    EXPECT_EQ(converter->dataSize, c.frames * frameBytes);
  }
}

TEST_F(SoundConverterOggTest, EightBitWidthGivesUnsignedSamples) {
  EXPECT_EQ(SetOggVorbisSampleBytes(0), -1);
  EXPECT_EQ(SetOggVorbisSampleBytes(3), -1);
  EXPECT_EQ(GetOggVorbisSampleBytes(), 2) << "a refused width leaves the last";
  EXPECT_EQ(SetOggVorbisSampleBytes(2), 0);
  ASSERT_EQ(SetOggVorbisSampleBytes(1), 0);
  ConverterOver converter(EncodeOggVorbis(SineSamples(8000, 1, 0, 8000, 0), 1, 8000));
  ASSERT_TRUE(converter.ok());
  EXPECT_EQ(converter->outputFormat.bitsPerSample, 8);
  const Bytes pcm = converter.ReadAll();
  ASSERT_EQ(pcm.size(), 8000u);
  for (const std::uint8_t sample : pcm) ASSERT_EQ(sample, 128) << "silence is the middle value";

  // A single sample is a single byte, taken and read back; no sample at all
  // is refused with the stream closed again (the fixture counts the blocks).
  ConverterOver single(EncodeOggVorbis(SineSamples(1, 1, 0, 8000, 0), 1, 8000));
  ASSERT_TRUE(single.ok());
  EXPECT_EQ(GetConverterPcmSize(single.get()), 1);
  EXPECT_EQ(single->dataSize, 1u);
  EXPECT_EQ(single.ReadAll(), Bytes{128});
  ConverterOver empty(EncodeOggVorbis({}, 1, 8000));
  EXPECT_FALSE(empty.ok());
  EXPECT_EQ(empty->oggVorbis.opened, 0);
  EXPECT_EQ(empty->oggVorbis.file, nullptr) << "no pointer to the freed decoder is kept";

  // The length comes from the last page's granule position: one that makes
  // the sound 4 GiB less a byte is the longest taken.
  const Bytes ogg = EncodeOggVorbis(SineSamples(160000, 1, 300, 8000, 9000), 1, 8000);
  std::vector<std::size_t> pageStarts;
  for (std::size_t at = 0; at + 27 <= ogg.size();) {
    pageStarts.push_back(at);
    at += 27 + ogg[at + 26];
    for (std::size_t i = 0; i < ogg[pageStarts.back() + 26]; ++i) at += ogg[pageStarts.back() + 27 + i];
  }
  ASSERT_GE(pageStarts.size(), 4u) << "the first sound page is not the last";
  const auto withLastGranule = [&](std::uint64_t granule) {
    Bytes forged = ogg;
    const std::size_t last = pageStarts.back();
    for (int i = 0; i < 8; ++i) forged[last + 6 + i] = static_cast<std::uint8_t>(granule >> (8 * i));
    ogg_page page{forged.data() + last, 27 + forged[last + 26], forged.data() + last + 27 + forged[last + 26],
                  static_cast<long>(forged.size() - last - 27 - forged[last + 26])};
    ogg_page_checksum_set(&page);
    return forged;
  };
  ConverterOver longest(withLastGranule(0xFFFFFFFFu));
  ASSERT_TRUE(longest.ok());
  EXPECT_EQ(GetConverterPcmSize(longest.get()), 0xFFFFFFFF);
  EXPECT_EQ(longest->dataSize, 0xFFFFFFFFu);
  EXPECT_FALSE(ConverterOver(withLastGranule(0x100000000u)).ok());
}

TEST_F(SoundConverterOggTest, CorruptedPagesNeverCountNegativeBytes) {
  Bytes ogg = EncodeOggVorbis(SineSamples(44100, 2, 441, 44100, 10000), 2, 44100);
  for (std::size_t i = ogg.size() / 3; i < ogg.size() / 3 + 600; ++i) ogg[i] ^= 0x5A;
  ConverterOver converter(ogg);
  if (!converter.ok()) return;  // the damage hit the headers
  const Bytes pcm = converter.ReadAll(3000);
  EXPECT_LE(pcm.size(), 44100u * 4 + 4096);
  EXPECT_EQ(pcm.size() % 4, 0u);
}

using SoundConverterDecodedTest = ConverterTest;

TEST_F(SoundConverterDecodedTest, SilentMp3DecodesWholeToExactlyItsFrames) {
  SetSoundConverterDisableBits(kConverterDisableAcmMp3);
  ConverterOver converter(SilentMp3(25));
  ASSERT_TRUE(converter.ok());
  EXPECT_EQ(converter->kind, kSoundConverterDecodedPcm);
  EXPECT_EQ(converter->workSize, 44100u * 4);
  ExpectSilentDecode(converter, 25 * 1152 * 4);
  ASSERT_EQ(SeekSoundConverter(converter.get(), 25 * 1152 - 10), 0);
  EXPECT_EQ(converter.ReadAll().size(), 40u);
}

TEST_F(SoundConverterDecodedTest, PcmBlockGrowsInMebibyteStepsAndDropsItselfWhenFull) {
  SoundConverter converter{};
  converter.decoded.capacity = 1000;
  converter.decoded.data = static_cast<std::uint8_t*>(QZ_ALLOC(1000));
  const Bytes chunk(900, 0x42);
  Mp3GrabberPcmCallback(chunk.data(), chunk.size(), &converter);
  EXPECT_EQ(converter.decoded.capacity, 1000u);
  Mp3GrabberPcmCallback(chunk.data(), chunk.size(), &converter);
  EXPECT_EQ(converter.decoded.capacity, 1000u + 0x100000);
  const Bytes large(0x180000, 0x43);
  Mp3GrabberPcmCallback(large.data(), large.size(), &converter);
  EXPECT_EQ(converter.decoded.capacity, 1000u + 2 * 0x100000) << "as many steps as the sample needs";
  ASSERT_EQ(converter.decoded.size, 1800u + 0x180000);
  EXPECT_EQ(converter.decoded.data[1799], 0x42);
  EXPECT_EQ(converter.decoded.data[1800], 0x43);
  converter.decoded.size = 0xFFFFF000u;
  Mp3GrabberPcmCallback(chunk.data(), chunk.size(), &converter);
  EXPECT_EQ(converter.decoded.data, nullptr) << "a block that cannot grow is dropped";
  Mp3GrabberPcmCallback(chunk.data(), chunk.size(), &converter);
  EXPECT_EQ(converter.decoded.data, nullptr);
}

TEST_F(SoundConverterDecodedTest, EndOfTheProgramAbortsTheDecodeAndNoAudioIsReported) {
  SetSoundConverterDisableBits(kConverterDisableAcmMp3);
  WindowSystemState& state = GetWindowSystemState();
  state.endRequest = 1;
  EXPECT_FALSE(ConverterOver(SilentMp3(400)).ok());
  state.endRequest = 0;
  EXPECT_TRUE(scratch_->Contains(text::kMp3ConvertAborted));
  EXPECT_FALSE(ConverterOver(Bytes(3000, 0x00)).ok());
  EXPECT_TRUE(scratch_->Contains(text::kMp3NoAudio));
}

}  // namespace
}  // namespace qz::testing
