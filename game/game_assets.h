// The pictures and sounds the game keeps for the whole run: the sprite sheets
// and single images under "\data_en\", the work screens, and the sound
// effects under "\sound\". Loaded once at start-up, deleted at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/game_string.h"

// Sprite sheets: cell i of a sheet (row by row) is element i. A sheet that
// failed to load holds -1 handles.
struct SpriteSheets {
  int player[207];        // pat_player_RGB.png
  int playerSquats[27];   // pat_player_RGB_squats.png
  int playerDash[21];     // pat_player_RGB_dash.png
  int dashShadow[7];      // pat_player_dash_shadow.png
  int bullet01[18];       // pat_bullet01.png
  int bullet02[96];       // pat_bullet02.png
  int laser01[6];         // pat_bullet_laser01.png
  int laser02[6];         // pat_bullet_laser02.png
  int itemBox[4];         // chip_itembox.png
  int cube[12];           // chip_cube.png
  int item[36];           // pat_item.png
  int shotIcon[3];        // st_bullet.png
  int magicBar[4];        // st_magic_bar.png
  int itemIcon[32];       // st_itemicon.png
  int fieldIcon[8];       // st_field_icon.png
  int font2[15];          // st_font2.png
  int font3[13];          // st_font3.png
  int font4[11];          // st_font4.png
  int font5[10];          // st_font5.png
  int status4[5];         // st_status4.png
  int cursor2[6];         // st_cursor2.png
  int cursor3[6];         // st_cursor3.png
  int mapIcon[4];         // st_map_icon.png
  int shotFlash1[12];     // ef_shot1.bmp
  int shotFlash2[12];     // ef_shot2.bmp
  int shotFlash3[12];     // ef_shot3.bmp
  int doubleJump[8];      // ef_doublejump.bmp
  int bulletChange[16];   // ef_bullet_change.bmp
  int bulletChange2[20];  // ef_bullet_change2.bmp
  int star[6];            // st_star.png
  int hit01[8];           // ef_hit01.bmp
  int hit02[16];          // ef_hit02.bmp
  int hit03[12];          // ef_hit03.bmp
  int hitBlast[16];       // ef_hit_blast.bmp
  int bom01[24];          // ef_bom01.bmp
  int blockBreak[16];     // ef_block_break.bmp
  int blockCreate[16];    // ef_block_create.bmp
  int blockDecreate[16];  // ef_block_decreate.bmp
  int mpCharge[16];       // ef_mpcharge.bmp
};

// Single images; -1 when the file failed to load.
struct SingleImages {
  int fontFloor;     // st_font_floor.png
  int fontTime;      // st_font_time.png
  int fontAutosave;  // st_font_autosave.png
  int fontInertia;   // st_font_inertia.png
  int fontJump;      // st_font_jump.png
  int status1;       // st_status1.png
  int cursor1;       // st_cursor1.png
  int floorBanner;   // bg_floorback_blue.png
  int gameOver;      // st_gameover.png
  int shopBacks;     // st_shop_window02.png
  int shopFrames;    // st_shop_window01.png
};

// The sound effects in load order; other code names an effect by its file.
enum SoundEffect : int {
  kSeOk, kSeCansel, kSeSelect, kSeShot01, kSeShot02, kSeShot03, kSeChange, kSeJump01, kSeJump02, kSeJump03,
  kSeNoDamage, kSeHit01, kSeHit02, kSeEnemyShot01, kSeBoxOpen01, kSeBoxOpen02, kSeItemGet01, kSeItemGet02,
  kSeFieldIcon, kSeWarp, kSeRecovery, kSeShoping, kSeWindowOpen, kSeWindowClose, kSeBlockBreak, kSeBlast,
  kSeBlast2, kSeBlockCreate, kSeBlockChange, kSeBom01, kSeKeySwitch, kSeShopOpen, kSeMagicBlock, kSeDead,
  kSePipe, kSePush, kSeInfinityStar, kSeKeyGet, kSeCount, kSeCheckCube, kSeDiscovery, kSeMagical,
  kSoundEffectCount
};

extern SpriteSheets sheets;
extern SingleImages images;
extern int soundEffects[kSoundEffectCount];  // -1 when the file failed to load
// 640 by 480 work graphs: the crossfade's two, and two for the screens.
extern int oldScreen, newScreen, thirdScreen, pictureScreen;

// Game files that failed to load, as the game names them
// ("\data_en\pat_item.png"), in load order.
extern std::vector<std::string> missingGameFiles;

// Loads every sprite sheet and single image in the start-up order.
void LoadSpriteSheets();
// Loads every sound effect with three buffers, decoded whole.
void LoadSoundEffects();
// Reads a sheet of `cells` cells of w by h, `across` per row, into handles
// (all -1 on failure); 0, or -1 after recording the failure.
int LoadSheet(const char* relativePath, int cells, int across, int down, int w, int h, int* handles);
// A graph of the image, or -1 after recording the failure.
int LoadImage(const char* relativePath);
// A sound handle of the file with three buffers in the current create mode,
// or -1 after recording the failure.
int LoadSound(const char* relativePath);
// Records a game file that failed to load and tells the log and stderr its
// name on disk and whether it is missing or damaged: the game runs with its
// log off, and a file that did not load must not pass unnoticed.
void ReportLoadFailure(const char* relativePath);
// The same for a caller that has the file's path and has asked whether it
// opens already.
void ReportLoadFailure(const char* relativePath, const GameString& path, bool opens);
// "veltrin: " and the printf-style text, on stderr and in the log.
void ReportGameProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));
