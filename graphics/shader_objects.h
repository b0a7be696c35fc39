// Programmable shaders of the hardware path: the shader pack built into the
// program, the decision at device creation whether shaders are on, the
// shader objects made from the pack, the vertex declarations and the
// brightness volume texture. The shader-on flag is the device state cache's
// `shadersOn`; the constants it gates are kept in the cache's shadow banks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/shader_pack_layout.h"
#include "platform/d3d9.h"

namespace qz {

// ---------------------------------------------------------------- the pack
// 1 when the pack is (or already was) unpacked and its table walked; 0 when
// memory runs out, the archive or its member cannot be read, or the table or
// a code block does not fit the member (shaders then stay off).
int LoadShaderPack();
// At graphics end: closes the pack's archive and frees both pack buffers.
void FreeShaderPack();
// The code of a slot, null when the pack has none there or is not loaded.
const std::uint32_t* GetVertexShaderCode(int slot);
const std::uint32_t* GetPixelShaderCode(int slot);
// The packed archive LoadShaderPack reads: the built-in one unless a test
// gives another (null: back to the built-in one). Takes effect at the next
// load after FreeShaderPack.
void SetShaderArchiveForTest(const void* packedArchive, std::size_t size);

// ---------------------------------------------------------------- shader objects
// At device creation: shaders on only when vertex and pixel shader 2.0 are
// usable, the pack loads and the device accepts the test shaders; logs the
// choice and sets constant register 0 of both banks. 0.
int SetupProgrammableShaders();
// Each does nothing without a device: no shader set on the device any more,
// then every shader object, or every declaration, released and cleared.
int ReleaseShaderObjects();
int ReleaseVertexDeclarations();
// Sets the shaders of the pack's slots (-1: none) for geometry a caller
// draws itself, making their objects on first use; the vertex batch is
// drawn first, under the state it was gathered in. 0, or -1 without shaders
// on, for a slot without code, or when the device refuses.
int SetPackShaders(int vertexSlot, int pixelSlot);
// Unsets the shaders when one is set (the 2D drawing path calls it before
// every primitive).
void ClearCurrentShaders();
// No shader set on the device (when there is one) and none remembered.
void UnsetDeviceShaders();
// A new device has no shader set: the current ones are forgotten.
void ForgetCurrentShaders();
// The shader object of a slot, null until made.
plat::IDirect3DVertexShader9* GetVertexShaderObject(int slot);
plat::IDirect3DPixelShader9* GetPixelShaderObject(int slot);

// Uploads all 256 vertex and 32 pixel constant registers from the shadow
// banks when a new device with shaders on is waiting for them.
void UploadPendingShaderConstants();

// ---------------------------------------------------------------- declarations
// Six vertex layouts, each followed by 0 to 8 FLOAT4 texture coordinates
// (slot = layout * 9 + count), then the mesh vertex.
inline constexpr int kVertexLayoutCount = 6;
inline constexpr int kTexCoordCounts = 9;
inline constexpr int kMeshDeclarationSlot = kVertexLayoutCount * kTexCoordCounts;
inline constexpr int kVertexDeclarationCount = kMeshDeclarationSlot + 1;
// Releases the old ones and makes all 55. 0, or -1 without a device or when
// the device refuses one (those made stay).
int CreateVertexDeclarations();
plat::IDirect3DVertexDeclaration9* GetVertexDeclaration(int slot);
// Bytes of a layout's vertex before its texture coordinates.
int GetVertexLayoutSize(int layout);

// ---------------------------------------------------------------- brightness volume
// The 128 x 128 x 128 X8R8G8B8 volume: texel (x, y, z) is the colour
// (2x, 2y, 2z) at full brightness. 0, or -1 (logged; nothing kept).
int CreateBrightnessVolumeTexture();
void ReleaseBrightnessVolumeTexture();
plat::IDirect3DVolumeTexture9* GetBrightnessVolumeTexture();
// The colour of the same hue and saturation at full value; black and greys
// give white. Channels above 255 count as 255.
void MaximizeColorBrightness(int red, int green, int blue, int* outRed, int* outGreen, int* outBlue);

}  // namespace qz
