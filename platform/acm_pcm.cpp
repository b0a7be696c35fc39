// PCM through the compression manager: 8- and 16-bit samples pass as they
// are; 24- and 32-bit samples keep their top 16 bits.
#include <cstring>

#include "platform/acm_codec.h"

namespace plat::acm {
namespace {

class PcmDecoder final : public Decoder {
 public:
  PcmDecoder(std::uint32_t sourceBlock, std::uint32_t sourceBytes, std::uint32_t destinationBlock, std::uint32_t samples)
      : sourceBlock_(sourceBlock), sourceBytes_(sourceBytes), destinationBlock_(destinationBlock), samples_(samples) {}

  bool Decode(const std::uint8_t* source, std::uint32_t length, std::uint32_t* used) override {
    const std::uint32_t frames = length / sourceBlock_;
    *used = frames * sourceBlock_;
    if (frames == 0) return true;
    std::uint8_t* out = QueueSpace(std::size_t{frames} * destinationBlock_);
    if (sourceBlock_ == destinationBlock_) {
      std::memcpy(out, source, *used);
      return true;
    }
    // Little-endian samples: the top two bytes of each are the 16-bit sample.
    const std::uint32_t count = frames * samples_;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* sample = source + std::size_t{i} * sourceBytes_;
      out[2 * i] = sample[sourceBytes_ - 2];
      out[2 * i + 1] = sample[sourceBytes_ - 1];
    }
    return true;
  }

  std::uint32_t OutputBound(std::uint32_t sourceBytes) const override {
    return sourceBytes / sourceBlock_ * destinationBlock_;
  }

 private:
  std::uint32_t sourceBlock_;
  std::uint32_t sourceBytes_;
  std::uint32_t destinationBlock_;
  std::uint32_t samples_;
};

}  // namespace

std::unique_ptr<Decoder> MakePcmDecoder(const WaveFormatEx& source, const WaveFormatEx& destination) {
  return std::make_unique<PcmDecoder>(source.blockAlign, source.bitsPerSample / 8u, destination.blockAlign,
                                      source.channels);
}

}  // namespace plat::acm
