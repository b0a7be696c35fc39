// Start-up loading of the pictures and sounds, in the order of the game's
// tables. A file that fails leaves -1 handles, is reported by name, and the
// game runs on without it.
#include "game/game_assets.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "core/log.h"
#include "game/game_files.h"
#include "game/game_paths.h"
#include "graphics/graph_from_image.h"
#include "sound/sound_load.h"

SpriteSheets sheets;
SingleImages images;
int soundEffects[kSoundEffectCount];
int oldScreen = -1;
int newScreen = -1;
int thirdScreen = -1;
int pictureScreen = -1;
std::vector<std::string> missingGameFiles;

namespace {

// One line of the start-up image table: a sheet, or a single image when
// cells is 0.
struct ImageEntry {
  const char* path;
  int cells, across, down, w, h;
  int* handles;
};

const ImageEntry kImages[] = {
    {"\\data_en\\pat_player_RGB.png", 207, 23, 9, 64, 64, sheets.player},
    {"\\data_en\\pat_player_RGB_squats.png", 27, 9, 3, 96, 64, sheets.playerSquats},
    {"\\data_en\\pat_player_RGB_dash.png", 21, 7, 3, 64, 64, sheets.playerDash},
    {"\\data_en\\pat_player_dash_shadow.png", 7, 7, 1, 64, 64, sheets.dashShadow},
    {"\\data_en\\pat_bullet01.png", 18, 6, 3, 24, 24, sheets.bullet01},
    {"\\data_en\\pat_bullet02.png", 96, 12, 8, 24, 24, sheets.bullet02},
    {"\\data_en\\pat_bullet_laser01.png", 6, 6, 1, 3, 9, sheets.laser01},
    {"\\data_en\\pat_bullet_laser02.png", 6, 1, 6, 9, 3, sheets.laser02},
    {"\\data_en\\chip_itembox.png", 4, 4, 1, 32, 32, sheets.itemBox},
    {"\\data_en\\chip_cube.png", 12, 6, 2, 32, 32, sheets.cube},
    {"\\data_en\\pat_item.png", 36, 6, 6, 32, 32, sheets.item},
    {"\\data_en\\st_bullet.png", 3, 3, 1, 32, 32, sheets.shotIcon},
    {"\\data_en\\st_magic_bar.png", 4, 4, 1, 9, 20, sheets.magicBar},
    {"\\data_en\\st_itemicon.png", 32, 8, 4, 32, 32, sheets.itemIcon},
    {"\\data_en\\st_field_icon.png", 8, 8, 1, 32, 32, sheets.fieldIcon},
    {"\\data_en\\st_font2.png", 15, 15, 1, 9, 16, sheets.font2},
    {"\\data_en\\st_font3.png", 13, 13, 1, 12, 15, sheets.font3},
    {"\\data_en\\st_font4.png", 11, 11, 1, 12, 18, sheets.font4},
    {"\\data_en\\st_font5.png", 10, 10, 1, 26, 32, sheets.font5},
    {"\\data_en\\st_font_floor.png", 0, 0, 0, 0, 0, &images.fontFloor},
    {"\\data_en\\st_font_time.png", 0, 0, 0, 0, 0, &images.fontTime},
    {"\\data_en\\st_font_autosave.png", 0, 0, 0, 0, 0, &images.fontAutosave},
    {"\\data_en\\st_font_inertia.png", 0, 0, 0, 0, 0, &images.fontInertia},
    {"\\data_en\\st_font_jump.png", 0, 0, 0, 0, 0, &images.fontJump},
    {"\\data_en\\st_status4.png", 5, 5, 1, 18, 18, sheets.status4},
    {"\\data_en\\st_status1.png", 0, 0, 0, 0, 0, &images.status1},
    {"\\data_en\\st_cursor1.png", 0, 0, 0, 0, 0, &images.cursor1},
    {"\\data_en\\st_cursor2.png", 6, 6, 1, 48, 48, sheets.cursor2},
    {"\\data_en\\st_cursor3.png", 6, 6, 1, 34, 32, sheets.cursor3},
    {"\\data_en\\st_map_icon.png", 4, 4, 1, 30, 28, sheets.mapIcon},
    {"\\data_en\\bg_floorback_blue.png", 0, 0, 0, 0, 0, &images.floorBanner},
    {"\\data_en\\st_gameover.png", 0, 0, 0, 0, 0, &images.gameOver},
    {"\\data_en\\st_shop_window02.png", 0, 0, 0, 0, 0, &images.shopBacks},
    {"\\data_en\\st_shop_window01.png", 0, 0, 0, 0, 0, &images.shopFrames},
    {"\\data_en\\ef_shot1.bmp", 12, 6, 2, 64, 64, sheets.shotFlash1},
    {"\\data_en\\ef_shot2.bmp", 12, 6, 2, 64, 64, sheets.shotFlash2},
    {"\\data_en\\ef_shot3.bmp", 12, 6, 2, 64, 64, sheets.shotFlash3},
    {"\\data_en\\ef_doublejump.bmp", 8, 4, 2, 96, 16, sheets.doubleJump},
    {"\\data_en\\ef_bullet_change.bmp", 16, 16, 1, 40, 40, sheets.bulletChange},
    {"\\data_en\\ef_bullet_change2.bmp", 20, 10, 2, 80, 80, sheets.bulletChange2},
    {"\\data_en\\st_star.png", 6, 6, 1, 32, 32, sheets.star},
    {"\\data_en\\ef_hit01.bmp", 8, 8, 1, 24, 24, sheets.hit01},
    {"\\data_en\\ef_hit02.bmp", 16, 13, 2, 48, 48, sheets.hit02},
    {"\\data_en\\ef_hit03.bmp", 12, 5, 3, 128, 128, sheets.hit03},
    {"\\data_en\\ef_hit_blast.bmp", 16, 8, 2, 80, 80, sheets.hitBlast},
    {"\\data_en\\ef_bom01.bmp", 24, 8, 3, 80, 80, sheets.bom01},
    {"\\data_en\\ef_block_break.bmp", 16, 8, 2, 48, 48, sheets.blockBreak},
    {"\\data_en\\ef_block_create.bmp", 16, 8, 2, 64, 64, sheets.blockCreate},
    {"\\data_en\\ef_block_decreate.bmp", 16, 8, 2, 64, 64, sheets.blockDecreate},
    {"\\data_en\\ef_mpcharge.bmp", 16, 16, 1, 32, 32, sheets.mpCharge},
};

constexpr const char* kSoundEffectFiles[kSoundEffectCount] = {
    "se_ok.wav",        "se_cansel.wav",     "se_select.wav",      "se_shot01.wav",      "se_shot02.wav",
    "se_shot03.wav",    "se_change.wav",     "se_jump01.wav",      "se_jump02.wav",      "se_jump03.wav",
    "se_nodamage.wav",  "se_hit01.wav",      "se_hit02.wav",       "se_enemy_shot01.wav", "se_boxopen01.wav",
    "se_boxopen02.wav", "se_itemget01.wav",  "se_itemget02.wav",   "se_fieldicon.wav",   "se_warp.wav",
    "se_recovery.wav",  "se_shoping.wav",    "se_windowopen.wav",  "se_windowclose.wav", "se_blockbreak.wav",
    "se_blast.wav",     "se_blast2.wav",     "se_blockcreate.wav", "se_blockchange.wav", "se_bom01.wav",
    "se_keyswitch.wav", "se_shopopen.wav",   "se_magicblock.wav",  "se_dead.wav",        "se_pipe.wav",
    "se_push.wav",      "se_infinitystar.wav", "se_keyget.wav",    "se_count.wav",       "se_checkcube.wav",
    "se_discovery.wav", "se_magical.wav",
};

}  // namespace

void ReportGameProblem(const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  qz::AppendLogFormat("%s", text);
  std::fprintf(stderr, "veltrin: %s\n", text);
}

void ReportLoadFailure(const char* relativePath, const GameString& path, bool opens) {
  missingGameFiles.emplace_back(relativePath);
  const char* why = opens ? "the file is damaged or of an unknown format" : "the file is missing";
  ReportGameProblem("could not load %s: %s", DiskFileName(path).c_str(), why);
}

void ReportLoadFailure(const char* relativePath) {
  const GameString path = GamePath(relativePath);
  ReportLoadFailure(relativePath, path, CanOpenFile(path) != 0);
}

int LoadSheet(const char* relativePath, int cells, int across, int down, int w, int h, int* handles) {
  if (qz::ReadImageFileAsGraphGrid(GamePath(relativePath).c_str(), cells, across, down, w, h, handles, 0) == 0) {
    return 0;
  }
  std::fill_n(handles, cells, -1);
  ReportLoadFailure(relativePath);
  return -1;
}

int LoadImage(const char* relativePath) {
  const int graph = qz::ReadImageFileAsGraph(GamePath(relativePath).c_str(), 0);
  if (graph == -1) ReportLoadFailure(relativePath);
  return graph;
}

void LoadSpriteSheets() {
  for (const ImageEntry& entry : kImages) {
    if (entry.cells == 0) {
      *entry.handles = LoadImage(entry.path);
    } else {
      LoadSheet(entry.path, entry.cells, entry.across, entry.down, entry.w, entry.h, entry.handles);
    }
  }
}

int LoadSound(const char* relativePath) {
  const int sound = qz::LoadSoundFile(GamePath(relativePath).c_str(), 3, -1);
  if (sound == -1) ReportLoadFailure(relativePath);
  return sound;
}

void LoadSoundEffects() {
  qz::SetSoundCreateMode(qz::kSoundCreateWhole);
  for (int effect = 0; effect < kSoundEffectCount; ++effect) {
    soundEffects[effect] = LoadSound((std::string("\\sound\\") + kSoundEffectFiles[effect]).c_str());
  }
}
