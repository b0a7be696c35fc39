// Message windows zoomed in and out over the picture under them, and the
// blocking message scene that shows a page of text (a floor cell's sign, a
// boss's words or a given line) until Confirm or Cancel.
#include "game/message_window.h"

#include <cstdio>

#include "core/file_access.h"
#include "font/text_draw.h"
#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/game_assets.h"
#include "game/game_files.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/screen_present.h"

namespace {

constexpr int kZoomFrames = 16;
constexpr int kPageLinesRead = 6;
constexpr int kPageRows = 5;
constexpr int kLineBufferBytes = 256;

struct WindowKind {
  const char* image;
  int width, height;
};

constexpr WindowKind kWindowKinds[] = {{"\\data_en\\st_msg_window01.png", 544, 160},
                                       {"\\data_en\\st_msg_window02.png", 480, 104},
                                       {"\\data_en\\st_msg_window03.png", 480, 104}};

// Kinds 0..2; callers pass no other, but an unknown one must not index past.
const WindowKind& KindOf(int kind) { return kWindowKinds[kind >= 0 && kind <= 2 ? kind : 0]; }

// The picture under the window with the window o zoom steps short of full
// size, and the window's contents inside the part open.
void DrawZoomFrame(const WindowKind& k, int o, const std::function<void()>& drawContents = nullptr) {
  const int x0 = (kScreenWidth - k.width) / 2, y0 = (kScreenHeight - k.height) / 2;
  const int sx = k.width / 32, sy = k.height / 32;
  const int left = x0 + o * sx, top = y0 + o * sy, right = x0 + k.width - o * sx, bottom = y0 + k.height - o * sy;
  qz::ClearDrawTarget(nullptr);
  qz::BlitGraph(0, 0, thirdScreen, 0);
  DrawWindowPieces(MessageWindowGraphs[kWindowBackPiece], MessageWindowGraphs[kWindowFramePiece], left, top, right,
                   bottom);
  if (!drawContents) return;
  qz::SetClipRectangle(left, top, right, bottom);
  drawContents();
  qz::SetClipRectangle(0, 0, kScreenWidth, kScreenHeight);
}

void ShowAnimationFrame() {
  qz::PresentFrame();
  WaitFrame();
  ReadActionInput();
}

// The decimal text with "0" in front when below 10 (so -1 gives "0-1").
std::string TwoDigits(int v) {
  char text[16];
  if (v < 10) {
    std::snprintf(text, sizeof text, "0%d", v);
  } else {
    std::snprintf(text, sizeof text, "%d", v);
  }
  return text;
}

int CentredX(const char* text) {
  return kScreenWidth / 2 - qz::MeasureTextWidthDefaultFont(text, static_cast<int>(std::string(text).size()), 0) / 2;
}

GameString FloorMessagePath() {
  const std::string name = "\\text_en\\[MSG] " + std::string(IntToPaddedString(floorNumber + 1, 3).c_str()) + " " +
                           TwoDigits((player.x + 32) / 32) + "-" + TwoDigits((player.y + 16) / 32) + ".txt";
  return GamePath(name.c_str());
}

GameString BossMessagePath(int number) {
  return GamePath(("\\text_en\\[BOSS] " + TwoDigits(number) + ".txt").c_str());
}

}  // namespace

GameString MessagePagePath(int mode, int number) { return mode == 0 ? FloorMessagePath() : BossMessagePath(number); }

std::vector<std::string> ReadMessagePage(const GameString& path) {
  std::vector<std::string> lines;
  const qz::FileHandle file = qz::OpenFileForRead(path.c_str(), 0);
  if (file == 0) return lines;
  char buffer[kLineBufferBytes];
  while (lines.size() < kPageLinesRead && qz::IsFilePositionAtEnd(file) == 0) {
    buffer[0] = '\0';
    if (qz::ReadFileLine(buffer, kLineBufferBytes, file) < 0) break;
    lines.emplace_back(buffer);
  }
  qz::FileAccessClose(file);
  return lines;
}

void DrawMessagePage(const std::vector<std::string>& lines) {
  const int top = 244 - 14 * static_cast<int>(lines.size());
  for (int i = 0; i < kPageRows && i < static_cast<int>(lines.size()); ++i) {
    if (!lines[i].empty()) DrawColorText(CentredX(lines[i].c_str()), top + 28 * i, GameString(lines[i].c_str()), 0);
  }
}

void AnimateMessageWindow(int mode, int kind, const std::function<void()>& drawContents) {
  const WindowKind& k = KindOf(kind);
  if (mode == 1) {
    ReleaseMessageWindowGraphs();
    LoadSheet(k.image, 2, 1, 2, k.width, k.height, MessageWindowGraphs);
    CaptureScreen(thirdScreen);
    PlaySoundEffect(kSeWindowOpen);
    for (int o = AnimationsCutToTheirEnd() ? 0 : kZoomFrames; o >= 1; --o) {
      DrawZoomFrame(k, o, drawContents);
      ShowAnimationFrame();
    }
    DrawZoomFrame(k, 0, drawContents);
    return;
  }
  PlaySoundEffect(kSeWindowClose);
  for (int o = AnimationsCutToTheirEnd() ? kZoomFrames : 0; o < kZoomFrames; ++o) {
    DrawZoomFrame(k, o);
    ShowAnimationFrame();
  }
  qz::ReleaseGraph(thirdScreen);
  thirdScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
  ReleaseMessageWindowGraphs();
}

void RunMessageScene(int mode, int number, GameString text) {
  if (mode == 2) {
    AnimateMessageWindow(1, 1, [&] { DrawColorText(CentredX(text.c_str()), 230, text, 0); });
    CaptureScreen(oldScreen);
    if (!WaitForDismissal()) return;
    RenewOldScreen();
    AnimateMessageWindow(0, 1);
    SetInputLatches(1);
    return;
  }
  if (mode == 0) player.eventCode = 0;
  if (mode != 0 && mode != 1) return;
  const GameString path = MessagePagePath(mode, number);
  if (CanOpenFile(path) == 0) return;
  const std::vector<std::string> lines = ReadMessagePage(path);
  AnimateMessageWindow(1, 0, [&] { DrawMessagePage(lines); });
  CaptureScreen(oldScreen);
  ReadActionInput();
  if (!WaitForDismissal()) return;
  AnimateMessageWindow(0, 0);
  RenewOldScreen();
  SetInputLatches(1);
}

void ShowFloorFailureAndEnterTitle(int floor) {
  const std::string text = "Floor " + std::string(IntToPaddedString(floor, 3).c_str()) + " could not be loaded.";
  RunMessageScene(2, 0, GameString(text.c_str()));
  if (gameState.quitRequested == 0 && gameState.scene != kSceneTitle) EnterTitleScene();
}
