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

#define QZ_STATE_FIELD(Record, member)                                                              \
  StateField {                                                                                      \
    #member, offsetof(Record, member), sizeof(Record::member),                                      \
        sizeof(std::remove_all_extents_t<decltype(Record::member)>),                                \
        std::is_floating_point_v<std::remove_all_extents_t<decltype(Record::member)>>               \
  }

template <typename Record>
const std::vector<StateField>& FieldsOf();

template <>
inline const std::vector<StateField>& FieldsOf<PlayerRecord>() {
  using R = PlayerRecord;
  static const std::vector<StateField> fields = {
      QZ_STATE_FIELD(R, x), QZ_STATE_FIELD(R, y), QZ_STATE_FIELD(R, posX), QZ_STATE_FIELD(R, posY),
      QZ_STATE_FIELD(R, velocityY), QZ_STATE_FIELD(R, velocityX), QZ_STATE_FIELD(R, facing),
      QZ_STATE_FIELD(R, squat), QZ_STATE_FIELD(R, dashState), QZ_STATE_FIELD(R, dashTimer),
      QZ_STATE_FIELD(R, jumpStartRow), QZ_STATE_FIELD(R, shotPose), QZ_STATE_FIELD(R, shotPoseTimer),
      QZ_STATE_FIELD(R, airborne), QZ_STATE_FIELD(R, invulnerableFrames), QZ_STATE_FIELD(R, eventCode),
      QZ_STATE_FIELD(R, shotCooldown), QZ_STATE_FIELD(R, shotPending), QZ_STATE_FIELD(R, ridingObject),
      QZ_STATE_FIELD(R, dead), QZ_STATE_FIELD(R, airDashUsed), QZ_STATE_FIELD(R, onSlipperyFloor),
      QZ_STATE_FIELD(R, animState), QZ_STATE_FIELD(R, animTick), QZ_STATE_FIELD(R, animFrame),
      QZ_STATE_FIELD(R, animFrames), QZ_STATE_FIELD(R, animDurations), QZ_STATE_FIELD(R, animLoopIndex),
      QZ_STATE_FIELD(R, animLeadIn), QZ_STATE_FIELD(R, life), QZ_STATE_FIELD(R, maxLife), QZ_STATE_FIELD(R, magic),
      QZ_STATE_FIELD(R, maxMagic), QZ_STATE_FIELD(R, shotKind), QZ_STATE_FIELD(R, shotLevel),
      QZ_STATE_FIELD(R, coins), QZ_STATE_FIELD(R, keys), QZ_STATE_FIELD(R, infiniteMagic),
      QZ_STATE_FIELD(R, ProgressFlags),
  };
  return fields;
}

template <>
inline const std::vector<StateField>& FieldsOf<EnemyRecord>() {
  using R = EnemyRecord;
  static const std::vector<StateField> fields = {
      QZ_STATE_FIELD(R, x), QZ_STATE_FIELD(R, y), QZ_STATE_FIELD(R, width), QZ_STATE_FIELD(R, height),
      QZ_STATE_FIELD(R, posX), QZ_STATE_FIELD(R, posY), QZ_STATE_FIELD(R, fallSpeed), QZ_STATE_FIELD(R, facing),
      QZ_STATE_FIELD(R, hurtTimer), QZ_STATE_FIELD(R, moveState), QZ_STATE_FIELD(R, bodyLeft),
      QZ_STATE_FIELD(R, bodyTop), QZ_STATE_FIELD(R, bodyRight), QZ_STATE_FIELD(R, bodyBottom),
      QZ_STATE_FIELD(R, weakLeft), QZ_STATE_FIELD(R, weakTop), QZ_STATE_FIELD(R, weakRight),
      QZ_STATE_FIELD(R, weakBottom), QZ_STATE_FIELD(R, counted), QZ_STATE_FIELD(R, sizeFactor),
      QZ_STATE_FIELD(R, muzzleX), QZ_STATE_FIELD(R, muzzleY), QZ_STATE_FIELD(R, behaviourClock),
      QZ_STATE_FIELD(R, secondClock), QZ_STATE_FIELD(R, secondPause), QZ_STATE_FIELD(R, driftX),
      QZ_STATE_FIELD(R, driftY), QZ_STATE_FIELD(R, behaviourTarget), QZ_STATE_FIELD(R, phase),
      QZ_STATE_FIELD(R, velocityX), QZ_STATE_FIELD(R, velocityY), QZ_STATE_FIELD(R, sheetSlot),
      QZ_STATE_FIELD(R, turnFlag), QZ_STATE_FIELD(R, animTick), QZ_STATE_FIELD(R, animFrame),
      QZ_STATE_FIELD(R, animFrames), QZ_STATE_FIELD(R, animDurations), QZ_STATE_FIELD(R, attackTimer),
      QZ_STATE_FIELD(R, attackInterval), QZ_STATE_FIELD(R, baseInterval), QZ_STATE_FIELD(R, volleyCount),
      QZ_STATE_FIELD(R, attackSlot), QZ_STATE_FIELD(R, burstInterval), QZ_STATE_FIELD(R, slotChance),
      QZ_STATE_FIELD(R, aimMode), QZ_STATE_FIELD(R, bulletsPerVolley), QZ_STATE_FIELD(R, volleysPerBurst),
      QZ_STATE_FIELD(R, spreadDivisor), QZ_STATE_FIELD(R, bulletSpeed), QZ_STATE_FIELD(R, bulletColour),
      QZ_STATE_FIELD(R, bulletKind), QZ_STATE_FIELD(R, bulletDamage), QZ_STATE_FIELD(R, bulletMode),
      QZ_STATE_FIELD(R, behaviour), QZ_STATE_FIELD(R, contactDamage), QZ_STATE_FIELD(R, contactKnockback),
      QZ_STATE_FIELD(R, life), QZ_STATE_FIELD(R, maxLife), QZ_STATE_FIELD(R, speed), QZ_STATE_FIELD(R, speed2),
      QZ_STATE_FIELD(R, flying), QZ_STATE_FIELD(R, ghost), QZ_STATE_FIELD(R, actsWhileHurt),
      QZ_STATE_FIELD(R, ledgeMode), QZ_STATE_FIELD(R, knockbackClass), QZ_STATE_FIELD(R, bossIndex),
      QZ_STATE_FIELD(R, shotResponse), QZ_STATE_FIELD(R, damageFactor), QZ_STATE_FIELD(R, alpha),
  };
  return fields;
}

template <>
inline const std::vector<StateField>& FieldsOf<ShotRecord>() {
  using R = ShotRecord;
  static const std::vector<StateField> fields = {
      QZ_STATE_FIELD(R, x), QZ_STATE_FIELD(R, y), QZ_STATE_FIELD(R, vx), QZ_STATE_FIELD(R, vy),
      QZ_STATE_FIELD(R, ax), QZ_STATE_FIELD(R, ay), QZ_STATE_FIELD(R, life), QZ_STATE_FIELD(R, power),
      QZ_STATE_FIELD(R, graphicBase), QZ_STATE_FIELD(R, colourRow), QZ_STATE_FIELD(R, angle),
      QZ_STATE_FIELD(R, blastSize), QZ_STATE_FIELD(R, stun), QZ_STATE_FIELD(R, animFrame),
      QZ_STATE_FIELD(R, animTick), QZ_STATE_FIELD(R, mode), QZ_STATE_FIELD(R, direction), QZ_STATE_FIELD(R, inUse),
  };
  return fields;
}

template <>
inline const std::vector<StateField>& FieldsOf<EffectRecord>() {
  using R = EffectRecord;
  static const std::vector<StateField> fields = {
      QZ_STATE_FIELD(R, x),     QZ_STATE_FIELD(R, y),     QZ_STATE_FIELD(R, kind),
      QZ_STATE_FIELD(R, frame), QZ_STATE_FIELD(R, duration), QZ_STATE_FIELD(R, param),
      QZ_STATE_FIELD(R, angle), QZ_STATE_FIELD(R, scale), QZ_STATE_FIELD(R, inUse),
  };
  return fields;
}

template <>
inline const std::vector<StateField>& FieldsOf<TimedCellRecord>() {
  using R = TimedCellRecord;
  static const std::vector<StateField> fields = {QZ_STATE_FIELD(R, cellX), QZ_STATE_FIELD(R, cellY),
                                                 QZ_STATE_FIELD(R, timer), QZ_STATE_FIELD(R, inUse)};
  return fields;
}

template <>
inline const std::vector<StateField>& FieldsOf<MapObjectRecord>() {
  using R = MapObjectRecord;
  static const std::vector<StateField> fields = {QZ_STATE_FIELD(R, x), QZ_STATE_FIELD(R, y), QZ_STATE_FIELD(R, type),
                                                 QZ_STATE_FIELD(R, active)};
  return fields;
}

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
  AddPool(s, "enemies", enemies, [](const EnemyRecord& e) { return e.life > 0; });
  AddPool(s, "enemyBullets", enemyBullets, [](const ShotRecord& b) { return b.inUse != 0; });
  AddPool(s, "playerShots", playerShots, [](const ShotRecord& b) { return b.inUse != 0; });
  AddPool(s, "effects", effects, [](const EffectRecord& e) { return e.inUse != 0; });
  AddPool(s, "timedCells", timedCells, [](const TimedCellRecord& c) { return c.inUse != 0; });
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
