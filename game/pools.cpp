// Fixed pools allocated for the whole run: spawning is a scan for the first
// free record, and nothing is allocated during play.
#include "game/pools.h"

#include <algorithm>
#include <iterator>

ShotRecord playerShots[kPlayerShotPoolSize];
ShotRecord enemyBullets[kBulletPoolSize];
EffectRecord effects[kEffectPoolSize];
EnemyRecord enemies[kEnemyPoolSize];
TimedCellRecord timedCells[kTimedCellPoolSize];
std::int32_t playerShotCount = 0;
std::int32_t bulletCount = 0;
std::int32_t effectCount = 0;
std::int32_t enemyCount = 0;
std::int32_t timedCellCount = 0;

namespace {

template <typename Record, std::size_t N, typename IsFree>
int FirstFree(const Record (&records)[N], IsFree isFree) {
  const auto found = std::find_if(std::begin(records), std::end(records), isFree);
  return found == std::end(records) ? -1 : static_cast<int>(found - std::begin(records));
}

template <typename Record>
bool NotInUse(const Record& record) {
  return record.inUse == 0;
}

template <typename Record, std::size_t N>
void FreeAll(Record (&records)[N], std::int32_t& counter) {
  for (Record& record : records) record.inUse = 0;
  counter = 0;
}

}  // namespace

int FindFreeSlot(int pool) {
  switch (pool) {
    case kPoolPlayerShots: return FirstFree(playerShots, NotInUse<ShotRecord>);
    case kPoolEnemyBullets: return FirstFree(enemyBullets, NotInUse<ShotRecord>);
    case kPoolEffects: return FirstFree(effects, NotInUse<EffectRecord>);
    // An enemy record is free once its life has run out.
    case kPoolEnemies: return FirstFree(enemies, [](const EnemyRecord& enemy) { return enemy.life <= 0; });
    case kPoolTimedCells: return FirstFree(timedCells, NotInUse<TimedCellRecord>);
    default: return -1;
  }
}

void EmptyShotAndEffectPools() {
  FreeAll(playerShots, playerShotCount);
  EmptyBulletPool();
  FreeAll(effects, effectCount);
}

void EmptyObjectPools() {
  EmptyShotAndEffectPools();
  FreeAll(timedCells, timedCellCount);
}

void EmptyBulletPool() { FreeAll(enemyBullets, bulletCount); }
