// One walk over the fields in file order serves both the writer and the
// reader, so the two can never disagree on the layout or on what the
// checksum counts. The live state changes only once a whole file checked out.
#include "game/save_file.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <utility>

#include "core/file_access.h"
#include "core/file_replace.h"
#include "game/doors.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_files.h"
#include "game/game_paths.h"
#include "game/play_time.h"
#include "platform/clock.h"

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
    if (!ok_) return;
    if (length < 0 || length > kMaxNameLength || size_ - at_ < static_cast<std::size_t>(length) + 1) {
      ok_ = false;
      nameBad_ = length < 0 || length > kMaxNameLength;
      return;
    }
    // The writer puts exactly `length` bytes without a zero, then one zero:
    // anything else would not be written back as it was read.
    const char* text = reinterpret_cast<const char*>(bytes_ + at_);
    const std::size_t size = static_cast<std::size_t>(length);
    if (std::memchr(text, 0, size) != nullptr || text[size] != '\0') {
      ok_ = false;
      nameBad_ = true;
      return;
    }
    name.assign(text, size);
    at_ += size + 1;
  }
  // "" when every field was read and the stored checksum matches.
  const char* Finish() {
    const std::uint32_t computed = sum_;
    std::uint32_t stored = 0;
    if (!Get(&stored)) return nameBad_ ? "its map name is damaged" : "it ends early (truncated)";
    return stored == computed ? "" : "its checksum does not match";
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
  bool nameBad_ = false;
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

// What the game itself can write, from where each value is raised. Each of the
// 100 floors has one chest, opened once (its floor-item flag), holding one MP,
// one shot level or one coin; a shop's MP Up gives 2 MP for 2 coins and a
// shot level costs 3, so no coin buys more than one MP or one level.
constexpr int kMaxMagicLimit = kStartMaxMagic + kFloorCount;
constexpr int kShotLevelStart[3] = {1, 0, 0};  // Blaze is known from the start
constexpr int kDoorLinkUnseen = -1;           // 0: seen, not yet passed; 1..100 a floor; 101 the ending

template <std::size_t N>
bool AllIn(const std::int32_t (&values)[N], int low, int high) {
  for (const std::int32_t v : values) {
    if (v < low || v > high) return false;
  }
  return true;
}

template <std::size_t N, std::size_t M>
bool AllIn(const std::int32_t (&rows)[N][M], int low, int high) {
  for (const auto& row : rows) {
    if (!AllIn(row, low, high)) return false;
  }
  return true;
}

bool FlagsHoldZeroOrOne(const SaveRecord& r) {
  for (int f = 0; f < kFloorCount; ++f) {
    if (!AllIn(r.floorItems[f], 0, 1)) return false;
  }
  return AllIn(r.visited, 0, 1) && AllIn(r.shopFound, 0, 1) && AllIn(r.shopSold, 0, 1) &&
         AllIn(r.bossDefeated, 0, 1) && AllIn(r.progressFlags, 0, 1) && r.reserved >= 0 && r.reserved <= 1;
}

// "" when every value is one the game can write, else the field at fault.
// Nothing the game never writes may reach the live game: the status bar and
// the recovery point loop over Max MP, floor play indexes by the map name.
const char* RecordFault(const SaveRecord& r) {
  if (!IsFloorName(r.mapName)) return "its map name is not a floor 001..100";
  if (r.entrance < 0 || r.entrance > kCheckCubeEntrance) return "its entrance is outside 0..4";
  if (r.maxMagic < kStartMaxMagic || r.maxMagic > kMaxMagicLimit) return "its Max MP is outside 16..116";
  for (int kind = 0; kind < 3; ++kind) {
    if (r.shotLevel[kind] < kShotLevelStart[kind] || r.shotLevel[kind] > kShotLevelStart[kind] + kFloorCount) {
      return "a shot level is outside what the chests and shops give";
    }
  }
  if (r.coins < 0 || r.coins > kCoinCap) return "its coins are outside 0..99";
  if (r.keys < 0 || r.keys > kKeyCap) return "its keys are outside 0..99";
  if (!AllIn(r.doorLinks, kDoorLinkUnseen, kEndingFloor)) return "a door link is outside -1..101";
  if (!AllIn(r.floorValue, -1, kLastChestContent)) return "a found item is outside -1..29";
  if (!FlagsHoldZeroOrOne(r)) return "a flag holds neither 0 nor 1";
  if (r.gameOvers < 0 || r.gameOvers > kGameOversCap) return "its game-over count is outside 0..30100";
  return "";
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

// A few words on why a replacement failed, for the player.
const char* DescribeReplaceError(qz::FileReplaceError error) {
  switch (error) {
    case qz::FileReplaceError::kDiskFull: return "the disk is full";
    case qz::FileReplaceError::kAccessDenied: return "access is denied";
    case qz::FileReplaceError::kNoFolder: return "the save folder is missing";
    default: return "the disk refused the write";
  }
}

// The slot file's bytes, one byte more than the longest file so nothing valid
// is cut off; false when it cannot be opened.
bool ReadSlotBytes(const GameString& path, std::vector<std::uint8_t>* bytes) {
  if (CanOpenFile(path) == 0) return false;
  const qz::FileHandle file = qz::OpenFileForRead(path.c_str(), 0);
  if (file == 0) return false;
  bytes->assign(kSaveFileMaxBytes + 1, 0);
  std::size_t size = 0;
  for (std::size_t got = 1; got != 0 && size < bytes->size(); size += got) {
    got = qz::ReadFileBytes(bytes->data() + size, bytes->size() - size, file);
  }
  qz::FileAccessClose(file);
  bytes->resize(size);
  return true;
}

// Copies of damaged slots are never overwritten: each new damage takes the
// next free name, up to a number that a disk cannot fill.
constexpr int kMaxDamagedCopies = 16;

// Copy 1 is name + ".damaged", copy n name + ".damaged.n".
GameString DamagedCopyPath(const GameString& path, int copy) {
  const GameString first = GameStringConcat(path, ".damaged");
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%d", copy);
  return copy == 1 ? first : GameStringConcat(first, suffix);
}

// A slot file the reader refuses is copied beside itself before a save
// replaces it, so what was in it can still be looked at.
void KeepDamagedSlot(const GameString& path) {
  std::vector<std::uint8_t> bytes;
  SaveRecord record{};
  if (!ReadSlotBytes(path, &bytes) || DecodeSaveRecord(bytes.data(), bytes.size(), &record)) return;
  int copy = 1;
  for (std::vector<std::uint8_t> kept; copy <= kMaxDamagedCopies && ReadSlotBytes(DamagedCopyPath(path, copy), &kept);
       ++copy) {
    if (kept == bytes) return;  // kept already (a save that then failed)
  }
  if (copy > kMaxDamagedCopies) {
    ReportGameProblem("the damaged save %s is overwritten without a copy: %d copies are kept already",
                      DiskFileName(path).c_str(), kMaxDamagedCopies);
    return;
  }
  const GameString copyPath = DamagedCopyPath(path, copy);
  qz::FileReplaceError error = qz::FileReplaceError::kNone;
  if (qz::ReplaceFileBytes(copyPath.c_str(), bytes.data(), bytes.size(), &error) == 0) {
    ReportGameProblem("the damaged save %s is kept as %s before it is overwritten", DiskFileName(path).c_str(),
                      DiskFileName(copyPath).c_str());
  } else {
    ReportGameProblem("the damaged save %s is overwritten without a copy: %s", DiskFileName(path).c_str(),
                      DescribeReplaceError(error));
  }
}

// The bytes last refused of each slot file by its path, so one damage is told
// once however often the title reads it; emptied when the file reads otherwise.
std::map<std::string, std::vector<std::uint8_t>> refusedSlotBytes;

}  // namespace

std::vector<std::uint8_t> EncodeSaveRecord(const SaveRecord& record) {
  SaveEncoder encoder;
  VisitFields(encoder, record);
  return encoder.Finish();
}

const char* SaveFileFault(const std::uint8_t* bytes, std::size_t size, SaveRecord* out) {
  SaveDecoder decoder(bytes, size);
  VisitFields(decoder, *out);
  const char* fault = decoder.Finish();
  return fault[0] != '\0' ? fault : RecordFault(*out);
}

bool DecodeSaveRecord(const std::uint8_t* bytes, std::size_t size, SaveRecord* out) {
  return SaveFileFault(bytes, size, out)[0] == '\0';
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

int WriteSaveFile(int slot, std::string* failure) {
  if (slot == -1) return 0;
  const GameString path = SaveDataFile(slot);
  AdvancePlayTime();
  KeepDamagedSlot(path);
  const std::vector<std::uint8_t> bytes = EncodeSaveRecord(CaptureSaveRecord());
  qz::FileReplaceError error = qz::FileReplaceError::kNone;
  if (qz::ReplaceFileBytes(path.c_str(), bytes.data(), bytes.size(), &error) == 0) return 1;
  const char* why = DescribeReplaceError(error);
  ReportGameProblem("could not save to %s: %s; the previous save is kept", DiskFileName(path).c_str(), why);
  if (failure != nullptr) *failure = why;
  return 0;
}

SlotContents ReadSaveSlot(int slot) {
  const GameString path = SaveDataFile(slot);
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t>& refused = refusedSlotBytes[path.c_str()];
  if (!ReadSlotBytes(path, &bytes)) {
    refused.clear();
    return SlotContents::kEmpty;
  }
  SaveRecord record{};
  if (const char* fault = SaveFileFault(bytes.data(), bytes.size(), &record); fault[0] != '\0') {
    if (bytes != refused) ReportGameProblem("save file %s refused: %s", DiskFileName(path).c_str(), fault);
    refused = std::move(bytes);
    ResetNewGame();
    return SlotContents::kDamaged;
  }
  refused.clear();
  ApplySaveRecord(record);
  gameState.tickAtStart = plat::GetTickCount();
  player.posX = player.x;
  player.posY = player.y;
  return SlotContents::kSaved;
}

int ReadSaveFile(int slot) { return ReadSaveSlot(slot) == SlotContents::kSaved ? 1 : 0; }

void RemoveInterruptedSaves() {
  for (int slot = 1; slot <= 3; ++slot) {
    const GameString path = SaveDataFile(slot);
    qz::RemoveInterruptedReplacement(path.c_str());
    // Copies take the first free name, so the one a kill cut off is the last
    // that has a temporary; the names past the first missing copy were never used.
    for (int copy = 1; copy <= kMaxDamagedCopies; ++copy) {
      const GameString copyPath = DamagedCopyPath(path, copy);
      qz::RemoveInterruptedReplacement(copyPath.c_str());
      if (CanOpenFile(copyPath) == 0) break;
    }
  }
}
