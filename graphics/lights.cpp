// Light records in a handle table of their own.
#include "graphics/lights.h"

#include "core/handle.h"
#include "core/log.h"
#include "core/log_text.h"
#include "graphics/draw_settings_block.h"

namespace qz {
namespace {

HandleTable<LightRecord, kLightSlots, kLightHandle> gLights;
// A full table is checked before the table is asked, so the fatal policy
// only ends the program when a record cannot be allocated.
constexpr HandleTablePolicy kLightPolicy{text::kLightAllocFailed, true, text::kLightAllocFailed};
int gDefaultLight = -1;
LightPacking gPacking{};

// Packing is redone before the next lit draw.
void MarkLightsChanged() { GetDrawSettings().lightsChanged = 1; }

void SetLightDefaults(LightRecord* record) {
  LightParameters& light = record->light;
  for (int channel = 0; channel < 4; ++channel) {
    light.diffuse[channel] = 1.0f;
    light.specular[channel] = 1.0f;
    light.ambient[channel] = 0.33f;
  }
  light.position = {0.0f, 0.0f, 0.0f};
  light.direction = {0.0f, 0.0f, 0.0f};
  light.range = 2000.0f;
  light.falloff = 1.0f;
  light.attenuation0 = 0.1f;
  light.attenuation1 = 0.0f;
  light.attenuation2 = 0.0f;
  light.theta = 2.0f;
  light.phi = 2.0f;
  record->deviceIndex = -1;
  record->enabled = 1;
  record->changed = 1;
}

}  // namespace

int AllocLightHandle() {
  if (gLights.LiveCount() >= kLightSlots) return AppendLogText(text::kLightTableFull);
  const int handle = gLights.Create(kLightPolicy);
  if (handle == -1) return -1;
  LightRecord* record = gLights.Get(handle);
  record->handle = handle;
  SetLightDefaults(record);
  MarkLightsChanged();
  return handle;
}

int CreateDirectionalLight(float x, float y, float z) {
  const int handle = AllocLightHandle();
  if (handle == -1) return -1;
  LightRecord* record = gLights.Get(handle);
  record->light.type = kLightDirectional;
  MakeNormalizedVector3(&record->light.direction, x, y, z);
  return handle;
}

int ReleaseLightHandle(int handle) {
  LightRecord* record = gLights.Get(handle);
  if (record == nullptr) return -1;
  if (handle == gDefaultLight) gDefaultLight = -1;
  gLights.Delete(handle);
  // The used range gives its top back, so slots are reused in order.
  gLights.LowerHighWaterMark();
  MarkLightsChanged();
  return 0;
}

int ReleaseAllLightsButDefault() {
  for (int slot = 0; slot < gLights.HighWaterMark(); ++slot) {
    const int handle = gLights.HandleAt(slot);
    if (handle != -1 && handle != gDefaultLight) gLights.Delete(handle);
  }
  gLights.LowerHighWaterMark();
  return 0;
}

LightRecord* GetLightRecord(int handle) { return gLights.Get(handle); }

LightRecord* GetLightRecordAtSlot(int slot) { return gLights.RecordAt(slot); }

LightPacking& GetLightPacking() { return gPacking; }

int GetLightCount() { return gLights.LiveCount(); }

int GetLightSlotEnd() { return gLights.HighWaterMark(); }

int GetDefaultLightHandle() { return gDefaultLight; }

void SetDefaultLightHandle(int handle) { gDefaultLight = handle; }

}  // namespace qz
