// The draw-settings block: every drawing and graph-creation option of the
// library in one record, reset to defaults at graphics start and after a
// screen-mode change. The lights and the device-lost restore handler live
// outside it, so a reset keeps them.
#pragma once

#include <cstdint>

#include "core/matrix.h"

namespace qz {

struct GraphFormatRequest;

// Colour modulation of every draw, stored blue first; 255 everywhere draws
// unchanged.
struct DrawBrightness {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  std::uint8_t unused;  // kept 0 by the packed setter
};

struct DepthSettings {
  std::int32_t enable;
  std::int32_t writeEnable;
  std::int32_t compareFunction;  // D3DCMPFUNC
  std::int32_t bias;

  bool operator==(const DepthSettings&) const = default;
};

// Colours are r, g, b, a.
struct MaterialSettings {
  float diffuse[4];
  float ambient[4];
  float specular[4];
  float emissive[4];
  float power;
};

inline constexpr int kSamplerCount = 8;

struct DrawSettingsBlock {
  std::int32_t drawTarget;  // -2 back, -4 front, or a graph; SelectDrawTarget stores it

  // Clip rectangle, right and bottom exclusive.
  std::int32_t clipLeft, clipTop, clipRight, clipBottom;
  float clipLeftF, clipTopF, clipRightF, clipBottomF;
  std::int32_t clipEmpty;
  // What was last asked for, applied again after a device rebuild.
  std::int32_t requestedClipLeft, requestedClipTop, requestedClipRight, requestedClipBottom;

  // Camera.
  std::int32_t projectionMode;  // 0 perspective, 1 orthographic, 2 user matrix
  float nearClip;
  float farClip;
  float fieldOfView;  // radians
  float aspectFactor;
  float orthographicSize;
  Matrix4x4 userProjection;

  // Matrices; the device projection is projection x adjustment x inverse viewport.
  Matrix4x4 viewMatrix;
  Matrix4x4 projectionMatrix;
  Matrix4x4 projectionAdjustMatrix;
  Matrix4x4 viewportMatrix;
  Matrix4x4 inverseViewportMatrix;
  std::int32_t cameraDerivedMatrices;
  std::int32_t viewApplied;
  std::int32_t projectionApplied;

  DepthSettings depth2D;  // draws without the 3D flag
  DepthSettings depth3D;
  std::int32_t fillMode;  // D3DFILLMODE
  std::int32_t cullMode;  // 0 none, 1 counter-clockwise, 2 clockwise
  std::int32_t addressU[kSamplerCount];
  std::int32_t addressV[kSamplerCount];
  std::int32_t addressW[kSamplerCount];

  std::int32_t fogEnable;
  std::int32_t fogMode;     // D3DFOGMODE
  std::uint32_t fogColor;   // 0xFFRRGGBB
  float fogStart;
  float fogEnd;

  float zValue;  // z of every 2D vertex
  std::int32_t filterMode;  // 0 nearest, 1 bilinear, 2 anisotropic
  std::int32_t maxAnisotropy;

  std::int32_t blendMode;
  std::int32_t blendParam;  // 0..255
  std::int32_t blendGraphOffsetX;
  std::int32_t blendGraphOffsetY;
  std::int32_t blendMaskGraph;  // -1 none
  std::int32_t blendMaskFade;   // 0..255
  std::int32_t blendMaskRange;  // 0..255
  // The mask graph's first texture tile, for the builders' texture coordinates.
  float blendMaskTextureWidth, blendMaskTextureHeight;
  float blendMaskInverseWidth, blendMaskInverseHeight;

  std::int32_t userAlphaTestFunction;  // -1 none
  std::int32_t userAlphaTestReference;
  std::int32_t specular;
  DrawBrightness brightness;
  std::uint32_t drawDiffuseColor;  // vertex colour on the hardware path, 0xAARRGGBB
  std::int32_t colorReplace;

  // New graphs.
  std::int32_t newGraphColorBits;  // 0: the screen's depth
  std::int32_t newGraphUserFormat;
  std::int32_t vertexAlpha;  // forces alpha modulation
  std::int32_t newGraphAlpha;
  std::int32_t newGraphColorKey;
  std::int32_t graphLoadTempOption;
  std::uint8_t newGraphExtraOption;
  std::int32_t keepNoRestoreData;  // new graphs record no source to rebuild from

  // Kept by a reset.
  std::int32_t noVsync;
  std::int32_t startupVSyncWait;  // what was asked before the library started

  std::int32_t skipDrawing;  // draws and setters do nothing while set

  std::uint32_t transparentColor;  // 0x00RRGGBB
  std::int32_t transparentOnLoadOff;  // stored inverted: 0 marks transparent pixels on load

  std::int32_t lightingOff;
  MaterialSettings material;
  std::int32_t materialDirty;
  std::int32_t diffuseMaterialSource;
  std::int32_t specularMaterialSource;
  std::int32_t lightsChanged;
};

// Inline: every draw reads the block many times.
inline DrawSettingsBlock& GetDrawSettings() {
  static DrawSettingsBlock settings{};
  return settings;
}

// Back to the defaults, keeping the restore handler, the vsync flags, the
// emulation flag and the lights; selects the front screen with a full clip
// and makes a new default light. 0.
int ResetDrawSettings();

// The pixel-format code (GraphPixelFormatCode) for a graph creation request.
int GetPixelFormatCodeOfColorDesc(const GraphFormatRequest* request);

// Accessors; setters return 0.
int SetNewGraphColorBits(int bits);
int GetNewGraphColorBits();
int SetNewGraphUserFormatFlag(int flag);
int GetNewGraphUserFormatFlag();
int SetNewGraphColorKeyFlag(int flag);
int GetNewGraphColorKeyFlag();
int GetGraphLoadTempOption();
// While on (the default) loading images marks transparent-colour pixels.
int SetTransparentColorOnLoad(int flag);
int SetNewGraphAlphaFlag(int flag);
int GetNewGraphAlphaFlag();
int SetNewGraphExtraOption(int option);
int GetNewGraphExtraOption();
// Ignored on an 8-bit screen.
int SetTransparentColorRGB(int red, int green, int blue);
int GetDrawTargetHandle();
int SetPresentVSyncWait(int flag);
int GetPresentVSyncWait();
int SetEmulate320x240Flag(int flag);
int GetDrawFilterMode();

}  // namespace qz
