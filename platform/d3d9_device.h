// The stand-in device: one class whose methods are spread over the
// d3d9_device*.cpp files (lifetime, targets and states; resource creation;
// copies; drawing).
#pragma once

#include <array>
#include <map>
#include <set>

#include "platform/d3d9_internal.h"
#include "platform/d3d9_raster_bands.h"

namespace plat::d3d9 {

class DeviceImpl : public Counted<IDirect3DDevice9> {
 public:
  // Takes a reference on the owner and keeps the creation references of the
  // swap chain and of the automatic depth surface (null: none).
  DeviceImpl(Direct3DImpl* owner, bool ex, const D3D9Profile& profile, std::uint32_t behaviorFlags,
             const D3DPRESENT_PARAMETERS& parameters, SwapChainImpl* swapChain,
             SurfaceImpl* autoDepth);
  ~DeviceImpl() override;

  bool IsEx() override { return ex_; }
  HRESULT TestCooperativeLevel() override;
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT GetDirect3D(IDirect3D9** direct3d) override;
  HRESULT SetMaximumFrameLatency(std::uint32_t frames) override;
  HRESULT SetDialogBoxMode(BOOL enable) override;

  HRESULT GetBackBuffer(std::uint32_t swapChain, std::uint32_t index, std::uint32_t type,
                        IDirect3DSurface9** surface) override;
  HRESULT GetSwapChain(std::uint32_t swapChain, IDirect3DSwapChain9** chain) override;
  HRESULT Present(const WinRect* srcRect, const WinRect* dstRect, HWND window, const void* dirtyRegion) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;

  HRESULT CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                        D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture, void* shared) override;
  HRESULT CreateVolumeTexture(std::uint32_t width, std::uint32_t height, std::uint32_t depth, std::uint32_t levels,
                              std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9** texture,
                              void* shared) override;
  HRESULT CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer9** buffer, void* shared) override;
  HRESULT CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer9** buffer, void* shared) override;
  HRESULT CreateRenderTarget(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                             D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, BOOL lockable,
                             IDirect3DSurface9** surface, void* shared) override;
  HRESULT CreateDepthStencilSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                    D3DMULTISAMPLE_TYPE multiSample, std::uint32_t quality, BOOL discard,
                                    IDirect3DSurface9** surface, void* shared) override;
  HRESULT CreateOffscreenPlainSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DSurface9** surface, void* shared) override;
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                  IDirect3DVertexDeclaration9** declaration) override;
  HRESULT CreateVertexShader(const std::uint32_t* function, IDirect3DVertexShader9** shader) override;
  HRESULT CreatePixelShader(const std::uint32_t* function, IDirect3DPixelShader9** shader) override;

  HRESULT UpdateSurface(IDirect3DSurface9* source, const WinRect* srcRect, IDirect3DSurface9* destination,
                        const Point* dstPoint) override;
  HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) override;
  HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination) override;
  HRESULT StretchRect(IDirect3DSurface9* source, const WinRect* srcRect, IDirect3DSurface9* destination,
                      const WinRect* dstRect, D3DTEXTUREFILTERTYPE filter) override;
  HRESULT ColorFill(IDirect3DSurface9* surface, const WinRect* rect, D3DCOLOR color) override;

  HRESULT SetRenderTarget(std::uint32_t index, IDirect3DSurface9* surface) override;
  HRESULT GetRenderTarget(std::uint32_t index, IDirect3DSurface9** surface) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
  HRESULT Clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                std::uint32_t stencil) override;

  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT SetScissorRect(const WinRect* rect) override;
  HRESULT GetScissorRect(WinRect* rect) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) override;
  HRESULT SetTexture(std::uint32_t stage, IDirect3DBaseTexture9* texture) override;
  HRESULT GetTexture(std::uint32_t stage, IDirect3DBaseTexture9** texture) override;
  HRESULT SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) override;
  HRESULT GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t* value) override;
  HRESULT SetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) override;
  HRESULT GetSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix) override;
  HRESULT SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT GetMaterial(D3DMATERIAL9* material) override;
  HRESULT SetLight(std::uint32_t index, const D3DLIGHT9* light) override;
  HRESULT GetLight(std::uint32_t index, D3DLIGHT9* light) override;
  HRESULT LightEnable(std::uint32_t index, BOOL enable) override;
  HRESULT GetLightEnable(std::uint32_t index, BOOL* enable) override;
  HRESULT SetFVF(std::uint32_t fvf) override;
  HRESULT GetFVF(std::uint32_t* fvf) override;
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
  HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
  HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
  HRESULT SetVertexShaderConstantF(std::uint32_t start, const float* data, std::uint32_t vector4Count) override;
  HRESULT SetVertexShaderConstantB(std::uint32_t start, const BOOL* data, std::uint32_t count) override;
  HRESULT SetPixelShaderConstantF(std::uint32_t start, const float* data, std::uint32_t vector4Count) override;

  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                          std::uint32_t stride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t minVertexIndex, std::uint32_t vertexCount,
                                 std::uint32_t primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                 const void* vertices, std::uint32_t stride) override;

  std::string Describe() const override;
  void Snapshot(D3D9StateSnapshot* snapshot) const;

 private:
  HRESULT ClearChecked(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z);
  HRESULT DrawChecked(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, std::uint32_t vertexCount,
                      const void* indices, int indexBytes, const void* vertices, std::uint32_t stride,
                      std::string* note);
  HRESULT SetRenderTargetChecked(std::uint32_t index, IDirect3DSurface9* surface);
  HRESULT SetViewportChecked(const D3DVIEWPORT9* viewport);
  HRESULT StoreShaderConstants(std::vector<float>* bank, std::uint32_t start, const float* data,
                               std::uint32_t vector4Count);
  // Fills rows of the render target's or depth surface's store: at once, or
  // recorded for the workers after the draws before it. False, nothing
  // filled, from a thread other than the device's.
  bool FillRows(PixelStore* store, int top, int bottom, std::function<void(int, int)> fill);
  // Finishes the draws and fills recorded so far; false from a thread other
  // than the device's, which must then touch no pixels they may use.
  bool FinishRecorded();
  // Viewport and scissor to the whole of the render target.
  void ResetViewportToTarget();
  bool AcceptsPool(D3DPOOL pool) const;
  // False, counted, for an object this device did not make (null passes).
  bool Owns(IUnknownObject* object, const char* method) const;
  // Marks a newly made object as this device's.
  void Adopt(IUnknownObject* object) const;

  Direct3DImpl* owner_;
  std::uint32_t serial_;
  bool ex_;
  D3D9Profile profile_;
  std::uint32_t behaviorFlags_;
  D3DPRESENT_PARAMETERS parameters_;
  SwapChainImpl* swapChain_ = nullptr;
  SurfaceImpl* renderTarget_ = nullptr;
  SurfaceImpl* depthStencil_ = nullptr;
  raster::State state_;
  std::array<IDirect3DBaseTexture9*, kD3DMaxTextureStages> textures_{};
  D3DVIEWPORT9 viewport_{};
  WinRect scissor_{};
  D3DMATRIX world_{};
  D3DMATRIX view_{};
  D3DMATRIX projection_{};
  std::array<D3DMATRIX, 8> textureTransforms_{};
  D3DMATERIAL9 material_{};
  std::map<std::uint32_t, D3DLIGHT9> lights_;
  std::set<std::uint32_t> enabledLights_;
  std::uint32_t fvf_ = 0;
  IDirect3DVertexDeclaration9* declaration_ = nullptr;
  IDirect3DVertexShader9* vertexShader_ = nullptr;
  IDirect3DPixelShader9* pixelShader_ = nullptr;
  std::vector<float> vertexConstantsF_;
  std::vector<BOOL> vertexConstantsB_;
  std::vector<float> pixelConstantsF_;
  bool sceneOpen_ = false;
  BOOL dialogBoxMode_ = FALSE;
  std::uint32_t maximumFrameLatency_ = 3;
  // Null when the calling thread rasterises.
  std::unique_ptr<raster::BandWorkers> bands_;
};

}  // namespace plat::d3d9
