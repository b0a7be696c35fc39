// Each hall frames what looms in it: over the fight as the campaign plays it,
// a boss's body stands whole in the view below the status bar on most frames
// of its life, and a guardian's whenever any of it is in view.
#include <gtest/gtest.h>

#include <cstdio>

#include <string>

#include "game/enemies.h"
#include "game/floor_play.h"
#include "game/game_state.h"
#include "game/pools.h"
#include "tests/game/floor_trial.h"

namespace {

using veltrin::testing::FindFloor;
using veltrin::testing::FloorInCampaign;
using veltrin::testing::ScriptedPlay;

struct HallView {
  const char* floor;
  int percentWhole;  // the least share of the watched frames
};

bool Looming(const EnemyRecord& e) { return e.life > 0 && (e.bossIndex >= 0 || e.height >= kViewHeight / 3); }

bool BodyPartlyInView(const EnemyRecord& e) {
  return e.x + e.bodyRight > cameraX && e.x + e.bodyLeft < cameraX + kViewWidth &&
         e.y + e.bodyBottom > cameraY + kStatusBarHeight && e.y + e.bodyTop < cameraY + kViewHeight;
}

bool BodyWholeInView(const EnemyRecord& e) {
  return e.x + e.bodyLeft >= cameraX && e.x + e.bodyRight <= cameraX + kViewWidth &&
         e.y + e.bodyTop >= cameraY + kStatusBarHeight && e.y + e.bodyBottom <= cameraY + kViewHeight;
}

class HallFramingTest : public veltrin::testing::FloorTrialTest, public ::testing::WithParamInterface<HallView> {};

TEST_P(HallFramingTest, WhatLoomsIsWholeInViewForMostOfTheFight) {
  const HallView& hall = GetParam();
  const FloorInCampaign where = FindFloor(hall.floor);
  ASSERT_NE(where.area, nullptr);
  ScriptedPlay play;
  SaveRecord entered;
  ASSERT_NO_FATAL_FAILURE(EnterFloor(play, where, &entered));
  int watched = 0, whole = 0;
  play.SetFrameObserver([&] {
    if (gameState.scene != kSceneFloorPlay || !OnFloor(hall.floor)) return;
    for (const EnemyRecord& e : enemies) {
      if (!Looming(e) || (e.bossIndex < 0 && !BodyPartlyInView(e))) continue;
      ++watched;
      if (BodyWholeInView(e)) ++whole;
    }
  });
  const std::string problem =
      veltrin::testing::PlayTrial(play, entered, where.Route(), {}, where.Route().seed);
  play.SetFrameObserver({});
  EXPECT_EQ(problem, "");
  ASSERT_GT(watched, 0);
  std::printf("hall %s: whole in %d of %d frames\n", hall.floor, whole, watched);
  EXPECT_GE(whole * 100, watched * hall.percentWhole) << "whole in " << whole << " of " << watched << " frames";
}

// On 100 the route waits out the phase changes on the high platform, too far
// from the Moon for both to fit; at the slit the Moon is whole.
const HallView kHalls[] = {{"025", 90}, {"040", 90}, {"055", 80}, {"070", 90},
                           {"085", 85}, {"087", 90}, {"100", 55}};

INSTANTIATE_TEST_SUITE_P(Halls, HallFramingTest, ::testing::ValuesIn(kHalls),
                         [](const ::testing::TestParamInfo<HallView>& info) {
                           return std::string("Floor") + info.param.floor;
                         });

}  // namespace
