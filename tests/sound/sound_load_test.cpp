// Loading into sound handles: the create modes and the 180-second rule,
// static sounds whose buffers hold the data byte for byte, stream sounds of
// up to three sources of one format from memory and from an open file, share
// handles, and the refusals of bad input.
#include "sound/sound_load.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "core/log_text.h"
#include "sound/sound_fixture.h"
#include "sound/sound_play.h"
#include "sound/sound_test_files.h"
#include "support/scratch_folder.h"

namespace qz::testing {
namespace {

class SoundLoad : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    SetSoundCreateMode(0);
    SetSoundConverterDisableBits(0);
  }
  void TearDown() override {
    DeleteAllSoundHandles();
    SetSoundCreateMode(0);
    SoundTest::TearDown();
  }

  std::string WriteFile(const std::string& name, const Bytes& bytes) {
    files_.Write(name, std::string(bytes.begin(), bytes.end()));
    return files_.Posix(name);
  }

  // The bytes held by a static sound's buffer slot.
  static Bytes SlotBytes(SoundHandle handle, int slot) {
    SoundRecord* record = GetSoundRecord(handle);
    void* first = nullptr;
    void* second = nullptr;
    std::uint32_t firstBytes = 0;
    std::uint32_t secondBytes = 0;
    const auto bytes = static_cast<std::uint32_t>(record->pcmBytes);
    EXPECT_EQ(LockSoundBufferEither(&record->slots[slot], 0, bytes, &first, &firstBytes, &second, &secondBytes), 0);
    Bytes out(static_cast<std::uint8_t*>(first), static_cast<std::uint8_t*>(first) + firstBytes);
    UnlockSoundBufferEither(&record->slots[slot], first, firstBytes, second, secondBytes);
    return out;
  }

  // A PCM wave whose format says 0 samples a second: no converter takes it.
  static Bytes ZeroRateWave() {
    FormatFields zeroRate = PcmFields(2, 44100, 16);
    zeroRate.rate = 0;
    zeroRate.avgBytes = 4;
    return PcmWave(zeroRate, CounterPcm16(100));
  }
  static Bytes BytesOf(void* block, std::uint32_t size) {
    return Bytes(static_cast<std::uint8_t*>(block), static_cast<std::uint8_t*>(block) + size);
  }

  // The log line a format text gives for one argument.
  template <typename T>
  static std::string Line(const char* format, T value) {
    char line[512];
    std::snprintf(line, sizeof line, format, value);
    return line;
  }

  int LoadImage(const Bytes& image, int buffers = 1, int share = -1) {
    return LoadSoundFromMemoryToHandle(image.data(), image.size(), buffers, share);
  }

  ScratchFolder files_;
};

TEST_F(SoundLoad, CreateModeStoresOneAsZeroAndRefusesOthers) {
  EXPECT_EQ(SetSoundCreateMode(3), 0);
  EXPECT_EQ(GetSoundCreateMode(), 3);
  EXPECT_EQ(SetSoundCreateMode(1), 0);
  EXPECT_EQ(GetSoundCreateMode(), 0);
  EXPECT_EQ(SetSoundCreateMode(2), 0);
  EXPECT_EQ(SetSoundCreateMode(4), -1);
  EXPECT_EQ(SetSoundCreateMode(-1), -1);
  EXPECT_EQ(GetSoundCreateMode(), 2);
  EXPECT_TRUE(log_.Contains(Line(text::kSoundCreateModeInvalid, 4)));
}

TEST_F(SoundLoad, StaticFileLoadsIntoEveryBufferByteForByte) {
  const Bytes data = CounterPcm16(44100);
  const std::string path = WriteFile("effect.wav", WaveBuilder()
                                                       .Chunk("fmt ", FormatBody(PcmFields(2, 44100, 16)))
                                                       .Chunk("LIST", Bytes(21, 7))
                                                       .Chunk("data", data)
                                                       .Build());
  const SoundHandle handle = LoadSoundFile(path.c_str(), 3, -1);
  ASSERT_NE(handle, -1);
  SoundRecord* record = GetSoundRecord(handle);
  EXPECT_EQ(record->kind, kStaticSound);
  EXPECT_EQ(record->bufferCount, 3);
  EXPECT_EQ(record->frequency, 44100);
  EXPECT_EQ(GetSoundHandleTotalSamples(handle), 22050);
  EXPECT_EQ(SlotBytes(handle, 0), data);
  EXPECT_EQ(SlotBytes(handle, 2), data) << "duplicates share slot 0's data";
}

TEST_F(SoundLoad, CompressedFormatsLoadStaticThroughTheirConverters) {
  const auto samples = SineSamples(8000, 1, 500, 8000, 9000);
  const AdpcmWave ima = EncodeImaAdpcm(samples, 1, 256);
  FormatFields fields{0x11, 1, 8000, 4055, 256, 4};
  const SoundHandle adpcm =
      LoadImage(WaveBuilder().Chunk("fmt ", FormatBody(fields, true, ima.formatExtra)).Chunk("data", ima.data).Build());
  ASSERT_NE(adpcm, -1);
  EXPECT_EQ(GetSoundRecord(adpcm)->format.bitsPerSample, 16);
  EXPECT_EQ(GetSoundHandleTotalSamples(adpcm), static_cast<int>(ima.data.size() / 256 * ima.samplesPerBlock));
  const SoundHandle mp3 = LoadImage(SilentMp3(20));
  ASSERT_NE(mp3, -1);
  EXPECT_EQ(GetSoundHandleTotalSamples(mp3), 20 * 1152);
  const SoundHandle ogg = LoadImage(EncodeOggVorbis(SineSamples(22050, 2, 300, 22050, 5000), 2, 22050));
  ASSERT_NE(ogg, -1);
  EXPECT_EQ(GetSoundHandleTotalSamples(ogg), 22050);
}

// Telephone-quality WAV files of either G.711 law load as 16-bit sounds
// holding the expanded samples.
TEST_F(SoundLoad, ALawAndMuLawWavesLoadAsTheirExpandedSamples) {
  const Bytes codes = {0xD5, 0xAA, 0x2A, 0xFF, 0x00, 0x80};
  const struct {
    std::uint16_t tag;
    std::vector<std::int16_t> samples;
  } laws[] = {{6, {8, 32256, -32256, 848, -5504, 5504}}, {7, {716, 5372, -5372, 0, -32124, 32124}}};
  for (const auto& law : laws) {
    FormatFields fields{law.tag, 2, 8000, 0, 2, 8};
    const SoundHandle handle = LoadImage(WaveBuilder().Chunk("fmt ", FormatBody(fields)).Chunk("data", codes).Build());
    ASSERT_NE(handle, -1) << "tag " << law.tag;
    EXPECT_EQ(GetSoundRecord(handle)->format.bitsPerSample, 16);
    EXPECT_EQ(GetSoundHandleTotalSamples(handle), 3);
    EXPECT_EQ(ToSamples(SlotBytes(handle, 0)), law.samples) << "tag " << law.tag;
  }
}

TEST_F(SoundLoad, OneHundredEightySecondsStayStaticOneMoreBecomesAStream) {
  const FormatFields mono8 = PcmFields(1, 1000, 8);
  const SoundHandle shortSound = LoadImage(PcmWave(mono8, Bytes(180000, 0x80)));
  ASSERT_NE(shortSound, -1);
  EXPECT_EQ(GetSoundRecord(shortSound)->kind, kStaticSound);
  const SoundHandle longSound = LoadImage(PcmWave(mono8, Bytes(181000, 0x80)));
  ASSERT_NE(longSound, -1);
  EXPECT_EQ(GetSoundRecord(longSound)->kind, kStreamSound);
  EXPECT_EQ(GetSoundRecord(longSound)->sources[0].kind, kStreamSourceMemory);
  EXPECT_EQ(GetSoundHandleTotalSamples(longSound), 181000);
  EXPECT_EQ(GetSoundCreateMode(), 0) << "the fall-back restores the mode";
}

TEST_F(SoundLoad, BadInputIsRefusedAndLogged) {
  const std::string missing = log_.Path("missing.wav");
  EXPECT_EQ(LoadSoundFile(missing.c_str(), 1, -1), -1);
  EXPECT_TRUE(log_.Contains(Line(text::kSoundFileLoadFailed1, missing.c_str())));
  const std::string bad = WriteFile("bad.wav", ZeroRateWave());
  EXPECT_EQ(LoadSoundFile(bad.c_str(), 1, -1), -1);
  EXPECT_TRUE(log_.Contains(text::kSoundPcmConvertFailed));
  // The two file-load lines share their first bytes: only the path and the
  // number tell them apart.
  EXPECT_TRUE(log_.Contains(Line(text::kSoundFileLoadFailed2, bad.c_str())));
  const Bytes good = PcmWave(PcmFields(2, 44100, 16), CounterPcm16(100));
  EXPECT_EQ(LoadImage(good, 11), -1);
  EXPECT_TRUE(log_.Contains(Line(text::kSoundBufferCountInvalid, 11)));
  EXPECT_EQ(GetSoundHandleCount(), 0) << "failed loads leave no handle";
  const SoundHandle mostBuffers = LoadImage(good, 10);
  ASSERT_NE(mostBuffers, -1);
  EXPECT_EQ(GetSoundRecord(mostBuffers)->bufferCount, 10);
  const SoundHandle silentBuffers = LoadImage(good, 0);
  ASSERT_NE(silentBuffers, -1);
  EXPECT_EQ(GetSoundRecord(silentBuffers)->bufferCount, 0);
}

TEST_F(SoundLoad, StreamOfAFormatNoBufferHoldsIsRefusedNotFatal) {
  // Six channels decode, but no buffer plays them: the load fails with a log
  // line and the program goes on.
  SetSoundCreateMode(2);
  EXPECT_EQ(LoadImage(PcmWave(PcmFields(6, 44100, 16), CounterPcm16(6 * 100))), -1);
  EXPECT_EQ(GetSoundHandleCount(), 0);
  EXPECT_TRUE(log_.Contains(std::string(text::kStreamFormatUnplayable).substr(0, 20)));
}

TEST_F(SoundLoad, StreamSourcesShareOneFormatAndAtMostThreeFit) {
  SetSoundCreateMode(2);
  const Bytes source = PcmWave(PcmFields(2, 44100, 16), CounterPcm16(8000));
  const SoundHandle handle = LoadImage(source);
  ASSERT_NE(handle, -1);
  SoundRecord* record = GetSoundRecord(handle);
  EXPECT_EQ(record->kind, kStreamSound);
  EXPECT_EQ(record->streamBufferBytes, 44100u * 4);
  EXPECT_EQ(SetupStreamSoundFromMemory(source.data(), source.size(), 2, handle, 2, -1), 0);
  EXPECT_EQ(SetupStreamSoundFromMemory(source.data(), source.size(), 0, handle, 3, -1), 0);
  EXPECT_EQ(record->stream.sourceCount, 3);
  EXPECT_EQ(record->sources[1].loopCount, 2);
  EXPECT_EQ(record->sources[2].kind, kStreamSourceMemory) << "an image has no file to read from";
  EXPECT_EQ(record->stream.totalSamples, 12000);
  EXPECT_EQ(SetupStreamSoundFromMemory(source.data(), source.size(), 0, handle, 2, -1), -1);
  EXPECT_TRUE(log_.Contains(text::kSoundStreamSourcesFull));

  const SoundHandle other = LoadImage(source);
  const Bytes otherRate = PcmWave(PcmFields(2, 22050, 16), CounterPcm16(8000));
  EXPECT_EQ(SetupStreamSoundFromMemory(otherRate.data(), otherRate.size(), 0, other, 2, -1), -1);
  EXPECT_TRUE(log_.Contains(text::kSoundFormatMismatch));
  EXPECT_TRUE(log_.Contains(text::kStreamImageSetupFailed));
  EXPECT_EQ(GetSoundRecord(other)->stream.sourceCount, 1);
  ASSERT_EQ(PlayStreamSoundHandle(other, 1, 1), 0);
  EXPECT_EQ(SetupStreamSoundFromMemory(source.data(), source.size(), 0, other, 2, -1), -1);
  EXPECT_TRUE(log_.Contains(text::kSoundStreamAlreadyPlaying));

  SetSoundCreateMode(0);
  const SoundHandle effect = LoadImage(source);
  EXPECT_EQ(SetupStreamSoundFromMemory(source.data(), source.size(), 0, effect, 2, -1), -1);
  EXPECT_TRUE(log_.Contains(text::kSoundNotStreamSound));
}

TEST_F(SoundLoad, ShareHandleOfTheSameFormatPlaysOnItsOwnersBuffer) {
  SetSoundCreateMode(2);
  const Bytes source = PcmWave(PcmFields(2, 44100, 16), CounterPcm16(8000));
  const SoundHandle owner = LoadImage(source);
  const SoundHandle sharer = LoadImage(source, 1, owner);
  ASSERT_NE(sharer, -1);
  EXPECT_EQ(GetSoundRecord(sharer)->shareOwner, owner);
  EXPECT_EQ(GetSoundRecord(owner)->sharerCount, 1);
  EXPECT_EQ(GetSoundRecord(sharer)->slots[0].inUse, 0) << "no buffer of its own";
  const Bytes otherRate = PcmWave(PcmFields(2, 22050, 16), CounterPcm16(8000));
  const SoundHandle loner = LoadImage(otherRate, 1, owner);
  ASSERT_NE(loner, -1);
  EXPECT_EQ(GetSoundRecord(loner)->shareOwner, -1) << "another format gets its own buffer";
  EXPECT_EQ(GetSoundRecord(owner)->sharerCount, 1);

  // A sharer plays its own data on the owner's buffer, refilled past the
  // first second like any stream sound.
  const SoundHandle player = LoadImage(WaveImage(StereoFormat(), CounterPcm(66150)), 1, owner);
  ASSERT_EQ(GetSoundRecord(player)->shareOwner, owner);
  ASSERT_EQ(PlaySoundHandle(player, 1, 1), 0);
  const std::vector<std::int16_t> out = RenderWithRefills(60000);
  for (int i = 0; i < 60000; ++i) ASSERT_EQ(LeftAt(out, i), i) << "frame " << i;
}

// A decoded source converts once, at set-up, and then plays from a wave of
// the PCM whatever the file's own coding.
TEST_F(SoundLoad, DecodedStreamSourceHoldsTheWholeDecode) {
  const AdpcmWave ima = EncodeImaAdpcm(SineSamples(8000, 1, 500, 8000, 9000), 1, 256);
  const FormatFields fields{0x11, 1, 8000, 4055, 256, 4};
  const Bytes image =
      WaveBuilder().Chunk("fmt ", FormatBody(fields, true, ima.formatExtra)).Chunk("data", ima.data).Build();
  const SoundHandle whole = LoadImage(image);
  ASSERT_NE(whole, -1);
  const SoundHandle handle = AddSoundData(-1);
  ASSERT_EQ(SetupStreamSoundFromMemory(image.data(), image.size(), 0, handle, kSoundCreateWhole, -1), 0);
  SoundRecord* record = GetSoundRecord(handle);
  EXPECT_EQ(record->sources[0].kind, kStreamSourceDecoded);
  EXPECT_EQ(record->sources[0].converter->kind, kSoundConverterWav);
  EXPECT_EQ(record->stream.totalSamples, GetSoundHandleTotalSamples(whole));
  plat::WaveFormatEx format{};
  void* pcm = nullptr;
  std::uint32_t pcmSize = 0;
  ASSERT_EQ(ConvertWholeSoundToPcm(record->sources[0].converter, &format, &pcm, &pcmSize), 0);
  EXPECT_EQ(BytesOf(pcm, pcmSize), SlotBytes(whole, 0));
  QZ_FREE(pcm);

  const Bytes bad = ZeroRateWave();
  const SoundHandle refused = AddSoundData(-1);
  EXPECT_EQ(SetupStreamSoundFromMemory(bad.data(), bad.size(), 0, refused, kSoundCreateWhole, -1), -1);
  EXPECT_TRUE(log_.Contains(text::kSoundDataConvertFailed));
  EXPECT_EQ(SetupStreamSoundFromMemory(nullptr, 16, 0, refused, kSoundCreateWhole, -1), -1);
  EXPECT_TRUE(log_.Contains(text::kStreamImageHandleFailed));
  EXPECT_EQ(GetSoundRecord(refused)->stream.sourceCount, 0);
}

TEST_F(SoundLoad, FileStreamKeepsItsFileOpenUntilDeleted) {
  SetSoundCreateMode(3);
  const std::string path =
      WriteFile("music.ogg", EncodeOggVorbis(SineSamples(44100, 2, 300, 44100, 5000), 2, 44100));
  const SoundHandle handle = LoadSoundFile(path.c_str(), 1, -1);
  ASSERT_NE(handle, -1);
  SoundRecord* record = GetSoundRecord(handle);
  EXPECT_EQ(record->sources[0].kind, kStreamSourceFile);
  EXPECT_EQ(record->sourceOwnsFile[0], 1);
  EXPECT_EQ(record->sources[0].converter->kind, kSoundConverterOggVorbis);
  EXPECT_EQ(GetSoundHandleTotalSamples(handle), 44100);
  EXPECT_EQ(DeleteSoundHandle(handle), 0);
  const std::string bad = WriteFile("bad.wav", ZeroRateWave());
  EXPECT_EQ(LoadSoundFile(bad.c_str(), 1, -1), -1);
  EXPECT_TRUE(log_.Contains(Line(text::kStreamWavSetupFailed, bad.c_str())));
  SetSoundCreateMode(2);
  const SoundHandle copied = LoadSoundFile(path.c_str(), 1, -1);
  ASSERT_NE(copied, -1);
  EXPECT_EQ(GetSoundRecord(copied)->sources[0].kind, kStreamSourceMemory);
  EXPECT_EQ(GetSoundRecord(copied)->sourceOwnsFile[0], 0) << "the bytes are copied, the file closed";
  EXPECT_EQ(DeleteSoundHandle(copied), 0);
  const std::string missing = log_.Path("missing.ogg");
  EXPECT_EQ(LoadSoundFile(missing.c_str(), 1, -1), -1);
  // The open and set-up lines share their first bytes: the path tells them apart.
  EXPECT_TRUE(log_.Contains(Line(text::kStreamWavOpenFailed, missing.c_str())));
  EXPECT_EQ(GetSoundHandleCount(), 0);
}

TEST_F(SoundLoad, WaveImageWrapsFormatAndData) {
  const plat::WaveFormatEx format = StereoFormat(22050);
  const auto le32 = [](const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 | std::uint32_t{at[3]} << 24;
  };
  // One byte, none (with no pointer) and sizes that need all four bytes.
  for (const Bytes& data : {CounterPcm16(10), Bytes{0x7E}, Bytes{}, Bytes(std::size_t{1} << 24, 0x33)}) {
    const auto dataSize = static_cast<std::uint32_t>(data.size());
    void* image = nullptr;
    std::uint32_t size = 0;
    ASSERT_EQ(BuildWaveFileImage(&image, &size, &format, 18, data.empty() ? nullptr : data.data(), dataSize), 0);
    ASSERT_EQ(size, 18u + dataSize + 28);
    const auto* bytes = static_cast<const std::uint8_t*>(image);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), "RIFF");
    EXPECT_EQ(le32(bytes + 4), size - 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 8), 8), "WAVEfmt ");
    EXPECT_EQ(le32(bytes + 16), 18u);
    EXPECT_EQ(std::memcmp(bytes + 20, &format, 18), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 38), 4), "data");
    EXPECT_EQ(le32(bytes + 42), dataSize);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes + 46)) << dataSize;
    QZ_FREE(image);
  }
  void* image = nullptr;
  std::uint32_t size = 0;
  EXPECT_EQ(BuildWaveFileImage(&image, &size, &format, 18, nullptr, 1), -1) << "a size without data";
}

TEST_F(SoundLoad, WholeFileAndStreamReadsTakeEmptyAndOneByteFiles) {
  for (const Bytes& bytes : {Bytes{}, Bytes{0x5A}, Bytes{1, 2, 3}}) {
    const std::string path = WriteFile("whole" + std::to_string(bytes.size()) + ".bin", bytes);
    void* block = nullptr;
    std::uint32_t size = 99;
    ASSERT_EQ(LoadFileToMemory(path.c_str(), &block, &size), 0) << bytes.size();
    EXPECT_EQ(BytesOf(block, size), bytes);
    QZ_FREE(block);
    const FileHandle file = OpenFileForRead(path.c_str(), 0);
    ASSERT_NE(file, 0);
    block = nullptr;
    size = 99;
    EXPECT_EQ(ReadWholeStreamToMemory(GetFileStreamInterface(), reinterpret_cast<void*>(file), &block, &size), 0)
        << bytes.size();
    EXPECT_EQ(BytesOf(block, size), bytes);
    QZ_FREE(block);
    FileAccessClose(file);
  }
  // A stream that delivers less than it claims: refused, and nothing kept.
  const StreamFunctionTable shortStream{[](void*) -> std::int64_t { return 8; },
                                        [](void*, std::int64_t, int) { return 0; },
                                        [](void*, std::size_t, std::size_t count, void*) { return count / 2; },
                                        nullptr, nullptr, nullptr};
  void* block = nullptr;
  std::uint32_t size = 0;
  EXPECT_EQ(ReadWholeStreamToMemory(&shortStream, nullptr, &block, &size), -1);
  EXPECT_EQ(block, nullptr);
  int mayClose = 0;
  EXPECT_EQ(AddSreamSound(&shortStream, nullptr, 0, AddSoundData(-1), kStreamSourceDecoded, &mayClose, -1), -1);
  EXPECT_TRUE(log_.Contains(text::kSoundDataReadFailed));
}

TEST_F(SoundLoad, NothingLoadsWhileSoundIsNotStarted) {
  const Bytes good = PcmWave(PcmFields(2, 44100, 16), CounterPcm16(100));
  TerminateSound();
  EXPECT_EQ(LoadImage(good), -1);
  EXPECT_EQ(LoadSoundFile(log_.Path("any.wav").c_str(), 1, -1), -1);
  ASSERT_EQ(InitializeSound(), 0);
}

}  // namespace
}  // namespace qz::testing
