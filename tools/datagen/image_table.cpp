// The table of every picture the generator writes under data_en/: the
// start-up sheets and single images, the trap and enemy sheets, the darkness
// masks, and the chip sets and backgrounds the built-in floors name.
#include "tools/datagen/image_table.h"

namespace datagen {
namespace {

ImageEntry Sheet(const char* name, int cells, int across, int down, int w, int h, Art art, std::uint32_t tint,
                 const char* label = "") {
  return ImageEntry{ImageSpec{name, cells, across, down, w, h}, art, tint, label};
}

ImageEntry Single(const char* name, int w, int h, Art art, std::uint32_t tint, const char* label = "") {
  return Sheet(name, 1, 1, 1, w, h, art, tint, label);
}

// Enemy sheets: one row of 16 cells of the kind's unscaled sprite size; the
// label names the kind the painter draws, then its variant if it has one.
ImageEntry Enemy(const char* name, int w, int h, std::uint32_t tint, const char* shape) {
  return Sheet(name, 16, 16, 1, w, h, Art::kEnemy, tint, shape);
}

ImageEntry Trap(const char* name, int cells, std::uint32_t tint, const char* shape) {
  return Sheet(name, cells, cells, 1, 32, 32, Art::kTrap, tint, shape);
}

constexpr std::uint32_t kBlue = 0x3A6FE0, kGreen = 0x3CB043, kRed = 0xE03A3A, kGold = 0xE8C031, kBlack = 0x40404C,
                        kYellow = 0xF0E040, kBrown = 0x9A6234, kPurple = 0x9B4FD0, kWhite = 0xE8E8F0,
                        kWater = 0x40C8E8, kEarth = 0xB08850, kWind = 0x90E090, kFire = 0xFF8020;

constexpr AreaLook kAreaLooks[] = {
    {1, 10, "chip_meadow.png", 0x6A8F3A, "grass", "BG_Meadow.png", 0x3A80D8, "sky"},
    {11, 25, "chip_cavern.png", 0x7A6A90, "rock", "BG_Cavern.png", 0x302838, "cave"},
    {26, 40, "chip_sky.png", 0xB0A080, "cloud", "BG_Sky.png", 0x4A80E0, "clouds"},
    {41, 55, "chip_forest.png", 0x4A7030, "moss", "BG_Forest.png", 0x305830, "forest"},
    {56, 70, "chip_snow.png", 0xA8C0D8, "snow", "BG_Snow.png", 0x8090B8, "snow"},
    {71, 85, "chip_castle.png", 0x806060, "flagstone", "BG_Castle.png", 0x302028, "castle"},
    {86, 100, "chip_hall.png", 0x5A4C8C, "marble", "BG_Hall.png", 0x1A1440, "hall"},
};
constexpr int kGalleryFloor = 90;  // off the route: every kind of cell on the meadow's ground

std::vector<ImageEntry> BuildEntries();

std::vector<ImageEntry> WithAreaLooks(std::vector<ImageEntry> entries) {
  for (const AreaLook& look : kAreaLooks) {
    entries.push_back(Sheet(look.chipSet, 224, 8, 28, 32, 32, Art::kChipSet, look.chipTint, look.ground));
    entries.push_back(Single(look.background, 640, 480, Art::kBackground, look.skyTint, look.style));
  }
  return entries;
}

std::vector<ImageEntry> BuildEntries() {
  return {
      // Start-up sheets, in load order.
      Sheet("pat_player_RGB.png", 207, 23, 9, 64, 64, Art::kPlayer, 0xE05050),
      Sheet("pat_player_RGB_squats.png", 27, 9, 3, 96, 64, Art::kPlayerSquat, 0xE05050),
      Sheet("pat_player_RGB_dash.png", 21, 7, 3, 64, 64, Art::kPlayerDash, 0xE05050),
      Sheet("pat_player_dash_shadow.png", 7, 7, 1, 64, 64, Art::kDashShadow, 0x8080FF),
      Sheet("pat_bullet01.png", 18, 6, 3, 24, 24, Art::kShot, 0xFF8030),
      Sheet("pat_bullet02.png", 96, 12, 8, 24, 24, Art::kEnemyBullet, 0xFF4040),
      Sheet("pat_bullet_laser01.png", 6, 6, 1, 3, 9, Art::kLaser, 0xFF4080),
      Sheet("pat_bullet_laser02.png", 6, 1, 6, 9, 3, Art::kLaser, 0xFF4080),
      Sheet("chip_itembox.png", 4, 4, 1, 32, 32, Art::kChest, 0xB07030),
      Sheet("chip_cube.png", 12, 6, 2, 32, 32, Art::kCube, 0x60E0FF),
      Sheet("pat_item.png", 36, 6, 6, 32, 32, Art::kItem, 0x60A0FF),
      Sheet("st_bullet.png", 3, 3, 1, 32, 32, Art::kShotIcon, 0xFF8030),
      Sheet("st_magic_bar.png", 4, 4, 1, 9, 20, Art::kMagicBar, 0x4080FF),
      Sheet("st_itemicon.png", 32, 8, 4, 32, 32, Art::kItemIcon, 0xC0A060),
      Sheet("st_field_icon.png", 8, 8, 1, 32, 32, Art::kFieldIcon, 0xFFFFFF),
      Sheet("st_font2.png", 15, 15, 1, 9, 16, Art::kDigits, 0xFFFFFF, "small"),
      Sheet("st_font3.png", 13, 13, 1, 12, 15, Art::kDigits, 0xA0E0FF, "bar"),
      Sheet("st_font4.png", 11, 11, 1, 12, 18, Art::kDigits, 0xFFE080, "floor"),
      Sheet("st_font5.png", 10, 10, 1, 26, 32, Art::kDigits, 0xFFFFFF, "banner"),
      Single("st_font_floor.png", 101, 32, Art::kLabel, 0xFFFFFF, "FLOOR"),
      Single("st_font_time.png", 136, 32, Art::kLabel, 0xFFE080, "TIME"),
      Single("st_font_autosave.png", 160, 24, Art::kLabel, 0xA0FFA0, "AUTO SAVE"),
      Single("st_font_inertia.png", 36, 16, Art::kLabel, 0x80E0FF, "ICE"),
      Single("st_font_jump.png", 24, 16, Art::kLabel, 0xFFC060, "JP"),
      Sheet("st_status4.png", 5, 5, 1, 18, 18, Art::kStatusIcon, 0xFFFFFF),
      Single("st_status1.png", 60, 24, Art::kLabel, 0x80C0FF, "MP   "),  // room for the MP number
      Single("st_cursor1.png", 16, 16, Art::kCursor, 0xFFFF60),
      Sheet("st_cursor2.png", 6, 6, 1, 48, 48, Art::kCursor, 0xFFFF60),
      Sheet("st_cursor3.png", 6, 6, 1, 34, 32, Art::kCursor, 0x60FFFF),
      Sheet("st_map_icon.png", 4, 4, 1, 30, 28, Art::kMapIcon, 0x80FF80),
      Single("bg_floorback_blue.png", 640, 480, Art::kBackground, 0x102060, "banner"),
      Single("st_gameover.png", 340, 80, Art::kLabel, 0xFF4040, "GAME OVER"),
      Sheet("ef_shot1.bmp", 12, 6, 2, 64, 64, Art::kEffect, 0xFF8030, "burst"),
      Sheet("ef_shot2.bmp", 12, 6, 2, 64, 64, Art::kEffect, 0xB050FF, "burst"),
      Sheet("ef_shot3.bmp", 12, 6, 2, 64, 64, Art::kEffect, 0x40C0FF, "burst"),
      Sheet("ef_doublejump.bmp", 8, 4, 2, 96, 16, Art::kEffect, 0xC0C0FF, "puff"),
      Sheet("ef_bullet_change.bmp", 16, 16, 1, 40, 40, Art::kEffect, 0xFFFF80, "ring"),
      Sheet("ef_bullet_change2.bmp", 20, 10, 2, 80, 80, Art::kEffect, 0x80FFFF, "ring"),
      Sheet("st_star.png", 6, 6, 1, 32, 32, Art::kStar, 0xFFE040),
      Sheet("ef_hit01.bmp", 8, 8, 1, 24, 24, Art::kEffect, 0xFFFFA0, "spark"),
      Sheet("ef_hit02.bmp", 16, 13, 2, 48, 48, Art::kEffect, 0xFFA060, "spark"),
      Sheet("ef_hit03.bmp", 12, 5, 3, 128, 128, Art::kEffect, 0xFF6040, "burst"),
      Sheet("ef_hit_blast.bmp", 16, 8, 2, 80, 80, Art::kEffect, 0xFF8040, "burst"),
      Sheet("ef_bom01.bmp", 24, 8, 3, 80, 80, Art::kEffect, 0xFFA020, "burst"),
      Sheet("ef_block_break.bmp", 16, 8, 2, 48, 48, Art::kEffect, 0xC09060, "debris"),
      Sheet("ef_block_create.bmp", 16, 8, 2, 64, 64, Art::kEffect, 0x60FF90, "ring"),
      Sheet("ef_block_decreate.bmp", 16, 8, 2, 64, 64, Art::kEffect, 0xFF6090, "ring"),
      Sheet("ef_mpcharge.bmp", 16, 16, 1, 32, 32, Art::kEffect, 0x60A0FF, "spark"),
      // Screens around the floors.
      Single("circle_logo.png", 640, 480, Art::kLogo, 0xFFFFFF),
      Single("BG_Black.png", 640, 480, Art::kBackground, 0x000000, "black"),
      Sheet("st_msg_window02.png", 2, 1, 2, 480, 104, Art::kPanel, 0x203080),
      // The title and its windows; a window image holds its frame piece above
      // its back piece.
      Single("BG_F026_Blue.png", 640, 480, Art::kBackground, 0x1838A0, "starry"),
      Single("BG_Title01.png", 640, 480, Art::kBackground, 0x3060A0, "drift"),
      Single("BG_Title02.png", 580, 240, Art::kLabel, 0xFFE060, "VELTRIN! P"),
      Single("st_title_window01.png", 288, 176, Art::kPanel, 0x203080),
      Single("st_title_window02.png", 288, 176, Art::kPanel, 0x101840),
      Sheet("st_msg_window01.png", 2, 1, 2, 544, 160, Art::kPanel, 0x203080),
      Sheet("st_msg_window03.png", 2, 1, 2, 480, 104, Art::kPanel, 0x203080),
      Sheet("st_config_window.png", 2, 1, 2, 480, 288, Art::kPanel, 0x203080),
      Single("BG_Opening1-1.png", 640, 480, Art::kSlide, 0x402060, "tower"),
      Single("BG_Opening1-2.png", 640, 480, Art::kSlide, 0x402060,
             "tower|LONG AGO FOUR ELEMENT STONES|KEPT THE HUNDRED FLOORS OF THE TOWER AT PEACE."),
      Single("mask_candle01.png", 480, 480, Art::kMask, 0, "small"),
      Single("mask_candle02.png", 480, 480, Art::kMask, 0, "large"),
      // Trap sheets, in load order.
      Trap("enemy_ニードルトラップ.png", 6, 0xC0C0D0, "needle"),
      Trap("enemy_レーザートラップL.png", 6, 0xFF4080, "laser L"),
      Trap("enemy_レーザートラップR.png", 6, 0xFF4080, "laser R"),
      Trap("enemy_レーザートラップD.png", 6, 0xFF4080, "laser D"),
      Trap("enemy_レーザートラップU.png", 6, 0xFF4080, "laser U"),
      Trap("enemy_シューター_赤.png", 4, kRed, "shooter"),
      Trap("enemy_シューター_青.png", 4, kBlue, "shooter"),
      Trap("enemy_シューター_緑.png", 4, kGreen, "shooter"),
      Trap("enemy_マジックボール_赤.png", 5, kRed, "ball"),
      Trap("enemy_マジックボール_青.png", 5, kBlue, "ball"),
      Trap("enemy_マジックボール_緑.png", 5, kGreen, "ball"),
      // Enemy sheets of every kind set.
      Enemy("enemy_スライム_青.png", 64, 64, kBlue, "slime"),
      Enemy("enemy_スライム_緑.png", 64, 64, kGreen, "slime"),
      Enemy("enemy_スライム_赤.png", 64, 64, kRed, "slime"),
      Enemy("enemy_スライム_金.png", 64, 64, kGold, "slime"),
      Enemy("enemy_スライム_黒.png", 64, 64, kBlack, "slime"),
      Enemy("enemy_スライムボス_青.png", 64, 64, 0x2050C0, "slime boss"),
      Enemy("enemy_ビー_黄.png", 32, 32, kYellow, "bee"),
      Enemy("enemy_ビー_赤.png", 32, 32, kRed, "bee"),
      Enemy("enemy_ビー_黒.png", 32, 32, kBlack, "bee"),
      Enemy("enemy_ウィスプボス_茶.png", 64, 64, kBrown, "wisp"),
      Enemy("enemy_バット_青.png", 32, 32, kBlue, "bat"),
      Enemy("enemy_バット_黄.png", 32, 32, kYellow, "bat"),
      Enemy("enemy_ブタヌキ_青.png", 64, 64, kBlue, "beast"),
      Enemy("enemy_ブタヌキ_黄.png", 64, 64, kYellow, "beast"),
      Enemy("enemy_ブタヌキ_赤.png", 64, 64, kRed, "beast"),
      Enemy("enemy_ウィッチ.png", 64, 64, kPurple, "witch"),
      Enemy("enemy_ウィッチ2.png", 64, 96, 0x6030A0, "witch2"),
      Enemy("enemy_モグラ_茶.png", 64, 64, kBrown, "mole"),
      Enemy("enemy_きのこ_緑.png", 64, 64, kGreen, "mushroom"),
      Enemy("enemy_バタフライ.png", 64, 64, 0xF080C0, "butterfly"),
      Enemy("enemy_シェルダー_緑.png", 64, 64, kGreen, "shell"),
      Enemy("enemy_シェルダー_白.png", 64, 64, kWhite, "shell"),
      Enemy("enemy_ペンギン_青.png", 64, 64, kBlue, "penguin"),
      Enemy("enemy_ボマー_赤.png", 64, 64, kRed, "bomber"),
      Enemy("enemy_火の玉_赤.png", 32, 32, kRed, "flame"),
      Enemy("enemy_火の玉_青.png", 32, 32, kBlue, "flame"),
      Enemy("enemy_バルーンスライム_青.png", 64, 64, 0x60A0FF, "balloon"),
      Enemy("enemy_スネーク_青.png", 64, 64, kBlue, "snake"),
      Enemy("enemy_目玉_紫.png", 64, 64, kPurple, "eye"),
      Enemy("enemy_ラット_茶.png", 64, 64, 0x8A7A6A, "rat"),
      Enemy("enemy_ドラゴンヘッド_青.png", 64, 64, kBlue, "dragon"),
      Enemy("enemy_リザード_青.png", 64, 64, 0x30A0A0, "lizard"),
      Enemy("enemy_ガーディアン_水.png", 96, 96, kWater, "guardian water"),
      Enemy("enemy_ガーディアン_土.png", 96, 96, kEarth, "guardian earth"),
      Enemy("enemy_ガーディアン_風.png", 96, 96, kWind, "guardian wind"),
      Enemy("enemy_ガーディアン_火.png", 96, 96, kFire, "guardian fire"),
      Enemy("enemy_ムーン01.png", 96, 96, 0xF0F0B0, "moon full"),
      Enemy("enemy_ムーン02.png", 96, 96, 0xE0E0C0, "moon half"),
      Enemy("enemy_ムーン03.png", 96, 96, 0xD8D8D0, "moon crescent"),
      Enemy("enemy_サン.png", 96, 96, 0xFFB020, "sun"),
      // The opening's and the ending's slides and the score page.
      Single("BG_Opening2-1.png", 640, 480, Art::kSlide, 0x182040, "moon"),
      Single("BG_Opening2-2.png", 640, 480, Art::kSlide, 0x182040,
             "moon|ONE NIGHT THE STONES WERE STOLEN|AND GLASS REPLICAS LEFT IN THEIR PLACE."),
      Single("BG_Opening2-3.png", 640, 480, Art::kSlide, 0x182040,
             "moon|MONSTERS CLIMBED OUT OF THE TOWER|AND THE SEASONS BEGAN TO FADE."),
      Single("BG_Opening3-1.png", 640, 480, Art::kSlide, 0x4070B0, "mage"),
      Single("BG_Opening3-2.png", 640, 480, Art::kSlide, 0x4070B0,
             "mage|VELTRIN THE YOUNGEST MAGE OF THE VILLAGE|TOOK UP HER STAFF AND HER BLAZE SHOT."),
      Single("BG_Opening4-1.png", 640, 480, Art::kSlide, 0x302850, "door"),
      Single("BG_Opening4-2.png", 640, 480, Art::kSlide, 0x302850,
             "door|THE TOWER DOOR OPENED FOR HER ALONE.|FLOOR 001 IS WAITING."),
      Single("BG_Ending_01.png", 640, 480, Art::kSlide, 0x302850,
             "tower|THE LAST GUARDIAN FELL|AND THE TOWER WENT QUIET."),
      Single("BG_Ending_02.png", 640, 480, Art::kSlide, 0x302850,
             "stones|VELTRIN CARRIED THE FOUR STONES HOME|AND SET EACH ONE IN ITS PLACE."),
      Single("BG_Ending_03.png", 640, 480, Art::kSlide, 0x6090D0,
             "sunrise|THE SEASONS CAME BACK TO THE LAND."),
      Single("BG_Ending_04.png", 640, 480, Art::kSlide, 0x6090D0, "mage|THE VILLAGE SANG FOR SEVEN DAYS."),
      Single("BG_Ending_05.png", 640, 480, Art::kSlide, 0x402060, "tower|THE TOWER SLEEPS ONCE MORE."),
      Single("BG_Ending_06.png", 640, 480, Art::kSlide, 0x182040,
             "moon|BUT ITS HUNDRED FLOORS|STILL KEEP THEIR SECRETS..."),
      Single("BG_Ending_07.png", 640, 480, Art::kSlide, 0x4070B0, "stones|...FOR THOSE WHO COME LOOKING."),
      Single("BG_Ending_08.png", 640, 480, Art::kSlide, 0x6090D0, "sunrise|VELTRIN! P|THANK YOU FOR PLAYING"),
      Single("BG_Score.png", 640, 480, Art::kSlide, 0x102040, "score"),
      Single("BG_Ending_09.png", 640, 480, Art::kSlide, 0x302850, "door|THE END"),
      // The status screen's background, under its floor map and panel.
      Single("st_menu_window.png", 640, 480, Art::kStatusScreen, 0x182858),
      // The shop: its room, its keeper (added over the room, so on black) and
      // the list's windows, the backs drawn half-transparent under the frames.
      Single("BG_Shop01.png", 640, 480, Art::kShop, 0x5A3A24, "room"),
      Single("chara_shopkeeper01.png", 200, 300, Art::kShop, 0x4060C0, "keeper"),
      Single("st_shop_window01.png", 608, 416, Art::kShop, 0xE0C070, "frames"),
      Single("st_shop_window02.png", 608, 416, Art::kShop, 0x141C40, "backs"),
  };
}

}  // namespace

std::span<const AreaLook> AreaLooks() { return kAreaLooks; }

const AreaLook* AreaLookOfFloor(int floor) {
  if (floor == kGalleryFloor) return &kAreaLooks[0];
  for (const AreaLook& look : kAreaLooks) {
    if (floor >= look.firstFloor && floor <= look.lastFloor) return &look;
  }
  return nullptr;
}

const std::vector<ImageEntry>& ImageEntries() {
  static const std::vector<ImageEntry> entries = WithAreaLooks(BuildEntries());
  return entries;
}

}  // namespace datagen
