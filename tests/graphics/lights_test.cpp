// Light handles: slots given back on release so the used range does not
// creep, the full table refused with its log line, and directional lights
// stored normalised.
#include "graphics/lights.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/log_text.h"
#include "graphics/draw_settings_block.h"
#include "support/scratch_log.h"

namespace {

class Lights : public ::testing::Test {
 protected:
  void SetUp() override { ReleaseEveryLight(); }
  void TearDown() override { ReleaseEveryLight(); }
  static void ReleaseEveryLight() {
    qz::ReleaseAllLightsButDefault();
    qz::ReleaseLightHandle(qz::GetDefaultLightHandle());
    ASSERT_EQ(qz::GetLightCount(), 0);
  }
};

TEST_F(Lights, ReleasingTheTopSlotGivesTheRangeBack) {
  const int first = qz::CreateDirectionalLight(0.0f, 0.0f, 2.0f);
  const int second = qz::AllocLightHandle();
  ASSERT_EQ(first & 0xFFFF, 0);
  ASSERT_EQ(second & 0xFFFF, 1);
  EXPECT_EQ(qz::GetLightSlotEnd(), 2);

  EXPECT_EQ(qz::ReleaseLightHandle(second), 0);
  EXPECT_EQ(qz::GetLightSlotEnd(), 1);
  EXPECT_EQ(qz::AllocLightHandle() & 0xFFFF, 1) << "slot 1 is used again";
  EXPECT_EQ(qz::ReleaseLightHandle(second), -1) << "a stale handle";

  qz::ReleaseAllLightsButDefault();
  EXPECT_EQ(qz::GetLightSlotEnd(), 0) << "no light left: the range is empty";

  const qz::LightRecord* light = qz::GetLightRecord(qz::CreateDirectionalLight(0.0f, 0.0f, 2.0f));
  ASSERT_NE(light, nullptr);
  EXPECT_FLOAT_EQ(light->light.direction.z, 1.0f);
  EXPECT_FLOAT_EQ(light->light.direction.x, 0.0f);
}

TEST_F(Lights, SettingsResetsRemakeTheDefaultLightInTheSameSlot) {
  for (int reset = 0; reset < 5; ++reset) qz::ResetDrawSettings();
  EXPECT_EQ(qz::GetLightCount(), 1);
  EXPECT_EQ(qz::GetLightSlotEnd(), 1);
}

TEST_F(Lights, AFullTableRefusesWithALogLine) {
  qz::testing::ScratchLog log;
  std::vector<int> handles;
  for (int i = 0; i < qz::kLightSlots; ++i) handles.push_back(qz::AllocLightHandle());
  EXPECT_NE(handles.back(), -1);
  EXPECT_EQ(qz::AllocLightHandle(), -1);
  EXPECT_TRUE(log.Contains(qz::text::kLightTableFull));
  // A hole in the middle is found once the range has reached the end.
  ASSERT_EQ(qz::ReleaseLightHandle(handles[100]), 0);
  EXPECT_EQ(qz::AllocLightHandle() & 0xFFFF, 100);
}

}  // namespace
