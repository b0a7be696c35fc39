// One walk over the fields in file order serves both the writer and the
// reader, so the two can never disagree on the layout or on what the
// checksum counts. The live state changes only once a whole file checked out.
#include "game/save_file.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "core/file_access.h"
#include "core/log.h"
#include "game/floor_load.h"
#include "game/floor_records.h"
#include "game/game_paths.h"
#include "game/play_time.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace {

constexpr int kMaxNameLength = 255;

// Appends fields; flags count 1 when they hold exactly 1, values their value.
class SaveEncoder {
 public:
  void Flag(const std::int32_t& v) { Put(static_cast<std::uint32_t>(v), v == 1 ? 1u : 0u); }
  void Value(const std::int32_t& v) { Put(static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v)); }
  void Uncounted(const std::uint32_t& v) { Put(v, 0); }
  void Name(const std::string& name) {
    Value(static_cast<std::int32_t>(name.size()));
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    bytes_.push_back(0);
  }
  std::vector<std::uint8_t> Finish() {
    Put(sum_, 0);
    return std::move(bytes_);
  }

 private:
  void Put(std::uint32_t v, std::uint32_t counted) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
    sum_ += counted;
  }
  std::vector<std::uint8_t> bytes_;
  std::uint32_t sum_ = 0;
};

// Reads fields from bytes; once short or damaged, reads nothing more.
class SaveDecoder {
 public:
  SaveDecoder(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  void Flag(std::int32_t& v) {
    if (Get(reinterpret_cast<std::uint32_t*>(&v)) && v == 1) sum_ += 1;
  }
  void Value(std::int32_t& v) {
    if (Get(reinterpret_cast<std::uint32_t*>(&v))) sum_ += static_cast<std::uint32_t>(v);
  }
  void Uncounted(std::uint32_t& v) { Get(&v); }
  void Name(std::string& name) {
    std::int32_t length = 0;
    Value(length);
    if (!ok_ || length < 0 || length > kMaxNameLength || size_ - at_ < static_cast<std::size_t>(length) + 1) {
      ok_ = false;
      return;
    }
    // The writer puts exactly `length` bytes without a zero, then one zero:
    // anything else would not be written back as it was read.
    const char* text = reinterpret_cast<const char*>(bytes_ + at_);
    const std::size_t size = static_cast<std::size_t>(length);
    if (std::memchr(text, 0, size) != nullptr || text[size] != '\0') {
      ok_ = false;
      return;
    }
    name.assign(text, size);
    at_ += size + 1;
  }
  // True when every field was read and the stored checksum matches.
  bool Finish() {
    const std::uint32_t computed = sum_;
    std::uint32_t stored = 0;
    return Get(&stored) && stored == computed;
  }

 private:
  bool Get(std::uint32_t* v) {
    if (!ok_ || size_ - at_ < 4) {
      ok_ = false;
      return false;
    }
    *v = 0;
    for (int i = 3; i >= 0; --i) *v = (*v << 8) | bytes_[at_ + static_cast<std::size_t>(i)];
    at_ += 4;
    return true;
  }
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
  std::uint32_t sum_ = 0;
  bool ok_ = true;
};

// Every field in file order; Record is SaveRecord or const SaveRecord.
template <typename Io, typename Record>
void VisitFields(Io& io, Record& r) {
  for (int f = 0; f < kFloorCount; ++f) {
    for (auto& flag : r.floorItems[f]) io.Flag(flag);
    for (auto& link : r.doorLinks[f]) io.Value(link);
    io.Flag(r.visited[f]);
    io.Flag(r.shopFound[f]);
    io.Value(r.floorValue[f]);
  }
  for (auto& flag : r.shopSold) io.Flag(flag);
  for (auto& flag : r.bossDefeated) io.Flag(flag);
  io.Value(r.maxMagic);
  for (auto& level : r.shotLevel) io.Value(level);
  io.Value(r.coins);
  io.Value(r.keys);
  for (auto& flag : r.progressFlags) io.Flag(flag);
  io.Flag(r.reserved);
  io.Name(r.mapName);
  io.Value(r.entrance);
  io.Value(r.gameOvers);
  io.Uncounted(r.playTimeMs);
}

// Floors are "001".."100": three digits, as the floor loader names them.
bool IsFloorName(const std::string& name) {
  if (name.size() != 3) return false;
  int number = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number >= 1 && number <= kFloorCount;
}

// Copies one field, a whole array at once.
template <typename T>
void CopyField(T& to, const T& from) {
  if constexpr (std::is_array_v<T>) {
    std::memcpy(&to, &from, sizeof(T));
  } else {
    to = from;
  }
}

// Every (saved, live) pair but the map name, whose types differ; Copy moves
// one pair either way, so capture and apply cannot drift apart. Record is
// SaveRecord or const SaveRecord.
template <typename Record, typename Copy>
void PairLiveFields(Record& r, Copy copy) {
  FloorProgressRecord& progress = gameState.FloorProgress;
  copy(r.floorItems, progress.floorItems);
  copy(r.doorLinks, progress.doorLinks);
  copy(r.visited, progress.visited);
  copy(r.shopFound, progress.shopFound);
  copy(r.floorValue, progress.floorValue);
  copy(r.shopSold, progress.shopSold);
  copy(r.bossDefeated, progress.bossDefeated);
  copy(r.maxMagic, player.maxMagic);
  copy(r.shotLevel, player.shotLevel);
  copy(r.coins, player.coins);
  copy(r.keys, player.keys);
  copy(r.progressFlags, player.ProgressFlags);
  copy(r.reserved, gameState.savedZero);
  copy(r.entrance, entrance);
  copy(r.gameOvers, gameOvers);
  copy(r.playTimeMs, gameState.playTimeMs);
}

// Writes the bytes to path through a temporary beside it, renamed over the
// old file only when every byte reached the disk's buffers and the close
// succeeded.
bool ReplaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (written && closed && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  std::remove(temporary.c_str());
  return false;
}

}  // namespace

std::vector<std::uint8_t> EncodeSaveRecord(const SaveRecord& record) {
  SaveEncoder encoder;
  VisitFields(encoder, record);
  return encoder.Finish();
}

bool DecodeSaveRecord(const std::uint8_t* bytes, std::size_t size, SaveRecord* out) {
  SaveDecoder decoder(bytes, size);
  VisitFields(decoder, *out);
  return decoder.Finish() && IsFloorName(out->mapName) && out->entrance >= 0 && out->entrance <= kCheckCubeEntrance;
}

SaveRecord CaptureSaveRecord() {
  SaveRecord r{};
  PairLiveFields(r, [](auto& saved, const auto& live) { CopyField(saved, live); });
  r.mapName.assign(mapName.c_str(), strnlen(mapName.c_str(), kMaxNameLength));
  return r;
}

void ApplySaveRecord(const SaveRecord& r) {
  PairLiveFields(r, [](const auto& saved, auto& live) { CopyField(live, saved); });
  GameStringAssign(mapName, r.mapName.c_str(), static_cast<int>(r.mapName.size()));
}

GameString SaveDataFile(int slot) {
  return GameStringConcat(GameStringConcatString(GamePath("\\save\\SaveData0"), IntToPaddedString(slot, 0)),
                          ".sav");
}

int WriteSaveFile(int slot) {
  if (slot == -1) return 0;
  const GameString path = SaveDataFile(slot);
  AdvancePlayTime();
  const std::string native = plat::ToPosixPath(path.c_str());
  if (!native.empty() && ReplaceFile(native, EncodeSaveRecord(CaptureSaveRecord()))) return 1;
  qz::AppendLogFormat("save slot %d could not be written; the previous save is kept\n", slot);
  return 0;
}

int ReadSaveFile(int slot) {
  const GameString path = SaveDataFile(slot);
  if (CanOpenFile(path) == 0) return 0;
  const qz::FileHandle file = qz::OpenFileForRead(path.c_str(), 0);
  if (file == 0) return 0;
  // One byte more than the longest file, so nothing valid is cut off.
  std::vector<std::uint8_t> bytes(kSaveFileMaxBytes + 1);
  std::size_t size = 0;
  for (std::size_t got = 1; got != 0 && size < bytes.size(); size += got) {
    got = qz::ReadFileBytes(bytes.data() + size, bytes.size() - size, file);
  }
  qz::FileAccessClose(file);
  SaveRecord record{};
  if (!DecodeSaveRecord(bytes.data(), size, &record)) {
    ResetNewGame();
    return 0;
  }
  ApplySaveRecord(record);
  gameState.tickAtStart = plat::GetTickCount();
  player.posX = player.x;
  player.posY = player.y;
  return 1;
}
