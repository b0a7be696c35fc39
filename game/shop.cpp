// The shop: EnterShop reads the floor's shop file and composes the shop
// picture once; UpdateShopScene draws the three goods rows and "Exit" over
// it each frame, slides the cursor, and runs the purchase dialog and its
// result message as blocking loops of their own before leaving for the floor.
#include "game/shop.h"

#include <array>
#include <optional>
#include <string>

#include "core/file_access.h"
#include "font/text_draw.h"
#include "game/action_input.h"
#include "game/color_text.h"
#include "game/crossfade.h"
#include "game/floor_play.h"
#include "game/game_assets.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/hud.h"
#include "game/music.h"
#include "game/screen_frame.h"
#include "game/screen_state.h"
#include "game/screens.h"
#include "game/shop_goods.h"
#include "game/yes_no_dialog.h"
#include "graphics/draw_graph.h"
#include "graphics/draw_settings.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_restore.h"
#include "graphics/screen_present.h"

ShopStockRecord shopStock{};

namespace {

constexpr std::uint32_t kPadDown = 0x1;
constexpr std::uint32_t kPadUp = 0x8;

// The window's pictures stand at (16, 48).
constexpr int kWindowX = 16;
constexpr int kWindowY = 48;

// The list: rows 54 pixels apart, the cursor at x 380.
constexpr int kExitRow = 3;
constexpr int kFirstRowY = 141;
constexpr int kRowPitch = 54;
constexpr int kExitY = 303;
constexpr int kIconX = 436;
constexpr int kPriceX = 480;
constexpr int kSoldOutX = 488;
constexpr int kCursorX = 380;
constexpr int kCursorFirstY = 143;
constexpr int kCursorStep = 6;
constexpr int kCursorWrapStep = 20;
constexpr int kDescriptionX = 32;
constexpr int kDescriptionY[3] = {381, 405, 429};

constexpr int kResultWindow = 1;

constexpr int kShopFileLines = 12;
constexpr int kLineBufferBytes = 256;

struct ShopFile {
  GameString heading, background, picture;
  int goodsId[kShopRows];
  int soldFlagIndex[kShopRows];
};

GameString ShopFilePath() {
  return GameStringConcat(GameStringConcatString(GamePath("\\text_en\\[SHOP] "), mapName), ".txt");
}

// Twelve lines: heading, background, second picture, then per row a line
// left unread, the goods id and the sold-flag index. A line the file lacks
// reads as empty, so its number is 0. None when the file cannot be opened
// (one open: each asks every folder on the path for an archive).
std::optional<ShopFile> ReadShopFile(const GameString& path) {
  const qz::FileHandle file = qz::OpenFileForRead(path.c_str(), 0);
  if (file == 0) return std::nullopt;
  std::array<GameString, kShopFileLines> lines;
  for (GameString& line : lines) {
    char buffer[kLineBufferBytes] = {};
    qz::ReadFileLine(buffer, kLineBufferBytes, file);
    line = GameString(buffer);
  }
  qz::FileAccessClose(file);
  ShopFile shop{lines[0], lines[1], lines[2], {}, {}};
  for (int row = 0; row < kShopRows; ++row) {
    shop.goodsId[row] = ParseIntAndFree(lines[4 + 3 * row]);
    shop.soldFlagIndex[row] = ParseIntAndFree(lines[5 + 3 * row]);
  }
  return shop;
}

// The shop-sold flag a row names, or null for rows sold without limit
// (indexes outside the 32 flags count as none).
std::int32_t* SoldFlagOf(int row) {
  const int index = shopStock.soldFlagIndex[row];
  if (index < 0 || index >= kShopSoldFlags) return nullptr;
  return &gameState.FloorProgress.shopSold[index];
}

bool IsRow(int row) { return row >= 0 && row < kShopRows; }

GameString PriceText(int price) {
  GameString text = IntToPaddedString(price, 0);
  return GameStringLength(text) < 2 ? GameStringConcatPrefix(" ", text) : text;
}

void FillStock(const ShopFile& file) {
  for (int row = 0; row < kShopRows; ++row) {
    shopStock.goodsId[row] = file.goodsId[row];
    shopStock.soldFlagIndex[row] = file.soldFlagIndex[row];
    // Ids without goods cost nothing they could be bought for: price -1.
    const ShopGoods* goods = FindShopGoods(file.goodsId[row]);
    shopStock.price[row] = goods != nullptr ? goods->price : -1;
    shopStock.priceText[row] = goods != nullptr ? PriceText(goods->price) : GameString("");
    shopStock.goodsName[row] = GameString(goods != nullptr ? goods->name : "");
    shopStock.description1[row] = GameString(goods != nullptr ? goods->description1 : "");
    shopStock.description2[row] = GameString(goods != nullptr ? goods->description2 : "");
  }
}

void DrawPictureFile(int x, int y, const std::string& relative, int trans) {
  if (qz::LoadAndDrawImageFile(x, y, GamePath(relative.c_str()).c_str(), trans) == -1) {
    ReportLoadFailure(relative.c_str());
  }
}

// Added over the background, standing on the screen's bottom edge around x 200.
void DrawSecondPicture(const GameString& name) {
  if (GameStringEquals(name, "-") == 1) return;
  int graph = LoadImage(("\\data_en\\" + std::string(name.c_str())).c_str());
  int w = 0, h = 0;
  qz::QueryGraphSize(graph, &w, &h);
  qz::SetBlendModeAndParam(2, 255);
  qz::BlitGraph(200 - w / 2, kScreenHeight - h, graph, 0);
  qz::SetBlendModeAndParam(0, 0);
  ReleaseGraphOnce(graph);
}

void ComposeShopPicture(const ShopFile& file) {
  DrawPictureFile(0, 0, "\\data_en\\" + std::string(file.background.c_str()), 0);
  DrawSecondPicture(file.picture);
  // The window is the same in every shop: its pictures are loaded with the
  // other sprites, not read and converted again at each shop's entry.
  qz::SetBlendModeAndParam(1, 216);
  qz::BlitGraph(kWindowX, kWindowY, images.shopBacks, 1);
  qz::SetBlendModeAndParam(0, 0);
  qz::BlitGraph(kWindowX, kWindowY, images.shopFrames, 1);
  DrawColorText(32, 61, file.heading, kTextWhite);
  CaptureScreen(pictureScreen);
}

// Crossfades from the screen to the cleared screen with the status bar,
// which then becomes the old picture of the deferred fade.
void FadeToStatusBar() {
  CaptureFadeStart(1);
  qz::ClearDrawTarget(nullptr);
  DrawHud();
  CrossfadeToDrawnScreen(1);
  CaptureScreen(oldScreen);
}

void DrawRows() {
  for (int row = 0; row < kShopRows; ++row) {
    const int y = kFirstRowY + kRowPitch * row;
    const int icon = shopStock.goodsId[row];
    if (icon >= 0 && icon < static_cast<int>(std::size(sheets.itemIcon))) {
      qz::BlitGraph(kIconX, y - 6, sheets.itemIcon[icon], 1);
    }
    const std::int32_t* sold = SoldFlagOf(row);
    if (sold != nullptr && *sold != 0) {
      DrawColorText(kSoldOutX, y, GameString("Sold Out"), kTextRed);
      shopStock.price[row] = -1;
    } else if (GameStringLength(shopStock.priceText[row]) > 0) {
      DrawColorText(kPriceX, y, GameStringConcat(shopStock.priceText[row], " Coins"), kTextWhite);
    }
  }
  DrawColorText(kIconX, kExitY, GameString("Exit"), kTextWhite);
}

// Up or down held at rest starts a move; down wins when both are held. The
// wraps go to fixed places while steps are relative to where the cursor is.
void StartCursorMoveByPad(CursorRecord& c) {
  if (c.moving != 0) return;
  if ((padState & kPadDown) != 0) {
    const bool wrap = c.row >= kExitRow;
    c.targetY = wrap ? kCursorFirstY : c.y + kRowPitch;
    c.yStep = wrap ? -kCursorWrapStep : kCursorStep;
    c.row = wrap ? 0 : c.row + 1;
  } else if ((padState & kPadUp) != 0) {
    const bool wrap = c.row <= 0;
    c.targetY = wrap ? kExitY : c.y - kRowPitch;
    c.yStep = wrap ? kCursorWrapStep : -kCursorStep;
    c.row = wrap ? kExitRow : c.row - 1;
  } else {
    return;
  }
  c.moving = 1;
}


void DrawDescription(int row) {
  if (!IsRow(row)) return;
  DrawColorText(kDescriptionX, kDescriptionY[0], shopStock.goodsName[row], kTextLightBlue);
  DrawColorText(kDescriptionX, kDescriptionY[1], shopStock.description1[row], kTextWhite);
  DrawColorText(kDescriptionX, kDescriptionY[2], shopStock.description2[row], kTextWhite);
}

int CentredX(const GameString& text) {
  return kScreenWidth / 2 -
         qz::MeasureTextWidthDefaultFont(text.c_str(), static_cast<int>(GameStringLength(text)), 0) / 2;
}

// The result of a Yes until Confirm or Cancel; false when the game left the
// shop meanwhile (title or quit).
bool ShowPurchaseResult(const ShopPurchase& purchase) {
  AnimateMessageWindow(1, kResultWindow);
  DrawColorText(CentredX(purchase.message), 230, purchase.message, kTextWhite);
  CaptureScreen(oldScreen);
  if (purchase.bought) PlaySoundEffect(kSeShoping);
  if (!WaitForDismissal()) return false;
  RenewOldScreen();
  AnimateMessageWindow(0, kResultWindow);
  return true;
}

// "Buy ...?", and the result of a Yes; false when the game left the shop
// during the dialog or its result.
bool RunPurchaseDialog(int row) {
  const YesNoAnswer answer = AskYesNo(GameStringConcat(GameStringConcatPrefix("Buy ", shopStock.goodsName[row]), "?"));
  if (answer == YesNoAnswer::kLeftScreen) return false;
  return answer != YesNoAnswer::kYes || ShowPurchaseResult(BuyShopRow(row));
}

void LeaveShop() {
  FadeToStatusBar();
  qz::ReleaseGraph(pictureScreen);
  pictureScreen = qz::CreateBlankGraph(kScreenWidth, kScreenHeight);
  fadeRequest = 2;
  skipFade = 1;
  gameState.scene = kSceneFloorPlay;
  PlayBgm(GameString(""), 1);
  SetInputLatches(1);
}

}  // namespace

ShopPurchase BuyShopRow(int row) {
  if (!IsRow(row)) return {GameString(""), false};
  const int price = shopStock.price[row];
  const GameString& name = shopStock.goodsName[row];
  if (price < 0) return {GameStringConcat(name, " is sold out."), false};
  if (player.coins < price) return {GameString("Not enough coins."), false};
  player.coins -= price;
  if (std::int32_t* sold = SoldFlagOf(row)) {
    shopStock.price[row] = -1;
    *sold = 1;
  }
  ApplyShopGoods(shopStock.goodsId[row]);
  return {GameStringConcat(name, " purchased."), true};
}

void EnterShop() {
  player.eventCode = 0;
  const std::optional<ShopFile> read = ReadShopFile(ShopFilePath());
  if (!read) return;
  const ShopFile& file = *read;
  PlaySoundEffect(kSeShopOpen);
  FadeToStatusBar();
  FillStock(file);
  ComposeShopPicture(file);
  qz::ClearDrawTarget(nullptr);
  DrawHud();
  MenuCursor.x = MenuCursor.targetX = kCursorX;
  MenuCursor.y = kCursorFirstY;
  MenuCursor.row = 0;
  MenuCursor.frameCounter = 0;
  MenuCursor.xStep = 0;
  MenuCursor.moving = 0;
  hudItemsHidden = 1;
  fadeRequest = 2;
  skipFade = 1;
  gameState.scene = kSceneShop;
  PlayBgm(GameString("BGM_Shop.mp3"), 0);
}

void UpdateShopScene() {
  qz::BlitGraph(0, 0, pictureScreen, 0);
  DrawRows();
  DrawHud();
  CursorRecord& cursor = MenuCursor;
  StartCursorMoveByPad(cursor);
  StepCursorMove(cursor);
  qz::BlitGraph(cursor.x, cursor.y, images.cursor1, 1);
  if (cursor.row != kExitRow) DrawDescription(cursor.row);
  bool leave = false;
  if (cursor.moving == 0 && ActionFlags.confirm != 0) {
    if (ActionFlags.cancel == 0) PlaySoundEffect(kSeOk);
    if (cursor.row == kExitRow) {
      leave = true;
    } else if (IsRow(cursor.row) && !RunPurchaseDialog(cursor.row)) {
      return;
    }
  }
  if (ActionFlags.cancel != 0 || leave) LeaveShop();
}
