// MPEG layer 3 through mpg123 in feed mode: every frame is audio (an Info or
// Xing frame too) and nothing is trimmed, so the output length is the frame
// count times the samples per frame. The output is 16-bit at the source's
// rate and channels.
#include <mpg123.h>

#include "platform/acm_codec.h"

namespace plat::acm {
namespace {

constexpr std::size_t kReadChunk = 16384;

bool InitMpg123() {
  static const bool ready = mpg123_init() == MPG123_OK;
  return ready;
}

class Mp3Decoder final : public Decoder {
 public:
  explicit Mp3Decoder(mpg123_handle* handle) : handle_(handle) {}
  ~Mp3Decoder() override { mpg123_delete(handle_); }
  Mp3Decoder(const Mp3Decoder&) = delete;
  Mp3Decoder& operator=(const Mp3Decoder&) = delete;

  bool Decode(const std::uint8_t* source, std::uint32_t length, std::uint32_t* used) override {
    if (mpg123_feed(handle_, source, length) != MPG123_OK) return false;
    *used = length;
    std::uint8_t chunk[kReadChunk];
    for (;;) {
      std::size_t done = 0;
      const int result = mpg123_read(handle_, chunk, sizeof(chunk), &done);
      if (done != 0) Queue(chunk, done);
      if (result == MPG123_NEED_MORE || result == MPG123_DONE) return true;
      if (result != MPG123_OK && result != MPG123_NEW_FORMAT) return false;
    }
  }

  std::uint32_t OutputBound(std::uint32_t sourceBytes) const override {
    // The densest frames (MPEG-2 at 8 kbit/s, 24 kHz) make 24 sample frames a
    // byte; one frame more for a partial one.
    return (sourceBytes / 24 + 1152) * 24 * 4;
  }

 private:
  mpg123_handle* handle_;
};

}  // namespace

std::unique_ptr<Decoder> MakeMp3Decoder(const WaveFormatEx& source) {
  if (!InitMpg123()) return nullptr;
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  if (handle == nullptr) return nullptr;
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0.0);
  mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
  mpg123_format_none(handle);
  if (mpg123_format(handle, static_cast<long>(source.samplesPerSec), source.channels == 1 ? MPG123_MONO : MPG123_STEREO,
                    MPG123_ENC_SIGNED_16) != MPG123_OK ||
      mpg123_open_feed(handle) != MPG123_OK) {
    mpg123_delete(handle);
    return nullptr;
  }
  return std::make_unique<Mp3Decoder>(handle);
}

}  // namespace plat::acm
