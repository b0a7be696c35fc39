// The Direct3D 9 stand-in: the object, the device and its resources, drawn by
// our own CPU rasteriser. Only the calls and values the graphics subsystem
// uses are declared. Numbers that callers store in tables (formats, states,
// blend factors, vertex-format bits, caps bits, result codes) keep their
// published values so those tables keep their meaning.
// The stand-in is as strict as a real device where the library could get a
// rule wrong (lockability, pools, scenes, rectangles), and offers tests a
// configurable profile, failure injection, a call trace, a state snapshot,
// live-object counts and pixel read-back.
//
// Of the test hooks, call counters are found once per call site and counted
// without the lock, and planned failures (the n-th call) are checked only
// when one is planned.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3d9_raster_values.h"
#include "platform/window.h"

namespace plat {

// ---------------------------------------------------------------- results
// The same result type as the sound device stand-in.
constexpr HRESULT MakeFailureCode(std::uint32_t code) { return static_cast<HRESULT>(code); }
inline constexpr HRESULT D3D_OK = 0;
inline constexpr HRESULT E_FAIL = MakeFailureCode(0x80004005u);
inline constexpr HRESULT E_NOINTERFACE = MakeFailureCode(0x80004002u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeFailureCode(0x8007000Eu);
inline constexpr HRESULT D3DERR_NOTFOUND = MakeFailureCode(0x88760866u);
inline constexpr HRESULT D3DERR_DEVICELOST = MakeFailureCode(0x88760868u);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = MakeFailureCode(0x88760869u);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = MakeFailureCode(0x8876086Au);
inline constexpr HRESULT D3DERR_INVALIDCALL = MakeFailureCode(0x8876086Cu);
inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeFailureCode(0x8876017Cu);
constexpr bool FAILED(HRESULT result) { return result < 0; }
constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }

inline constexpr std::uint32_t D3D_SDK_VERSION = 32;
inline constexpr std::uint32_t D3DADAPTER_DEFAULT = 0;

using D3DCOLOR = std::uint32_t;
constexpr D3DCOLOR D3DCOLOR_ARGB(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}

// ---------------------------------------------------------------- formats
using D3DFORMAT = std::uint32_t;
inline constexpr D3DFORMAT D3DFMT_R8G8B8 = 20;
inline constexpr D3DFORMAT D3DFMT_R3G3B2 = 27;
inline constexpr D3DFORMAT D3DFMT_A8 = 28;
inline constexpr D3DFORMAT D3DFMT_A8R3G3B2 = 29;
inline constexpr D3DFORMAT D3DFMT_X4R4G4B4 = 30;
inline constexpr D3DFORMAT D3DFMT_A2B10G10R10 = 31;
inline constexpr D3DFORMAT D3DFMT_A8B8G8R8 = 32;
inline constexpr D3DFORMAT D3DFMT_X8B8G8R8 = 33;
inline constexpr D3DFORMAT D3DFMT_YV12 = MakeFourCC('Y', 'V', '1', '2');
inline constexpr D3DFORMAT D3DFMT_YUY2 = MakeFourCC('Y', 'U', 'Y', '2');
inline constexpr D3DFORMAT D3DFMT_UYVY = MakeFourCC('U', 'Y', 'V', 'Y');

// ---------------------------------------------------------------- resources
using D3DPOOL = std::uint32_t;
inline constexpr D3DPOOL D3DPOOL_DEFAULT = 0;
inline constexpr D3DPOOL D3DPOOL_MANAGED = 1;
inline constexpr D3DPOOL D3DPOOL_SYSTEMMEM = 2;

inline constexpr std::uint32_t D3DUSAGE_RENDERTARGET = 0x1;
inline constexpr std::uint32_t D3DUSAGE_DEPTHSTENCIL = 0x2;
inline constexpr std::uint32_t D3DUSAGE_WRITEONLY = 0x8;
inline constexpr std::uint32_t D3DUSAGE_DYNAMIC = 0x200;

using D3DRESOURCETYPE = std::uint32_t;
inline constexpr D3DRESOURCETYPE D3DRTYPE_SURFACE = 1;
inline constexpr D3DRESOURCETYPE D3DRTYPE_VOLUME = 2;
inline constexpr D3DRESOURCETYPE D3DRTYPE_TEXTURE = 3;
inline constexpr D3DRESOURCETYPE D3DRTYPE_VOLUMETEXTURE = 4;
inline constexpr D3DRESOURCETYPE D3DRTYPE_VERTEXBUFFER = 6;
inline constexpr D3DRESOURCETYPE D3DRTYPE_INDEXBUFFER = 7;

using D3DDEVTYPE = std::uint32_t;
inline constexpr D3DDEVTYPE D3DDEVTYPE_HAL = 1;

using D3DMULTISAMPLE_TYPE = std::uint32_t;
inline constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_NONE = 0;
inline constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_NONMASKABLE = 1;
inline constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_2_SAMPLES = 2;
inline constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_4_SAMPLES = 4;
inline constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_16_SAMPLES = 16;

inline constexpr std::uint32_t D3DLOCK_READONLY = 0x10;
inline constexpr std::uint32_t D3DLOCK_NOSYSLOCK = 0x800;
inline constexpr std::uint32_t D3DLOCK_NOOVERWRITE = 0x1000;
inline constexpr std::uint32_t D3DLOCK_DISCARD = 0x2000;

inline constexpr std::uint32_t D3DCLEAR_TARGET = 0x1;
inline constexpr std::uint32_t D3DCLEAR_ZBUFFER = 0x2;
inline constexpr std::uint32_t D3DCLEAR_STENCIL = 0x4;

using D3DTEXTUREFILTERTYPE = std::uint32_t;

// ---------------------------------------------------------------- creation and presentation
inline constexpr std::uint32_t D3DCREATE_FPU_PRESERVE = 0x2;
inline constexpr std::uint32_t D3DCREATE_MULTITHREADED = 0x4;
inline constexpr std::uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr std::uint32_t D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
inline constexpr std::uint32_t D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

using D3DSWAPEFFECT = std::uint32_t;
inline constexpr D3DSWAPEFFECT D3DSWAPEFFECT_DISCARD = 1;
inline constexpr D3DSWAPEFFECT D3DSWAPEFFECT_FLIP = 2;
inline constexpr D3DSWAPEFFECT D3DSWAPEFFECT_COPY = 3;

inline constexpr std::uint32_t D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 0x1;
inline constexpr std::uint32_t D3DPRESENT_INTERVAL_DEFAULT = 0;
inline constexpr std::uint32_t D3DPRESENT_INTERVAL_ONE = 0x1;
inline constexpr std::uint32_t D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;
inline constexpr std::uint32_t D3DBACKBUFFER_TYPE_MONO = 0;
inline constexpr std::uint32_t D3DSCANLINEORDERING_PROGRESSIVE = 1;

struct D3DDISPLAYMODE {
  std::uint32_t Width;
  std::uint32_t Height;
  std::uint32_t RefreshRate;
  D3DFORMAT Format;
};

struct D3DDISPLAYMODEEX {
  std::uint32_t Size;  // 24
  std::uint32_t Width;
  std::uint32_t Height;
  std::uint32_t RefreshRate;
  D3DFORMAT Format;
  std::uint32_t ScanLineOrdering;
};

struct D3DPRESENT_PARAMETERS {
  std::uint32_t BackBufferWidth;
  std::uint32_t BackBufferHeight;
  D3DFORMAT BackBufferFormat;
  std::uint32_t BackBufferCount;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  std::uint32_t MultiSampleQuality;
  D3DSWAPEFFECT SwapEffect;
  HWND hDeviceWindow;
  BOOL Windowed;
  BOOL EnableAutoDepthStencil;
  D3DFORMAT AutoDepthStencilFormat;
  std::uint32_t Flags;
  std::uint32_t FullScreen_RefreshRateInHz;
  std::uint32_t PresentationInterval;
};

struct D3DADAPTER_IDENTIFIER9 {
  char Driver[512];
  char Description[512];
  char DeviceName[32];
  std::uint32_t VendorId;
  std::uint32_t DeviceId;
};

// ---------------------------------------------------------------- caps
inline constexpr std::uint32_t D3DPMISCCAPS_CULLNONE = 0x10;
inline constexpr std::uint32_t D3DPMISCCAPS_CULLCW = 0x20;
inline constexpr std::uint32_t D3DPMISCCAPS_CULLCCW = 0x40;
inline constexpr std::uint32_t D3DPMISCCAPS_COLORWRITEENABLE = 0x80;
inline constexpr std::uint32_t D3DPMISCCAPS_TSSARGTEMP = 0x400;
inline constexpr std::uint32_t D3DPMISCCAPS_BLENDOP = 0x800;

inline constexpr std::uint32_t D3DPTEXTURECAPS_POW2 = 0x2;
inline constexpr std::uint32_t D3DPTEXTURECAPS_ALPHA = 0x4;
inline constexpr std::uint32_t D3DPTEXTURECAPS_SQUAREONLY = 0x20;
inline constexpr std::uint32_t D3DPTEXTURECAPS_NONPOW2CONDITIONAL = 0x100;
inline constexpr std::uint32_t D3DPTEXTURECAPS_VOLUMEMAP = 0x2000;
inline constexpr std::uint32_t D3DPTEXTURECAPS_MIPMAP = 0x4000;

constexpr std::uint32_t D3DVS_VERSION(std::uint32_t major, std::uint32_t minor) {
  return 0xFFFE0000u | (major << 8) | minor;
}
constexpr std::uint32_t D3DPS_VERSION(std::uint32_t major, std::uint32_t minor) {
  return 0xFFFF0000u | (major << 8) | minor;
}

struct D3DCAPS9 {
  D3DDEVTYPE DeviceType;
  std::uint32_t AdapterOrdinal;
  std::uint32_t PresentationIntervals;
  std::uint32_t DevCaps;
  std::uint32_t PrimitiveMiscCaps;
  std::uint32_t RasterCaps;
  std::uint32_t ZCmpCaps;
  std::uint32_t SrcBlendCaps;
  std::uint32_t DestBlendCaps;
  std::uint32_t AlphaCmpCaps;
  std::uint32_t ShadeCaps;
  std::uint32_t TextureCaps;
  std::uint32_t TextureFilterCaps;
  std::uint32_t TextureAddressCaps;
  std::uint32_t MaxTextureWidth;
  std::uint32_t MaxTextureHeight;
  std::uint32_t MaxVolumeExtent;
  std::uint32_t MaxTextureAspectRatio;
  std::uint32_t MaxAnisotropy;
  std::uint32_t TextureOpCaps;
  std::uint32_t MaxTextureBlendStages;
  std::uint32_t MaxSimultaneousTextures;
  std::uint32_t VertexProcessingCaps;
  std::uint32_t MaxActiveLights;
  std::uint32_t MaxPrimitiveCount;
  std::uint32_t MaxVertexIndex;
  std::uint32_t MaxStreams;
  std::uint32_t VertexShaderVersion;
  std::uint32_t MaxVertexShaderConst;
  std::uint32_t PixelShaderVersion;
  std::uint32_t NumSimultaneousRTs;
};

// ---------------------------------------------------------------- render states
// The numbers the rasteriser reads (formats, vertex bits, primitive types,
// render, stage and sampler states and their values) are in
// platform/d3d9_raster_values.h; the rest are here.
using D3DRENDERSTATETYPE = std::uint32_t;
inline constexpr int D3DRS_RANGEFOGENABLE = 48;
inline constexpr int D3DRS_STENCILENABLE = 52;
inline constexpr int D3DRS_CLIPPING = 136;
inline constexpr int D3DRS_LOCALVIEWER = 142;
inline constexpr int D3DRS_EMISSIVEMATERIALSOURCE = 148;
inline constexpr int D3DRS_MULTISAMPLEANTIALIAS = 161;
inline constexpr int D3DRS_SLOPESCALEDEPTHBIAS = 175;
inline constexpr int D3DRS_SEPARATEALPHABLENDENABLE = 206;
// One past the largest render-state number kept.
inline constexpr std::uint32_t kD3DRenderStateCount = 256;

inline constexpr std::uint32_t D3DFOG_NONE = 0;
inline constexpr std::uint32_t D3DFOG_EXP = 1;
inline constexpr std::uint32_t D3DFOG_EXP2 = 2;
inline constexpr std::uint32_t D3DFOG_LINEAR = 3;

inline constexpr std::uint32_t D3DMCS_MATERIAL = 0;
inline constexpr std::uint32_t D3DMCS_COLOR1 = 1;
inline constexpr std::uint32_t D3DMCS_COLOR2 = 2;

// ---------------------------------------------------------------- texture stages
inline constexpr std::uint32_t kD3DMaxTextureStages = 8;

using D3DTEXTURESTAGESTATETYPE = std::uint32_t;
inline constexpr std::uint32_t kD3DTextureStageStateCount = 33;

inline constexpr std::uint32_t D3DTTFF_DISABLE = 0;
inline constexpr std::uint32_t D3DTTFF_COUNT2 = 2;
inline constexpr std::uint32_t D3DTTFF_COUNT3 = 3;

// ---------------------------------------------------------------- samplers
inline constexpr std::uint32_t kD3DMaxSamplers = 8;

using D3DSAMPLERSTATETYPE = std::uint32_t;
inline constexpr std::uint32_t kD3DSamplerStateCount = 14;

// ---------------------------------------------------------------- transforms, lights, material
using D3DTRANSFORMSTATETYPE = std::uint32_t;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_VIEW = 2;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_PROJECTION = 3;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_TEXTURE0 = 16;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_TEXTURE7 = 23;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD = 256;

struct D3DMATRIX {
  float m[4][4];
};

struct D3DVECTOR {
  float x;
  float y;
  float z;
};

struct D3DCOLORVALUE {
  float r;
  float g;
  float b;
  float a;
};

struct D3DMATERIAL9 {
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Ambient;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Emissive;
  float Power;
};

inline constexpr std::uint32_t D3DLIGHT_POINT = 1;
inline constexpr std::uint32_t D3DLIGHT_SPOT = 2;
inline constexpr std::uint32_t D3DLIGHT_DIRECTIONAL = 3;

struct D3DLIGHT9 {
  std::uint32_t Type;
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Ambient;
  D3DVECTOR Position;
  D3DVECTOR Direction;
  float Range;
  float Falloff;
  float Attenuation0;
  float Attenuation1;
  float Attenuation2;
  float Theta;
  float Phi;
};

struct D3DVIEWPORT9 {
  std::uint32_t X;
  std::uint32_t Y;
  std::uint32_t Width;
  std::uint32_t Height;
  float MinZ;
  float MaxZ;
};

// A rectangle of Clear: x1, y1 inclusive, x2, y2 exclusive.
struct D3DRECT {
  std::int32_t x1;
  std::int32_t y1;
  std::int32_t x2;
  std::int32_t y2;
};

// ---------------------------------------------------------------- vertices
inline constexpr std::uint32_t D3DFVF_TEX0 = 0x000;
inline constexpr std::uint32_t D3DFVF_TEX3 = 0x300;
inline constexpr std::uint32_t D3DFVF_TEX4 = 0x400;
// Per coordinate set `index`: how many floats it has (2 when no size bits are set).
constexpr std::uint32_t D3DFVF_TEXCOORDSIZE1(std::uint32_t index) { return 3u << (index * 2 + 16); }
constexpr std::uint32_t D3DFVF_TEXCOORDSIZE2(std::uint32_t) { return 0u; }
constexpr std::uint32_t D3DFVF_TEXCOORDSIZE3(std::uint32_t index) { return 1u << (index * 2 + 16); }
constexpr std::uint32_t D3DFVF_TEXCOORDSIZE4(std::uint32_t index) { return 2u << (index * 2 + 16); }
// Bytes of one vertex of the format; 0 for a format without a position.
std::uint32_t GetFvfVertexSize(std::uint32_t fvf);

using D3DPRIMITIVETYPE = std::uint32_t;

inline constexpr std::uint8_t D3DDECLTYPE_FLOAT1 = 0;
inline constexpr std::uint8_t D3DDECLTYPE_FLOAT2 = 1;
inline constexpr std::uint8_t D3DDECLTYPE_FLOAT3 = 2;
inline constexpr std::uint8_t D3DDECLTYPE_FLOAT4 = 3;
inline constexpr std::uint8_t D3DDECLTYPE_D3DCOLOR = 4;
inline constexpr std::uint8_t D3DDECLTYPE_UBYTE4 = 5;
inline constexpr std::uint8_t D3DDECLTYPE_UNUSED = 17;
inline constexpr std::uint8_t D3DDECLMETHOD_DEFAULT = 0;
inline constexpr std::uint8_t D3DDECLUSAGE_POSITION = 0;
inline constexpr std::uint8_t D3DDECLUSAGE_BLENDWEIGHT = 1;
inline constexpr std::uint8_t D3DDECLUSAGE_BLENDINDICES = 2;
inline constexpr std::uint8_t D3DDECLUSAGE_NORMAL = 3;
inline constexpr std::uint8_t D3DDECLUSAGE_TEXCOORD = 5;
inline constexpr std::uint8_t D3DDECLUSAGE_COLOR = 10;

struct D3DVERTEXELEMENT9 {
  std::uint16_t Stream;  // 0xFF ends the list
  std::uint16_t Offset;
  std::uint8_t Type;
  std::uint8_t Method;
  std::uint8_t Usage;
  std::uint8_t UsageIndex;
};
inline constexpr D3DVERTEXELEMENT9 D3DDECL_END = {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0};

// ---------------------------------------------------------------- locks and descriptions
struct D3DLOCKED_RECT {
  std::int32_t Pitch;
  void* pBits;
};

struct D3DBOX {
  std::uint32_t Left;
  std::uint32_t Top;
  std::uint32_t Right;
  std::uint32_t Bottom;
  std::uint32_t Front;
  std::uint32_t Back;
};

struct D3DLOCKED_BOX {
  std::int32_t RowPitch;
  std::int32_t SlicePitch;
  void* pBits;
};

struct D3DSURFACE_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  std::uint32_t Usage;
  D3DPOOL Pool;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  std::uint32_t MultiSampleQuality;
  std::uint32_t Width;
  std::uint32_t Height;
};

struct D3DVOLUME_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  std::uint32_t Usage;
  D3DPOOL Pool;
  std::uint32_t Width;
  std::uint32_t Height;
  std::uint32_t Depth;
};

struct D3DBUFFER_DESC {
  D3DFORMAT Format;  // D3DFMT_UNKNOWN for vertex buffers
  D3DRESOURCETYPE Type;
  std::uint32_t Usage;
  D3DPOOL Pool;
  std::uint32_t Size;
  std::uint32_t FVF;
};

// ---------------------------------------------------------------- objects
// Reference counted as COM objects are: created with one reference, gone
// when the last is released. Release returns the references left.
class IUnknownObject {
 public:
  IUnknownObject(const IUnknownObject&) = delete;
  IUnknownObject& operator=(const IUnknownObject&) = delete;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  IUnknownObject() = default;
  virtual ~IUnknownObject() = default;
};

class IDirect3DResource9 : public IUnknownObject {
 public:
  virtual D3DRESOURCETYPE GetType() = 0;
};

class IDirect3DSurface9 : public IDirect3DResource9 {
 public:
  virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
  // rect null: the whole surface.
  virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const WinRect* rect, std::uint32_t flags) = 0;
  virtual HRESULT UnlockRect() = 0;
};

// Textures and volume textures, as SetTexture and UpdateTexture take them.
class IDirect3DBaseTexture9 : public IDirect3DResource9 {
 public:
  virtual std::uint32_t GetLevelCount() = 0;
};

class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
 public:
  virtual HRESULT GetLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) = 0;
  // The surface shares the level's memory and keeps the texture alive.
  virtual HRESULT GetSurfaceLevel(std::uint32_t level, IDirect3DSurface9** surface) = 0;
  virtual HRESULT LockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const WinRect* rect,
                           std::uint32_t flags) = 0;
  virtual HRESULT UnlockRect(std::uint32_t level) = 0;
};

class IDirect3DVolumeTexture9 : public IDirect3DBaseTexture9 {
 public:
  virtual HRESULT GetLevelDesc(std::uint32_t level, D3DVOLUME_DESC* desc) = 0;
  virtual HRESULT LockBox(std::uint32_t level, D3DLOCKED_BOX* locked, const D3DBOX* box, std::uint32_t flags) = 0;
  virtual HRESULT UnlockBox(std::uint32_t level) = 0;
};

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
 public:
  virtual HRESULT GetDesc(D3DBUFFER_DESC* desc) = 0;
  // size 0 with offset 0: the whole buffer.
  virtual HRESULT Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) = 0;
  virtual HRESULT Unlock() = 0;
};

class IDirect3DIndexBuffer9 : public IDirect3DResource9 {
 public:
  virtual HRESULT GetDesc(D3DBUFFER_DESC* desc) = 0;
  virtual HRESULT Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) = 0;
  virtual HRESULT Unlock() = 0;
};

// Shaders and declarations are kept, never run.
class IDirect3DVertexShader9 : public IUnknownObject {};
class IDirect3DPixelShader9 : public IUnknownObject {};
class IDirect3DVertexDeclaration9 : public IUnknownObject {
 public:
  // The elements up to and including the end marker.
  virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, std::uint32_t* count) = 0;
};

class IDirect3DSwapChain9 : public IUnknownObject {
 public:
  // Copies srcRect of the back buffer (null: all) to dstRect of the window's
  // client area (null: all); window null: the device window.
  virtual HRESULT Present(const WinRect* srcRect, const WinRect* dstRect, HWND window, const void* dirtyRegion,
                          std::uint32_t flags) = 0;
  virtual HRESULT GetBackBuffer(std::uint32_t index, std::uint32_t type, IDirect3DSurface9** surface) = 0;
  virtual HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) = 0;
};

class IDirect3D9;

// The device; the extended device is the same object created through
// CreateDeviceEx (IsEx), which alone accepts SetMaximumFrameLatency and
// alone refuses the managed pool.
class IDirect3DDevice9 : public IUnknownObject {
 public:
  virtual bool IsEx() = 0;
  // D3D_OK, or D3DERR_DEVICELOST / D3DERR_DEVICENOTRESET while a test holds the device lost.
  virtual HRESULT TestCooperativeLevel() = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
  virtual HRESULT GetDirect3D(IDirect3D9** direct3d) = 0;
  virtual HRESULT SetMaximumFrameLatency(std::uint32_t frames) = 0;
  virtual HRESULT SetDialogBoxMode(BOOL enable) = 0;

  // Presentation.
  virtual HRESULT GetBackBuffer(std::uint32_t swapChain, std::uint32_t index, std::uint32_t type,
                                IDirect3DSurface9** surface) = 0;
  virtual HRESULT GetSwapChain(std::uint32_t swapChain, IDirect3DSwapChain9** chain) = 0;
  virtual HRESULT Present(const WinRect* srcRect, const WinRect* dstRect, HWND window, const void* dirtyRegion) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;

  // Resources. The last argument (a shared handle) must be null.
  virtual HRESULT CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                                D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture, void* shared) = 0;
  virtual HRESULT CreateVolumeTexture(std::uint32_t width, std::uint32_t height, std::uint32_t depth,
                                      std::uint32_t levels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DVolumeTexture9** texture, void* shared) = 0;
  virtual HRESULT CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                                     IDirect3DVertexBuffer9** buffer, void* shared) = 0;
  virtual HRESULT CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DIndexBuffer9** buffer, void* shared) = 0;
  virtual HRESULT CreateRenderTarget(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                     D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, BOOL lockable,
                                     IDirect3DSurface9** surface, void* shared) = 0;
  virtual HRESULT CreateDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                            D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, BOOL discard,
                                            IDirect3DSurface9** surface, void* shared) = 0;
  virtual HRESULT CreateOffscreenPlainSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                              D3DPOOL pool, IDirect3DSurface9** surface, void* shared) = 0;
  virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                          IDirect3DVertexDeclaration9** declaration) = 0;
  virtual HRESULT CreateVertexShader(const std::uint32_t* function, IDirect3DVertexShader9** shader) = 0;
  virtual HRESULT CreatePixelShader(const std::uint32_t* function, IDirect3DPixelShader9** shader) = 0;

  // Copies.
  // System-memory surface to default-pool surface of the same format; srcRect
  // null: all; dstPoint null: the origin.
  virtual HRESULT UpdateSurface(IDirect3DSurface9* source, const WinRect* srcRect, IDirect3DSurface9* destination,
                                const Point* dstPoint) = 0;
  // System-memory texture to default-pool texture of the same format and type.
  virtual HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) = 0;
  // Render target (or back buffer) to a system-memory surface of the same size and format.
  virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination) = 0;
  // Between default-pool colour surfaces, converting between the colour formats.
  virtual HRESULT StretchRect(IDirect3DSurface9* source, const WinRect* srcRect, IDirect3DSurface9* destination,
                              const WinRect* dstRect, D3DTEXTUREFILTERTYPE filter) = 0;
  // Default-pool surfaces only; rect null: all.
  virtual HRESULT ColorFill(IDirect3DSurface9* surface, const WinRect* rect, D3DCOLOR color) = 0;

  // Targets.
  virtual HRESULT SetRenderTarget(std::uint32_t index, IDirect3DSurface9* surface) = 0;
  virtual HRESULT GetRenderTarget(std::uint32_t index, IDirect3DSurface9** surface) = 0;
  virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;
  virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;
  // rects null (count 0): the viewport; else each rectangle within the viewport.
  virtual HRESULT Clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                        std::uint32_t stencil) = 0;

  // States.
  virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT SetScissorRect(const WinRect* rect) = 0;
  virtual HRESULT GetScissorRect(WinRect* rect) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) = 0;
  virtual HRESULT SetTexture(std::uint32_t stage, IDirect3DBaseTexture9* texture) = 0;
  virtual HRESULT GetTexture(std::uint32_t stage, IDirect3DBaseTexture9** texture) = 0;
  virtual HRESULT SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) = 0;
  virtual HRESULT GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                       std::uint32_t* value) = 0;
  virtual HRESULT SetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) = 0;
  virtual HRESULT GetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
  virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
  virtual HRESULT SetLight(std::uint32_t index, const D3DLIGHT9* light) = 0;
  virtual HRESULT GetLight(std::uint32_t index, D3DLIGHT9* light) = 0;
  virtual HRESULT LightEnable(std::uint32_t index, BOOL enable) = 0;
  virtual HRESULT GetLightEnable(std::uint32_t index, BOOL* enable) = 0;
  virtual HRESULT SetFVF(std::uint32_t fvf) = 0;
  virtual HRESULT GetFVF(std::uint32_t* fvf) = 0;
  virtual HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) = 0;
  virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
  virtual HRESULT SetPixelShader(IDirect3DPixelShader9* shader) = 0;
  virtual HRESULT SetVertexShaderConstantF(std::uint32_t start, const float* data, std::uint32_t vector4Count) = 0;
  virtual HRESULT SetVertexShaderConstantB(std::uint32_t start, const BOOL* data, std::uint32_t count) = 0;
  virtual HRESULT SetPixelShaderConstantF(std::uint32_t start, const float* data, std::uint32_t vector4Count) = 0;

  // Drawing from the caller's memory; only between BeginScene and EndScene,
  // with a vertex format set.
  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                                  std::uint32_t stride) = 0;
  virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t minVertexIndex,
                                         std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                         const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                         std::uint32_t stride) = 0;
};
using IDirect3DDevice9Ex = IDirect3DDevice9;

// The Direct3D object; the extended object (IsEx) alone creates extended devices.
class IDirect3D9 : public IUnknownObject {
 public:
  virtual bool IsEx() = 0;
  virtual std::uint32_t GetAdapterCount() = 0;
  virtual HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) = 0;
  virtual std::uint32_t GetAdapterModeCount(std::uint32_t adapter, D3DFORMAT format) = 0;
  virtual HRESULT EnumAdapterModes(std::uint32_t adapter, D3DFORMAT format, std::uint32_t index,
                                   D3DDISPLAYMODE* mode) = 0;
  virtual HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
  virtual HRESULT GetAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags,
                                       D3DADAPTER_IDENTIFIER9* identifier) = 0;
  virtual HRESULT CheckDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                    std::uint32_t usage, D3DRESOURCETYPE resourceType, D3DFORMAT format) = 0;
  virtual HRESULT CheckDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) = 0;
  virtual HRESULT CheckDeviceMultiSampleType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT format,
                                             BOOL windowed, D3DMULTISAMPLE_TYPE multiSample,
                                             std::uint32_t* qualityLevels) = 0;
  virtual HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, std::uint32_t behaviorFlags,
                               D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) = 0;
  // fullScreenMode: required when the parameters are not windowed, else null.
  virtual HRESULT CreateDeviceEx(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow,
                                 std::uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                 D3DDISPLAYMODEEX* fullScreenMode, IDirect3DDevice9Ex** device) = 0;
};
using IDirect3D9Ex = IDirect3D9;

// The entry points "d3d9.dll" exports, and their types for GetProcAddress.
IDirect3D9* Direct3DCreate9(std::uint32_t sdkVersion);
HRESULT Direct3DCreate9Ex(std::uint32_t sdkVersion, IDirect3D9Ex** direct3d);
using Direct3DCreate9Function = IDirect3D9* (*)(std::uint32_t sdkVersion);
using Direct3DCreate9ExFunction = HRESULT (*)(std::uint32_t sdkVersion, IDirect3D9Ex** direct3d);

// ---------------------------------------------------------------- test hooks
// What the stand-in adapter offers. The default is a plausible shader-less
// device: fixed function, textures up to 2048 and power-of-two only, the six
// 16- and 32-bit colour formats for textures and render targets, D16, D24X8
// and D32 depth, no multisampling, an X8R8G8B8 desktop.
struct D3D9Profile {
  D3DCAPS9 caps;
  D3DFORMAT displayFormat;
  std::uint32_t displayWidth;
  std::uint32_t displayHeight;
  std::uint32_t displayRefreshRate;
  std::vector<D3DDISPLAYMODE> adapterModes;
  std::vector<D3DFORMAT> textureFormats;       // accepted with usage 0 (and DYNAMIC)
  std::vector<D3DFORMAT> renderTargetFormats;  // accepted with RENDERTARGET
  std::vector<D3DFORMAT> depthFormats;
  // Video formats offered for offscreen plain surfaces; none by default.
  std::vector<D3DFORMAT> videoSurfaceFormats;
  // Bit n set: multisample type n accepted (bit 0, none, always is).
  std::uint32_t multiSampleTypes;
  std::uint32_t multiSampleQualityLevels;
  bool createExAvailable;  // "Direct3DCreate9Ex" exported
  bool createAvailable;    // "Direct3DCreate9" exported
  std::string driver;
  std::string description;
};
D3D9Profile DefaultD3D9Profile();
// Applies to objects made afterwards; caps of existing devices stay.
void SetD3D9ProfileForTest(const D3D9Profile& profile);
// Back to the default profile, no faults, device not lost, trace off and empty, counters zero.
void ResetD3D9StandInForTest();

// Makes calls number `nth` (1 = the next) to `nth + times - 1` of the method
// of that name ("CreateDevice", "CreateTexture", "Direct3DCreate9", ...) fail
// with `code`; a creating call then also returns no object. Counting starts
// now. Several plans may be active for different methods.
void FailD3D9CallForTest(const char* method, int nth, int times, HRESULT code);
// D3D_OK, D3DERR_DEVICELOST or D3DERR_DEVICENOTRESET: what every device's
// TestCooperativeLevel answers; while lost, Present reports D3DERR_DEVICELOST.
void SetD3D9DeviceStateForTest(HRESULT state);
// Present sleeps this long on the stand-in clock, as a real present waits.
void SetD3D9PresentDurationForTest(std::uint32_t milliseconds);
// Off: a present with interval ONE returns without waiting for the vertical
// blank, as a driver that ignores the interval does. On after a reset.
void SetD3D9PresentSynchronisedForTest(bool waitsForVerticalBlank);
// Locking a back buffer or render target in place, and GetRenderTargetData,
// take this long on the stand-in clock, as a real device stalls on them.
// Both 0 after a reset.
void SetD3D9ReadbackCostsForTest(std::uint32_t renderSurfaceLockMilliseconds,
                                 std::uint32_t renderTargetDataMilliseconds);

struct D3D9Call {
  std::string method;
  std::string arguments;
  HRESULT result;
};
// Off until turned on; counters run always.
void SetD3D9CallTraceEnabled(bool enabled);
// Calls since the last take, oldest first; clears the record.
std::vector<D3D9Call> TakeD3D9CallTrace();
// Calls of that method since the last reset.
int GetD3D9CallCount(const char* method);

// Objects with references left, and a line for each ("Texture 64x64 fmt 21 pool 0 refs 1").
int GetD3D9LiveObjectCount();
std::vector<std::string> ListD3D9LiveObjects();
// Objects a device refused because another device made them or their device
// was destroyed, since the last reset; and the objects still referenced whose
// device has been destroyed (a resource kept across a device rebuild).
int GetD3D9ForeignObjectUseCount();
std::vector<std::string> ListD3D9OrphanedObjects();
// Surfaces (texture levels included) locked and not yet unlocked.
int GetD3D9OpenLockCount();

// Everything the device was told, as it stands now.
struct D3D9StateSnapshot {
  std::array<std::uint32_t, kD3DRenderStateCount> renderStates;
  std::array<std::array<std::uint32_t, kD3DTextureStageStateCount>, kD3DMaxTextureStages> stageStates;
  std::array<std::array<std::uint32_t, kD3DSamplerStateCount>, kD3DMaxSamplers> samplerStates;
  std::array<IDirect3DBaseTexture9*, kD3DMaxTextureStages> textures;
  IDirect3DSurface9* renderTarget;
  IDirect3DSurface9* depthStencil;
  D3DVIEWPORT9 viewport;
  WinRect scissorRect;
  D3DMATRIX world;
  D3DMATRIX view;
  D3DMATRIX projection;
  std::array<D3DMATRIX, 8> textureTransforms;
  D3DMATERIAL9 material;
  std::vector<std::pair<std::uint32_t, D3DLIGHT9>> lights;
  std::vector<std::uint32_t> enabledLights;
  std::uint32_t fvf;
  IDirect3DVertexDeclaration9* vertexDeclaration;
  IDirect3DVertexShader9* vertexShader;
  IDirect3DPixelShader9* pixelShader;
  std::vector<float> vertexShaderConstantsF;  // 4 floats per register, as set
  std::vector<BOOL> vertexShaderConstantsB;
  std::vector<float> pixelShaderConstantsF;
  bool sceneOpen;
  BOOL dialogBoxMode;
  std::uint32_t maximumFrameLatency;
  std::uint32_t behaviorFlags;
  D3DPRESENT_PARAMETERS presentParameters;
};
bool GetD3D9StateSnapshot(IDirect3DDevice9* device, D3D9StateSnapshot* snapshot);

// Any colour surface (back buffer, render target, texture level, system
// memory, DXT decoded) as 0xAARRGGBB pixels, rows top to bottom; formats
// without alpha read as alpha 0xFF. False for depth and unknown formats.
bool ReadD3D9SurfaceArgb(IDirect3DSurface9* surface, std::vector<std::uint32_t>* pixels, int* width, int* height);
// Depth values of a depth surface, 0.0 to 1.0.
bool ReadD3D9DepthSurface(IDirect3DSurface9* surface, std::vector<float>* depths, int* width, int* height);

}  // namespace plat
