// Internals shared by the Direct3D 9 stand-in's files: the process-wide
// record (profile, fault plans, call counts and trace, live objects), the
// reference-counting base, pixel storage, and the concrete object classes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/d3d9_raster.h"
#include "platform/d3d9_raster_bands.h"

namespace plat::d3d9 {

// ---------------------------------------------------------------- calls
// Counts a call of `method` and answers the failure a fault plan holds for
// it, or D3D_OK.
HRESULT CountCall(const char* method);
bool IsTraceEnabled();
void TraceCall(const char* method, std::string arguments, HRESULT result);

// Arguments of a traced call, as "a, b, c".
std::string FormatArguments(std::initializer_list<long long> values);

// Records the call when tracing is on (arguments built only then) and passes
// the result through.
template <typename ArgumentText>
HRESULT Finish(const char* method, HRESULT result, ArgumentText arguments) {
  if (IsTraceEnabled()) TraceCall(method, arguments(), result);
  return result;
}

D3D9Profile CurrentProfile();
HRESULT CurrentDeviceState();
std::uint32_t CurrentPresentDuration();
bool CurrentPresentSynchronised();
// How long reading a render surface back takes, in milliseconds.
struct ReadbackCosts {
  std::uint32_t renderSurfaceLock;
  std::uint32_t renderTargetData;
};
ReadbackCosts CurrentReadbackCosts();
bool IsFormatIn(const std::vector<D3DFORMAT>& formats, D3DFORMAT format);

// ---------------------------------------------------------------- live objects
class LiveObject {
 public:
  LiveObject();
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
  virtual ~LiveObject();
  virtual std::uint32_t ReferenceCount() const = 0;
  virtual std::string Describe() const = 0;

  // The serial of the device that made the object; 0 for objects no device
  // made. A device refuses objects of another serial.
  std::uint32_t creatorDevice() const { return creatorDevice_; }
  virtual void BindToDevice(std::uint32_t serial) { creatorDevice_ = serial; }
  // True while made by a device that has since been destroyed.
  bool Orphaned() const;

 private:
  std::uint32_t creatorDevice_ = 0;
};

// The stand-in object behind an interface pointer; null for null.
inline LiveObject* AsLiveObject(IUnknownObject* object) { return dynamic_cast<LiveObject*>(object); }

// Device serials: handed out at creation, withdrawn at destruction.
std::uint32_t RegisterDevice();
void UnregisterDevice(std::uint32_t serial);
// Counts a refused use of an object by a device that did not make it, or
// after its device was destroyed.
void CountForeignObjectUse(const char* method, const LiveObject* object);

// COM-style counting on top of one of the public interfaces. The last
// Release calls LastReferenceGone, which deletes the object unless a
// container owns it.
template <typename Interface>
class Counted : public Interface, public LiveObject {
 public:
  std::uint32_t AddRef() override { return ++references_; }
  std::uint32_t Release() override {
    if (references_ == 0) return 0;
    if (--references_ > 0) return references_;
    LastReferenceGone();
    return 0;
  }
  std::uint32_t ReferenceCount() const override { return references_; }

 protected:
  Counted() = default;
  virtual void LastReferenceGone() { delete this; }
  std::uint32_t references_ = 1;
};

// Takes a reference for the holder; releases the one held before.
template <typename Object>
void HoldReference(Object** slot, Object* object) {
  if (object != nullptr) object->AddRef();
  if (*slot != nullptr) (*slot)->Release();
  *slot = object;
}

// ---------------------------------------------------------------- pixels
// Pixels of one surface, texture level or volume level. Colour formats keep
// their raw layout; DXT keeps 4x4 blocks (pitch = one block row); depth keeps
// one float per pixel.
struct PixelStore {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t depth = 1;
  int pitch = 0;
  int slicePitch = 0;
  std::vector<std::uint8_t> bytes;
  // Devices whose recorded draws and fills use the pixels: finished before
  // the pixels are locked, copied, filled or read back, waited for before
  // they go (declared last, so it goes first).
  raster::RecordedUses uses;

  // A frame presented from the pixels and still shown from them is copied to
  // its window before they go.
  ~PixelStore();
  raster::Surface View();
  // Before the processor reads or writes the pixels outside a draw: the
  // recorded draws that use them finish (false when they cannot, as
  // uses.Finish()) and a frame still shown from them gets its own copy.
  bool ReadyForCpu();
};

bool IsColorFormat(D3DFORMAT format);
bool IsDxt(D3DFORMAT format);
bool IsDepth(D3DFORMAT format);
// False when the size is too large to hold.
bool AllocatePixels(PixelStore* store, D3DFORMAT format, std::uint32_t width, std::uint32_t height,
                    std::uint32_t depth);
std::uint32_t LevelSize(std::uint32_t size, std::uint32_t level);
std::uint32_t FullLevelCount(std::uint32_t width, std::uint32_t height, std::uint32_t depth);

// ---------------------------------------------------------------- surfaces
enum class SurfaceKind { kBackBuffer, kRenderTarget, kDepthStencil, kOffscreenPlain, kTextureLevel };

class TextureImpl;

class SurfaceImpl : public Counted<IDirect3DSurface9> {
 public:
  // A surface with storage of its own.
  SurfaceImpl(SurfaceKind kind, std::unique_ptr<PixelStore> store, std::uint32_t usage, D3DPOOL pool,
              D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, bool lockable);
  // A texture level: storage and references belong to the texture.
  SurfaceImpl(TextureImpl* container, PixelStore* store, std::uint32_t usage, D3DPOOL pool, bool lockable);

  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked, const WinRect* rect, std::uint32_t flags) override;
  HRESULT UnlockRect() override;
  std::uint32_t AddRef() override;
  std::string Describe() const override;

  HRESULT Lock(D3DLOCKED_RECT* locked, const WinRect* rect, std::uint32_t flags);
  HRESULT Unlock();

  SurfaceKind kind() const { return kind_; }
  PixelStore& store() { return *store_; }
  D3DFORMAT format() const { return store_->format; }
  std::uint32_t width() const { return store_->width; }
  std::uint32_t height() const { return store_->height; }
  std::uint32_t usage() const { return usage_; }
  D3DPOOL pool() const { return pool_; }
  D3DMULTISAMPLE_TYPE multiSample() const { return multiSample_; }
  bool locked() const { return locked_; }
  bool IsRenderTarget() const { return (usage_ & D3DUSAGE_RENDERTARGET) != 0; }

  // A depth surface's last cleared rectangle and the raw value it still
  // holds everywhere: only clears and depth-writing draws change depth
  // samples, so a draw that may write them forgets it, and a clear inside it
  // with the same value has nothing to do.
  struct UniformDepth {
    WinRect area{};
    std::uint32_t raw = 0;
  };
  const std::optional<UniformDepth>& uniformDepth() const { return uniformDepth_; }
  void setUniformDepth(const std::optional<UniformDepth>& uniform) { uniformDepth_ = uniform; }

 protected:
  void LastReferenceGone() override;

 private:
  SurfaceKind kind_;
  std::unique_ptr<PixelStore> ownedStore_;
  PixelStore* store_;
  TextureImpl* container_ = nullptr;
  std::uint32_t usage_;
  D3DPOOL pool_;
  D3DMULTISAMPLE_TYPE multiSample_;
  std::uint32_t quality_;
  bool lockable_;
  bool locked_ = false;
  std::optional<UniformDepth> uniformDepth_;
};

// ---------------------------------------------------------------- textures
class TextureImpl : public Counted<IDirect3DTexture9> {
 public:
  TextureImpl(std::vector<std::unique_ptr<PixelStore>> levels, std::uint32_t usage, D3DPOOL pool);

  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  std::uint32_t GetLevelCount() override;
  HRESULT GetLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(std::uint32_t level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const WinRect* rect, std::uint32_t flags) override;
  HRESULT UnlockRect(std::uint32_t level) override;
  std::string Describe() const override;
  void BindToDevice(std::uint32_t serial) override;

  D3DFORMAT format() const { return levels_[0]->format; }
  std::uint32_t usage() const { return usage_; }
  D3DPOOL pool() const { return pool_; }
  std::uint32_t levelCount() const { return static_cast<std::uint32_t>(levels_.size()); }
  PixelStore& level(std::uint32_t index) { return *levels_[index]; }
  SurfaceImpl* levelSurface(std::uint32_t index) { return surfaces_[index].get(); }
  // A level surface gained its first or lost its last reference.
  void LevelSurfaceReferenced(bool referenced);

 private:
  std::vector<std::unique_ptr<PixelStore>> levels_;
  std::vector<std::unique_ptr<SurfaceImpl>> surfaces_;
  std::uint32_t usage_;
  D3DPOOL pool_;
};

class VolumeTextureImpl : public Counted<IDirect3DVolumeTexture9> {
 public:
  VolumeTextureImpl(std::vector<std::unique_ptr<PixelStore>> levels, std::uint32_t usage, D3DPOOL pool);

  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VOLUMETEXTURE; }
  std::uint32_t GetLevelCount() override;
  HRESULT GetLevelDesc(std::uint32_t level, D3DVOLUME_DESC* desc) override;
  HRESULT LockBox(std::uint32_t level, D3DLOCKED_BOX* locked, const D3DBOX* box, std::uint32_t flags) override;
  HRESULT UnlockBox(std::uint32_t level) override;
  std::string Describe() const override;

  D3DFORMAT format() const { return levels_[0]->format; }
  D3DPOOL pool() const { return pool_; }
  std::uint32_t levelCount() const { return static_cast<std::uint32_t>(levels_.size()); }
  PixelStore& level(std::uint32_t index) { return *levels_[index]; }

 private:
  std::vector<std::unique_ptr<PixelStore>> levels_;
  std::vector<bool> locked_;
  std::uint32_t usage_;
  D3DPOOL pool_;
};

// ---------------------------------------------------------------- buffers, shaders, declarations
// Vertex and index buffers share their memory handling.
struct BufferMemory {
  std::vector<std::uint8_t> bytes;
  int lockCount = 0;
  HRESULT Lock(std::uint32_t offset, std::uint32_t size, void** data);
  HRESULT Unlock();
};

class VertexBufferImpl : public Counted<IDirect3DVertexBuffer9> {
 public:
  VertexBufferImpl(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool);
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT GetDesc(D3DBUFFER_DESC* desc) override;
  HRESULT Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) override;
  HRESULT Unlock() override;
  std::string Describe() const override;

 private:
  BufferMemory memory_;
  std::uint32_t usage_;
  std::uint32_t fvf_;
  D3DPOOL pool_;
};

class IndexBufferImpl : public Counted<IDirect3DIndexBuffer9> {
 public:
  IndexBufferImpl(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool);
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT GetDesc(D3DBUFFER_DESC* desc) override;
  HRESULT Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) override;
  HRESULT Unlock() override;
  std::string Describe() const override;

 private:
  BufferMemory memory_;
  std::uint32_t usage_;
  D3DFORMAT format_;
  D3DPOOL pool_;
};

class VertexShaderImpl : public Counted<IDirect3DVertexShader9> {
 public:
  explicit VertexShaderImpl(std::uint32_t version) : version_(version) {}
  std::string Describe() const override;

 private:
  std::uint32_t version_;
};

class PixelShaderImpl : public Counted<IDirect3DPixelShader9> {
 public:
  explicit PixelShaderImpl(std::uint32_t version) : version_(version) {}
  std::string Describe() const override;

 private:
  std::uint32_t version_;
};

class VertexDeclarationImpl : public Counted<IDirect3DVertexDeclaration9> {
 public:
  explicit VertexDeclarationImpl(std::vector<D3DVERTEXELEMENT9> elements) : elements_(std::move(elements)) {}
  HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, std::uint32_t* count) override;
  std::string Describe() const override;

 private:
  std::vector<D3DVERTEXELEMENT9> elements_;  // with the end marker
};

// Creation checks shared by the device's Create* calls.
HRESULT CreateTextureObject(const D3D9Profile& profile, bool exDevice, std::uint32_t width, std::uint32_t height,
                            std::uint32_t levels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DTexture9** texture);
HRESULT CreateVolumeTextureObject(const D3D9Profile& profile, bool exDevice, std::uint32_t width, std::uint32_t height,
                                  std::uint32_t depth, std::uint32_t levels, std::uint32_t usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DVolumeTexture9** texture);
// A surface with storage of its own; null when the size cannot be held.
SurfaceImpl* NewSurface(SurfaceKind kind, D3DFORMAT format, std::uint32_t width, std::uint32_t height,
                        std::uint32_t usage, D3DPOOL pool, D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality,
                        bool lockable);

// The concrete classes behind interface pointers the caller passes in; null
// for null or for objects of another kind.
SurfaceImpl* AsSurface(IDirect3DSurface9* surface);
TextureImpl* AsTexture(IDirect3DBaseTexture9* texture);
VolumeTextureImpl* AsVolumeTexture(IDirect3DBaseTexture9* texture);

// True when the rectangle (null: all) lies inside width x height and is not
// empty; *out receives it.
bool ResolveRect(const WinRect* rect, std::uint32_t width, std::uint32_t height, WinRect* out);

// ---------------------------------------------------------------- swap chain
class SwapChainImpl : public Counted<IDirect3DSwapChain9> {
 public:
  SwapChainImpl(const D3DPRESENT_PARAMETERS& parameters, HWND focusWindow, SurfaceImpl* backBuffer);
  ~SwapChainImpl() override;

  HRESULT Present(const WinRect* srcRect, const WinRect* dstRect, HWND window, const void* dirtyRegion,
                  std::uint32_t flags) override;
  HRESULT GetBackBuffer(std::uint32_t index, std::uint32_t type, IDirect3DSurface9** surface) override;
  HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) override;
  std::string Describe() const override;

  HRESULT PresentFrame(const WinRect* srcRect, const WinRect* dstRect, HWND window);
  // The vertical-blank wait and the present's duration, once the frame is shown.
  HRESULT FinishPresent();
  SurfaceImpl* backBuffer() { return backBuffer_; }
  // The device's band workers, which split the present's copy (null: none).
  void SetBandWorkers(raster::BandWorkers* workers) { bandWorkers_ = workers; }

 private:
  raster::BandWorkers* bandWorkers_ = nullptr;
  D3DPRESENT_PARAMETERS parameters_;
  HWND focusWindow_;
  SurfaceImpl* backBuffer_;
  std::vector<std::uint8_t> frame_;  // the back buffer as 32-bit pixels when it has another format
};

// ---------------------------------------------------------------- object and device
class Direct3DImpl : public Counted<IDirect3D9> {
 public:
  explicit Direct3DImpl(bool ex);

  bool IsEx() override { return ex_; }
  std::uint32_t GetAdapterCount() override;
  HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) override;
  std::uint32_t GetAdapterModeCount(std::uint32_t adapter, D3DFORMAT format) override;
  HRESULT EnumAdapterModes(std::uint32_t adapter, D3DFORMAT format, std::uint32_t index,
                           D3DDISPLAYMODE* mode) override;
  HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
  HRESULT GetAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags,
                               D3DADAPTER_IDENTIFIER9* identifier) override;
  HRESULT CheckDeviceFormat(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, std::uint32_t usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT format) override;
  HRESULT CheckDepthStencilMatch(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                 D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) override;
  HRESULT CheckDeviceMultiSampleType(std::uint32_t adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed,
                                     D3DMULTISAMPLE_TYPE multiSample, std::uint32_t* qualityLevels) override;
  HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, std::uint32_t behaviorFlags,
                       D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;
  HRESULT CreateDeviceEx(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, std::uint32_t behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, D3DDISPLAYMODEEX* fullScreenMode,
                         IDirect3DDevice9Ex** device) override;
  std::string Describe() const override;

 private:
  HRESULT MakeDevice(bool ex, std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, std::uint32_t behaviorFlags,
                     D3DPRESENT_PARAMETERS* parameters, const D3DDISPLAYMODEEX* fullScreenMode,
                     IDirect3DDevice9** device);
  bool ex_;
};

// Checks presentation parameters against the profile and fills the ones
// left to the device (window-sized back buffer, display format).
HRESULT ValidatePresentParameters(const D3D9Profile& profile, HWND focusWindow, bool ex,
                                  const D3DDISPLAYMODEEX* fullScreenMode, D3DPRESENT_PARAMETERS* parameters);

}  // namespace plat::d3d9
