// The campaign's floors as the generator checks them before writing a data
// set: the jumps a person makes comfortably come from the game's movement
// constants, the built-in campaign holds, and floors made unfair on purpose
// are refused by name and cell. Every sign has its page and every boss its
// text.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/map_cells.h"
#include "game/map_format.h"
#include "game/player_physics.h"
#include "tests/game/game_data_fixture.h"
#include "tools/datagen/campaign_check.h"
#include "tools/datagen/data_set.h"
#include "tools/datagen/message_files.h"

namespace {

using M = MapFileData;
using datagen::JumpEnvelope;

// The first line of the campaign check: the floor at fault (the coins and
// chests it hides then fail on later floors too).
std::string FirstFault(const std::vector<datagen::FloorSource>& floors) {
  const std::string faults = datagen::CheckCampaign(floors);
  return faults.substr(0, faults.find('\n'));
}

// The built-in floors with `edit` applied to the cell rows of floor `name`.
std::vector<datagen::FloorSource> FloorsWith(const std::string& name, void (*edit)(std::vector<std::string>&)) {
  std::vector<datagen::FloorSource> floors = datagen::BuiltInFloors();
  for (datagen::FloorSource& floor : floors) {
    if (floor.name != name) continue;
    const std::size_t cells = floor.text.find("\ncells\n") + 7;
    std::vector<std::string> rows;
    for (std::size_t at = cells; at < floor.text.size();) {
      const std::size_t end = floor.text.find('\n', at);
      rows.push_back(floor.text.substr(at, end - at));
      at = end == std::string::npos ? floor.text.size() : end + 1;
    }
    edit(rows);
    floor.text.resize(cells);
    for (const std::string& row : rows) floor.text += row + "\n";
  }
  return floors;
}

// The built-in floors with header line `from` of floor `name` replaced by
// `to` (a line "cells" adds `to` before the cell rows).
std::vector<datagen::FloorSource> FloorsWithLine(const std::string& name, const std::string& from,
                                                 const std::string& to) {
  std::vector<datagen::FloorSource> floors = datagen::BuiltInFloors();
  for (datagen::FloorSource& floor : floors) {
    const std::size_t at = floor.text.find("\n" + from + "\n");
    if (floor.name != name || at == std::string::npos) continue;
    floor.text.replace(at + 1, from.size(), from == "cells" ? to + "\ncells" : to);
  }
  return floors;
}

// A pit cut into the ground row (44) of the floor, with spikes below it.
template <int kFirst, int kWidth>
void SpikePit(std::vector<std::string>& rows) {
  for (int x = kFirst; x < kFirst + kWidth; ++x) {
    rows[44][x] = '.';
    rows[45][x] = '^';
  }
}

M Compile(const datagen::FloorSource& floor) {
  M map;
  std::string error;
  EXPECT_TRUE(datagen::CompileFloorText(floor.text, &map, &error)) << floor.name << ": " << error;
  return map;
}

TEST(CampaignFloorsTest, ComfortableJumpsFollowTheGamesMovement) {
  const JumpEnvelope jump(kJumpSpeed), high(kHighJumpSpeed), weak(kJumpSpeed + kWeakJumpBonus);
  // Level: over a gap of three cells (four columns on) but not four; a
  // drop carries farther.
  EXPECT_EQ(jump.WidestStep(0, false), 4);
  EXPECT_EQ(jump.WidestStep(-3, false), 5);
  // Three rows up onto solid ground, four with the High Jump; a one-way
  // platform takes the feet anywhere in its cell.
  EXPECT_EQ(jump.HighestRise(), 4);
  EXPECT_GE(jump.WidestStep(3, false), 1);
  EXPECT_EQ(jump.WidestStep(4, false), -1);
  EXPECT_GE(jump.WidestStep(4, true), 0);
  EXPECT_GE(high.WidestStep(4, false), 1);
  EXPECT_EQ(weak.WidestStep(3, false), -1);
  EXPECT_GE(weak.WidestStep(3, true), 1);
}

TEST(CampaignFloorsTest, TheBuiltInCampaignIsFairAndUnfairFloorsAreRefusedByNameAndCell) {
  EXPECT_EQ(datagen::CheckCampaign(datagen::BuiltInFloors()), "");
  // Past the first area a three-cell spike pit is a fair jump; a four-cell
  // one leaves the door beyond a person's reach.
  EXPECT_EQ(FirstFault(FloorsWith("011", SpikePit<50, 3>)), "");
  EXPECT_EQ(FirstFault(FloorsWith("011", SpikePit<50, 4>)),
            "floor 011: the chest at (64, 43) is out of a person's reach from entrance 0");
  // The first floor has no spikes at all, and no jump of the first area
  // passes over them.
  EXPECT_EQ(FirstFault(FloorsWith("001", SpikePit<40, 2>)),
            "floor 001: spikes at (40, 45) on the first floor");
  EXPECT_EQ(FirstFault(FloorsWith("004", SpikePit<35, 3>)),
            "floor 004: a door at (70, 42) is out of a person's reach from entrance 0 with the chest's item");
  // The first area ends with its boss's hall, 010, where the same pit is
  // refused; 011 is the next area's first floor.
  EXPECT_EQ(FirstFault(FloorsWith("010", SpikePit<30, 3>)),
            "floor 010: the key at (54, 43) is out of a person's reach from entrance 0");
}

// A stone ledge over floor 011's ground, its top at row 32, columns 18 to 24.
void HighLedge(std::vector<std::string>& rows) {
  for (int x = 18; x <= 24; ++x) rows[32][x] = 'B';
}

// What kills, from the game's own kinds: a green slime (kind set 1, slot 1;
// kind set 2, slot 0) fires level bullets at 1.8 pixels a frame for 320 frames; a snake (kind
// set 6, slot 2) runs at 5.
TEST(CampaignFloorsTest, BulletLanesOverTheFirstAreasJumpsAndThreatsOutOfSightAreRefused) {
  // Near floor 004's dip its lane crosses the jumps over it; twenty cells
  // off, its bullets end before they reach the dip.
  EXPECT_EQ(FirstFault(FloorsWithLine("004", "cells", "enemy 50 42 1")),
            "floor 004: the jump from (31, 43) to (36, 44) crosses the bullet lane of the enemy at (50, 42)");
  EXPECT_EQ(FirstFault(FloorsWithLine("004", "cells", "enemy 58 42 1")), "");
  // Past the first area a lane is fair; in the dark the snake of floor 071
  // is seen too late without the Eternal Candle.
  EXPECT_EQ(FirstFault(FloorsWithLine("011", "cells", "enemy 50 42 0")), "");
  EXPECT_EQ(FirstFault(FloorsWithLine("071", "flags 0 0 0 0 0 0 0 0", "flags 0 1 0 0 0 0 0 0")),
            "floor 071: the enemy at (40, 42) walks at 5.00 pixels a frame, in sight 19 frames before it "
            "reaches (40, 43) (24 needed)");
  // A red slime walking at the entrance from four cells off reaches it
  // while the floor's title card shows.
  EXPECT_EQ(FirstFault(FloorsWithLine("011", "cells", "enemy 17 42 1")).rfind(
                "floor 011: entrance 0: the enemy at (17, 42) reaches the arrival at (13, 43) walking within", 0),
            0u);
  // A red slime walking off a ledge twelve rows over the ground falls into
  // the view too fast; the ledge alone is fair.
  std::vector<datagen::FloorSource> ledge = FloorsWith("011", HighLedge);
  EXPECT_EQ(FirstFault(ledge), "");
  for (datagen::FloorSource& floor : ledge) {
    if (floor.name == "011") floor.text.replace(floor.text.find("\ncells\n"), 7, "\nenemy 22 30 1\ncells\n");
  }
  EXPECT_EQ(FirstFault(ledge),
            "floor 011: the enemy at (22, 30) falls at 12.00 pixels a frame, in sight 22 frames before it "
            "reaches (16, 43) (24 needed)");
}

// Floor 085's dragon head drifts up and down its shaft at 18.79 pixels a
// frame, too fast to be seen coming from out of view, but never sideways:
// only the player's shots knock it, and walls bound that. The built-in hall
// holds (above: the shaft's foot is reached only once it has fallen); each
// of these edits lets it reach the route.
TEST(CampaignFloorsTest, AFlyerThatOnlyDriftsUpAndDownThreatensOnlyWhatItsShaftLetsItReach) {
  const std::string flies = "floor 085: the enemy at (19, 33) flies at 18.79 pixels a frame, in sight 11 frames before it ";
  // Without the stone posts in the railing a shot fired from under the head
  // knocks it out over the ledges; with two posts fewer a gap eight cells
  // tall lets its body's edge, 170 pixels tall, through.
  EXPECT_EQ(FirstFault(FloorsWith("085", [](std::vector<std::string>& rows) {
              for (int y = 5; y < 42; ++y) rows[y][31] = rows[y][31] == 'Q' ? 'Y' : rows[y][31];
            })),
            flies + "reaches (32, 34) (24 needed)");
  EXPECT_EQ(FirstFault(FloorsWith("085", [](std::vector<std::string>& rows) { rows[29][31] = rows[32][31] = 'Y'; })),
            flies + "reaches (32, 34) (24 needed)");
  // The railing lets no one walk or jump into the pit under the head from
  // the ledges' side; an open one does.
  EXPECT_EQ(FirstFault(FloorsWith("085", [](std::vector<std::string>& rows) {
              for (int y = 2; y < 42; ++y) rows[y][31] = rows[y][31] == 'Y' ? '.' : rows[y][31];
            })),
            flies + "reaches (27, 43) (24 needed)");
  // Only the head's fall takes the stone away, and the shaft's foot with it
  // is reached only then; a key switch could take the stone posts sooner.
  EXPECT_EQ(FirstFault(FloorsWithLine("085", "slot 1 1 15 43 5", "slot 0 1 40 43 0\nslot 1 1 15 43 5")),
            flies + "reaches (19, 43) (24 needed)");
}

TEST(CampaignFloorsTest, EverySignHasItsPageAndEveryBossItsText) {
  const std::filesystem::path text =
      std::filesystem::path(qz::testing::GameDataSet(datagen::ArtStyle::kReadable)) / "text_en";
  int signs = 0;
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    const M map = Compile(floor);
    for (int x = 0; x < 76; ++x) {
      for (int y = 0; y < 47; ++y) {
        if (map.attributeLayer[M::CellIndex(x, y)] != kAttrSign) continue;
        ++signs;
        std::ifstream page(text / datagen::SignFileName(floor.name, x, y), std::ios::binary);
        std::string line;
        EXPECT_TRUE(std::getline(page, line) && line.size() > 1) << floor.name << " sign " << x << "," << y;
        EXPECT_LT(line.size(), 256u);
      }
    }
  }
  EXPECT_GE(signs, 12);
  for (int boss = 0; boss <= 6; ++boss) {
    char name[16];
    std::snprintf(name, sizeof name, "[BOSS] %02d.txt", boss);
    EXPECT_TRUE(std::filesystem::exists(text / name)) << name;
  }
}

}  // namespace
