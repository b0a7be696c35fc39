// Light handles: directional, point and spot lights kept as records. The
// table lies outside the draw-settings block, so a settings reset keeps every
// light; the reset makes the default light anew.
#pragma once

#include <cstdint>

#include "core/matrix.h"

namespace qz {

enum LightType : std::int32_t {
  kLightPoint = 1,
  kLightSpot = 2,
  kLightDirectional = 3,
};

// Colours are r, g, b, a.
struct LightParameters {
  std::int32_t type;
  float diffuse[4];
  float specular[4];
  float ambient[4];
  Vector3 position;
  Vector3 direction;
  float range;
  float falloff;
  float attenuation0, attenuation1, attenuation2;
  float theta, phi;
};

struct LightRecord {
  std::int32_t check;
  std::int32_t handle;
  LightParameters light;
  std::int32_t deviceIndex;  // -1: not on the device
  std::int32_t enabled;
  std::int32_t changed;
};

inline constexpr int kLightSlots = 4096;

// A new enabled light with the defaults; the handle, or -1 (logged) when the
// table is full. A record that cannot be allocated ends the program.
int AllocLightHandle();
// Direction normalised; the handle or -1.
int CreateDirectionalLight(float x, float y, float z);
// 0, or -1 for an invalid handle.
int ReleaseLightHandle(int handle);
// Every light except the default one; 0.
int ReleaseAllLightsButDefault();
// Null for an invalid handle.
LightRecord* GetLightRecord(int handle);
int GetLightCount();
// The end of the used slot range: one past the highest slot in use.
int GetLightSlotEnd();

// Null for an empty slot.
LightRecord* GetLightRecordAtSlot(int slot);

// How the lights were last packed onto device indexes. A force makes the next
// packing send every light again (after a device rebuild).
struct LightPacking {
  std::int32_t forceReapply;
  std::int32_t nextDeviceIndex;
  std::int32_t lastDeviceIndex;  // one past the last index in use
};
LightPacking& GetLightPacking();

// The light every settings reset makes; -1 before the first.
int GetDefaultLightHandle();
void SetDefaultLightHandle(int handle);

}  // namespace qz
