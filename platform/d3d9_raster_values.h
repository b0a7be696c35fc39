// The Direct3D 9 numbers the CPU rasteriser reads: formats, vertex-format
// bits, primitive types, and the render, sampler and texture-stage state ids
// with the values they take. They keep the published numbers, so the device
// stand-in stores the application's values unchanged and passes its state
// arrays straight through.
#pragma once

#include <cstdint>

namespace plat {

// Surface formats.
inline constexpr std::uint32_t D3DFMT_UNKNOWN = 0;
inline constexpr std::uint32_t D3DFMT_A8R8G8B8 = 21;
inline constexpr std::uint32_t D3DFMT_X8R8G8B8 = 22;
inline constexpr std::uint32_t D3DFMT_R5G6B5 = 23;
inline constexpr std::uint32_t D3DFMT_X1R5G5B5 = 24;
inline constexpr std::uint32_t D3DFMT_A1R5G5B5 = 25;
inline constexpr std::uint32_t D3DFMT_A4R4G4B4 = 26;
inline constexpr std::uint32_t D3DFMT_D32 = 71;
inline constexpr std::uint32_t D3DFMT_D24X8 = 77;
inline constexpr std::uint32_t D3DFMT_D16 = 80;
inline constexpr std::uint32_t D3DFMT_INDEX16 = 101;
inline constexpr std::uint32_t D3DFMT_INDEX32 = 102;
inline constexpr std::uint32_t D3DFMT_A16B16G16R16F = 113;
inline constexpr std::uint32_t D3DFMT_A32B32G32R32F = 116;
// Four-character codes: the characters in memory order, first in the low byte.
constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24);
}
inline constexpr std::uint32_t D3DFMT_DXT1 = MakeFourCC('D', 'X', 'T', '1');
inline constexpr std::uint32_t D3DFMT_DXT2 = MakeFourCC('D', 'X', 'T', '2');
inline constexpr std::uint32_t D3DFMT_DXT3 = MakeFourCC('D', 'X', 'T', '3');
inline constexpr std::uint32_t D3DFMT_DXT4 = MakeFourCC('D', 'X', 'T', '4');
inline constexpr std::uint32_t D3DFMT_DXT5 = MakeFourCC('D', 'X', 'T', '5');

// Flexible vertex format bits.
inline constexpr std::uint32_t D3DFVF_XYZ = 0x002;
inline constexpr std::uint32_t D3DFVF_XYZRHW = 0x004;
inline constexpr std::uint32_t D3DFVF_POSITION_MASK = 0x400E;
inline constexpr std::uint32_t D3DFVF_NORMAL = 0x010;
inline constexpr std::uint32_t D3DFVF_PSIZE = 0x020;
inline constexpr std::uint32_t D3DFVF_DIFFUSE = 0x040;
inline constexpr std::uint32_t D3DFVF_SPECULAR = 0x080;
inline constexpr std::uint32_t D3DFVF_TEXCOUNT_MASK = 0xF00;
inline constexpr int D3DFVF_TEXCOUNT_SHIFT = 8;
inline constexpr std::uint32_t D3DFVF_TEX1 = 0x100;
inline constexpr std::uint32_t D3DFVF_TEX2 = 0x200;
// Size code of texture-coordinate set i: two bits from bit 16 + 2i.
inline constexpr std::uint32_t D3DFVF_TEXTUREFORMAT2 = 0;  // u, v (the default)
inline constexpr std::uint32_t D3DFVF_TEXTUREFORMAT1 = 3;
inline constexpr std::uint32_t D3DFVF_TEXTUREFORMAT3 = 1;
inline constexpr std::uint32_t D3DFVF_TEXTUREFORMAT4 = 2;
constexpr std::uint32_t D3DFVF_TEXCOORDSIZE(std::uint32_t sizeCode, int set) { return sizeCode << (16 + set * 2); }

// Primitive types.
inline constexpr std::uint32_t D3DPT_POINTLIST = 1;
inline constexpr std::uint32_t D3DPT_LINELIST = 2;
inline constexpr std::uint32_t D3DPT_LINESTRIP = 3;
inline constexpr std::uint32_t D3DPT_TRIANGLELIST = 4;
inline constexpr std::uint32_t D3DPT_TRIANGLESTRIP = 5;
inline constexpr std::uint32_t D3DPT_TRIANGLEFAN = 6;

// Render state ids (indexes of RasterState::render).
inline constexpr int D3DRS_ZENABLE = 7;
inline constexpr int D3DRS_FILLMODE = 8;
inline constexpr int D3DRS_SHADEMODE = 9;
inline constexpr int D3DRS_ZWRITEENABLE = 14;
inline constexpr int D3DRS_ALPHATESTENABLE = 15;
inline constexpr int D3DRS_LASTPIXEL = 16;
inline constexpr int D3DRS_SRCBLEND = 19;
inline constexpr int D3DRS_DESTBLEND = 20;
inline constexpr int D3DRS_CULLMODE = 22;
inline constexpr int D3DRS_ZFUNC = 23;
inline constexpr int D3DRS_ALPHAREF = 24;
inline constexpr int D3DRS_ALPHAFUNC = 25;
inline constexpr int D3DRS_DITHERENABLE = 26;
inline constexpr int D3DRS_ALPHABLENDENABLE = 27;
inline constexpr int D3DRS_FOGENABLE = 28;
inline constexpr int D3DRS_SPECULARENABLE = 29;
inline constexpr int D3DRS_FOGCOLOR = 34;
inline constexpr int D3DRS_FOGTABLEMODE = 35;
inline constexpr int D3DRS_FOGSTART = 36;
inline constexpr int D3DRS_FOGEND = 37;
inline constexpr int D3DRS_FOGDENSITY = 38;
inline constexpr int D3DRS_TEXTUREFACTOR = 60;
inline constexpr int D3DRS_LIGHTING = 137;
inline constexpr int D3DRS_AMBIENT = 139;
inline constexpr int D3DRS_FOGVERTEXMODE = 140;
inline constexpr int D3DRS_COLORVERTEX = 141;
inline constexpr int D3DRS_NORMALIZENORMALS = 143;
inline constexpr int D3DRS_DIFFUSEMATERIALSOURCE = 145;
inline constexpr int D3DRS_SPECULARMATERIALSOURCE = 146;
inline constexpr int D3DRS_AMBIENTMATERIALSOURCE = 147;
inline constexpr int D3DRS_COLORWRITEENABLE = 168;
inline constexpr int D3DRS_BLENDOP = 171;
inline constexpr int D3DRS_SCISSORTESTENABLE = 174;
inline constexpr int D3DRS_BLENDFACTOR = 193;
inline constexpr int D3DRS_DEPTHBIAS = 195;

// Texture-stage state ids (indexes of RasterState::stage[s]).
inline constexpr int D3DTSS_COLOROP = 1;
inline constexpr int D3DTSS_COLORARG1 = 2;
inline constexpr int D3DTSS_COLORARG2 = 3;
inline constexpr int D3DTSS_ALPHAOP = 4;
inline constexpr int D3DTSS_ALPHAARG1 = 5;
inline constexpr int D3DTSS_ALPHAARG2 = 6;
inline constexpr int D3DTSS_TEXCOORDINDEX = 11;
inline constexpr int D3DTSS_TEXTURETRANSFORMFLAGS = 24;
inline constexpr int D3DTSS_COLORARG0 = 26;
inline constexpr int D3DTSS_ALPHAARG0 = 27;
inline constexpr int D3DTSS_RESULTARG = 28;
inline constexpr int D3DTSS_CONSTANT = 32;

// Sampler state ids (indexes of RasterState::sampler[s]).
inline constexpr int D3DSAMP_ADDRESSU = 1;
inline constexpr int D3DSAMP_ADDRESSV = 2;
inline constexpr int D3DSAMP_ADDRESSW = 3;
inline constexpr int D3DSAMP_BORDERCOLOR = 4;
inline constexpr int D3DSAMP_MAGFILTER = 5;
inline constexpr int D3DSAMP_MINFILTER = 6;
inline constexpr int D3DSAMP_MIPFILTER = 7;
inline constexpr int D3DSAMP_MAXANISOTROPY = 10;

// Texture-stage operations.
inline constexpr std::uint32_t D3DTOP_DISABLE = 1;
inline constexpr std::uint32_t D3DTOP_SELECTARG1 = 2;
inline constexpr std::uint32_t D3DTOP_SELECTARG2 = 3;
inline constexpr std::uint32_t D3DTOP_MODULATE = 4;
inline constexpr std::uint32_t D3DTOP_MODULATE2X = 5;
inline constexpr std::uint32_t D3DTOP_MODULATE4X = 6;
inline constexpr std::uint32_t D3DTOP_ADD = 7;
inline constexpr std::uint32_t D3DTOP_ADDSIGNED = 8;
inline constexpr std::uint32_t D3DTOP_ADDSIGNED2X = 9;
inline constexpr std::uint32_t D3DTOP_SUBTRACT = 10;
inline constexpr std::uint32_t D3DTOP_ADDSMOOTH = 11;
inline constexpr std::uint32_t D3DTOP_BLENDDIFFUSEALPHA = 12;
inline constexpr std::uint32_t D3DTOP_BLENDTEXTUREALPHA = 13;
inline constexpr std::uint32_t D3DTOP_BLENDFACTORALPHA = 14;
inline constexpr std::uint32_t D3DTOP_BLENDCURRENTALPHA = 16;

// Texture-stage arguments: a register in the low bits, modifier bits above.
inline constexpr std::uint32_t D3DTA_SELECTMASK = 0x0F;
inline constexpr std::uint32_t D3DTA_DIFFUSE = 0x00;
inline constexpr std::uint32_t D3DTA_CURRENT = 0x01;
inline constexpr std::uint32_t D3DTA_TEXTURE = 0x02;
inline constexpr std::uint32_t D3DTA_TFACTOR = 0x03;
inline constexpr std::uint32_t D3DTA_SPECULAR = 0x04;
inline constexpr std::uint32_t D3DTA_TEMP = 0x05;
inline constexpr std::uint32_t D3DTA_CONSTANT = 0x06;
inline constexpr std::uint32_t D3DTA_COMPLEMENT = 0x10;
inline constexpr std::uint32_t D3DTA_ALPHAREPLICATE = 0x20;

// Blend factors and operations.
inline constexpr std::uint32_t D3DBLEND_ZERO = 1;
inline constexpr std::uint32_t D3DBLEND_ONE = 2;
inline constexpr std::uint32_t D3DBLEND_SRCCOLOR = 3;
inline constexpr std::uint32_t D3DBLEND_INVSRCCOLOR = 4;
inline constexpr std::uint32_t D3DBLEND_SRCALPHA = 5;
inline constexpr std::uint32_t D3DBLEND_INVSRCALPHA = 6;
inline constexpr std::uint32_t D3DBLEND_DESTALPHA = 7;
inline constexpr std::uint32_t D3DBLEND_INVDESTALPHA = 8;
inline constexpr std::uint32_t D3DBLEND_DESTCOLOR = 9;
inline constexpr std::uint32_t D3DBLEND_INVDESTCOLOR = 10;
inline constexpr std::uint32_t D3DBLEND_SRCALPHASAT = 11;
inline constexpr std::uint32_t D3DBLEND_BOTHSRCALPHA = 12;
inline constexpr std::uint32_t D3DBLEND_BOTHINVSRCALPHA = 13;
inline constexpr std::uint32_t D3DBLEND_BLENDFACTOR = 14;
inline constexpr std::uint32_t D3DBLEND_INVBLENDFACTOR = 15;
inline constexpr std::uint32_t D3DBLENDOP_ADD = 1;
inline constexpr std::uint32_t D3DBLENDOP_SUBTRACT = 2;
inline constexpr std::uint32_t D3DBLENDOP_REVSUBTRACT = 3;
inline constexpr std::uint32_t D3DBLENDOP_MIN = 4;
inline constexpr std::uint32_t D3DBLENDOP_MAX = 5;

// Comparison functions (alpha test and depth test).
inline constexpr std::uint32_t D3DCMP_NEVER = 1;
inline constexpr std::uint32_t D3DCMP_LESS = 2;
inline constexpr std::uint32_t D3DCMP_EQUAL = 3;
inline constexpr std::uint32_t D3DCMP_LESSEQUAL = 4;
inline constexpr std::uint32_t D3DCMP_GREATER = 5;
inline constexpr std::uint32_t D3DCMP_NOTEQUAL = 6;
inline constexpr std::uint32_t D3DCMP_GREATEREQUAL = 7;
inline constexpr std::uint32_t D3DCMP_ALWAYS = 8;

// Rasterisation modes.
inline constexpr std::uint32_t D3DZB_FALSE = 0;
inline constexpr std::uint32_t D3DZB_TRUE = 1;
inline constexpr std::uint32_t D3DFILL_POINT = 1;
inline constexpr std::uint32_t D3DFILL_WIREFRAME = 2;
inline constexpr std::uint32_t D3DFILL_SOLID = 3;
inline constexpr std::uint32_t D3DSHADE_FLAT = 1;
inline constexpr std::uint32_t D3DSHADE_GOURAUD = 2;
inline constexpr std::uint32_t D3DCULL_NONE = 1;
inline constexpr std::uint32_t D3DCULL_CW = 2;
inline constexpr std::uint32_t D3DCULL_CCW = 3;
inline constexpr std::uint32_t D3DCOLORWRITEENABLE_RED = 1;
inline constexpr std::uint32_t D3DCOLORWRITEENABLE_GREEN = 2;
inline constexpr std::uint32_t D3DCOLORWRITEENABLE_BLUE = 4;
inline constexpr std::uint32_t D3DCOLORWRITEENABLE_ALPHA = 8;

// Sampling.
inline constexpr std::uint32_t D3DTEXF_NONE = 0;
inline constexpr std::uint32_t D3DTEXF_POINT = 1;
inline constexpr std::uint32_t D3DTEXF_LINEAR = 2;
inline constexpr std::uint32_t D3DTEXF_ANISOTROPIC = 3;
inline constexpr std::uint32_t D3DTADDRESS_WRAP = 1;
inline constexpr std::uint32_t D3DTADDRESS_MIRROR = 2;
inline constexpr std::uint32_t D3DTADDRESS_CLAMP = 3;
inline constexpr std::uint32_t D3DTADDRESS_BORDER = 4;
inline constexpr std::uint32_t D3DTADDRESS_MIRRORONCE = 5;

}  // namespace plat
