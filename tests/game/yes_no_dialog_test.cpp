// The Yes/No window the shop and the status screen share, asked directly on
// the cell-colour data set with keys held from inside its blocking loop: the
// cursor's slides between its two rests whichever key moves it, and how
// Cancel and Confirm held together answer.
#include <algorithm>
#include <climits>
#include <set>
#include <vector>

#include "game/action_input.h"
#include "game/game_state.h"
#include "game/screen_state.h"
#include "game/yes_no_dialog.h"
#include "platform/window.h"
#include "tests/game/floor_fixture.h"
#include "tests/game/scripted_keys.h"

namespace {

using qz::testing::ScriptedKeys;

constexpr std::uint32_t kConfirm = 'Z', kCancel = 'X';
constexpr int kNotStarted = -100;  // a dialog cursor y the window never uses
constexpr int kCallLimit = 2000;   // a driver past this gives up with Cancel

class YesNoDialogTest : public qz::testing::FloorTest {
 protected:
  void SetUp() override {
    FloorTest::SetUp();
    confirmLatch = cancelLatch = 0;
    gameState.scene = kSceneStatus;
    DialogCursor.y = kNotStarted;
  }
};

TEST_F(YesNoDialogTest, EitherKeyCarriesTheCursorToTheOtherAnswerAndNeverPastIt) {
  // Down from "No" wraps up to "Yes"; down or up from either goes to the
  // other; the keys stay held, so slides follow one another at once.
  std::vector<int> rests;
  int least = INT_MAX, most = INT_MIN, calls = 0;
  bool wasMoving = false;
  YesNoAnswer answer;
  {
    ScriptedKeys keys([&]() -> std::set<std::uint32_t> {
      if (DialogCursor.y == kNotStarted) return {};
      if (++calls > kCallLimit) return {kCancel};
      least = std::min(least, DialogCursor.y);
      most = std::max(most, DialogCursor.y);
      if (wasMoving && DialogCursor.moving == 0) rests.push_back(DialogCursor.y);
      wasMoving = DialogCursor.moving != 0;
      if (rests.size() < 3) return {plat::VK_DOWN};
      if (rests.size() < 5) return {plat::VK_UP};
      return {kCancel};
    });
    answer = AskYesNo(GameString("Really?"));
  }
  EXPECT_LE(calls, kCallLimit);
  EXPECT_EQ(rests, (std::vector<int>{kYesNoCursorYesY, kYesNoCursorNoY, kYesNoCursorYesY, kYesNoCursorNoY,
                                     kYesNoCursorYesY}));
  EXPECT_EQ(least, kYesNoCursorYesY);
  EXPECT_EQ(most, kYesNoCursorNoY);
  // Cancel on "Yes" is still Cancel, and the window is closed.
  EXPECT_EQ(answer, YesNoAnswer::kCancel);
  for (int graph : MessageWindowGraphs) EXPECT_EQ(graph, -1);
}

TEST_F(YesNoDialogTest, ConfirmAndCancelHeldTogetherAnswerByTheCursor) {
  int calls = 0;
  YesNoAnswer answer;
  {
    ScriptedKeys keys([&]() -> std::set<std::uint32_t> {
      if (DialogCursor.y == kNotStarted) return {};
      if (++calls > kCallLimit) return {kCancel};
      return {kConfirm, kCancel};
    });
    answer = AskYesNo(GameString("Really?"));
  }
  EXPECT_LE(calls, kCallLimit);
  EXPECT_EQ(DialogCursor.y, kYesNoCursorNoY);
  EXPECT_EQ(answer, YesNoAnswer::kNo);
}

TEST_F(YesNoDialogTest, EscapeAnswersThatTheGameLeftForTheTitle) {
  YesNoAnswer answer;
  {
    ScriptedKeys keys([]() -> std::set<std::uint32_t> {
      if (DialogCursor.y == kNotStarted) return {};
      return {plat::VK_ESCAPE};
    });
    answer = AskYesNo(GameString("Really?"));
  }
  EXPECT_EQ(answer, YesNoAnswer::kLeftScreen);
  EXPECT_EQ(gameState.scene, kSceneTitle);
}

}  // namespace
