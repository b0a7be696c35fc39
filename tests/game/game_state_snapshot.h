// The game's state at one frame, record by record and field by field, for
// replays that must repeat exactly: two snapshots compare to the first field
// that differs, named with both values. Only fields are kept, never padding,
// so two equal states always compare equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "game/action_input.h"
#include "game/crossfade.h"
#include "game/enemies.h"
#include "game/floor_play.h"
#include "game/floor_records.h"
#include "game/game_state.h"
#include "game/items.h"
#include "game/map_cells.h"
#include "game/pools.h"

namespace veltrin::testing {

struct StateField {
  const char* name;
  std::size_t offset, size;
  std::size_t elementSize;  // of one array element (the size for a scalar)
  bool floating;
};

// QZ_STATE_RECORD(Record, members...) defines FieldsOf<Record>: one field
// for each member named, in the order named.
#define QZ_STATE_FIELD(Record, member)                                                          \
  StateField{#member, offsetof(Record, member), sizeof(Record::member),                         \
             sizeof(std::remove_all_extents_t<decltype(Record::member)>),                       \
             std::is_floating_point_v<std::remove_all_extents_t<decltype(Record::member)>>},
// Each member through QZ_STATE_FIELD: the rescans a list of any length needs.
#define QZ_STATE_EXPAND(...) QZ_STATE_EXPAND3(QZ_STATE_EXPAND3(QZ_STATE_EXPAND3(QZ_STATE_EXPAND3(__VA_ARGS__))))
#define QZ_STATE_EXPAND3(...) QZ_STATE_EXPAND2(QZ_STATE_EXPAND2(QZ_STATE_EXPAND2(QZ_STATE_EXPAND2(__VA_ARGS__))))
#define QZ_STATE_EXPAND2(...) QZ_STATE_EXPAND1(QZ_STATE_EXPAND1(QZ_STATE_EXPAND1(QZ_STATE_EXPAND1(__VA_ARGS__))))
#define QZ_STATE_EXPAND1(...) __VA_ARGS__
#define QZ_STATE_EACH(Record, member, ...)                                                      \
  QZ_STATE_FIELD(Record, member) __VA_OPT__(QZ_STATE_EACH_AGAIN QZ_STATE_PARENS(Record, __VA_ARGS__))
#define QZ_STATE_EACH_AGAIN() QZ_STATE_EACH
#define QZ_STATE_PARENS ()
#define QZ_STATE_RECORD(Record, ...)                                                                     \
  template <>                                                                                            \
  inline const std::vector<StateField>& FieldsOf<Record>() {                                             \
    static const std::vector<StateField> fields = {QZ_STATE_EXPAND(QZ_STATE_EACH(Record, __VA_ARGS__))}; \
    return fields;                                                                                       \
  }

template <typename Record>
const std::vector<StateField>& FieldsOf();

QZ_STATE_RECORD(PlayerRecord,
    x, y, posX, posY, velocityY, velocityX, facing, squat, dashState, dashTimer, jumpStartRow, shotPose,
    shotPoseTimer, airborne, invulnerableFrames, eventCode, shotCooldown, shotPending, ridingObject, dead,
    airDashUsed, onSlipperyFloor, animState, animTick, animFrame, animFrames, animDurations, animLoopIndex,
    animLeadIn, life, maxLife, magic, maxMagic, shotKind, shotLevel, coins, keys, infiniteMagic, ProgressFlags)
QZ_STATE_RECORD(EnemyRecord,
    x, y, width, height, posX, posY, fallSpeed, facing, hurtTimer, moveState, bodyLeft, bodyTop, bodyRight,
    bodyBottom, weakLeft, weakTop, weakRight, weakBottom, counted, sizeFactor, muzzleX, muzzleY, behaviourClock,
    secondClock, secondPause, driftX, driftY, behaviourTarget, phase, velocityX, velocityY, sheetSlot, turnFlag,
    animTick, animFrame, animFrames, animDurations, attackTimer, attackInterval, baseInterval, volleyCount,
    attackSlot, burstInterval, slotChance, aimMode, bulletsPerVolley, volleysPerBurst, spreadDivisor, bulletSpeed,
    bulletColour, bulletKind, bulletDamage, bulletMode, behaviour, contactDamage, contactKnockback, life, maxLife,
    speed, speed2, flying, ghost, actsWhileHurt, ledgeMode, knockbackClass, bossIndex, shotResponse, damageFactor,
    alpha)
QZ_STATE_RECORD(ShotRecord,
    x, y, vx, vy, ax, ay, life, power, graphicBase, colourRow, angle, blastSize, stun, animFrame, animTick, mode,
    direction, inUse)
QZ_STATE_RECORD(EffectRecord, x, y, kind, frame, duration, param, angle, scale, inUse)
QZ_STATE_RECORD(TimedCellRecord, cellX, cellY, timer, inUse)
QZ_STATE_RECORD(MapObjectRecord, x, y, type, active)

#undef QZ_STATE_RECORD
#undef QZ_STATE_PARENS
#undef QZ_STATE_EACH_AGAIN
#undef QZ_STATE_EACH
#undef QZ_STATE_EXPAND1
#undef QZ_STATE_EXPAND2
#undef QZ_STATE_EXPAND3
#undef QZ_STATE_EXPAND
#undef QZ_STATE_FIELD

// One record of a snapshot: its fields' bytes in table order.
struct StateEntry {
  std::string name;
  std::string bytes;
  const std::vector<StateField>* fields;
};
using GameSnapshot = std::vector<StateEntry>;

namespace snapshot_detail {

template <typename Record>
void AddRecord(GameSnapshot& snapshot, std::string name, const Record& record) {
  StateEntry entry{std::move(name), {}, &FieldsOf<Record>()};
  const char* base = reinterpret_cast<const char*>(&record);
  for (const StateField& field : *entry.fields) entry.bytes.append(base + field.offset, field.size);
  snapshot.push_back(std::move(entry));
}

// A scalar or an array of int32 or double, as one field called "value".
template <typename Value>
void AddValue(GameSnapshot& snapshot, std::string name, const Value& value) {
  using Element = std::remove_all_extents_t<Value>;
  static const std::vector<StateField> fields = {
      {"value", 0, sizeof(Value), sizeof(Element), std::is_floating_point_v<Element>}};
  snapshot.push_back({std::move(name), std::string(reinterpret_cast<const char*>(&value), sizeof(Value)), &fields});
}

// Every record of a pool that `live` says is in use, by slot.
template <typename Record, std::size_t N, typename Live>
void AddPool(GameSnapshot& snapshot, const char* name, const Record (&pool)[N], Live live) {
  for (std::size_t i = 0; i < N; ++i) {
    if (live(pool[i])) AddRecord(snapshot, std::string(name) + "[" + std::to_string(i) + "]", pool[i]);
  }
}

// FNV-1a over an array too large to keep at every frame.
template <typename Value>
std::uint64_t Digest(const Value& value) {
  std::uint64_t hash = 14695981039346656037u;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&value);
  for (std::size_t i = 0; i < sizeof(Value); ++i) hash = (hash ^ bytes[i]) * 1099511628211u;
  return hash;
}

inline std::string ElementText(const char* bytes, const StateField& field) {
  std::ostringstream text;
  text.precision(17);
  if (field.floating && field.elementSize == sizeof(double)) {
    double value;
    std::memcpy(&value, bytes, sizeof value);
    text << value;
  } else if (field.elementSize == sizeof(std::int32_t)) {
    std::int32_t value;
    std::memcpy(&value, bytes, sizeof value);
    text << value;
  } else {
    std::uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    text << value;
  }
  return text.str();
}

}  // namespace snapshot_detail

// What a replay must repeat: the frame count, the scene, the player, every
// live enemy, bullet, shot, effect and timed cell by slot, the pools'
// counters, the floor's objects, cells (as digests), clock and camera, and the input
// latches. (The random generator's state shows in what it decides; a test
// compares it at the end by drawing from it.)
inline GameSnapshot TakeSnapshot(int frame) {
  using namespace snapshot_detail;
  GameSnapshot s;
  AddValue(s, "frame", frame);
  AddValue(s, "scene", gameState.scene);
  AddValue(s, "sceneFrame", gameState.sceneFrame);
  AddValue(s, "fadeRequest", fadeRequest);
  AddValue(s, "floorNumber", floorNumber);
  AddValue(s, "bossCountdown", gameState.bossCountdown);
  AddValue(s, "defeatedBoss", gameState.defeatedBoss);
  AddValue(s, "bossDefeated", gameState.FloorProgress.bossDefeated);
  AddRecord(s, "player", player);
  const auto inUse = [](const auto& record) { return record.inUse != 0; };
  AddPool(s, "enemies", enemies, [](const EnemyRecord& e) { return e.life > 0; });
  AddPool(s, "enemyBullets", enemyBullets, inUse);
  AddPool(s, "playerShots", playerShots, inUse);
  AddPool(s, "effects", effects, inUse);
  AddPool(s, "timedCells", timedCells, inUse);
  const std::int32_t counts[] = {playerShotCount, bulletCount, effectCount, enemyCount, timedCellCount};
  AddValue(s, "poolCounts", counts);
  AddValue(s, "requiredDefeats", requiredDefeats);
  AddPool(s, "mapObjects", mapObjects, [](const MapObjectRecord&) { return true; });
  AddPool(s, "movingObjects", movingObjects, [](const MapObjectRecord& o) { return o.active != 0; });
  AddValue(s, "movingObjectCycle", movingObjectCycle);
  AddValue(s, "mapFlags", mapFlags);
  AddValue(s, "attributeLayerDigest", Digest(attributeLayer));
  AddValue(s, "chipLayerDigest", Digest(chipLayer));
  AddValue(s, "floorTime", floorTime);
  AddValue(s, "floorTimeTick", floorTimeTick);
  AddValue(s, "cameraX", cameraX);
  AddValue(s, "cameraY", cameraY);
  AddValue(s, "padState", padState);
  const std::int32_t latches[] = {jumpLatch, shotLatch, shotChangeLatch, dashLatch, dashBlock, confirmLatch,
                                  cancelLatch, jumpReleaseLock};
  AddValue(s, "latches", latches);
  return s;
}

// "" when the snapshots are equal; else the first record that one has and
// the other lacks, or the first field (and array element) that differs,
// with both values.
inline std::string FirstDifference(const GameSnapshot& a, const GameSnapshot& b) {
  using snapshot_detail::ElementText;
  for (std::size_t i = 0; i < a.size() || i < b.size(); ++i) {
    if (i >= a.size()) return b[i].name + ": only in the second";
    if (i >= b.size()) return a[i].name + ": only in the first";
    if (a[i].name != b[i].name) return a[i].name + " against " + b[i].name;
    if (a[i].bytes == b[i].bytes) continue;
    std::size_t at = 0;
    for (const StateField& field : *a[i].fields) {
      for (std::size_t e = 0; e < field.size; e += field.elementSize, at += field.elementSize) {
        const char* left = a[i].bytes.data() + at;
        const char* right = b[i].bytes.data() + at;
        if (std::memcmp(left, right, field.elementSize) == 0) continue;
        std::string name = a[i].name + "." + field.name;
        if (field.size > field.elementSize) name += "[" + std::to_string(e / field.elementSize) + "]";
        return name + ": " + ElementText(left, field) + " against " + ElementText(right, field);
      }
    }
  }
  return "";
}

}  // namespace veltrin::testing
