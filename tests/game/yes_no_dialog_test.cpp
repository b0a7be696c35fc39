// The Yes/No window the shop and the status screen share, asked directly on
// the cell-colour data set with keys held from inside its blocking loop: the
// cursor's slides between its two rests whichever key moves it, and how
// Cancel and Confirm held together answer.
#include <algorithm>
#include <climits>
#include <functional>
#include <set>
#include <vector>

#include "core/clock.h"
#include "core/main_window.h"
#include "game/action_input.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/yes_no_dialog.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_target.h"
#include "platform/window.h"
#include "platform/window_present.h"
#include "sound/sound_play.h"
#include "tests/game/floor_fixture.h"
#include "tests/game/scripted_keys.h"
#include "tools/datagen/data_set.h"

namespace {

using qz::testing::ScriptedKeys;

constexpr std::uint32_t kConfirm = 'Z', kCancel = 'X';
constexpr int kNotStarted = -100;  // a dialog cursor y the window never uses
constexpr int kCallLimit = 2000;   // a driver past this gives up with Cancel
constexpr int kCursorProbeX = 96 + 4;  // inside the cursor drawn at x 96

class YesNoDialogTest : public qz::testing::FloorTest {
 protected:
  void SetUp() override {
    FloorTest::SetUp();
    confirmLatch = cancelLatch = 0;
    gameState.scene = kSceneStatus;
    DialogCursor.y = kNotStarted;
  }
  // Asks with keys from `driver` once the window has started; a driver that
  // has not answered within the call limit gets Cancel, so a fault fails the
  // test instead of hanging it.
  static YesNoAnswer Ask(const std::function<std::set<std::uint32_t>()>& driver) {
    int calls = 0;
    YesNoAnswer answer;
    {
      ScriptedKeys keys([&]() -> std::set<std::uint32_t> {
        if (DialogCursor.y == kNotStarted) return {};
        if (++calls > kCallLimit) return {kCancel};
        return driver();
      });
      answer = AskYesNo(GameString("Really?"));
    }
    EXPECT_LE(calls, kCallLimit) << "the dialog was not answered";
    return answer;
  }
};

TEST_F(YesNoDialogTest, EitherKeyCarriesTheCursorToTheOtherAnswerAndNeverPastIt) {
  // Down from "No" wraps up to "Yes"; down or up from either goes to the
  // other; the keys stay held, so slides follow one another at once.
  std::vector<int> rests;
  int least = INT_MAX, most = INT_MIN;
  bool wasMoving = false;
  const YesNoAnswer answer = Ask([&]() -> std::set<std::uint32_t> {
    least = std::min(least, DialogCursor.y);
    most = std::max(most, DialogCursor.y);
    if (wasMoving && DialogCursor.moving == 0) rests.push_back(DialogCursor.y);
    wasMoving = DialogCursor.moving != 0;
    if (rests.size() < 3) return {plat::VK_DOWN};
    if (rests.size() < 5) return {plat::VK_UP};
    return {kCancel};
  });
  EXPECT_EQ(rests, (std::vector<int>{kYesNoCursorYesY, kYesNoCursorNoY, kYesNoCursorYesY, kYesNoCursorNoY,
                                     kYesNoCursorYesY}));
  EXPECT_EQ(least, kYesNoCursorYesY);
  EXPECT_EQ(most, kYesNoCursorNoY);
  // Cancel on "Yes" is still Cancel, and the window is closed.
  EXPECT_EQ(answer, YesNoAnswer::kCancel);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1);
}

// The frame last shown in the main window, read at screen coordinates.
class ShownFrame {
 public:
  bool Read() { return plat::ReadPresentedFrame(qz::QueryMainWindowHandle(), &pixels_, &width_, &height_); }
  std::uint32_t Pixel(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y * height_ / kScreenHeight) * width_ + x * width_ / kScreenWidth] &
           0xFFFFFF;
  }
  // Pixels in a box that pass a test.
  template <typename Test>
  int Count(int x0, int y0, int x1, int y1, Test test) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += test(Pixel(x, y)) ? 1 : 0;
    }
    return n;
  }

 private:
  std::vector<std::uint32_t> pixels_;
  int width_ = 0, height_ = 0;
};

TEST_F(YesNoDialogTest, FramesPaceTheWindowShowItsTextAndCursorAndSound) {
  // Read from the frames the window presented: the question in yellow, both
  // answers, the cursor on "No"; then the slide's sound, and Confirm's.
  static std::vector<std::int32_t> frameTimes;
  frameTimes.clear();
  // The frame's start as the wait took it: a clock read here may fall a
  // millisecond later, making the next gap look a millisecond short.
  SetFrameWaitHookForTest([] { frameTimes.push_back(lastFrameTime); });
  ShownFrame shown;
  int yellow = -1, whiteInRow[2] = {-1, -1};
  std::uint32_t cursorPixel = 0;
  std::size_t opened = 0;
  bool windowDrawn = false, slid = false, slideSounded = false, confirmed = false, okSounded = false;
  const YesNoAnswer answer = Ask([&]() -> std::set<std::uint32_t> {
    if (opened == 0) opened = frameTimes.size();
    const std::size_t frames = frameTimes.size() - opened;
    if (frames >= 3 && yellow < 0 && shown.Read()) {
      yellow = shown.Count(96, 206, 200, 222, [](std::uint32_t p) {
        return (p >> 16) >= 0xC0 && ((p >> 8) & 0xFF) >= 0xC0 && (p & 0xFF) <= 0x60;
      });
      for (int row : {0, 1}) {
        whiteInRow[row] = shown.Count(152, 230 + 24 * row, 200, 246 + 24 * row,
                                      [](std::uint32_t p) { return (p & 0xC0C0C0) == 0xC0C0C0; });
      }
      cursorPixel = shown.Pixel(kCursorProbeX, kYesNoCursorNoY + 4);
      windowDrawn = shown.Pixel(84, 192) != shown.Pixel(40, 40);  // the window spans x 80-560, y 188-292
    }
    if (frames < 5) return {};
    if (confirmed) okSounded = okSounded || qz::IsSoundHandlePlaying(soundEffects[kSeOk]) == 1;
    if (DialogCursor.moving != 0) {
      slid = true;
      slideSounded = slideSounded || qz::IsSoundHandlePlaying(soundEffects[kSeSelect]) == 1;
      return {};
    }
    if (!slid) return {plat::VK_UP};
    confirmed = true;
    return {kConfirm};
  });
  SetFrameWaitHookForTest(nullptr);
  EXPECT_EQ(answer, YesNoAnswer::kYes);
  EXPECT_TRUE(windowDrawn);
  EXPECT_GT(yellow, 0) << "the question";
  EXPECT_GT(whiteInRow[0], 0) << "Yes";
  EXPECT_GT(whiteInRow[1], 0) << "No";
  EXPECT_EQ(cursorPixel, datagen::CellColour("st_cursor1.png", 0));
  EXPECT_TRUE(slideSounded);
  EXPECT_TRUE(okSounded);
  // The dialog's picture is let go: the screen kept for the next is blank.
  qz::ClearDrawTarget(nullptr);
  qz::BlitGraph(0, 0, oldScreen, 0);
  EXPECT_EQ(qz::testing::ScreenPixel(84, 192), 0u);
  EXPECT_EQ(qz::testing::ScreenPixel(kCursorProbeX, kYesNoCursorNoY + 4), 0u);
  ASSERT_GE(frameTimes.size(), 8u);
  for (std::size_t i = 1; i < frameTimes.size(); ++i) {
    EXPECT_GE(frameTimes[i] - frameTimes[i - 1], kFrameMilliseconds) << "frame " << i;
  }
}

TEST_F(YesNoDialogTest, ConfirmAndCancelHeldTogetherAnswerByTheCursor) {
  // The last dialog was answered mid-slide: this one starts at rest.
  DialogCursor.moving = 1;
  DialogCursor.yStep = -3;
  EXPECT_EQ(Ask([] { return std::set<std::uint32_t>{kConfirm, kCancel}; }), YesNoAnswer::kNo);
  EXPECT_EQ(DialogCursor.y, kYesNoCursorNoY);
}

TEST_F(YesNoDialogTest, EscapeAnswersThatTheGameLeftForTheTitle) {
  EXPECT_EQ(Ask([] { return std::set<std::uint32_t>{plat::VK_ESCAPE}; }), YesNoAnswer::kLeftScreen);
  EXPECT_EQ(gameState.scene, kSceneTitle);
}

}  // namespace
