// The save slots as a player meets them: progress written and read back field
// by field, files damaged, cut short or crafted (refused and reset, never a
// crash; names, entrances and values the game never writes refused even when
// their sum matches; each refusal named on stderr, and the file kept as
// ".damaged" before a save replaces it), a write, flush or rename that fails
// keeping the old save and saying why, and the play time across a wrap of the
// tick counter.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/save_file.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "support/scratch_folder.h"
#include "support/virtual_clock.h"

namespace {

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

void Put32(std::string* bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// The checksum recomputed from the offsets of the file layout alone.
std::uint32_t ReferenceChecksum(const std::string& file) {
  std::uint32_t sum = 0;
  auto flag = [&](std::size_t at) { sum += Le32(file, at) == 1 ? 1 : 0; };
  auto value = [&](std::size_t at) { sum += Le32(file, at); };
  for (std::size_t f = 0; f < 100; ++f) {
    for (std::size_t at : {0, 4, 8, 28, 32}) flag(40 * f + at);
    for (std::size_t at : {12, 16, 20, 24, 36}) value(40 * f + at);
  }
  for (std::size_t at = 4000; at < 4192; at += 4) flag(at);
  for (std::size_t at = 4192; at < 4216; at += 4) value(at);
  for (std::size_t at = 4216; at < 4316; at += 4) flag(at);
  const std::size_t length = Le32(file, 4316);
  value(4316);
  value(4321 + length);
  value(4325 + length);
  return sum;
}

// The sum made to match again, as a crafted file would.
std::string Resummed(std::string bytes) {
  Put32(&bytes, bytes.size() - 4, ReferenceChecksum(bytes));
  return bytes;
}

class SaveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualTime(true);
    previous_ = currentDirectory;
    currentDirectory = GameString(plat::ToLibraryPath(folder_.root()).c_str());
    folder_.MakeFolder("save");
    ResetNewGame();
  }
  void TearDown() override {
    currentDirectory = previous_;
    plat::UseVirtualTime(false);
  }

  // Live progress with a value in every kind of field worth telling apart.
  static void SetDistinctiveProgress() {
    FloorProgressRecord& p = gameState.FloorProgress;
    for (int f = 0; f < kFloorCount; ++f) {
      p.floorItems[f][0] = f % 2;
      p.floorItems[f][1] = f % 3 == 0 ? 1 : 0;
      p.floorItems[f][2] = f % 5 == 0 ? 1 : 0;
      for (int d = 0; d < kDoorsPerFloor; ++d) p.doorLinks[f][d] = (f * 7 + d) % 103 - 1;
      p.visited[f] = f % 4 == 0 ? 1 : 0;
      p.shopFound[f] = f == 41 ? 1 : 0;
      p.floorValue[f] = f % 9 == 0 ? 29 : -1;
    }
    p.shopSold[3] = 1;
    p.shopSold[31] = 1;
    p.bossDefeated[15] = 1;
    player.maxMagic = 48;
    player.shotLevel[0] = 3;
    player.shotLevel[1] = 2;
    player.shotLevel[2] = 1;
    player.coins = 99;
    player.keys = 7;
    player.ProgressFlags[kTrueEye] = 1;
    player.ProgressFlags[kAirdash] = 1;
    GameStringAssign(mapName, "042");
    entrance = 3;
    gameOvers = 17;
    gameState.playTimeMs = 3600000;
    player.x = 320;
    player.y = 192;
  }

  std::string SlotBytes(int slot) const { return folder_.Read("save/SaveData0" + std::to_string(slot) + ".sav"); }
  void WriteSlotBytes(int slot, const std::string& bytes) const {
    folder_.Write("save/SaveData0" + std::to_string(slot) + ".sav", bytes);
  }
  // A valid slot 1 file made from the distinctive progress.
  std::string ValidFile() {
    SetDistinctiveProgress();
    EXPECT_EQ(WriteSaveFile(1), 1);
    return SlotBytes(1);
  }
  // Whether ReadSaveFile accepts bytes, and the game is a new one when not.
  bool Loads(const std::string& bytes) {
    WriteSlotBytes(1, bytes);
    player.coins = 999;
    const int result = ReadSaveFile(1);
    if (result == 0) {
      EXPECT_EQ(player.coins, 0) << "a refused slot resets a new game";
    }
    return result == 1;
  }

  // What a save to slot 1 tells on stderr; WriteSaveFile must answer `result`.
  static std::string SaveTold(int result, std::string* failure = nullptr) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(WriteSaveFile(1, failure), result);
    return testing::internal::GetCapturedStderr();
  }

  qz::testing::ScratchFolder folder_;
  GameString previous_;
};

TEST_F(SaveFileTest, WrittenProgressReadsBackFieldByFieldWithAChecksumOverTheLayout) {
  SetDistinctiveProgress();
  qz::testing::AlignVirtualClockToMillisecond();
  gameState.tickAtStart = plat::GetTickCount();
  plat::AdvanceVirtualTime(2'500'000'000ULL);  // 2.5 s of play since the start tick
  const FloorProgressRecord savedProgress = gameState.FloorProgress;
  const PlayerRecord savedPlayer = player;
  ASSERT_EQ(WriteSaveFile(2), 1);
  EXPECT_EQ(gameState.playTimeMs, 3602500u);

  const std::string file = SlotBytes(2);
  ASSERT_EQ(file.size(), 4340u);
  EXPECT_EQ(Le32(file, 4336), ReferenceChecksum(file)) << "the checksum closes a file with a three-byte name";
  EXPECT_EQ(Le32(file, 40 * 41 + 32), 1u) << "shop-door flag of floor 42 sits in its 40-byte record";
  EXPECT_EQ(file.substr(4316 + 4, 4), std::string("042\0", 4));
  EXPECT_EQ(Le32(file, 4312), 0u) << "reserved flag";
  EXPECT_FALSE(folder_.Exists("save/SaveData02.sav.tmp"));

  ResetNewGame();
  player.x = 320;
  player.y = 192;
  plat::AdvanceVirtualTime(1'000'000'000ULL);
  ASSERT_EQ(ReadSaveFile(2), 1);
  // The record is arrays of int32 alone: no padding, so one compare covers every field.
  EXPECT_EQ(std::memcmp(&gameState.FloorProgress, &savedProgress, sizeof(savedProgress)), 0);
  EXPECT_EQ(player.maxMagic, 48);
  EXPECT_EQ(std::memcmp(player.shotLevel, savedPlayer.shotLevel, sizeof(player.shotLevel)), 0);
  EXPECT_EQ(player.coins, 99);
  EXPECT_EQ(player.keys, 7);
  EXPECT_EQ(std::memcmp(player.ProgressFlags, savedPlayer.ProgressFlags, sizeof(player.ProgressFlags)), 0);
  EXPECT_STREQ(mapName.c_str(), "042");
  EXPECT_EQ(entrance, 3);
  EXPECT_EQ(gameOvers, 17);
  EXPECT_EQ(gameState.playTimeMs, 3602500u);
  EXPECT_EQ(gameState.tickAtStart, plat::GetTickCount()) << "the play time counts on from the read";
  EXPECT_EQ(player.posX, 320.0);
  EXPECT_EQ(player.posY, 192.0);
}

TEST_F(SaveFileTest, CountedFieldsDetectDamageWhileUncountedBytesStillLoad) {
  const std::string good = ValidFile();
  struct Change {
    std::size_t at;
    std::uint32_t value;
    bool loads;
  };
  const Change changes[] = {
      {12, 5, false},              // a door link (value)
      {4208, 1, false},            // coins (value)
      {0, 1, false},               // key switch of floor 1: 0 to 1
      {40 + 0, 0, false},          // key switch of floor 2: 1 to 0
      {40 * 5 + 8, 3, false},      // a flag from 1 to 3: no flag the game writes
      {4329 + 3, 1, true},         // the play time is not counted
      {4312, 1, false},            // the reserved flag counts when it holds 1
  };
  for (const Change& c : changes) {
    std::string bytes = good;
    Put32(&bytes, c.at, c.value);
    EXPECT_EQ(Loads(bytes), c.loads) << "offset " << c.at;
  }
  std::string nameByte = good;
  nameByte[4321] = '7';  // "072": another floor, same length
  EXPECT_TRUE(Loads(nameByte));
  EXPECT_STREQ(mapName.c_str(), "072");
  EXPECT_TRUE(Loads(good));
}

TEST_F(SaveFileTest, ShortCraftedAndMissingSlotsNeverCrash) {
  const std::string good = ValidFile();
  EXPECT_FALSE(Loads(good.substr(0, good.size() - 1)));
  EXPECT_FALSE(Loads(good.substr(0, 4320)));
  EXPECT_FALSE(Loads(""));
  std::string longName = good;
  Put32(&longName, 4316, 300);
  EXPECT_FALSE(Loads(longName));
  EXPECT_FALSE(Loads(std::string(4337, '\0'))) << "all zeros: a matching sum but no floor name";
  EXPECT_FALSE(Loads(std::string(5000, '\0')));
  EXPECT_TRUE(Loads(good + "trailing bytes"));

  // Names the checksum does not cover but floor play would index by.
  for (const auto& [name, loads] : {std::pair{"000", false}, std::pair{"abc", false}, std::pair{"101", false},
                                    std::pair{"1", false}, std::pair{"0042", false}, std::pair{"001", true},
                                    std::pair{"100", true}}) {
    SetDistinctiveProgress();
    GameStringAssign(mapName, name);
    ASSERT_EQ(WriteSaveFile(1), 1);
    EXPECT_EQ(Loads(SlotBytes(1)), loads) << name;
  }

  SetDistinctiveProgress();
  EXPECT_EQ(ReadSaveFile(3), 0);
  EXPECT_EQ(player.coins, 99) << "a missing slot leaves the live game alone";
}

TEST_F(SaveFileTest, NamesAndEntrancesTheWriterNeverMakesAreRefusedEvenWithAMatchingSum) {
  const std::string good = ValidFile();
  // Past 4, Continue would switch to floor play and enter no floor.
  for (const auto& [entranceValue, loads] : {std::pair{0u, true}, std::pair{4u, true}, std::pair{5u, false},
                                             std::pair{0xFFFFFFFFu, false}, std::pair{0x80000000u, false}}) {
    std::string bytes = good;
    Put32(&bytes, 4321 + 3, entranceValue);
    EXPECT_EQ(Loads(Resummed(bytes)), loads) << "entrance " << entranceValue;
  }

  // "042" without its terminating zero.
  std::string unterminated = good;
  unterminated[4323] = '7';
  EXPECT_FALSE(Loads(unterminated));
  // Length 5 holding "042", a zero and "x": cut at the zero it would write back as another file.
  std::string embedded = good.substr(0, 4316) + std::string(4, '\0') + std::string("042\0x\0", 6) + good.substr(4324);
  Put32(&embedded, 4316, 5);
  EXPECT_FALSE(Loads(Resummed(embedded)));
  EXPECT_TRUE(Loads(good));
}

// Each limit on both sides: the value where the game can reach it and the
// first one past it. A Max MP of 302,383,104 had the status bar draw as many
// pips every frame.
TEST_F(SaveFileTest, ValuesTheGameNeverWritesAreRefusedEvenWithAMatchingSum) {
  const std::string good = ValidFile();
  struct Range {
    const char* field;
    std::size_t at;
    std::int32_t low, high;
  };
  const Range ranges[] = {
      {"Max MP", 4192, 16, 116},         {"Blaze level", 4196, 1, 101},       {"second shot level", 4200, 0, 100},
      {"Magic level", 4204, 0, 100},     {"coins", 4208, 0, 99},              {"keys", 4212, 0, 99},
      {"entrance", 4324, 0, 4},          {"game overs", 4328, 0, 30100},      {"door link", 12, -1, 101},
      {"last door link", 40 * 99 + 24, -1, 101}, {"found item", 36, -1, 29}, {"last found item", 40 * 99 + 36, -1, 29},
      {"floor item flag", 0, 0, 1},      {"last floor item flag", 8, 0, 1},   {"visited flag", 28, 0, 1},
      {"shop found flag", 32, 0, 1},     {"sold flag", 4000, 0, 1},           {"boss flag", 4188, 0, 1},
      {"progress flag", 4216, 0, 1},     {"reserved", 4312, 0, 1},
  };
  const auto fileWith = [&good](const Range& range, std::int32_t value) {
    std::string bytes = good;
    Put32(&bytes, range.at, static_cast<std::uint32_t>(value));
    return Resummed(bytes);
  };
  for (const Range& r : ranges) {
    EXPECT_FALSE(Loads(fileWith(r, r.low - 1))) << r.field << " " << r.low - 1;
    EXPECT_TRUE(Loads(fileWith(r, r.low))) << r.field << " " << r.low;
    EXPECT_TRUE(Loads(fileWith(r, r.high))) << r.field << " " << r.high;
    EXPECT_FALSE(Loads(fileWith(r, r.high + 1))) << r.field << " " << r.high + 1;
  }
  std::string huge = good;
  Put32(&huge, 4192, 302383104u);
  EXPECT_FALSE(Loads(Resummed(huge)));
}

// The player learns which file was refused and why, and its bytes survive the
// next save (once: the save that replaces it is a good one).
TEST_F(SaveFileTest, ARefusedSlotIsNamedOnStderrAndKeptBesideItBeforeASaveReplacesIt) {
  std::string damaged = ValidFile();
  damaged[4208] ^= 1;
  WriteSlotBytes(1, damaged);
  const std::string path = folder_.Posix("save/SaveData01.sav");
  testing::internal::CaptureStderr();
  EXPECT_EQ(ReadSaveFile(1), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "veltrin: save file " + path + " refused: its checksum does not match\n");

  SetDistinctiveProgress();
  EXPECT_EQ(SaveTold(1),
            "veltrin: the damaged save " + path + " is kept as " + path + ".damaged before it is overwritten\n");
  EXPECT_EQ(SaveTold(1), "") << "the good save it wrote is not kept";
  EXPECT_EQ(folder_.Read("save/SaveData01.sav.damaged"), damaged);
  EXPECT_TRUE(Loads(SlotBytes(1)));
}

// One damage is told once, however often the title reads the slot; another
// damage, or the same one after the slot was good again, is told again.
TEST_F(SaveFileTest, ARefusalIsToldOncePerStateOfTheFile) {
  std::string damaged = ValidFile();
  damaged[4208] ^= 1;
  WriteSlotBytes(1, damaged);
  const std::string refused = "veltrin: save file " + folder_.Posix("save/SaveData01.sav") + " refused: ";
  const auto told = [] {
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReadSaveSlot(1), SlotContents::kDamaged);
    return testing::internal::GetCapturedStderr();
  };
  EXPECT_EQ(told(), refused + "its checksum does not match\n");
  EXPECT_EQ(told(), "");
  EXPECT_EQ(told(), "");
  std::string otherDamage = damaged;
  otherDamage.resize(100);
  WriteSlotBytes(1, otherDamage);
  EXPECT_EQ(told(), refused + "it ends early (truncated)\n");
  WriteSlotBytes(1, damaged);
  EXPECT_EQ(told(), refused + "its checksum does not match\n");

  SetDistinctiveProgress();
  SaveTold(1);
  EXPECT_EQ(ReadSaveSlot(1), SlotContents::kSaved);
  EXPECT_EQ(ReadSaveSlot(2), SlotContents::kEmpty);
  WriteSlotBytes(1, damaged);
  EXPECT_EQ(told(), refused + "its checksum does not match\n") << "good in between: told again";

  std::filesystem::remove(folder_.Posix("save/SaveData01.sav"));
  EXPECT_EQ(ReadSaveSlot(1), SlotContents::kEmpty);
  WriteSlotBytes(1, damaged);
  EXPECT_EQ(told(), refused + "its checksum does not match\n") << "missing in between: told again";
}

// A copy of a damaged slot is never overwritten: each new damage takes the
// next free name, the same bytes are not copied twice, and past the last
// name the save goes ahead saying no copy was kept.
TEST_F(SaveFileTest, EachDamageIsKeptUnderItsOwnNameUpToACap) {
  const std::string path = folder_.Posix("save/SaveData01.sav");
  const auto damage = [&](int n) {
    std::string bytes = ValidFile();
    Put32(&bytes, 4208, static_cast<std::uint32_t>(n));  // coins after the sum was taken
    WriteSlotBytes(1, bytes);
    return bytes;
  };
  const auto kept = [&](const std::string& copy) {
    return "veltrin: the damaged save " + path + " is kept as " + path + copy + " before it is overwritten\n";
  };
  const std::string first = damage(1);
  EXPECT_EQ(SaveTold(1), kept(".damaged"));
  const std::string second = damage(2);
  EXPECT_EQ(SaveTold(1), kept(".damaged.2"));
  EXPECT_EQ(folder_.Read("save/SaveData01.sav.damaged"), first);
  EXPECT_EQ(folder_.Read("save/SaveData01.sav.damaged.2"), second);
  WriteSlotBytes(1, first);
  EXPECT_EQ(SaveTold(1), "") << "these bytes are kept already";
  EXPECT_FALSE(folder_.Exists("save/SaveData01.sav.damaged.3"));

  // Copies 3..15 taken: the sixteenth is the last name.
  for (int copy = 3; copy <= 15; ++copy) {
    folder_.Write("save/SaveData01.sav.damaged." + std::to_string(copy), "copy " + std::to_string(copy));
  }
  const std::string sixteenth = damage(16);
  EXPECT_EQ(SaveTold(1), kept(".damaged.16"));
  EXPECT_EQ(folder_.Read("save/SaveData01.sav.damaged.16"), sixteenth);
  damage(17);
  EXPECT_EQ(SaveTold(1),
            "veltrin: the damaged save " + path + " is overwritten without a copy: 16 copies are kept already\n");
  EXPECT_FALSE(folder_.Exists("save/SaveData01.sav.damaged.17"));
  EXPECT_EQ(folder_.Read("save/SaveData01.sav.damaged"), first);

  // A kill while a copy was being written leaves its temporary; the start removes it.
  folder_.Write("save/SaveData01.sav.damaged.16.tmp", "cut off");
  folder_.Write("save/SaveData02.sav.damaged.tmp", "cut off");
  RemoveInterruptedSaves();
  EXPECT_FALSE(folder_.Exists("save/SaveData01.sav.damaged.16.tmp"));
  EXPECT_FALSE(folder_.Exists("save/SaveData02.sav.damaged.tmp"));
  EXPECT_TRUE(folder_.Exists("save/SaveData01.sav.damaged.16"));
}

TEST_F(SaveFileTest, AFailedWriteKeepsTheOldSaveAndSaysWhy) {
  const std::string old = ValidFile();
  const std::string path = folder_.Posix("save/SaveData01.sav");
  // The temporary's name taken by a folder: the write cannot even begin.
  folder_.MakeFolder("save/SaveData01.sav.tmp");
  player.coins = 1;
  std::string failure;
  SaveTold(0, &failure);
  EXPECT_EQ(failure, "access is denied");
  EXPECT_EQ(SlotBytes(1), old);
  std::filesystem::remove(folder_.Posix("save/SaveData01.sav.tmp"));

  // A full disk: the temporary is the device that is always full.
  std::filesystem::create_symlink("/dev/full", folder_.Posix("save/SaveData01.sav.tmp"));
  EXPECT_EQ(SaveTold(0, &failure),
            "veltrin: could not save to " + path + ": the disk is full; the previous save is kept\n");
  EXPECT_EQ(failure, "the disk is full");
  EXPECT_EQ(SlotBytes(1), old);
  EXPECT_FALSE(std::filesystem::is_symlink(folder_.Posix("save/SaveData01.sav.tmp"))) << "the temporary is removed";

  // The temporary written, but its flush or its rename refused.
  for (const plat::DurableCall call : {plat::DurableCall::kFlush, plat::DurableCall::kRename}) {
    plat::RecordDurableCallsForTest(true);
    plat::FailDurableCallForTest(call, 1, plat::ERROR_WRITE_FAULT);
    SaveTold(0, &failure);
    plat::RecordDurableCallsForTest(false);
    EXPECT_EQ(failure, "the disk refused the write");
    EXPECT_EQ(SlotBytes(1), old);
    EXPECT_FALSE(folder_.Exists("save/SaveData01.sav.tmp"));
  }

  std::filesystem::remove_all(folder_.Posix("save"));
  qz::testing::AlignVirtualClockToMillisecond();
  gameState.tickAtStart = plat::GetTickCount();
  const std::uint32_t before = gameState.playTimeMs;
  plat::AdvanceVirtualTime(40'000'000ULL);
  SaveTold(0, &failure);
  EXPECT_EQ(failure, "the save folder is missing");
  EXPECT_EQ(gameState.playTimeMs, before + 40) << "the play time is brought up to date anyway";
  EXPECT_FALSE(folder_.Exists("save"));
}

TEST_F(SaveFileTest, DebugSlotWritesNothingAndPlayTimeSurvivesATickWrap) {
  gameState.playTimeMs = 1000;
  qz::testing::AlignVirtualClockToMillisecond();
  gameState.tickAtStart = plat::GetTickCount();
  plat::AdvanceVirtualTime(50'000'000ULL);
  EXPECT_EQ(WriteSaveFile(-1), 0);
  EXPECT_EQ(gameState.playTimeMs, 1000u);
  EXPECT_TRUE(std::filesystem::is_empty(folder_.Posix("save")));

  // Run the clock up to 100 ms before the 32-bit tick count wraps.
  const std::uint64_t toWrap = (0x1'0000'0000ULL - plat::GetTickCount() - 100) % 0x1'0000'0000ULL;
  plat::AdvanceVirtualTime(toWrap * 1'000'000ULL);
  SetDistinctiveProgress();
  gameState.playTimeMs = 1000;
  qz::testing::AlignVirtualClockToMillisecond();
  gameState.tickAtStart = plat::GetTickCount();
  plat::AdvanceVirtualTime(300'000'000ULL);
  ASSERT_LT(plat::GetTickCount(), gameState.tickAtStart);
  ASSERT_EQ(WriteSaveFile(1), 1);
  EXPECT_EQ(gameState.playTimeMs, 1300u);
}

}  // namespace
