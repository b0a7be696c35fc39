// The device state cache of the hardware path. Every render, sampler and
// texture-stage state goes through one cached setter that sends a value only
// when it changed (or while the force-resend flag is set after a device
// rebuild) and flushes the pending vertex batch before sending. The cache
// also brings a new device to the states the old one had.
#pragma once

#include <cstdint>

#include "core/matrix.h"
#include "platform/d3d9.h"

namespace qz {

inline constexpr int kCachedSamplerCount = 8;
inline constexpr int kCachedTextureStageCount = 8;
inline constexpr int kVertexShaderConstantCount = 256;
inline constexpr int kPixelShaderConstantCount = 32;

// Sampler filter modes.
inline constexpr int kFilterPoint = 0;
inline constexpr int kFilterLinear = 1;
inline constexpr int kFilterAnisotropic = 2;

// Cull modes as callers give them.
inline constexpr int kCullNone = 0;
inline constexpr int kCullCounterClockwise = 1;
inline constexpr int kCullClockwise = 2;

// Material sources before the first send on a device.
inline constexpr int kMaterialSourceUnknown = 255;

struct DeviceViewport {
  std::int32_t x;
  std::int32_t y;
  std::int32_t width;
  std::int32_t height;
  float minZ;
  float maxZ;
};

struct DeviceScissorRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// What the draw builders ask of the next primitive; turned into device
// states where the pending draw state is applied.
struct PendingDrawValues {
  plat::IDirect3DBaseTexture9* texture;  // null: untextured
  plat::IDirect3DBaseTexture9* blendTexture;
  std::int32_t blendTextureBorder;  // 0 to 255
  std::int32_t blendTextureRange;
  std::int32_t blendMode;
  std::int32_t useAlphaChannel;
  std::int32_t useTransparentColor;
  std::int32_t alphaTestFunction;  // -1: none
  std::int32_t alphaTestReference;
  std::int32_t textureDirty;
  std::int32_t blendDirty;
};

struct DeviceStateCache {
  std::int32_t forceResend;
  std::int32_t depthTest;
  std::int32_t depthWrite;
  std::int32_t depthFunc;
  std::int32_t depthBias;
  std::int32_t fillMode;
  std::int32_t shadeMode;
  std::int32_t cullMode;  // kCull*
  std::int32_t lighting;
  std::int32_t specular;
  std::int32_t diffuseMaterialSource;
  std::int32_t specularMaterialSource;
  std::int32_t fogEnable;
  std::int32_t fogVertexMode;
  std::uint32_t fogColor;
  float fogStart;
  float fogEnd;
  float fogDensity;
  std::int32_t samplerFilterMode;  // 3 until the first request
  std::int32_t magFilter[kCachedSamplerCount];
  std::int32_t minFilter[kCachedSamplerCount];
  std::int32_t mipFilter[kCachedSamplerCount];
  std::int32_t maxAnisotropy;
  std::int32_t samplerMaxAnisotropy[kCachedSamplerCount];
  std::int32_t addressU[kCachedSamplerCount];
  std::int32_t addressV[kCachedSamplerCount];
  std::int32_t addressW[kCachedSamplerCount];
  std::int32_t textureTransformFlags[kCachedTextureStageCount];
  Matrix4x4 textureTransforms[kCachedTextureStageCount];
  DeviceViewport viewport;
  DeviceScissorRect scissor;
  plat::D3DMATERIAL9 material;
  Matrix4x4 worldMatrix;  // what untransformed vertices are drawn under
  // Shadow copies of what was last sent as transforms and shader constants.
  Matrix4x4 viewMatrix;
  Matrix4x4 projectionMatrix;
  float vertexShaderConstants[kVertexShaderConstantCount][4];
  float pixelShaderConstants[kPixelShaderConstantCount][4];
  std::int32_t shadersOn;  // set by the shader pack when it loads
  PendingDrawValues pending;
  // Advances at every emptying of the vertex batch, which every state change
  // makes first, and at every state sent without one: a draw state prepared
  // under one value still stands while it holds.
  std::uint32_t stateSerial;
};

// Inline: every state setter and each draw's preparation reach the cache.
inline DeviceStateCache& GetDeviceStateCache() {
  static DeviceStateCache cache{};
  return cache;
}

// Setters: 0, or -1 without a device (or when the device refuses).
int ApplyDepthTestState(int on);
int SetDepthTestState(int on);
int ApplyDepthWriteState(int on);
int ApplyDepthFunc(int function);
int ApplyDepthBias(int bias);
int ApplyFillMode(int mode);
int ApplyShadeMode(int mode);
int ApplyCullMode(int mode);
// Lighting does not flush the batch.
int ApplyLightingState(int on);
int SetLightingState(int on);
int ApplySpecularState(int on);
int ApplyDiffuseMaterialSource(int fromVertex);
int ApplySpecularMaterialSource(int fromVertex);

int ApplyFogEnable(int on);
int ApplyFogVertexMode(int mode);
int ApplyFogColor(std::uint32_t color);
int ApplyFogRange(float start, float end);
int ApplyFogDensity(float density);

// 0 point, 1 linear, 2 anisotropic on the samplers of the stages in use;
// another mode gives -1.
int ApplySamplerFilterMode(int mode);
int ApplyMaxAnisotropy(int maximum);
// sampler -1: all eight; 0 to 7: that one; anything else gives -1.
int ApplySamplerAddressU(int sampler, int mode);
int ApplySamplerAddressV(int sampler, int mode);
int ApplySamplerAddressW(int sampler, int mode);
int ApplySamplerAddress(int sampler, int mode);

// stage -1: stages 0 to 3 get the matrix (on 1) or lose their transform.
int ApplyTextureTransforms(int stage, int on, const Matrix4x4* matrix);
int ResetTexCoordIndices();

int SetDeviceViewport(const DeviceViewport* viewport);
int SetViewportFromRect(int x1, int y1, int x2, int y2);
int SetDeviceScissorRect(const DeviceScissorRect* rect);

int SetViewMatrixToDevice(const Matrix4x4* matrix);
int SetProjectionMatrixToDevice(const Matrix4x4* matrix);
int SetWorldTransformDirect(const Matrix4x4* matrix);
int SetWorldMatrix(const Matrix4x4* matrix);

// Sent while shaders are on; always kept in the shadow registers.
int SetVertexShaderConstants(int start, const float* data, int count);
int SetPixelShaderConstants(int start, const float* data, int count);

// Record for the pending draw state and mark it dirty.
int SetPendingBlendState(int mode, int useAlphaChannel, int useTransparentColor);
int SetPendingAlphaTest(int function, int reference);
int SetPendingTexture(plat::IDirect3DBaseTexture9* texture);
// -1 in a parameter keeps the old one.
int SetPendingBlendTexture(plat::IDirect3DBaseTexture9* texture, int border, int range);

// After every device creation.
int SetupInitialDeviceStates();
int SetDefaultSamplerStates();
// After a rebuild: every cached state to the new device.
int ForceResendDeviceStates();
int RefreshAllDeviceStates();

// Indexed triangle strips over a grid of columns x rows one-texture
// pre-transformed vertices. 0, or -1 for fewer than 2 columns or rows, a
// grid too big for 16-bit indices or one row too big for one call.
int DrawTexturedGrid(const void* vertices, int columns, int rows);

}  // namespace qz
