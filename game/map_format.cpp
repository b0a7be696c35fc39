// Reader and writer of the floor map file. Every integer is a 32-bit signed
// little-endian value; three length-prefixed names come first, so all later
// offsets move with the name lengths and the three list counts.
#include "game/map_format.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr const char* kTruncated = "it ends early (truncated)";

// A bounds-checked cursor: every read fails once the input is exhausted and
// stays failed, so callers check once at the end of a block.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  bool ok() const { return ok_; }
  std::size_t remaining() const { return ok_ ? size_ - position_ : 0; }
  // Why the first failed read failed; "" while none has.
  const char* fault() const { return fault_; }
  void Fail(const char* why) {
    if (ok_) fault_ = why;
    ok_ = false;
  }

  std::int32_t Int() {
    if (!Has(4)) return 0;
    const std::uint8_t* p = bytes_ + position_;
    position_ += 4;
    const std::uint32_t value = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                                std::uint32_t{p[3]} << 24;
    return static_cast<std::int32_t>(value);
  }

  // A length-prefixed, zero-terminated name of at most MapFileData::kMaxNameLength bytes.
  std::string Name() {
    const std::int32_t length = Int();
    if (!ok_) return {};
    if (length < 0 || length > MapFileData::kMaxNameLength) {
      Fail("a name length is outside 0..255");
      return {};
    }
    if (!Has(static_cast<std::size_t>(length) + 1)) return {};
    const char* text = reinterpret_cast<const char*>(bytes_ + position_);
    position_ += static_cast<std::size_t>(length) + 1;
    if (text[length] != '\0' || std::memchr(text, 0, static_cast<std::size_t>(length)) != nullptr) {
      Fail("a name is not one zero-terminated string");
    }
    return ok_ ? std::string(text, static_cast<std::size_t>(length)) : std::string();
  }

  // A count in 0..limit followed by that many {tile x, tile y, value} records.
  std::vector<MapFileData::Placement> Placements(int limit) {
    const std::int32_t count = Int();
    if (!ok_) return {};
    if (count < 0 || count > limit) {
      Fail("a list count is outside its limit");
      return {};
    }
    if (!Has(std::size_t{12} * static_cast<std::size_t>(count))) return {};
    std::vector<MapFileData::Placement> list(static_cast<std::size_t>(count));
    for (MapFileData::Placement& p : list) {
      p.tileX = Int();
      p.tileY = Int();
      p.value = Int();
    }
    return list;
  }

 private:
  bool Has(std::size_t count) {
    if (ok_ && count <= size_ - position_) return true;
    Fail(kTruncated);
    return false;
  }

  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool ok_ = true;
  const char* fault_ = "";
};

class ByteWriter {
 public:
  void Int(std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    bytes_.insert(bytes_.end(), b, b + 4);
  }
  void Name(const std::string& name) {
    const std::string text = CutName(name);
    Int(static_cast<std::int32_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
  }
  void Placements(const std::vector<MapFileData::Placement>& list, int limit) {
    const std::size_t count = std::min(list.size(), static_cast<std::size_t>(limit));
    Int(static_cast<std::int32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
      Int(list[i].tileX);
      Int(list[i].tileY);
      Int(list[i].value);
    }
  }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }
  void Reserve(std::size_t size) { bytes_.reserve(size); }

 private:
  // The name as the file can hold it: up to the first zero, at most 255 bytes.
  static std::string CutName(const std::string& name) {
    const std::size_t end = std::min(name.find('\0'), static_cast<std::size_t>(MapFileData::kMaxNameLength));
    return name.substr(0, end);
  }

  std::vector<std::uint8_t> bytes_;
};

}  // namespace

std::size_t MapFileSize(std::size_t nameBytes, std::size_t placementCount) {
  return MapFileData::kFixedBytes + nameBytes + 12 * placementCount;
}

bool ParseMapFile(const std::uint8_t* bytes, std::size_t size, MapFileData* out, const char** fault) {
  const char* ignored = "";
  const char*& why = fault != nullptr ? *fault : ignored;
  why = "";
  if (out == nullptr || (bytes == nullptr && size != 0)) return false;
  ByteReader in(bytes, size);
  MapFileData& d = *out;
  d.header = in.Int();
  d.chipSetName = in.Name();
  d.backgroundName = in.Name();
  d.musicName = in.Name();
  if (in.ok() && in.remaining() < MapFileData::kCellBlockBytes) in.Fail(kTruncated);
  if (!in.ok()) {
    why = in.fault();
    return false;
  }
  for (int y = 0; y < MapFileData::kRows; ++y) {
    for (int x = 0; x < MapFileData::kColumns; ++x) {
      d.chipLayer[MapFileData::CellIndex(x, y)] = in.Int();
      d.attributeLayer[MapFileData::CellIndex(x, y)] = in.Int();
    }
  }
  for (std::int32_t& value : d.chipTable) value = in.Int();
  d.enemyPlacements = in.Placements(MapFileData::kMaxEnemyPlacements);
  d.kindSet = in.Int();
  d.mapObjects = in.Placements(MapFileData::kMaxMapObjects);
  for (MapFileData::Slot& slot : d.slots) {
    slot.active = in.Int();
    slot.tileX = in.Int();
    slot.tileY = in.Int();
    slot.type = in.Int();
  }
  d.movingObjects = in.Placements(MapFileData::kMaxMovingObjects);
  for (std::int32_t& flag : d.mapFlags) flag = in.Int();
  for (MapFileData::Door& door : d.doors) {
    door.targetFloor = in.Int();
    door.targetEntrance = in.Int();
  }
  d.timeLimit = in.Int();
  why = in.fault();
  // Trailing bytes mean the counts or lengths do not describe this file.
  if (in.ok() && in.remaining() != 0) why = "it has bytes past its end";
  return in.ok() && in.remaining() == 0;
}

std::vector<std::uint8_t> WriteMapFile(const MapFileData& d) {
  ByteWriter out;
  out.Reserve(MapFileSize(3 * MapFileData::kMaxNameLength, MapFileData::kMaxEnemyPlacements + MapFileData::kMaxMapObjects + MapFileData::kMaxMovingObjects));
  out.Int(d.header);
  out.Name(d.chipSetName);
  out.Name(d.backgroundName);
  out.Name(d.musicName);
  for (int y = 0; y < MapFileData::kRows; ++y) {
    for (int x = 0; x < MapFileData::kColumns; ++x) {
      out.Int(d.chipLayer[MapFileData::CellIndex(x, y)]);
      out.Int(d.attributeLayer[MapFileData::CellIndex(x, y)]);
    }
  }
  for (std::int32_t value : d.chipTable) out.Int(value);
  out.Placements(d.enemyPlacements, MapFileData::kMaxEnemyPlacements);
  out.Int(d.kindSet);
  out.Placements(d.mapObjects, MapFileData::kMaxMapObjects);
  for (const MapFileData::Slot& slot : d.slots) {
    out.Int(slot.active);
    out.Int(slot.tileX);
    out.Int(slot.tileY);
    out.Int(slot.type);
  }
  out.Placements(d.movingObjects, MapFileData::kMaxMovingObjects);
  for (std::int32_t flag : d.mapFlags) out.Int(flag);
  for (const MapFileData::Door& door : d.doors) {
    out.Int(door.targetFloor);
    out.Int(door.targetEntrance);
  }
  out.Int(d.timeLimit);
  return out.Take();
}
