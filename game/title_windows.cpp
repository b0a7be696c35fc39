// Both windows zoom in from the screen's centre for 16 frames, run with a
// sliding cursor, and zoom out for 16; the title lends them WindowState,
// WindowFrame and the save-slot field, which they hand back set to 0.
#include "game/title_windows.h"

#include <algorithm>
#include <string>
#include <utility>

#include "game/action_input.h"
#include "game/color_text.h"
#include "game/config_file.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/music.h"
#include "game/screen_state.h"
#include "graphics/draw_graph.h"
#include "platform/profile.h"

namespace {

constexpr int kZoomFrames = 16;
constexpr int kRowPitch = 24;
constexpr int kRowStep = 3;
constexpr int kCursorX = 96;
constexpr int kLabelX = 152;
constexpr int kValueX = 344;

struct WindowShape {
  const char* image;
  int width, height;  // of each piece
  int x, y;           // corner when open
  int firstCursorY, lastRow;
};

constexpr WindowShape kSlotWindow{"\\data_en\\st_msg_window03.png", 480, 104, 80, 188, 210, 2};
constexpr WindowShape kConfigWindow{"\\data_en\\st_config_window.png", 480, 288, 80, 96, 122, 9};

struct Rect {
  int x1, y1, x2, y2;
};

// The zoom rectangles at k = 0..15 (k 15 the smallest).
Rect SlotZoom(int k) { return {80 + 15 * k, 188 + 3 * k, 560 - 15 * k, 292 - 3 * k}; }
// The configuration window's opening rectangle turns upside down before
// k = 15; the stretched draw mirrors it, which the zoom hides.
Rect ConfigOpeningZoom(int k) { return {80 + 15 * k, 96 + 10 * k, 560 - 15 * k, 384 - 10 * k}; }
Rect ConfigClosingZoom(int k) { return {80 + 15 * k, 80 + 10 * k, 560 - 15 * k, 400 - 10 * k}; }

void DrawZoomed(const Rect& r) {
  DrawWindowPieces(MessageWindowGraphs[kWindowBackPiece], MessageWindowGraphs[kWindowFramePiece], r.x1, r.y1, r.x2,
                   r.y2);
}

// A Confirm or Cancel pressed while the window zooms open, for its first open
// frame: the zoom's 16 frames last a second or more on a slow machine, and a
// press the player sees land on the window must not be lost.
std::int32_t confirmDuringZoom = 0, cancelDuringZoom = 0;

// One opening frame: the image loads with the first.
void OpenWindowFrame(const WindowShape& shape, Rect (*zoom)(int)) {
  if (WindowFrame == 0) {
    ReleaseMessageWindowGraphs();
    LoadSheet(shape.image, 2, 1, 2, shape.width, shape.height, MessageWindowGraphs);
    PlaySoundEffect(kSeOk);
    PlaySoundEffect(kSeWindowOpen);
    confirmDuringZoom = cancelDuringZoom = 0;
  }
  confirmDuringZoom |= ActionFlags.confirm;
  cancelDuringZoom |= ActionFlags.cancel;
  DrawZoomed(zoom(kZoomFrames - 1 - WindowFrame));
  if (++WindowFrame < kZoomFrames) return;
  WindowState = 1;
  WindowFrame = 0;
  DialogCursor = CursorRecord{};
  DialogCursor.y = shape.firstCursorY;
}

// One closing frame; after the last the window hands the title its answer.
void CloseWindowFrame(Rect (*zoom)(int), int answer) {
  DrawZoomed(zoom(WindowFrame));
  if (++WindowFrame < kZoomFrames) return;
  WindowState = 0;
  WindowFrame = 0;
  TitleStartRequest = answer;
  gameState.saveSlot = 0;
  ReleaseMessageWindowGraphs();
}

void DrawOpenWindow(const WindowShape& shape) {
  DrawWindowPieces(MessageWindowGraphs[kWindowBackPiece], MessageWindowGraphs[kWindowFramePiece], shape.x, shape.y);
}

void DrawCursor() { qz::BlitGraph(kCursorX, DialogCursor.y, images.cursor1, 1); }

// Row handling then the directions, unless the cursor is sliding; the first
// open frame also takes the presses made during the zoom.
template <typename Rows>
void RunOpenWindow(const WindowShape& shape, Rows handleRows) {
  ActionFlags.confirm |= std::exchange(confirmDuringZoom, 0);
  ActionFlags.cancel |= std::exchange(cancelDuringZoom, 0);
  if (StepCursorSlide(DialogCursor)) return;
  handleRows();
  MoveCursorByPad(DialogCursor, shape.lastRow, shape.firstCursorY, kRowPitch, kRowStep);
}

// The window's rows, top to bottom.
constexpr const char* kSlotRows[] = {"Continue", "New Game (resets progress)", "Cancel"};
constexpr int kContinueRow = 0;
constexpr const char* kDamagedContinueRow = "Continue (the save is damaged)";
constexpr const char* kConfigLabels[] = {"",     "Volume", "Confirm", "Cancel", "Jump", "Shot",
                                         "Shot Change", "Dash", "Menu", "Save Settings"};
constexpr int kVolumeRow = 1;
constexpr int kFirstBindingRow = 2;
constexpr int kLastBindingRow = 8;
constexpr int kSaveRow = 9;

// ButtonMap's entries in the rows' order (index 0..6), then the two spares.
constexpr int kButtonEntries = 9;
std::int32_t* ButtonEntry(int index) {
  static constexpr std::int32_t ButtonMapRecord::*kEntries[] = {
      &ButtonMapRecord::confirm, &ButtonMapRecord::cancel, &ButtonMapRecord::jump, &ButtonMapRecord::shot,
      &ButtonMapRecord::shotChange, &ButtonMapRecord::dash, &ButtonMapRecord::menu};
  return index < 7 ? &(ButtonMap.*kEntries[index]) : &ButtonMap.spare[index - 7];
}

int LabelY(int row) { return kConfigWindow.firstCursorY - 4 + kRowPitch * row; }

void DrawConfigRows() {
  for (int row = 0; row <= kSaveRow; ++row) {
    const char* label = row != 0                      ? kConfigLabels[row]
                        : gameState.windowMode == 1 ? "Window (requires restart)"
                                                    : "Fullscreen (requires restart)";
    DrawColorText(kLabelX, LabelY(row), GameString(label), kTextWhite);
    if (row == kVolumeRow) DrawColorText(kValueX, LabelY(row), MakeConfigValueText(10), kTextWhite);
    if (row >= kFirstBindingRow && row <= kLastBindingRow) {
      DrawColorText(kValueX, LabelY(row), MakeConfigValueText(row - kFirstBindingRow), kTextWhite);
    }
  }
}

void ChangeVolume(int direction) {
  PlaySoundEffect(kSeOk);
  const int v = volumePercent;
  const bool coarse = direction > 0 ? (v >= 5 && v <= 94) : (v >= 6 && v <= 95);
  volumePercent = std::clamp(v + direction * (coarse ? 5 : 1), 0, 100);
  ApplyVolume(volumePercent, 0);
}

// The highest held button 0..9 is the row's action's new button.
void BindHeldButton(int index) {
  std::int32_t* entry = ButtonEntry(index);
  const int before = *entry;
  for (int button = 0; button < kActionButtonCount; ++button) {
    if ((padState >> (kPadButtonShift + button) & 1) != 0) *entry = button;
  }
  if (*entry != before) PlaySoundEffect(kSeOk);
}

void WriteConfigKey(const GameString& path, const char* key, int value) {
  plat::WritePrivateProfileStringA("Config", key, std::to_string(value).c_str(), path.c_str());
}

void SaveSettingsAndClose() {
  ApplyVolume(volumePercent, 1);
  WindowState = 2;
  PlaySoundEffect(kSeOk);
  const GameString path = GamePath("\\save\\config.ini");
  WriteConfigKey(path, "Screen mode", gameState.windowMode == 1 ? 0 : 1);
  WriteConfigKey(path, "Volume", volumePercent);
  constexpr const char* kButtonKeys[] = {"Confirm", "Cancel", "Jump", "Shot", "Shot Change", "Dash", "Menu"};
  for (int i = 0; i < 7; ++i) WriteConfigKey(path, kButtonKeys[i], *ButtonEntry(i));
  WriteConfigKey(path, "Don't use 3D Acceleration", no3DAcceleration);
  PlaySoundEffect(kSeWindowClose);
}

void HandleConfigRow() {
  const int row = DialogCursor.row;
  if (row == 0 && ActionFlags.confirm != 0) {
    PlaySoundEffect(kSeOk);
    gameState.windowMode = gameState.windowMode == 1 ? 0 : 1;
  } else if (row == kVolumeRow) {
    if (ActionFlags.confirm != 0) {
      ChangeVolume(1);
    } else if (ActionFlags.cancel != 0) {
      ChangeVolume(-1);
    }
  } else if (row >= kFirstBindingRow && row <= kLastBindingRow) {
    BindHeldButton(row - kFirstBindingRow);
  } else if (row == kSaveRow && ActionFlags.confirm != 0) {
    SaveSettingsAndClose();
  }
}

}  // namespace

void UpdateSlotChoiceWindow(bool slotDamaged) {
  switch (WindowState) {
    case 0: OpenWindowFrame(kSlotWindow, SlotZoom); break;
    case 1:
      DrawOpenWindow(kSlotWindow);
      for (int row = 0; row <= kSlotWindow.lastRow; ++row) {
        const bool refused = row == kContinueRow && slotDamaged;
        DrawColorText(kLabelX, kSlotWindow.firstCursorY - 4 + kRowPitch * row,
                      GameString(refused ? kDamagedContinueRow : kSlotRows[row]), refused ? kTextGrey : kTextWhite);
      }
      DrawCursor();
      RunOpenWindow(kSlotWindow, [slotDamaged] {
        if (ActionFlags.confirm != 0 && DialogCursor.row == kContinueRow && slotDamaged) {
          PlaySoundEffect(kSeCansel);
        } else if (ActionFlags.confirm != 0) {
          DialogCursor.closeRequest = 1;
        }
        if (ActionFlags.cancel != 0) {
          DialogCursor.closeRequest = 1;
          DialogCursor.row = 2;
        }
      });
      if (DialogCursor.closeRequest == 1) {
        WindowState = 2;
        PlaySoundEffect(kSeOk);
        PlaySoundEffect(kSeWindowClose);
      }
      break;
    case 2: CloseWindowFrame(SlotZoom, (DialogCursor.row + 1) % 3); break;
    default: break;
  }
}

void UpdateConfigWindow() {
  switch (WindowState) {
    case 0: OpenWindowFrame(kConfigWindow, ConfigOpeningZoom); break;
    case 1:
      DrawOpenWindow(kConfigWindow);
      DrawConfigRows();
      DrawCursor();
      RunOpenWindow(kConfigWindow, HandleConfigRow);
      break;
    case 2: CloseWindowFrame(ConfigClosingZoom, 0); break;
    default: break;
  }
}

GameString MakeConfigValueText(int index) {
  if (index >= 10) return GameString(std::to_string(volumePercent).c_str());
  if (index < 0 || index >= kButtonEntries) return GameString("");
  // Widened: a configuration file may hold any number as a button.
  return GameString((std::to_string(std::int64_t{*ButtonEntry(index)} + 1) + " ").c_str());
}
