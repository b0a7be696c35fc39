// The mask screen's use flag as the window services read it: the settings
// reset requests use, and the query reports the request.
#include "graphics/mask_screen.h"

#include <gtest/gtest.h>

#include "graphics/draw_settings_block.h"

namespace {

TEST(MaskScreen, InUseReportsTheRequestTheSettingsResetMakes) {
  qz::GetMaskScreenFlags().useRequested = 0;
  EXPECT_EQ(qz::IsMaskScreenInUse(), 0);
  qz::ResetDrawSettings();
  EXPECT_EQ(qz::IsMaskScreenInUse(), 1);
  EXPECT_EQ(qz::GetMaskScreenFlags().active, 0);
}

}  // namespace
