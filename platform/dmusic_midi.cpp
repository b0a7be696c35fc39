// Standard MIDI File walk: the header's division, every track's events with
// running status, the tempo meta events, and the tick of each track's end.
#include "platform/dmusic_midi.h"

#include <algorithm>
#include <vector>

namespace plat {
namespace {

constexpr std::uint32_t kDefaultMicrosPerQuarter = 500000;  // 120 beats a minute
constexpr std::uint64_t kMaxTicks = std::uint64_t{1} << 32;  // times a 24-bit tempo stays in 64 bits

struct TempoChange {
  std::uint64_t tick;
  std::uint32_t microsPerQuarter;
};

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return at_ >= size_; }
  bool Byte(std::uint8_t* out) {
    if (at_ >= size_) return false;
    *out = data_[at_++];
    return true;
  }
  // A variable-length quantity of at most four bytes.
  bool Quantity(std::uint32_t* out) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t byte = 0;
      if (!Byte(&byte)) return false;
      value = (value << 7) | (byte & 0x7F);
      if ((byte & 0x80) == 0) {
        *out = value;
        return true;
      }
    }
    return false;
  }
  bool Skip(std::uint32_t count) {
    if (count > size_ - at_) return false;
    at_ += count;
    return true;
  }
  const std::uint8_t* Here() const { return data_ + at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Data bytes after a channel status byte.
int ChannelDataBytes(std::uint8_t status) {
  const std::uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// One track's events: its last tick, and its tempo changes appended.
bool WalkTrack(const std::uint8_t* data, std::size_t size, std::uint64_t* endTick, std::vector<TempoChange>* tempos) {
  Reader reader(data, size);
  std::uint64_t tick = 0;
  std::uint8_t running = 0;
  while (!reader.AtEnd()) {
    std::uint32_t delta = 0;
    std::uint8_t status = 0;
    if (!reader.Quantity(&delta) || !reader.Byte(&status)) return false;
    tick += delta;
    if (tick > kMaxTicks) return false;
    if (status == 0xFF) {
      std::uint8_t type = 0;
      std::uint32_t length = 0;
      if (!reader.Byte(&type) || !reader.Quantity(&length)) return false;
      const std::uint8_t* body = reader.Here();
      if (!reader.Skip(length)) return false;
      if (type == 0x51 && length == 3) {
        tempos->push_back({tick, (std::uint32_t{body[0]} << 16) | (std::uint32_t{body[1]} << 8) | body[2]});
      }
      if (type == 0x2F) break;  // end of track
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      std::uint32_t length = 0;
      if (!reader.Quantity(&length) || !reader.Skip(length)) return false;
      continue;
    }
    int data = 0;
    if ((status & 0x80) != 0) {
      running = status;
      data = ChannelDataBytes(status);
    } else {
      // Running status: this byte is the first data byte.
      if (running == 0) return false;
      data = ChannelDataBytes(running) - 1;
    }
    if (!reader.Skip(static_cast<std::uint32_t>(data))) return false;
  }
  *endTick = tick;
  return true;
}

}  // namespace

std::int64_t MidiDurationMicroseconds(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 14 || std::equal(data, data + 4, "MThd") == false || Be32(data + 4) < 6) return -1;
  const std::uint16_t format = static_cast<std::uint16_t>((data[8] << 8) | data[9]);
  const std::uint16_t tracks = static_cast<std::uint16_t>((data[10] << 8) | data[11]);
  const std::uint16_t division = static_cast<std::uint16_t>((data[12] << 8) | data[13]);
  if (format > 2 || tracks == 0 || division == 0) return -1;

  std::size_t at = 8 + std::size_t{Be32(data + 4)};
  std::uint64_t endTick = 0;
  std::vector<TempoChange> tempos;
  for (int track = 0; track < tracks; ++track) {
    if (at > size || size - at < 8) return -1;
    const std::uint32_t length = Be32(data + at + 4);
    if (!std::equal(data + at, data + at + 4, "MTrk") || length > size - at - 8) return -1;
    std::uint64_t trackEnd = 0;
    if (!WalkTrack(data + at + 8, length, &trackEnd, &tempos)) return -1;
    endTick = std::max(endTick, trackEnd);
    at += 8 + std::size_t{length};
  }

  // SMPTE time: frames a second (29 meaning 29.97) times ticks a frame.
  if ((division & 0x8000) != 0) {
    const int frames = -static_cast<std::int8_t>(division >> 8);
    const int ticksPerFrame = division & 0xFF;
    if (frames <= 0 || ticksPerFrame == 0) return -1;
    const double ticksPerSecond = (frames == 29 ? 29.97 : frames) * ticksPerFrame;
    return static_cast<std::int64_t>(static_cast<double>(endTick) * 1e6 / ticksPerSecond);
  }
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  std::uint64_t micros = 0;
  std::uint64_t tick = 0;
  std::uint32_t tempo = kDefaultMicrosPerQuarter;
  for (const TempoChange& change : tempos) {
    if (change.tick >= endTick) break;
    micros += (change.tick - tick) * tempo / division;
    tick = change.tick;
    tempo = change.microsPerQuarter;
  }
  micros += (endTick - tick) * tempo / division;
  return static_cast<std::int64_t>(micros);
}

}  // namespace plat
