// IMA ADPCM and Microsoft ADPCM: 4-bit codes in blocks of the format's block
// align, each block opening with a header per channel. Source bytes are
// collected until a block is whole; a partial block at the very end is not
// decoded.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/acm_codec.h"

namespace plat::acm {
namespace {

constexpr std::int16_t kImaStepSizes[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr std::int8_t kImaIndexSteps[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
constexpr std::int32_t kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                            768, 614, 512, 409, 307, 230, 230, 230};

std::int16_t Clamp16(std::int32_t value) {
  return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

std::int16_t ReadLe16(const std::uint8_t* bytes) {
  return static_cast<std::int16_t>(bytes[0] | bytes[1] << 8);
}

void WriteLe16(std::uint8_t* out, std::int16_t value) {
  out[0] = static_cast<std::uint8_t>(value & 0xFF);
  out[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Collects source bytes into whole blocks and decodes each.
class BlockDecoder : public Decoder {
 public:
  BlockDecoder(std::uint32_t blockAlign, std::uint32_t channels, std::uint32_t samplesPerBlock)
      : blockAlign_(blockAlign), channels_(channels), samplesPerBlock_(samplesPerBlock) {
    partial_.reserve(blockAlign);
  }

  bool Decode(const std::uint8_t* source, std::uint32_t length, std::uint32_t* used) override {
    *used = length;
    while (length > 0) {
      if (partial_.empty() && length >= blockAlign_) {
        if (!DecodeBlock(source, QueueSpace(BlockOutputBytes()))) return false;
        source += blockAlign_;
        length -= blockAlign_;
        continue;
      }
      const std::uint32_t take = std::min<std::uint32_t>(length, blockAlign_ - static_cast<std::uint32_t>(partial_.size()));
      partial_.insert(partial_.end(), source, source + take);
      source += take;
      length -= take;
      if (partial_.size() == blockAlign_) {
        const bool decoded = DecodeBlock(partial_.data(), QueueSpace(BlockOutputBytes()));
        partial_.clear();
        if (!decoded) return false;
      }
    }
    return true;
  }

  std::uint32_t OutputBound(std::uint32_t sourceBytes) const override {
    return sourceBytes / blockAlign_ * BlockOutputBytes();
  }

 protected:
  std::uint32_t BlockOutputBytes() const { return samplesPerBlock_ * channels_ * 2; }
  // Writes samplesPerBlock frames of 16-bit PCM.
  virtual bool DecodeBlock(const std::uint8_t* block, std::uint8_t* out) = 0;

  std::uint32_t blockAlign_;
  std::uint32_t channels_;
  std::uint32_t samplesPerBlock_;

 private:
  std::vector<std::uint8_t> partial_;
};

std::uint32_t ImaSamplesPerBlock(const WaveFormatEx& format) {
  // Whole groups of four bytes per channel, eight codes each, after the
  // headers, plus the header sample.
  const std::uint32_t header = 4u * format.channels;
  return (format.blockAlign - header) / header * 8 + 1;
}

class ImaAdpcmDecoder final : public BlockDecoder {
 public:
  using BlockDecoder::BlockDecoder;

 private:
  struct Channel {
    std::int32_t predictor;
    std::int32_t index;
  };

  static std::int16_t Step(Channel& channel, std::uint32_t code) {
    const std::int32_t step = kImaStepSizes[channel.index];
    std::int32_t difference = step >> 3;
    if ((code & 1) != 0) difference += step >> 2;
    if ((code & 2) != 0) difference += step >> 1;
    if ((code & 4) != 0) difference += step;
    channel.predictor = Clamp16((code & 8) != 0 ? channel.predictor - difference : channel.predictor + difference);
    channel.index = std::clamp(channel.index + kImaIndexSteps[code], 0, 88);
    return static_cast<std::int16_t>(channel.predictor);
  }

  bool DecodeBlock(const std::uint8_t* block, std::uint8_t* out) override {
    Channel channels[2];
    const std::uint32_t frameBytes = channels_ * 2;
    for (std::uint32_t c = 0; c < channels_; ++c) {
      channels[c].predictor = ReadLe16(block + 4 * c);
      channels[c].index = std::min<std::int32_t>(block[4 * c + 2], 88);
      WriteLe16(out + 2 * c, static_cast<std::int16_t>(channels[c].predictor));
    }
    // After the headers: per channel in turn, 4 bytes holding 8 codes, low
    // nibble first.
    const std::uint8_t* data = block + 4 * channels_;
    const std::uint32_t groups = (samplesPerBlock_ - 1) / 8;
    for (std::uint32_t group = 0; group < groups; ++group) {
      for (std::uint32_t c = 0; c < channels_; ++c) {
        const std::uint8_t* codes = data + (group * channels_ + c) * 4;
        for (std::uint32_t i = 0; i < 8; ++i) {
          const std::uint32_t code = (codes[i / 2] >> ((i & 1) * 4)) & 0xF;
          const std::uint32_t frame = 1 + group * 8 + i;
          WriteLe16(out + frame * frameBytes + 2 * c, Step(channels[c], code));
        }
      }
    }
    return true;
  }
};

class MsAdpcmDecoder final : public BlockDecoder {
 public:
  MsAdpcmDecoder(const WaveFormatEx& format, std::vector<AdpcmCoefficientPair> coefficients)
      : BlockDecoder(format.blockAlign, format.channels, (format.blockAlign - 7u * format.channels) * 2 / format.channels + 2),
        coefficients_(std::move(coefficients)) {}

 private:
  static constexpr std::int64_t kMaxMsDelta = 1 << 24;

  struct Channel {
    std::int32_t first;
    std::int32_t second;
    std::int32_t delta;
    std::int32_t sample1;
    std::int32_t sample2;
  };

  static std::int16_t Step(Channel& channel, std::uint32_t code) {
    const std::int64_t predicted =
        (std::int64_t{channel.sample1} * channel.first + std::int64_t{channel.sample2} * channel.second) >> 8;
    const std::int32_t signedCode = code >= 8 ? static_cast<std::int32_t>(code) - 16 : static_cast<std::int32_t>(code);
    const std::int16_t sample = Clamp16(static_cast<std::int32_t>(
        std::clamp<std::int64_t>(predicted + std::int64_t{signedCode} * channel.delta, INT32_MIN, INT32_MAX)));
    channel.sample2 = channel.sample1;
    channel.sample1 = sample;
    // Hostile data can grow the step without end; past any 16-bit use it is
    // held, so the arithmetic stays in range.
    const std::int64_t adapted = (std::int64_t{kMsAdaptation[code]} * channel.delta) >> 8;
    channel.delta = static_cast<std::int32_t>(std::clamp<std::int64_t>(adapted, 16, kMaxMsDelta));
    return sample;
  }

  bool DecodeBlock(const std::uint8_t* block, std::uint8_t* out) override {
    Channel channels[2];
    const std::uint32_t n = channels_;
    for (std::uint32_t c = 0; c < n; ++c) {
      const std::uint32_t predictor = block[c];
      if (predictor >= coefficients_.size()) return false;
      channels[c].first = coefficients_[predictor].first;
      channels[c].second = coefficients_[predictor].second;
      channels[c].delta = ReadLe16(block + n + 2 * c);
      channels[c].sample1 = ReadLe16(block + 3 * n + 2 * c);
      channels[c].sample2 = ReadLe16(block + 5 * n + 2 * c);
      // The older sample comes first.
      WriteLe16(out + 2 * c, static_cast<std::int16_t>(channels[c].sample2));
      WriteLe16(out + 2 * (n + c), static_cast<std::int16_t>(channels[c].sample1));
    }
    // Codes follow, high nibble first, channels alternating.
    const std::uint8_t* data = block + 7 * n;
    const std::uint32_t codes = (samplesPerBlock_ - 2) * n;
    for (std::uint32_t i = 0; i < codes; ++i) {
      const std::uint32_t code = (data[i / 2] >> ((i & 1) != 0 ? 0 : 4)) & 0xF;
      const std::uint32_t channel = i % n;
      WriteLe16(out + (2 * n + i) * 2, Step(channels[channel], code));
    }
    return true;
  }

  std::vector<AdpcmCoefficientPair> coefficients_;
};

}  // namespace

bool IsValidImaAdpcm(const WaveFormatEx& source) {
  return source.bitsPerSample == 4 && source.channels >= 1 && source.channels <= 2 &&
         source.blockAlign >= 4u * source.channels + 4u * source.channels;
}

bool IsValidMsAdpcm(const WaveFormatEx& source) {
  if (source.bitsPerSample != 4 || source.channels < 1 || source.channels > 2 ||
      source.blockAlign < 7u * source.channels + 1 || source.extraSize < 4) {
    return false;
  }
  const auto& format = reinterpret_cast<const MsAdpcmWaveFormat&>(source);
  return format.coefficientCount >= 1 && source.extraSize >= 4 + 4u * format.coefficientCount;
}

std::unique_ptr<Decoder> MakeImaAdpcmDecoder(const WaveFormatEx& source) {
  return std::make_unique<ImaAdpcmDecoder>(source.blockAlign, source.channels, ImaSamplesPerBlock(source));
}

std::unique_ptr<Decoder> MakeMsAdpcmDecoder(const WaveFormatEx& source) {
  const auto& format = reinterpret_cast<const MsAdpcmWaveFormat&>(source);
  std::vector<AdpcmCoefficientPair> coefficients(format.coefficientCount);
  std::memcpy(coefficients.data(), reinterpret_cast<const std::uint8_t*>(&format) + sizeof(MsAdpcmWaveFormat),
              coefficients.size() * sizeof(AdpcmCoefficientPair));
  return std::make_unique<MsAdpcmDecoder>(source, std::move(coefficients));
}

}  // namespace plat::acm
