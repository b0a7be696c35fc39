// G.711 A-law and µ-law through the compression manager: each 8-bit code
// expands to a 16-bit sample by the standard segment tables, as the codec
// that Windows' manager ships does for telephone-quality WAV files.
#include <algorithm>
#include <array>

#include "platform/acm_codec.h"

namespace plat::acm {
namespace {

// A-law: even bits inverted, three segment bits, four step bits; the step
// sits mid-interval (the +8 and +0x108 halves).
std::int16_t ExpandALaw(std::uint8_t code) {
  code ^= 0x55;
  int magnitude = (code & 0x0F) << 4;
  const int segment = (code & 0x70) >> 4;
  if (segment == 0) {
    magnitude += 8;
  } else {
    magnitude = (magnitude + 0x108) << (segment - 1);
  }
  return static_cast<std::int16_t>((code & 0x80) != 0 ? magnitude : -magnitude);
}

// µ-law: all bits inverted, the biased value 0x84 shifted by the segment,
// the bias taken off again.
std::int16_t ExpandMuLaw(std::uint8_t code) {
  code = static_cast<std::uint8_t>(~code);
  const int biased = (((code & 0x0F) << 3) + 0x84) << ((code & 0x70) >> 4);
  return static_cast<std::int16_t>((code & 0x80) != 0 ? 0x84 - biased : biased - 0x84);
}

using ExpansionTable = std::array<std::int16_t, 256>;

template <std::int16_t (*Expand)(std::uint8_t)>
const ExpansionTable& Table() {
  static const ExpansionTable table = [] {
    ExpansionTable built{};
    for (int code = 0; code < 256; ++code) built[code] = Expand(static_cast<std::uint8_t>(code));
    return built;
  }();
  return table;
}

class G711Decoder final : public Decoder {
 public:
  explicit G711Decoder(const ExpansionTable& table) : table_(table) {}

  // Every byte is one sample, so nothing is ever kept back.
  bool Decode(const std::uint8_t* source, std::uint32_t length, std::uint32_t* used) override {
    *used = length;
    std::uint8_t* out = QueueSpace(std::size_t{length} * 2);
    for (std::uint32_t i = 0; i < length; ++i) {
      const auto sample = static_cast<std::uint16_t>(table_[source[i]]);
      out[2 * i] = static_cast<std::uint8_t>(sample & 0xFF);
      out[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
    }
    return true;
  }

  std::uint32_t OutputBound(std::uint32_t sourceBytes) const override {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{sourceBytes} * 2, 0xFFFFFFFFu));
  }

 private:
  const ExpansionTable& table_;
};

}  // namespace

bool IsValidG711(const WaveFormatEx& source) {
  return source.bitsPerSample == 8 && source.blockAlign == source.channels;
}

std::unique_ptr<Decoder> MakeG711Decoder(const WaveFormatEx& source) {
  return std::make_unique<G711Decoder>(source.formatTag == WAVE_FORMAT_ALAW ? Table<ExpandALaw>()
                                                                            : Table<ExpandMuLaw>());
}

}  // namespace plat::acm
