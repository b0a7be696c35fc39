// The process-wide record of the Direct3D 9 stand-in: the adapter profile,
// fault plans, call counters and trace, the device-loss switch and the list
// of live objects.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <type_traits>

#include "platform/d3d9_exports.h"
#include "platform/d3d9_internal.h"
#include "platform/d3d9_shader_internal.h"

namespace plat {
namespace d3d9 {

char gCreate9ExExportName[] = "Direct3DCreate9Ex";
char gCreate9ExportName[] = "Direct3DCreate9";

namespace {

struct FaultPlan {
  std::string method;
  int firstCall;
  int lastCall;
  HRESULT code;
};

struct Record {
  std::mutex mutex;
  D3D9Profile profile = DefaultD3D9Profile();
  std::vector<FaultPlan> faults;
  std::map<std::string, int, std::less<>> callCounts;
  // The counters last found, by the address of the name they were asked by:
  // each call site passes one literal, so a draw loop skips the name lookup.
  // Map entries never move, so the pointers hold until the map is cleared.
  std::array<std::pair<const char*, int*>, 64> recentCounts{};
  // Read on every call: atomic, so that the readers need not take the lock.
  std::atomic<bool> traceEnabled{false};
  std::vector<D3D9Call> trace;
  std::atomic<HRESULT> deviceState{D3D_OK};
  std::uint32_t presentDuration = 0;
  bool presentSynchronised = true;
  ReadbackCosts readbackCosts{};
  std::vector<LiveObject*> liveObjects;
  std::set<std::uint32_t> liveDevices;
  std::uint32_t lastDeviceSerial = 0;
  int foreignObjectUses = 0;
};

Record& TheRecord() {
  static Record record;
  return record;
}

// One of the record's settings, read or written under its lock.
template <typename T>
T ReadSetting(T Record::*setting) {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  return record.*setting;
}

template <typename T>
void WriteSetting(T Record::*setting, std::type_identity_t<T> value) {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  record.*setting = value;
}

void ApplyExportNames(const D3D9Profile& profile) {
  std::strcpy(gCreate9ExExportName, profile.createExAvailable ? "Direct3DCreate9Ex" : "");
  std::strcpy(gCreate9ExportName, profile.createAvailable ? "Direct3DCreate9" : "");
}

}  // namespace

HRESULT CountCall(const char* method) {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  auto& recent = record.recentCounts[(reinterpret_cast<std::uintptr_t>(method) >> 3) % record.recentCounts.size()];
  if (recent.first != method) {
    auto found = record.callCounts.find(std::string_view(method));
    if (found == record.callCounts.end()) found = record.callCounts.emplace(method, 0).first;
    recent = {method, &found->second};
  }
  const int call = ++*recent.second;
  for (const FaultPlan& plan : record.faults) {
    if (call >= plan.firstCall && call <= plan.lastCall && plan.method == method) return plan.code;
  }
  return D3D_OK;
}

bool IsTraceEnabled() { return TheRecord().traceEnabled.load(); }

void TraceCall(const char* method, std::string arguments, HRESULT result) {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  if (record.traceEnabled) record.trace.push_back({method, std::move(arguments), result});
}

std::string FormatArguments(std::initializer_list<long long> values) {
  std::string text;
  for (long long value : values) {
    if (!text.empty()) text += ", ";
    text += std::to_string(value);
  }
  return text;
}

D3D9Profile CurrentProfile() { return ReadSetting(&Record::profile); }

HRESULT CurrentDeviceState() { return TheRecord().deviceState.load(); }

std::uint32_t CurrentPresentDuration() { return ReadSetting(&Record::presentDuration); }

ReadbackCosts CurrentReadbackCosts() { return ReadSetting(&Record::readbackCosts); }

bool CurrentPresentSynchronised() { return ReadSetting(&Record::presentSynchronised); }

bool IsFormatIn(const std::vector<D3DFORMAT>& formats, D3DFORMAT format) {
  return std::find(formats.begin(), formats.end(), format) != formats.end();
}

LiveObject::LiveObject() {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  record.liveObjects.push_back(this);
}

LiveObject::~LiveObject() {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  auto& objects = record.liveObjects;
  objects.erase(std::remove(objects.begin(), objects.end(), this), objects.end());
}

bool LiveObject::Orphaned() const {
  if (creatorDevice_ == 0) return false;
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  return record.liveDevices.count(creatorDevice_) == 0;
}

std::uint32_t RegisterDevice() {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  const std::uint32_t serial = ++record.lastDeviceSerial;
  record.liveDevices.insert(serial);
  return serial;
}

void UnregisterDevice(std::uint32_t serial) {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  record.liveDevices.erase(serial);
}

void CountForeignObjectUse(const char* method, const LiveObject* object) {
  std::string description = object->Describe();
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  ++record.foreignObjectUses;
  if (record.traceEnabled) record.trace.push_back({"ForeignObjectUse", method + (", " + description), D3DERR_INVALIDCALL});
}

}  // namespace d3d9

D3D9Profile DefaultD3D9Profile() {
  D3D9Profile profile{};
  D3DCAPS9& caps = profile.caps;
  caps.DeviceType = D3DDEVTYPE_HAL;
  caps.AdapterOrdinal = 0;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  caps.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                           D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_TSSARGTEMP | D3DPMISCCAPS_BLENDOP;
  caps.ZCmpCaps = 0xFF;
  caps.SrcBlendCaps = 0x1FFF;
  caps.DestBlendCaps = 0x1FFF;
  caps.AlphaCmpCaps = 0xFF;
  caps.TextureCaps =
      D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_VOLUMEMAP;
  caps.MaxTextureWidth = 2048;
  caps.MaxTextureHeight = 2048;
  caps.MaxVolumeExtent = 256;
  caps.MaxTextureAspectRatio = 2048;
  caps.MaxAnisotropy = 1;
  caps.MaxTextureBlendStages = kD3DMaxTextureStages;
  caps.MaxSimultaneousTextures = kD3DMaxTextureStages;
  caps.MaxActiveLights = 8;
  caps.MaxPrimitiveCount = 0xFFFFF;
  caps.MaxVertexIndex = 0xFFFFF;
  caps.MaxStreams = 16;
  caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
  caps.MaxVertexShaderConst = 96;
  caps.PixelShaderVersion = D3DPS_VERSION(1, 1);
  caps.NumSimultaneousRTs = 1;
  profile.displayFormat = D3DFMT_X8R8G8B8;
  profile.displayWidth = 1920;
  profile.displayHeight = 1080;
  profile.displayRefreshRate = 60;
  const std::uint32_t sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
  for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
    for (const auto& size : sizes) profile.adapterModes.push_back({size[0], size[1], 60, format});
  }
  profile.textureFormats = {D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                            D3DFMT_A4R4G4B4, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
  profile.renderTargetFormats = profile.textureFormats;
  profile.depthFormats = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D32};
  profile.multiSampleTypes = 1u << D3DMULTISAMPLE_NONE;
  profile.multiSampleQualityLevels = 1;
  profile.createExAvailable = true;
  profile.createAvailable = true;
  profile.driver = "qzsoft.so";
  profile.description = "Software rasteriser (Direct3D 9 stand-in)";
  return profile;
}

void SetD3D9ProfileForTest(const D3D9Profile& profile) {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  record.profile = profile;
  d3d9::ApplyExportNames(profile);
}

void ResetD3D9StandInForTest() {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  record.profile = DefaultD3D9Profile();
  d3d9::ApplyExportNames(record.profile);
  record.faults.clear();
  record.callCounts.clear();
  record.recentCounts.fill({nullptr, nullptr});
  record.traceEnabled = false;
  record.trace.clear();
  record.deviceState = D3D_OK;
  record.presentDuration = 0;
  record.presentSynchronised = true;
  record.readbackCosts = d3d9::ReadbackCosts{};
  record.foreignObjectUses = 0;
  d3d9::ResetShaderDrawRefusals();
}

void FailD3D9CallForTest(const char* method, int nth, int times, HRESULT code) {
  if (method == nullptr || nth < 1 || times < 1) return;
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  auto found = record.callCounts.find(std::string_view(method));
  const int done = found == record.callCounts.end() ? 0 : found->second;
  record.faults.push_back({method, done + nth, done + nth + times - 1, code});
}

void SetD3D9DeviceStateForTest(HRESULT state) {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  record.deviceState = state;
}

void SetD3D9PresentDurationForTest(std::uint32_t milliseconds) {
  d3d9::WriteSetting(&d3d9::Record::presentDuration, milliseconds);
}

void SetD3D9PresentSynchronisedForTest(bool waitsForVerticalBlank) {
  d3d9::WriteSetting(&d3d9::Record::presentSynchronised, waitsForVerticalBlank);
}

void SetD3D9ReadbackCostsForTest(std::uint32_t renderSurfaceLockMilliseconds,
                                 std::uint32_t renderTargetDataMilliseconds) {
  d3d9::WriteSetting(&d3d9::Record::readbackCosts,
                     d3d9::ReadbackCosts{renderSurfaceLockMilliseconds, renderTargetDataMilliseconds});
}

void SetD3D9CallTraceEnabled(bool enabled) {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  record.traceEnabled = enabled;
}

std::vector<D3D9Call> TakeD3D9CallTrace() {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  std::vector<D3D9Call> taken;
  taken.swap(record.trace);
  return taken;
}

int GetD3D9CallCount(const char* method) {
  if (method == nullptr) return 0;
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  auto found = record.callCounts.find(std::string_view(method));
  return found == record.callCounts.end() ? 0 : found->second;
}

int GetD3D9LiveObjectCount() {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  return static_cast<int>(std::count_if(record.liveObjects.begin(), record.liveObjects.end(),
                                        [](const d3d9::LiveObject* object) { return object->ReferenceCount() > 0; }));
}

int GetD3D9OpenLockCount() {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  return static_cast<int>(
      std::count_if(record.liveObjects.begin(), record.liveObjects.end(), [](d3d9::LiveObject* object) {
        const auto* surface = dynamic_cast<const d3d9::SurfaceImpl*>(object);
        return surface != nullptr && surface->locked();
      }));
}

int GetD3D9ForeignObjectUseCount() {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  return record.foreignObjectUses;
}

std::vector<std::string> ListD3D9OrphanedObjects() {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  std::vector<std::string> lines;
  for (const d3d9::LiveObject* object : record.liveObjects) {
    const std::uint32_t creator = object->creatorDevice();
    if (object->ReferenceCount() > 0 && creator != 0 && record.liveDevices.count(creator) == 0) {
      lines.push_back(object->Describe());
    }
  }
  return lines;
}

std::vector<std::string> ListD3D9LiveObjects() {
  d3d9::Record& record = d3d9::TheRecord();
  std::lock_guard<std::mutex> guard(record.mutex);
  std::vector<std::string> lines;
  for (const d3d9::LiveObject* object : record.liveObjects) {
    if (object->ReferenceCount() > 0) {
      lines.push_back(object->Describe() + " refs " + std::to_string(object->ReferenceCount()));
    }
  }
  return lines;
}

std::uint32_t GetFvfVertexSize(std::uint32_t fvf) {
  std::uint32_t size = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
      size = 12;
      break;
    case D3DFVF_XYZRHW:
      size = 16;
      break;
    default:
      return 0;
  }
  if (fvf & D3DFVF_NORMAL) size += 12;
  if (fvf & D3DFVF_PSIZE) size += 4;
  if (fvf & D3DFVF_DIFFUSE) size += 4;
  if (fvf & D3DFVF_SPECULAR) size += 4;
  const std::uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  for (std::uint32_t set = 0; set < sets && set < 8; ++set) {
    static constexpr std::uint32_t kFloatsBySizeCode[4] = {2, 3, 4, 1};
    size += 4 * kFloatsBySizeCode[(fvf >> (16 + set * 2)) & 3];
  }
  return size;
}

}  // namespace plat
