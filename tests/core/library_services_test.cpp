// Services the library start fills for later subsystems: the sine table, the
// character ring with its edit-key table, the display-mode check and the
// device-lost handler slot.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/display_modes.h"
#include "graphics/screen_mode_change.h"
#include "graphics/soft_image.h"
#include "input/char_input.h"

namespace {

TEST(LibraryServices, SineTableHoldsOneTurn) {
  qz::BuildSineTable();
  const float* table = qz::GetSineTable();
  ASSERT_NE(table, nullptr);
  EXPECT_FLOAT_EQ(table[0], 0.0f);
  EXPECT_FLOAT_EQ(table[16384], 1.0f);
  EXPECT_NEAR(table[49152], -1.0f, 1e-6);
  EXPECT_NEAR(table[8192], std::sqrt(0.5f), 1e-6);
}

TEST(LibraryServices, CharacterRingKeepsOrderAndRefusesWhenFull) {
  qz::InitCharCodeBuffer();
  char out[2];
  EXPECT_EQ(qz::PopInputChar(out, 1), 0);
  for (int i = 0; i < qz::kCharInputRingSize - 1; ++i) ASSERT_EQ(qz::PushInputChar('a' + i % 26), 0) << i;
  EXPECT_EQ(qz::IsCharInputRingFull(), 1);
  EXPECT_EQ(qz::PushInputChar('z'), -1);
  EXPECT_EQ(qz::PopInputChar(out, 0), 1);
  EXPECT_EQ(qz::PopInputChar(out, 1), 1);
  EXPECT_EQ(out[0], 'a');
  EXPECT_EQ(qz::PopInputChar(out, 1), 1);
  EXPECT_EQ(out[0], 'b');
  EXPECT_EQ(qz::PushInputChar('z'), 0);

  // A Shift-JIS lead byte waits for its trail byte; edit codes stand alone.
  qz::InitCharCodeBuffer();
  ASSERT_EQ(qz::PushInputChar(0x82), 0);
  EXPECT_EQ(qz::PopInputChar(out, 1), 0);
  ASSERT_EQ(qz::PushInputChar(0xA0), 0);
  EXPECT_EQ(qz::PopInputChar(out, 1), 2);
  EXPECT_EQ(static_cast<unsigned char>(out[0]), 0x82);
  EXPECT_EQ(static_cast<unsigned char>(out[1]), 0xA0);
  EXPECT_EQ(qz::LookupEditKeyCode(0x2E), 0x10);
  EXPECT_EQ(qz::LookupEditKeyCode(0x22), 0x15);
  EXPECT_EQ(qz::LookupEditKeyCode('A'), 0);
  EXPECT_EQ(qz::IsEditControlCode(0x1D), 1);
  EXPECT_EQ(qz::IsEditControlCode(0x0D), 0);
  qz::InitCharCodeBuffer();
}

TEST(LibraryServices, DisplayModeListAndRestoreHandlerSlot) {
  const qz::DisplayModeRecord modes[] = {{800, 600, 32, 60}};
  qz::SetDisplayModeListForTest(modes, 1);
  EXPECT_EQ(qz::CheckDisplayModeAvailable(800, 600, 32), 1);
  EXPECT_EQ(qz::CheckDisplayModeAvailable(800, 600, 16), 0);
  qz::SetDisplayModeListForTest(nullptr, 0);
  EXPECT_EQ(qz::CheckDisplayModeAvailable(640, 480, 16), 0);
  qz::SetDisplayModeListForTest(nullptr, -1);

  qz::ClearDeviceLostRestoreHandlerForTest();
  EXPECT_EQ(qz::HasDeviceLostRestoreHandler(), 0);
  // Null installs the library's own handler.
  qz::SetDeviceLostRestoreHandler(nullptr);
  EXPECT_EQ(qz::HasDeviceLostRestoreHandler(), 1);
  static int calls;
  calls = 0;
  qz::SetDeviceLostRestoreHandler([] { ++calls; });
  qz::CallDeviceLostRestoreHandler();
  EXPECT_EQ(calls, 1);
  qz::ClearDeviceLostRestoreHandlerForTest();
}

}  // namespace
