// The Direct3D 9 shader bytecode of models vs_2_0 and ps_2_0: token layout,
// the instructions with their operand counts, and the register files with
// their sizes. One table serves the stand-in's validator and the project's
// assembler, so what one writes the other accepts. Header only: the build
// tool includes it without the library.
#pragma once

#include <cstdint>
#include <string_view>

namespace plat::shader {

// ---------------------------------------------------------------- tokens
inline constexpr std::uint32_t kVertexVersion20 = 0xFFFE0200u;
inline constexpr std::uint32_t kPixelVersion20 = 0xFFFF0200u;
inline constexpr std::uint32_t kEndToken = 0x0000FFFFu;
inline constexpr std::uint32_t kCommentOpcode = 0xFFFE;
inline constexpr std::uint32_t kOpcodeMask = 0xFFFF;
inline constexpr std::uint32_t kControlShift = 16;  // opcode-specific bits 16 to 23
inline constexpr std::uint32_t kLengthShift = 24;   // operand tokens, bits 24 to 27
inline constexpr std::uint32_t kParameterBit = 0x80000000u;
inline constexpr std::uint32_t kRegisterNumberMask = 0x7FF;
inline constexpr std::uint32_t kRelativeBit = 1u << 13;
inline constexpr std::uint32_t kWriteMaskShift = 16;
inline constexpr std::uint32_t kFullWriteMask = 0xF;
inline constexpr std::uint32_t kSaturateBit = 0x00100000u;
inline constexpr std::uint32_t kPartialPrecisionBit = 0x00200000u;
inline constexpr std::uint32_t kSwizzleShift = 16;
inline constexpr std::uint32_t kIdentitySwizzle = 0xE4;  // x y z w
inline constexpr std::uint32_t kSourceModifierShift = 24;
inline constexpr std::uint32_t kSourceNegate = 1;
inline constexpr std::uint32_t kTexldProject = 1;  // control bits of texld
inline constexpr std::uint32_t kTexldBias = 2;
// dcl: the usage token of a vertex input (usage in bits 0 to 4, index in 16
// to 19) or the texture type of a sampler (bits 27 to 30).
inline constexpr std::uint32_t kDclUsageIndexShift = 16;
inline constexpr std::uint32_t kDclTextureTypeShift = 27;
inline constexpr std::uint32_t kTexture2D = 2;
inline constexpr std::uint32_t kTextureCube = 3;
inline constexpr std::uint32_t kTextureVolume = 4;

// Register types: bits 28 to 30 hold the low three bits, bits 11 and 12 the rest.
enum RegisterType : std::uint32_t {
  kTemp = 0,
  kInput = 1,
  kConst = 2,
  kAddressOrTexture = 3,  // a0 in vertex shaders, t# in pixel shaders
  kRasterOut = 4,         // oPos, oFog, oPts
  kAttributeOut = 5,      // oD#
  kTexCoordOut = 6,       // oT#
  kConstInt = 7,
  kColorOut = 8,
  kDepthOut = 9,
  kSampler = 10,
  kConstBool = 14,
  kLoop = 15,
  kLabel = 18,
  kRegisterTypeCount = 20,
};

constexpr std::uint32_t EncodeRegister(std::uint32_t type, std::uint32_t number) {
  return kParameterBit | ((type & 7) << 28) | ((type & 0x18) << 8) | (number & kRegisterNumberMask);
}
constexpr std::uint32_t RegisterTypeOf(std::uint32_t token) { return ((token >> 28) & 7) | ((token >> 8) & 0x18); }
constexpr std::uint32_t RegisterNumberOf(std::uint32_t token) { return token & kRegisterNumberMask; }

// ---------------------------------------------------------------- instructions
enum class Model { kVertex, kPixel };

// Which models take an instruction.
inline constexpr std::uint8_t kInVertex = 1;
inline constexpr std::uint8_t kInPixel = 2;
inline constexpr std::uint8_t kInBoth = kInVertex | kInPixel;

// How the operands after the instruction token are laid out.
enum class Operands : std::uint8_t {
  kRegisters,  // `destinations` destination tokens, then `sources` source tokens
  kDeclare,    // a usage or texture-type token, then the declared register
  kDefine,     // a constant register, then four 32-bit values
  kDefineBool, // a boolean register, then one value
};

// Static flow control: how an instruction opens or closes a block.
enum class Block : std::uint8_t { kNone, kOpenIf, kElse, kCloseIf, kOpenLoop, kCloseLoop, kOpenRep, kCloseRep };

struct Instruction {
  std::string_view name;
  std::uint16_t opcode;
  std::uint8_t models;
  Operands layout;
  std::uint8_t destinations;
  std::uint8_t sources;
  Block block;
  bool counted;  // takes an instruction slot (declarations and definitions do not)
};

inline constexpr Instruction kInstructions[] = {
    {"nop", 0, kInBoth, Operands::kRegisters, 0, 0, Block::kNone, true},
    {"mov", 1, kInBoth, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"add", 2, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"sub", 3, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"mad", 4, kInBoth, Operands::kRegisters, 1, 3, Block::kNone, true},
    {"mul", 5, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"rcp", 6, kInBoth, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"rsq", 7, kInBoth, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"dp3", 8, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"dp4", 9, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"min", 10, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"max", 11, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"slt", 12, kInVertex, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"sge", 13, kInVertex, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"exp", 14, kInBoth, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"log", 15, kInBoth, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"lit", 16, kInVertex, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"dst", 17, kInVertex, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"lrp", 18, kInBoth, Operands::kRegisters, 1, 3, Block::kNone, true},
    {"frc", 19, kInBoth, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"m4x4", 20, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"m4x3", 21, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"m3x4", 22, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"m3x3", 23, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"m3x2", 24, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"call", 25, kInVertex, Operands::kRegisters, 0, 1, Block::kNone, true},
    {"callnz", 26, kInVertex, Operands::kRegisters, 0, 2, Block::kNone, true},
    {"loop", 27, kInVertex, Operands::kRegisters, 0, 2, Block::kOpenLoop, true},
    {"ret", 28, kInVertex, Operands::kRegisters, 0, 0, Block::kNone, true},
    {"endloop", 29, kInVertex, Operands::kRegisters, 0, 0, Block::kCloseLoop, true},
    {"label", 30, kInVertex, Operands::kRegisters, 0, 1, Block::kNone, false},
    {"dcl", 31, kInBoth, Operands::kDeclare, 1, 0, Block::kNone, false},
    {"pow", 32, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"crs", 33, kInBoth, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"sgn", 34, kInVertex, Operands::kRegisters, 1, 3, Block::kNone, true},
    {"abs", 35, kInBoth, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"nrm", 36, kInBoth, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"sincos", 37, kInBoth, Operands::kRegisters, 1, 3, Block::kNone, true},
    {"rep", 38, kInVertex, Operands::kRegisters, 0, 1, Block::kOpenRep, true},
    {"endrep", 39, kInVertex, Operands::kRegisters, 0, 0, Block::kCloseRep, true},
    {"if", 40, kInVertex, Operands::kRegisters, 0, 1, Block::kOpenIf, true},
    {"else", 42, kInVertex, Operands::kRegisters, 0, 0, Block::kElse, true},
    {"endif", 43, kInVertex, Operands::kRegisters, 0, 0, Block::kCloseIf, true},
    {"mova", 46, kInVertex, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"defb", 47, kInVertex, Operands::kDefineBool, 1, 0, Block::kNone, false},
    {"defi", 48, kInVertex, Operands::kDefine, 1, 0, Block::kNone, false},
    {"texkill", 65, kInPixel, Operands::kRegisters, 1, 0, Block::kNone, true},
    {"texld", 66, kInPixel, Operands::kRegisters, 1, 2, Block::kNone, true},
    {"expp", 78, kInVertex, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"logp", 79, kInVertex, Operands::kRegisters, 1, 1, Block::kNone, true},
    {"def", 81, kInBoth, Operands::kDefine, 1, 0, Block::kNone, false},
    {"cmp", 88, kInPixel, Operands::kRegisters, 1, 3, Block::kNone, true},
    {"dp2add", 90, kInPixel, Operands::kRegisters, 1, 3, Block::kNone, true},
};

inline constexpr std::uint16_t kDefiOpcode = 48;
inline constexpr std::uint16_t kTexkillOpcode = 65;
inline constexpr std::uint16_t kTexldOpcode = 66;

constexpr const Instruction* FindInstruction(std::uint32_t opcode) {
  for (const Instruction& instruction : kInstructions) {
    if (instruction.opcode == opcode) return &instruction;
  }
  return nullptr;
}

constexpr int OperandTokenCount(const Instruction& instruction) {
  switch (instruction.layout) {
    case Operands::kDeclare:
      return 2;
    case Operands::kDefine:
      return 5;
    case Operands::kDefineBool:
      return 2;
    case Operands::kRegisters:
      break;
  }
  return instruction.destinations + instruction.sources;
}

// ---------------------------------------------------------------- registers
// How a register file may be used in a model: read as a source, written as a
// destination, named by dcl, by def/defi/defb; 0 registers: not in the model.
inline constexpr std::uint8_t kRead = 1;
inline constexpr std::uint8_t kWrite = 2;
inline constexpr std::uint8_t kDeclared = 4;
inline constexpr std::uint8_t kDefined = 8;

struct RegisterFile {
  std::uint32_t type;
  std::uint16_t vertexCount;
  std::uint8_t vertexUse;
  std::uint16_t pixelCount;
  std::uint8_t pixelUse;
};

inline constexpr RegisterFile kRegisterFiles[] = {
    {kTemp, 12, kRead | kWrite, 12, kRead | kWrite},
    {kInput, 16, kRead | kDeclared, 2, kRead | kDeclared},
    {kConst, 256, kRead | kDefined, 32, kRead | kDefined},
    {kAddressOrTexture, 1, kWrite, 8, kRead | kDeclared},
    {kRasterOut, 3, kWrite, 0, 0},
    {kAttributeOut, 2, kWrite, 0, 0},
    {kTexCoordOut, 8, kWrite, 0, 0},
    {kConstInt, 16, kRead | kDefined, 0, 0},
    {kColorOut, 0, 0, 4, kWrite},
    {kDepthOut, 0, 0, 1, kWrite},
    {kSampler, 0, 0, 16, kRead | kDeclared},
    {kConstBool, 16, kRead | kDefined, 0, 0},
    {kLoop, 1, kRead, 0, 0},
    {kLabel, 16, kRead, 0, 0},
};

// Registers of `type` in the model and how they may be used; count 0 when the
// model has none.
constexpr RegisterFile FindRegisterFile(std::uint32_t type) {
  for (const RegisterFile& file : kRegisterFiles) {
    if (file.type == type) return file;
  }
  return {type, 0, 0, 0, 0};
}
constexpr int RegisterCount(Model model, std::uint32_t type) {
  const RegisterFile file = FindRegisterFile(type);
  return model == Model::kVertex ? file.vertexCount : file.pixelCount;
}
constexpr std::uint8_t RegisterUse(Model model, std::uint32_t type) {
  const RegisterFile file = FindRegisterFile(type);
  return model == Model::kVertex ? file.vertexUse : file.pixelUse;
}

// Instruction slots of each model.
inline constexpr int kVertexInstructionSlots = 256;
inline constexpr int kPixelInstructionSlots = 96;  // 64 arithmetic and 32 texture
// Static flow control nests at most this deep in vs_2_0.
inline constexpr int kMaxBlockDepth = 4;

}  // namespace plat::shader
