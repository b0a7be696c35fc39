// Enemy kinds: the template record, the nine kind sets, the kind and variant
// tables, the sheets loaded per kind set, and the copy a placed enemy starts
// from. Every attack the kind tables leave open is decided in kPlaceholderAttacks.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

#include "game/enemies.h"
#include "game/enemy_text.h"
#include "game/floor_records.h"
#include "game/game_assets.h"
#include "game/game_state.h"
#include "game/pools.h"
#include "game/trap_graphics.h"
#include "graphics/graph_handles.h"

EnemyKindRecord enemyKinds[kEnemyKindSlots];
int enemySheets[kFloorKindSlots][kEnemySheetCells];

namespace {

namespace t = qz::text;
using Notes = void (*)(EnemyKindRecord&);

constexpr int kBlaze = 0, kGravity = 1, kMagic = 2;

struct KindVariant {
  const char* name;
  int variant;
  const char* sheet;
  int behaviour, life, contact, interval, size;
  Notes notes;
};

struct Animation {
  int count;
  int cells[kEnemyAnimSteps];
  int firstDuration, duration;
};

struct KindShape {
  const char* name;
  int width, height;
  int body[4];
  int muzzleX, muzzleY;
  int flying, ghost;
  Animation animation;
};

// One attack slot: aim mode, bullets per volley, volleys per burst, speed,
// colour row, bullet kind, damage.
struct AttackSlot {
  int aim, bullets, volleys;
  double speed;
  int colour, kind, damage;
};

// The attacks of one kind and variant; what a row leaves out keeps the
// template's defaults.
struct KindAttacks {
  const char* name;
  int variant;
  AttackSlot slots[kAttackSlots] = {};
  int slotChance[2] = {100, 100};
  int spreadDivisor = 10;  // of slot 0
  int burstInterval[2] = {8, 8};
};

// The attack slots the kind tables only name ("two attack slots", "attacks",
// "bullet kind 17") or give without a volley count. Placeholders chosen to
// make each kind attack in the way its neighbours do; one place to tune them.
const KindAttacks kPlaceholderAttacks[] = {
    {.name = t::kKindSlime, .variant = 1, .slots = {{0, 1, 1, 1.8, 2, 0, 10}}},
    {.name = t::kKindSlime, .variant = 2, .slots = {{2, 1, 1, 1.8, 1, 0, 10}}},
    {.name = t::kKindSlime, .variant = 3, .slots = {{1, 1, 1, 2.0, 0, 0, 11}}},
    {.name = t::kKindSlime,
     .variant = 4,
     .slots = {{1, 1, 1, 2.0, 4, 0, 14}, {2, 3, 1, 1.8, 4, 0, 14}},
     .slotChance = {60, 100}},
    {.name = t::kKindSlime, .variant = 5, .slots = {{1, 3, 2, 3.0, 0, 0, 14}}, .spreadDivisor = 56},
    {.name = t::kKindBee, .variant = 2, .slots = {{1, 1, 1, 2.0, 3, 0, 14}}},
    {.name = t::kKindWispBoss, .variant = 0, .slots = {{3, 1, 32, 2.5, 4, 0, 14}}, .burstInterval = {2, 8}},
    {.name = t::kKindBat, .variant = 0, .slots = {{1, 1, 1, 1.8, 0, 0, 11}}},
    {.name = t::kKindBat, .variant = 1, .slots = {{1, 1, 1, 1.8, 3, 0, 12}}},
    {.name = t::kKindBeast, .variant = 2, .slots = {{5, 1, 1, 4.0, 0, 17, 16}}},
    {.name = t::kKindWitch,
     .variant = 0,
     .slots = {{1, 3, 1, 2.5, 4, 0, 16}, {3, 1, 8, 2.0, 4, 4, 16}},
     .slotChance = {70, 100}},
    {.name = t::kKindWitch,
     .variant = 1,
     .slots = {{1, 3, 1, 2.5, 4, 0, 16}, {3, 1, 8, 2.0, 4, 4, 16}},
     .slotChance = {70, 100}},
    // The Second Witch's turning bullets rise before they turn: aimed at the
    // player straight away, they turned a few cells short of one kneeling by
    // the hall's wall, too close to be answered once seen.
    {.name = t::kKindWitch2,
     .variant = 0,
     .slots = {{1, 5, 1, 3.0, 4, 0, 18}, {3, 1, 12, 2.5, 4, 4, 18}, {6, 1, 3, 2.0, 0, 19, 20}},
     .slotChance = {50, 60},
     .burstInterval = {8, 4}},
    // The Butterfly's stream is eight shots: its random aims, through stone,
    // made sixteen long left the trench under her branch no way out. Her
    // line is 24 long: the head of a 48 crossed to her branch in 20 frames.
    {.name = t::kKindButterfly,
     .variant = 0,
     .slots = {{1, 5, 2, 2.5, 4, 0, 18}, {3, 1, 8, 2.0, 4, 7, 18}, {1, 24, 1, 2.0, 0, 18, 18}},
     .slotChance = {50, 60},
     .burstInterval = {8, 4}},
    {.name = t::kKindShell,
     .variant = 1,
     .slots = {{1, 3, 1, 2.5, 4, 0, 20}, {5, 1, 3, 4.0, 0, 14, 20}},
     .slotChance = {60, 100}},
    {.name = t::kKindDragonHead,
     .variant = 0,
     .slots = {{1, 5, 3, 3.0, 4, 0, 24}, {5, 1, 4, 4.5, 0, 16, 24}, {1, 48, 1, 2.5, 0, 18, 24}},
     .slotChance = {50, 60}},
    {.name = t::kKindBomber, .variant = 0, .slots = {{5, 1, 1, 4.0, 0, 14, 20}}},
    // The moon's slot 0 spawns template 8; slot 1 is the spread its phases fire.
    {.name = t::kKindSunMoon,
     .variant = 0,
     .slots = {{4, 1, 1, 0.0, 0, 0, 0}, {1, 3, 1, 3.0, 4, 0, 20}, {3, 1, 8, 2.5, 4, 0, 20}},
     .slotChance = {40, 50}},
};

void WriteAttackSlot(EnemyKindRecord& k, int slot, const AttackSlot& a) {
  k.aimMode[slot] = a.aim;
  k.bulletsPerVolley[slot] = a.bullets;
  k.volleysPerBurst[slot] = a.volleys;
  k.bulletSpeed[slot] = a.speed;
  k.bulletColour[slot] = a.colour;
  k.bulletKind[slot] = a.kind;
  k.bulletDamage[slot] = a.damage;
}

// The placeholder attacks of a kind and variant; a kind without a row keeps
// the template's, which never fire.
void WriteAttacks(EnemyKindRecord& k, const GameString& name, int variant) {
  for (const KindAttacks& row : kPlaceholderAttacks) {
    if (row.variant != variant || GameStringEquals(name, row.name) == 0) continue;
    for (int slot = 0; slot < kAttackSlots; ++slot) WriteAttackSlot(k, slot, row.slots[slot]);
    k.slotChance[0] = row.slotChance[0], k.slotChance[1] = row.slotChance[1];
    k.spreadDivisor[0] = row.spreadDivisor;
    k.burstInterval[0] = row.burstInterval[0], k.burstInterval[1] = row.burstInterval[1];
    return;
  }
}

void Immune(EnemyKindRecord& k, int shotKind) { k.damageFactor[shotKind] = 0.0; }

// Bodies are drawn solid, a body's whole extent plain to see; only the red
// fireball, a flame, is drawn see-through.
const KindVariant kKindVariants[] = {
    {t::kKindSlime, 0, t::kSheetSlimeBlue, 0, 1, 12, 100, 1, nullptr},
    {t::kKindSlime, 1, t::kSheetSlimeGreen, 0, 1, 12, 160, 1, nullptr},
    {t::kKindSlime, 2, t::kSheetSlimeRed, 1, 1, 13, 130, 1, [](EnemyKindRecord& k) { k.speed = 0.8; }},
    {t::kKindSlime, 3, t::kSheetSlimeGold, 2, 1, 14, 120, 1, [](EnemyKindRecord& k) { k.knockbackClass = 1; }},
    {t::kKindSlime, 4, t::kSheetSlimeBlack, 2, 2, 18, 90, 2,
     [](EnemyKindRecord& k) { k.actsWhileHurt = 1, k.knockbackClass = 1, k.contactKnockback = 1, k.speed2 = -1.0; }},
    {t::kKindSlime, 5, t::kSheetSlimeBoss, 2, 18, 12, 80, 3,
     [](EnemyKindRecord& k) {
       k.bossIndex = 0, k.speed = 5.0, k.speed2 = -1.0;
       Immune(k, kGravity), Immune(k, kMagic);
     }},
    {t::kKindBee, 0, t::kSheetBeeYellow, 1, 1, 18, 100, 1, [](EnemyKindRecord& k) { k.speed = 3.0; }},
    {t::kKindBee, 1, t::kSheetBeeRed, 2, 1, 19, 100, 1, [](EnemyKindRecord& k) { k.speed = k.speed2 = 3.0; }},
    {t::kKindBee, 2, t::kSheetBeeBlack, 2, 2, 24, 90, 2, [](EnemyKindRecord& k) { k.speed = k.speed2 = 1.0; }},
    {t::kKindWispBoss, 0, t::kSheetWispBoss, 30, 28, 24, 90, 3,
     [](EnemyKindRecord& k) { k.bossIndex = 1, Immune(k, kGravity), Immune(k, kMagic); }},
    {t::kKindBat, 0, t::kSheetBatBlue, 1, 1, 16, 210, 1, [](EnemyKindRecord& k) { k.speed = 3.5; }},
    {t::kKindBat, 1, t::kSheetBatYellow, 2, 1, 17, 200, 1, [](EnemyKindRecord& k) { k.speed = k.speed2 = 3.5; }},
    {t::kKindBeast, 0, t::kSheetBeastBlue, 1, 1, 19, 130, 1, [](EnemyKindRecord& k) { k.speed = 1.8; }},
    {t::kKindBeast, 1, t::kSheetBeastYellow, 32, 1, 20, 125, 1, nullptr},
    {t::kKindBeast, 2, t::kSheetBeastRed, 0, 2, 28, 60, 2, nullptr},
    {t::kKindWitch, 0, t::kSheetWitch, 0, 8, 24, 60, 1, [](EnemyKindRecord& k) { k.knockbackClass = 2; }},
    {t::kKindWitch, 1, t::kSheetWitch, 0, 8, 24, 65, 1, [](EnemyKindRecord& k) { k.knockbackClass = 2; }},
    {t::kKindWitch2, 0, t::kSheetWitch2, 0, 16, 24, 55, 1, [](EnemyKindRecord& k) { k.bossIndex = 2; }},
    {t::kKindMole, 0, t::kSheetMole, 18, 1, 27, 130, 1, [](EnemyKindRecord& k) { k.speed = 1.2; }},
    {t::kKindMushroom, 0, t::kSheetMushroom, 33, 1, 18, 100, 1,
     [](EnemyKindRecord& k) { k.contactKnockback = 4, k.speed = 2.8, k.speed2 = 2.0; }},
    // The Butterfly's beat is 130 frames: at 100 the slow tail of a line
    // she aimed into the trench under her branch still swept it when the
    // next came due, leaving a player who climbed out on the beat no shelter.
    {t::kKindButterfly, 0, t::kSheetButterfly, 20, 24, 24, 130, 3, [](EnemyKindRecord& k) { k.bossIndex = 3; }},
    {t::kKindShell, 0, t::kSheetShellGreen, 16, 1, 24, 120, 1, [](EnemyKindRecord& k) { k.speed = 1.0; }},
    {t::kKindShell, 1, t::kSheetShellWhite, 0, 3, 32, 100, 3, nullptr},
    {t::kKindPenguin, 0, t::kSheetPenguin, kRestingHopperBehaviour, 1, 22, 110, 1,
     [](EnemyKindRecord& k) { k.speed = 1.2, k.speed2 = -0.5; }},
    {t::kKindFireball, 0, t::kSheetFireballRed, 7, 1, 20, 100, 1,
     [](EnemyKindRecord& k) { k.speed = 1.2, k.shotResponse = 2, k.alpha = 160; }},
    {t::kKindFireball, 1, t::kSheetFireballBlue, 7, 1, 0, 100, 1, [](EnemyKindRecord& k) { k.speed = 1.8; }},
    {t::kKindBalloonSlime, 0, t::kSheetBalloonSlime, 7, 32, 0, 100, 6,
     [](EnemyKindRecord& k) { k.bossIndex = 4, k.speed = 4.5; }},
    {t::kKindSnake, 0, t::kSheetSnake, 34, 1, 26, 130, 1, [](EnemyKindRecord& k) { k.speed = 5.0; }},
    {t::kKindRat, 0, t::kSheetRat, 35, 1, 23, 100, 1, [](EnemyKindRecord& k) { k.speed = 3.5, k.speed2 = 0.4; }},
    {t::kKindDragonHead, 0, t::kSheetDragonHead, 13, 40, 54, 90, 5, [](EnemyKindRecord& k) { k.bossIndex = 5; }},
    {t::kKindLizard, 0, t::kSheetLizard, 1, 2, 28, 100, 1, [](EnemyKindRecord& k) { k.speed = 2.2, k.speed2 = 2.5; }},
    {t::kKindBomber, 0, t::kSheetBomber, 2, 5, 30, 110, 2, nullptr},
    {t::kKindEye, 0, t::kSheetEye, 7, 64, 27, 150, 1, [](EnemyKindRecord& k) { k.speed = 1.5; }},
    {t::kKindGuardian, 0, t::kSheetGuardianWater, 17, 16, 36, 40, 3, nullptr},
    {t::kKindGuardian, 1, t::kSheetGuardianEarth, 17, 16, 28, 38, 3, nullptr},
    {t::kKindGuardian, 2, t::kSheetGuardianWind, 17, 999, 37, 60, 3,
     [](EnemyKindRecord& k) { Immune(k, kBlaze); }},
    {t::kKindGuardian, 3, t::kSheetGuardianFire, 17, 16, 36, 24, 3,
     [](EnemyKindRecord& k) { Immune(k, kMagic); }},
    {t::kKindSunMoon, 0, t::kSheetMoon1, 36, 32, 36, 120, 4,
     [](EnemyKindRecord& k) { k.bossIndex = 6, Immune(k, kBlaze), Immune(k, kGravity); }},
    {t::kKindSunMoon, 1, t::kSheetMoon2, 0, 16, 0, 100, 1, nullptr},
    {t::kKindSunMoon, 2, t::kSheetMoon3, 0, 16, 0, 100, 1, nullptr},
    {t::kKindSunMoon, 3, t::kSheetSun, 0, 16, 0, 100, 1, nullptr},
};

constexpr Animation kPingPong5{8, {0, 1, 2, 3, 4, 3, 2, 1}, 5, 5};
constexpr Animation Loop(int count, int duration) {
  Animation a{count, {}, duration, duration};
  for (int i = 0; i < count; ++i) a.cells[i] = i;
  return a;
}

// The sheets of "ウィッチ2" and "シェルダー" have no table of their own: they
// loop over their first four cells like the other walkers.
const KindShape kKindShapes[] = {
    {t::kKindSlime, 64, 64, {12, 28, 52, 64}, 0, 0, 0, 0, kPingPong5},
    {t::kKindBee, 32, 32, {1, 1, 31, 31}, 0, 0, 1, 0, {2, {0, 1}, 2, 2}},
    {t::kKindBat, 32, 32, {1, 1, 31, 31}, 0, 0, 1, 0, {4, {0, 1, 2, 1}, 5, 5}},
    {t::kKindWispBoss, 64, 64, {5, 5, 57, 57}, 1, 32, 1, 0, {4, {0, 1, 2, 1}, 45, 5}},
    {t::kKindBeast, 64, 64, {7, 17, 56, 64}, 0, 0, 0, 0, Loop(5, 7)},
    {t::kKindWitch, 64, 64, {14, 4, 50, 64}, 28, 18, 0, 0, Loop(5, 3)},
    {t::kKindWitch2, 64, 96, {14, 36, 50, 95}, 5, 14, 1, 1, Loop(4, 6)},
    {t::kKindMole, 64, 64, {11, 13, 52, 63}, 15, 41, 0, 0, Loop(4, 8)},
    {t::kKindMushroom, 64, 64, {9, 4, 53, 64}, 0, 0, 0, 0, kPingPong5},
    {t::kKindButterfly, 64, 64, {2, 2, 61, 61}, 12, 40, 1, 1, {8, {0, 1, 2, 3, 4, 3, 2, 1}, 3, 3}},
    {t::kKindShell, 64, 64, {11, 16, 50, 63}, 4, 56, 0, 0, Loop(4, 6)},
    {t::kKindPenguin, 64, 64, {19, 19, 44, 64}, 0, 0, 0, 0, {7, {0, 1, 2, 3, 3, 2, 1}, 4, 4}},
    {t::kKindFireball, 32, 32, {1, 1, 31, 31}, 0, 0, 1, 1, Loop(4, 2)},
    // Not a ghost: six times its cell, it would sink out of reach into the
    // floor and the walls it chases the player against.
    {t::kKindBalloonSlime, 64, 64, {13, 22, 50, 59}, 0, 0, 1, 0, Loop(8, 6)},
    {t::kKindSnake, 64, 64, {10, 14, 54, 64}, 0, 0, 0, 0, {4, {0, 1, 2, 1}, 6, 6}},
    {t::kKindRat, 64, 64, {14, 4, 50, 64}, 0, 0, 0, 0, {8, {0, 1, 2, 1, 0, 3, 4, 3}, 6, 6}},
    {t::kKindDragonHead, 64, 64, {6, 17, 58, 51}, 14, 44, 1, 0, Loop(9, 8)},
    {t::kKindLizard, 64, 64, {12, 13, 51, 63}, 10, 39, 0, 0, Loop(4, 8)},
    {t::kKindBomber, 64, 64, {12, 20, 51, 64}, 0, 0, 0, 0, Loop(4, 6)},
    {t::kKindEye, 64, 64, {10, 10, 55, 53}, 26, 32, 1, 1, {4, {0, 1, 2, 1}, 8, 8}},
    {t::kKindGuardian, 96, 96, {37, 3, 83, 95}, 32, 46, 1, 1, Loop(5, 6)},
    {t::kKindSunMoon, 96, 96, {18, 18, 78, 78}, 1, 57, 1, 1, kPingPong5},
};

struct SetEntry {
  const char* name;
  int variant;
};

// Kind sets 1..9, slot by slot; the last entry of each is its boss.
const std::initializer_list<SetEntry> kKindSets[] = {
    {{t::kKindSlime, 0}, {t::kKindSlime, 1}, {t::kKindSlime, 2}, {t::kKindSlime, 3}, {t::kKindSlime, 4},
     {t::kKindSlime, 5}},
    {{t::kKindSlime, 1}, {t::kKindSlime, 2}, {t::kKindSlime, 3}, {t::kKindSlime, 4}, {t::kKindBee, 0},
     {t::kKindBee, 1}, {t::kKindWispBoss, 0}},
    {{t::kKindBat, 0}, {t::kKindBat, 1}, {t::kKindBeast, 0}, {t::kKindBeast, 1}, {t::kKindBeast, 2},
     {t::kKindWitch, 0}, {t::kKindWitch, 1}, {t::kKindWitch2, 0}},
    {{t::kKindBat, 0}, {t::kKindBat, 1}, {t::kKindBeast, 1}, {t::kKindBeast, 2}, {t::kKindMole, 0},
     {t::kKindMushroom, 0}, {t::kKindButterfly, 0}},
    {{t::kKindBat, 0}, {t::kKindBat, 1}, {t::kKindShell, 0}, {t::kKindShell, 1}, {t::kKindPenguin, 0},
     {t::kKindFireball, 0}, {t::kKindFireball, 1}, {t::kKindBalloonSlime, 0}},
    {{t::kKindBat, 0}, {t::kKindBat, 1}, {t::kKindSnake, 0}, {t::kKindRat, 0}, {t::kKindBeast, 0},
     {t::kKindBeast, 2}, {t::kKindFireball, 1}, {t::kKindDragonHead, 0}},
    {{t::kKindBat, 0}, {t::kKindBat, 1}, {t::kKindSlime, 1}, {t::kKindSnake, 0}, {t::kKindRat, 0},
     {t::kKindLizard, 0}, {t::kKindBomber, 0}},
    {{t::kKindGuardian, 0}, {t::kKindGuardian, 1}, {t::kKindGuardian, 2}, {t::kKindGuardian, 3}},
    {{t::kKindSunMoon, 0}, {t::kKindSunMoon, 1}, {t::kKindSunMoon, 2}, {t::kKindSunMoon, 3}, {t::kKindEye, 0}},
};

EnemyKindRecord DefaultTemplate() {
  EnemyKindRecord k{};
  k.weakTop = -1;
  for (int s = 0; s < kAttackSlots; ++s) {
    k.slotChance[s] = 100;
    k.spreadDivisor[s] = 10;
    k.burstInterval[s] = 8;
  }
  k.baseInterval = 100;
  k.attackSlot = -1;
  k.sizeFactor = 1;
  k.bossIndex = -1;
  std::fill(std::begin(k.damageFactor), std::end(k.damageFactor), 1.0);
  return k;
}

void WriteAnimation(EnemyKindRecord& k, const Animation& a) {
  std::fill(std::begin(k.animFrames), std::end(k.animFrames), 0);
  std::fill(std::begin(k.animDurations), std::end(k.animDurations), 0);
  for (int i = 0; i < a.count; ++i) {
    k.animFrames[i] = a.cells[i];
    k.animDurations[i] = i == 0 ? a.firstDuration : a.duration;
  }
}

void WriteShape(EnemyKindRecord& k, const KindShape& shape) {
  k.width = shape.width;
  k.height = shape.height;
  k.bodyLeft = shape.body[0], k.bodyTop = shape.body[1], k.bodyRight = shape.body[2], k.bodyBottom = shape.body[3];
  k.muzzleX = shape.muzzleX, k.muzzleY = shape.muzzleY;
  k.flying = shape.flying, k.ghost = shape.ghost;
  WriteAnimation(k, shape.animation);
}

void ReleaseKindSheets() {
  for (auto& table : enemySheets) {
    for (int& cell : table) {
      if (cell != -1) qz::ReleaseGraph(cell);
      cell = -1;  // a smaller next sheet must not leave stale handles behind
    }
  }
}

void ScaleTemplate(EnemyKindRecord& k) {
  k.attackInterval = k.baseInterval;
  k.maxLife = k.life;
  const int f = k.sizeFactor;
  if (f == 1) return;
  k.width *= f, k.height *= f;
  k.bodyLeft *= f, k.bodyTop *= f, k.bodyRight *= f, k.bodyBottom *= f;
  k.weakLeft *= f, k.weakRight *= f, k.weakBottom *= f;
  if (k.weakTop != -1) k.weakTop *= f;
}

struct SheetTablesCleared {
  SheetTablesCleared() {
    for (auto& table : enemySheets) std::fill(std::begin(table), std::end(table), -1);
  }
} sheetTablesCleared;

// Fills `k` from a kind name and colour variant: its row, or nullptr (and
// `k` untouched) for an unknown name or variant.
const KindVariant* FillEnemyKind(EnemyKindRecord& k, const GameString& name, int variant) {
  const KindVariant* row = nullptr;
  for (const KindVariant& v : kKindVariants) {
    if (GameStringEquals(name, v.name) && v.variant == variant) row = &v;
  }
  if (row == nullptr) return nullptr;
  k.behaviour = row->behaviour, k.life = row->life, k.contactDamage = row->contact;
  k.baseInterval = row->interval, k.sizeFactor = row->size;
  if (row->notes != nullptr) row->notes(k);
  WriteAttacks(k, name, variant);
  for (const KindShape& shape : kKindShapes) {
    if (GameStringEquals(name, shape.name)) WriteShape(k, shape);
  }
  return row;
}

// The trap kinds the floors place in slots 8..10 and the moon boss spawns
// from slot 8. Their values are this game's own: a needle that drifts down
// through cells, a left-firing laser, and a red shooter aimed at the player.
EnemyKindRecord TrapKind(int slot) {
  EnemyKindRecord k = DefaultTemplate();
  k.width = k.height = 32;
  k.bodyLeft = k.bodyTop = 4, k.bodyRight = k.bodyBottom = 28;
  k.flying = 1;
  k.life = k.maxLife = 1;
  if (slot == 8) {
    k.behaviour = 15, k.sheetSlot = kNeedleSheetSlot;
    WriteAnimation(k, Loop(6, 4));
    k.ghost = 1, k.contactDamage = 12;
  } else if (slot == 9) {
    k.behaviour = 28, k.sheetSlot = kLaserSheetSlot;
    WriteAnimation(k, Loop(6, 4));
    k.shotResponse = 1;
  } else {
    k.behaviour = 0, k.sheetSlot = kShooterSheetSlot;
    WriteAnimation(k, Loop(4, 6));
    k.shotResponse = 1, k.baseInterval = 120;
    WriteAttackSlot(k, 0, {1, 1, 1, 2.5, 1, 0, 12});
  }
  k.attackInterval = k.baseInterval;
  return k;
}

}  // namespace

void InitEnemyKind(const GameString& name, int variant, int slot) {
  if (slot < 0 || slot >= kEnemyKindSlots) return;
  EnemyKindRecord& k = enemyKinds[slot];
  const KindVariant* row = FillEnemyKind(k, name, variant);
  k.sheetSlot = slot;
  if (row == nullptr || slot >= kFloorKindSlots) return;
  const KindShape* shape = std::find_if(std::begin(kKindShapes), std::end(kKindShapes),
                                        [&](const KindShape& s) { return GameStringEquals(name, s.name) != 0; });
  if (shape == std::end(kKindShapes)) return;
  const std::string path = std::string("\\data_en\\") + row->sheet;
  LoadSheet(path.c_str(), kEnemySheetCells, kEnemySheetCells, 1, shape->width, shape->height, enemySheets[slot]);
}

EnemyKindRecord FloorEnemyKind(int kindSet, int slot) {
  if (slot >= kFloorKindSlots && slot < kEnemyKindSlots) return TrapKind(slot);
  EnemyKindRecord k = DefaultTemplate();
  if (kindSet >= 1 && kindSet <= static_cast<int>(std::size(kKindSets)) && slot >= 0 &&
      slot < static_cast<int>(kKindSets[kindSet - 1].size())) {
    const SetEntry& entry = kKindSets[kindSet - 1].begin()[slot];
    FillEnemyKind(k, GameString(entry.name), entry.variant);
    k.sheetSlot = slot;
  }
  ScaleTemplate(k);
  return k;
}

void SetupFloorEnemies() {
  for (EnemyRecord& enemy : enemies) enemy.life = enemy.counted = 0;
  requiredDefeats = 0;
  ReleaseKindSheets();
  for (int slot = 0; slot < kFloorKindSlots; ++slot) enemyKinds[slot] = DefaultTemplate();
  if (loadedKindSet >= 1 && loadedKindSet <= static_cast<int>(std::size(kKindSets))) {
    int slot = 0;
    for (const SetEntry& entry : kKindSets[loadedKindSet - 1]) {
      InitEnemyKind(GameString(entry.name), entry.variant, slot++);
    }
  }
  for (int slot = 0; slot < kFloorKindSlots; ++slot) ScaleTemplate(enemyKinds[slot]);
  enemyCount = 0;
}

void SetupTrapKinds() {
  for (int slot = kFloorKindSlots; slot < kEnemyKindSlots; ++slot) enemyKinds[slot] = TrapKind(slot);
}

int EnemySheetCells(int slot, const int** cells) {
  if (slot >= 0 && slot < kFloorKindSlots) return *cells = enemySheets[slot], kEnemySheetCells;
  if (slot == kNeedleSheetSlot) return *cells = trapSheets.needle, 6;
  if (slot >= kLaserSheetSlot && slot < kShooterSheetSlot) return *cells = trapSheets.laser[slot - kLaserSheetSlot], 6;
  if (slot >= kShooterSheetSlot && slot < kMagicBallSheetSlot) {
    return *cells = trapSheets.shooter[slot - kShooterSheetSlot], 4;
  }
  if (slot >= kMagicBallSheetSlot && slot < kEnemySheetSlots) {
    return *cells = trapSheets.magicBall[slot - kMagicBallSheetSlot], 5;
  }
  *cells = nullptr;
  return 0;
}

void CopyEnemyFromKind(int enemy, int slot) {
  if (enemy < 0 || enemy >= kEnemyPoolSize || slot < 0 || slot >= kEnemyKindSlots) return;
  EnemyRecord& e = enemies[enemy];
  const EnemyRecord placed = e;
  e = enemyKinds[slot];
  e.x = placed.x, e.y = placed.y, e.posX = placed.posX, e.posY = placed.posY;
  e.counted = 0;
  e.behaviourClock = e.secondClock = e.secondPause = e.phase = 0;
  e.driftX = e.driftY = 0.0;
  e.behaviourTarget = -1;
  e.velocityX = e.velocityY = 0.0;
  e.hurtTimer = 0;
  e.animTick = e.animFrame = 0;
  e.volleyCount = 0;
  e.attackTimer = e.bossIndex >= 0 ? -kBossOpeningFrames : 0;
  e.attackSlot = -1;
  e.fallSpeed = 0.0;
  e.facing = -1;
  e.moveState = e.flying;
  e.turnFlag = 1;
  if (e.bossIndex >= 0 && e.bossIndex < static_cast<int>(std::size(gameState.FloorProgress.bossDefeated)) &&
      gameState.FloorProgress.bossDefeated[e.bossIndex] != 0) {
    e.life = 0;
  }
  if (EnemyMapCollision(3, enemy) != 0) {
    e.y = e.y - e.y % 32 - 1;
    e.posY = e.y;
  }
}

void ResetEnemyRecords() {
  for (EnemyRecord& record : enemies) {
    record = EnemyRecord{};
    record.bossIndex = -1;
  }
  enemyCount = 0;
}
