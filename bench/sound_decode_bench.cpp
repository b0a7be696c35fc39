// Decoding speed of compressed sounds: the library's converter (what a stream
// sound's refills run, in 4 KiB reads) beside bare mpg123 and vorbisfile on
// the same bytes in the same run. Items are seconds of audio decoded.
#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/file_access.h"
#include "sound/sound_converter.h"
#include "tests/sound/sound_test_files.h"

namespace qz {
namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 10;
constexpr std::size_t kReadSize = 4096;

std::vector<std::int16_t> Signal() { return testing::SineSamples(kRate * kSeconds, 2, 441.0, kRate, 12000); }

const testing::Bytes& OggFile() {
  static const testing::Bytes file = testing::EncodeOggVorbis(Signal(), 2, kRate);
  return file;
}

const testing::Bytes& Mp3File() {
  static const testing::Bytes file = testing::EncodeMp3(Signal(), kRate);
  return file;
}

void Converter(benchmark::State& state, const testing::Bytes& file) {
  LoadAcmEntryPoints();
  std::vector<std::uint8_t> pcm(kReadSize);
  for (auto _ : state) {
    MemoryStream* stream = OpenMemoryStream(file.data(), file.size());
    SoundConverter converter{};
    if (SetupSoundConverter(GetMemoryStreamInterface(), stream, &converter) != 0) {
      state.SkipWithError("no converter took the file");
      CloseMemoryStream(stream);
      break;
    }
    while (ReadConvertedPcm(&converter, pcm.data(), kReadSize) > 0) {
    }
    ReleaseSoundConverter(&converter);
    CloseMemoryStream(stream);
  }
  state.SetItemsProcessed(state.iterations() * kSeconds);
}

void BM_ConverterOgg(benchmark::State& state) { Converter(state, OggFile()); }
void BM_ConverterMp3(benchmark::State& state) { Converter(state, Mp3File()); }
BENCHMARK(BM_ConverterOgg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConverterMp3)->Unit(benchmark::kMillisecond);

struct MemoryReader {
  const testing::Bytes* file;
  std::size_t at;
};

void BM_BareVorbisfile(benchmark::State& state) {
  const testing::Bytes& file = OggFile();
  const ov_callbacks callbacks{
      [](void* out, std::size_t size, std::size_t count, void* source) -> std::size_t {
        auto* reader = static_cast<MemoryReader*>(source);
        const std::size_t n = std::min(size * count, reader->file->size() - reader->at);
        std::memcpy(out, reader->file->data() + reader->at, n);
        reader->at += n;
        return size == 0 ? 0 : n / size;
      },
      nullptr, nullptr, nullptr};
  std::vector<char> pcm(kReadSize);
  for (auto _ : state) {
    MemoryReader reader{&file, 0};
    OggVorbis_File vf;
    if (ov_open_callbacks(&reader, &vf, nullptr, 0, callbacks) != 0) {
      state.SkipWithError("vorbisfile refused the file");
      break;
    }
    int section = 0;
    while (ov_read(&vf, pcm.data(), static_cast<int>(pcm.size()), 0, 2, 1, &section) > 0) {
    }
    ov_clear(&vf);
  }
  state.SetItemsProcessed(state.iterations() * kSeconds);
}
BENCHMARK(BM_BareVorbisfile)->Unit(benchmark::kMillisecond);

void BM_BareMpg123(benchmark::State& state) {
  const testing::Bytes& file = Mp3File();
  mpg123_init();
  std::vector<unsigned char> pcm(kReadSize);
  for (auto _ : state) {
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_open_feed(handle);
    mpg123_feed(handle, file.data(), file.size());
    std::size_t done = 0;
    int result = MPG123_OK;
    while (result != MPG123_NEED_MORE && result != MPG123_DONE && result != MPG123_ERR) {
      result = mpg123_read(handle, pcm.data(), pcm.size(), &done);
    }
    mpg123_delete(handle);
  }
  state.SetItemsProcessed(state.iterations() * kSeconds);
}
BENCHMARK(BM_BareMpg123)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qz
