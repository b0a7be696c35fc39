// The stand-in's check of shader bytecode: a real device refuses malformed
// code at creation, so the library's pack must pass the same kind of check
// here. Every read stays within the token count the caller allows.
#include "platform/d3d9_shader.h"
#include "platform/d3d9_shader_internal.h"
#include "platform/d3d9_shader_ops.h"

namespace plat {
namespace {

using namespace shader;

// The most a device reads looking for the end token: code is handed over by
// pointer alone, terminated by that token.
constexpr std::size_t kLongestShader = 1u << 16;

constexpr std::uint32_t kInstructionReservedBits = 0xF0000000u;
// Result modifiers (bits 20 to 23) and the shift of older models (24 to 27).
constexpr std::uint32_t kDestinationModifierBits = 0x0FF00000u;

class Checker {
 public:
  Checker(const std::uint32_t* code, std::size_t maxTokens, Model model)
      : code_(code), end_(maxTokens), model_(model) {}

  bool Run(std::string* reason, std::size_t* tokens);

 private:
  bool Fail(std::string text) {
    reason_ = std::move(text) + " at token " + std::to_string(position_);
    return false;
  }
  bool CheckInstruction(const shader::Instruction& instruction, std::uint32_t token, std::size_t length);
  bool Register(std::uint32_t token, std::uint8_t use, const char* role);
  bool Source(std::size_t* at, std::size_t last);
  bool Destination(std::uint32_t token, std::uint8_t use);
  bool FlowControl(Block block);

  const std::uint32_t* code_;
  std::size_t end_;
  Model model_;
  std::size_t position_ = 0;
  std::string reason_;
  int depth_ = 0;
  Block open_[kMaxBlockDepth + 1] = {};
  bool elseSeen_[kMaxBlockDepth + 1] = {};
};

bool Checker::Register(std::uint32_t token, std::uint8_t use, const char* role) {
  if ((token & kParameterBit) == 0) return Fail(std::string(role) + " token without its marker bit");
  const std::uint32_t type = RegisterTypeOf(token);
  if ((RegisterUse(model_, type) & use) == 0) {
    return Fail(std::string(role) + " of register type " + std::to_string(type) + " not allowed");
  }
  if (RegisterNumberOf(token) >= static_cast<std::uint32_t>(RegisterCount(model_, type))) {
    return Fail(std::string(role) + " register " + std::to_string(RegisterNumberOf(token)) + " of type " +
                std::to_string(type) + " out of range");
  }
  return true;
}

bool Checker::Destination(std::uint32_t token, std::uint8_t use) {
  if (!Register(token, use, "destination")) return false;
  if (((token >> kWriteMaskShift) & kFullWriteMask) == 0) return Fail("empty write mask");
  if ((token & kRelativeBit) != 0) return Fail("relative destination");
  if ((token & kDestinationModifierBits & ~(kSaturateBit | kPartialPrecisionBit)) != 0) {
    return Fail("destination modifier of another model");
  }
  return true;
}

// A source and, with relative addressing, its address token (a0 or aL of a
// vertex shader, on a constant only).
bool Checker::Source(std::size_t* at, std::size_t last) {
  const std::uint32_t token = code_[*at];
  if (!Register(token, kRead, "source")) return false;
  if (((token >> kSourceModifierShift) & 0xF) > kSourceNegate) return Fail("source modifier of an older model");
  ++*at;
  if ((token & kRelativeBit) == 0) return true;
  if (model_ != Model::kVertex || RegisterTypeOf(token) != kConst) return Fail("relative address not allowed");
  if (*at >= last) return Fail("relative address token missing");
  const std::uint32_t address = code_[(*at)++];
  const std::uint32_t type = RegisterTypeOf(address);
  if ((address & kParameterBit) == 0 || (type != kAddressOrTexture && type != kLoop) ||
      RegisterNumberOf(address) != 0) {
    return Fail("bad relative address token");
  }
  return true;
}

bool Checker::FlowControl(Block block) {
  switch (block) {
    case Block::kNone:
      return true;
    case Block::kOpenIf:
    case Block::kOpenLoop:
    case Block::kOpenRep:
      if (depth_ == kMaxBlockDepth) return Fail("flow control nested too deep");
      open_[++depth_] = block;
      elseSeen_[depth_] = false;
      return true;
    case Block::kElse:
      if (depth_ == 0 || open_[depth_] != Block::kOpenIf || elseSeen_[depth_]) return Fail("else without if");
      elseSeen_[depth_] = true;
      return true;
    case Block::kCloseIf:
    case Block::kCloseLoop:
    case Block::kCloseRep: {
      const Block opener = block == Block::kCloseIf     ? Block::kOpenIf
                           : block == Block::kCloseLoop ? Block::kOpenLoop
                                                        : Block::kOpenRep;
      if (depth_ == 0 || open_[depth_] != opener) return Fail("block closed without its opening");
      --depth_;
      return true;
    }
  }
  return true;
}

bool Checker::CheckInstruction(const shader::Instruction& instruction, std::uint32_t token, std::size_t length) {
  const std::uint32_t controls = (token >> kControlShift) & 0xFF;
  const bool texld = instruction.opcode == kTexldOpcode;
  if (controls != 0 && !(texld && (controls == kTexldProject || controls == kTexldBias))) {
    return Fail("unknown instruction controls");
  }
  std::size_t at = position_ + 1;
  const std::size_t last = at + length;
  switch (instruction.layout) {
    case Operands::kDeclare: {
      if (length != 2) return Fail("dcl of the wrong length");
      const std::uint32_t usage = code_[at];
      if ((usage & kParameterBit) == 0) return Fail("dcl usage token without its marker bit");
      if (RegisterTypeOf(code_[at + 1]) == kSampler) {
        const std::uint32_t textureType = (usage >> kDclTextureTypeShift) & 0xF;
        if (textureType < kTexture2D || textureType > kTextureVolume) return Fail("sampler of unknown type");
      }
      return Destination(code_[at + 1], kDeclared);
    }
    case Operands::kDefine:
    case Operands::kDefineBool:
      if (length != static_cast<std::size_t>(OperandTokenCount(instruction))) return Fail("definition of the wrong length");
      return Destination(code_[at], kDefined);
    case Operands::kRegisters:
      break;
  }
  // texkill names the register it tests in the form of a destination.
  const std::uint8_t destinationUse = instruction.opcode == kTexkillOpcode ? kRead : kWrite;
  for (int i = 0; i < instruction.destinations; ++i) {
    if (at >= last) return Fail("operands missing");
    if (!Destination(code_[at++], destinationUse)) return false;
  }
  for (int i = 0; i < instruction.sources; ++i) {
    if (at >= last) return Fail("operands missing");
    if (!Source(&at, last)) return false;
  }
  if (at != last) return Fail("instruction length does not match its operands");
  return FlowControl(instruction.block);
}

bool Checker::Run(std::string* reason, std::size_t* tokens) {
  int slots = 0;
  position_ = 1;
  const int slotLimit = model_ == Model::kVertex ? kVertexInstructionSlots : kPixelInstructionSlots;
  while (position_ < end_) {
    const std::uint32_t token = code_[position_];
    if (token == kEndToken) {
      if (depth_ != 0) {
        Fail("flow control left open");
        break;
      }
      if (tokens != nullptr) *tokens = position_ + 1;
      return true;
    }
    const std::uint32_t opcode = token & kOpcodeMask;
    if (opcode == kCommentOpcode) {
      const std::size_t length = (token >> 16) & 0x7FFF;
      if (length >= end_ - position_) break;
      position_ += length + 1;
      continue;
    }
    const shader::Instruction* instruction = FindInstruction(opcode);
    const std::uint8_t model = model_ == Model::kVertex ? kInVertex : kInPixel;
    if (instruction == nullptr || (instruction->models & model) == 0) {
      Fail("unknown instruction " + std::to_string(opcode));
      break;
    }
    if ((token & kInstructionReservedBits) != 0) {
      Fail("reserved instruction bits set");
      break;
    }
    const std::size_t length = (token >> kLengthShift) & 0xF;
    if (length >= end_ - position_) {
      Fail("instruction runs past the code");
      break;
    }
    if (!CheckInstruction(*instruction, token, length)) break;
    if (instruction->counted && ++slots > slotLimit) {
      Fail("too many instructions");
      break;
    }
    position_ += length + 1;
  }
  if (reason_.empty()) reason_ = "no end token";
  if (reason != nullptr) *reason = reason_;
  return false;
}

}  // namespace

bool ValidateD3D9ShaderCode(const std::uint32_t* code, std::size_t maxTokens, bool pixelShader,
                            std::uint32_t highestVersion, std::string* reason, std::size_t* tokens) {
  const std::uint32_t expected = pixelShader ? kPixelVersion20 : kVertexVersion20;
  if (code == nullptr || maxTokens == 0 || (code[0] >> 16) != (expected >> 16) || (code[0] & 0xFFFF) != 0x0200 ||
      code[0] > highestVersion) {
    if (reason != nullptr) *reason = "not a shader of model 2.0 the device takes";
    return false;
  }
  std::string why;
  Checker checker(code, maxTokens, pixelShader ? Model::kPixel : Model::kVertex);
  if (checker.Run(&why, tokens)) return true;
  if (reason != nullptr) *reason = why;
  return false;
}

namespace d3d9 {

bool AcceptShaderCode(const std::uint32_t* code, bool pixelShader, std::uint32_t deviceVersion,
                      std::uint32_t* version) {
  const std::uint32_t kind = pixelShader ? kPixelVersion20 >> 16 : kVertexVersion20 >> 16;
  if (code == nullptr || (code[0] >> 16) != kind) return false;
  *version = code[0];
  if (code[0] > deviceVersion) return false;
  if ((code[0] & 0xFFFF) == 0x0200) {
    return ValidateD3D9ShaderCode(code, kLongestShader, pixelShader, deviceVersion, nullptr);
  }
  // Models before 2.0 are kept unchecked but for their end.
  for (std::size_t i = 1; i < kLongestShader; ++i) {
    if (code[i] == kEndToken) return true;
  }
  return false;
}

}  // namespace d3d9
}  // namespace plat
