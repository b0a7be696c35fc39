// The assembler: one line at a time, mnemonic and modifiers, then operands,
// encoded through the instruction and register tables the stand-in's
// validator reads too.
#include "tools/shaderasm/shader_assembler.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>

#include "platform/d3d9_shader_ops.h"

namespace shaderasm {
namespace {

using namespace plat::shader;

struct NamedRegister {
  std::string_view name;
  std::uint32_t type;
  bool numbered;  // a number follows the name
  std::uint32_t number;
};

// Longer names first, so that "oPos" is not read as "o..." of another.
constexpr NamedRegister kVertexRegisters[] = {
    {"oPos", kRasterOut, false, 0}, {"oFog", kRasterOut, false, 1}, {"oPts", kRasterOut, false, 2},
    {"oD", kAttributeOut, true, 0}, {"oT", kTexCoordOut, true, 0},  {"aL", kLoop, false, 0},
    {"a", kAddressOrTexture, true, 0}, {"r", kTemp, true, 0},       {"v", kInput, true, 0},
    {"c", kConst, true, 0},         {"b", kConstBool, true, 0},     {"i", kConstInt, true, 0},
    {"l", kLabel, true, 0},
};
constexpr NamedRegister kPixelRegisters[] = {
    {"oDepth", kDepthOut, false, 0}, {"oC", kColorOut, true, 0}, {"r", kTemp, true, 0},
    {"v", kInput, true, 0},          {"c", kConst, true, 0},     {"t", kAddressOrTexture, true, 0},
    {"s", kSampler, true, 0},
};

constexpr std::string_view kUsageNames[] = {"position", "blendweight", "blendindices", "normal",    "psize",
                                            "texcoord", "tangent",     "binormal",     "tessfactor", "positiont",
                                            "color",    "fog",         "depth",        "sample"};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitOperands(std::string_view text) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    parts.push_back(Trim(text.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return parts;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number* value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size();
}

class LineAssembler {
 public:
  LineAssembler(Model model, std::vector<std::uint32_t>* tokens) : model_(model), tokens_(tokens) {}
  // False with the reason in `error_`.
  bool Assemble(std::string_view mnemonic, std::string_view operands);
  const std::string& error() const { return error_; }

 private:
  bool Fail(std::string text) {
    error_ = std::move(text);
    return false;
  }
  std::optional<std::uint32_t> Register(std::string_view* text);
  bool Destination(std::string_view text, std::uint32_t modifiers);
  bool Source(std::string_view text);
  bool Declaration(std::string_view usage, std::string_view operand);
  bool Definition(const Instruction& instruction, const std::vector<std::string_view>& operands);

  Model model_;
  std::vector<std::uint32_t>* tokens_;
  std::string error_;
};

// Reads a register name and number from the front of `text`.
std::optional<std::uint32_t> LineAssembler::Register(std::string_view* text) {
  const auto* begin = model_ == Model::kVertex ? std::begin(kVertexRegisters) : std::begin(kPixelRegisters);
  const auto* end = model_ == Model::kVertex ? std::end(kVertexRegisters) : std::end(kPixelRegisters);
  for (const auto* named = begin; named != end; ++named) {
    if (text->substr(0, named->name.size()) != named->name) continue;
    std::string_view rest = text->substr(named->name.size());
    std::uint32_t number = named->number;
    if (named->numbered) {
      std::size_t digits = 0;
      while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits]))) ++digits;
      // "c[a0.x + 4]" has no number before its index.
      if (digits == 0 && !(named->type == kConst && !rest.empty() && rest.front() == '[')) continue;
      if (digits != 0 && !ParseNumber(rest.substr(0, digits), &number)) continue;
      rest.remove_prefix(digits);
    }
    *text = rest;
    return EncodeRegister(named->type, number);
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ComponentIndex(char c) {
  switch (c) {
    case 'x': case 'r': return 0;
    case 'y': case 'g': return 1;
    case 'z': case 'b': return 2;
    case 'w': case 'a': return 3;
    default: return std::nullopt;
  }
}

bool LineAssembler::Destination(std::string_view text, std::uint32_t modifiers) {
  const std::optional<std::uint32_t> reg = Register(&text);
  if (!reg) return Fail("unknown destination register");
  std::uint32_t mask = kFullWriteMask;
  if (!text.empty()) {
    if (text.front() != '.' || text.size() < 2) return Fail("bad write mask");
    mask = 0;
    int last = -1;
    for (char c : text.substr(1)) {
      const std::optional<std::uint32_t> index = ComponentIndex(c);
      if (!index || static_cast<int>(*index) <= last) return Fail("bad write mask");
      last = static_cast<int>(*index);
      mask |= 1u << *index;
    }
  }
  tokens_->push_back(*reg | (mask << kWriteMaskShift) | modifiers);
  return true;
}

bool LineAssembler::Source(std::string_view text) {
  std::uint32_t modifier = 0;
  if (!text.empty() && text.front() == '-') {
    modifier = kSourceNegate;
    text = Trim(text.substr(1));
  }
  std::optional<std::uint32_t> reg = Register(&text);
  if (!reg) return Fail("unknown source register");
  std::optional<std::uint32_t> address;
  if (!text.empty() && text.front() == '[') {
    // c[a0.x + n], cN[a0.x] or c[aL + n]: the offset adds to the number.
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return Fail("unclosed relative address");
    std::string_view inside = Trim(text.substr(1, close - 1));
    text.remove_prefix(close + 1);
    std::uint32_t component = 0;
    if (inside.substr(0, 2) == "aL") {
      address = EncodeRegister(kLoop, 0);
      inside.remove_prefix(2);
    } else if (inside.substr(0, 3) == "a0." && inside.size() >= 4 && ComponentIndex(inside[3])) {
      component = *ComponentIndex(inside[3]);
      address = EncodeRegister(kAddressOrTexture, 0);
      inside.remove_prefix(4);
    } else {
      return Fail("relative address must be a0.x or aL");
    }
    inside = Trim(inside);
    if (!inside.empty()) {
      std::uint32_t offset = 0;
      if (inside.front() != '+' || !ParseNumber(inside.substr(1), &offset)) return Fail("bad relative offset");
      *reg = (*reg & ~kRegisterNumberMask) | (RegisterNumberOf(*reg) + offset);
    }
    *address |= (component * 0x55u) << kSwizzleShift;
    *reg |= kRelativeBit;
  }
  std::uint32_t swizzle = kIdentitySwizzle;
  if (!text.empty()) {
    if (text.front() != '.' || text.size() < 2 || text.size() > 5) return Fail("bad swizzle");
    swizzle = 0;
    std::uint32_t index = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      if (i + 1 < text.size()) {
        const std::optional<std::uint32_t> component = ComponentIndex(text[i + 1]);
        if (!component) return Fail("bad swizzle");
        index = *component;
      }
      swizzle |= index << (2 * i);
    }
  }
  tokens_->push_back(*reg | (swizzle << kSwizzleShift) | (modifier << kSourceModifierShift));
  if (address) tokens_->push_back(*address);
  return true;
}

bool LineAssembler::Declaration(std::string_view usage, std::string_view operand) {
  std::uint32_t token = kParameterBit;
  if (usage == "2d" || usage == "cube" || usage == "volume") {
    const std::uint32_t type = usage == "2d" ? kTexture2D : usage == "cube" ? kTextureCube : kTextureVolume;
    token |= type << kDclTextureTypeShift;
  } else if (!usage.empty()) {
    std::size_t digits = usage.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(usage[digits - 1]))) --digits;
    std::uint32_t index = 0;
    if (digits < usage.size() && !ParseNumber(usage.substr(digits), &index)) return Fail("bad usage index");
    const std::string_view name = usage.substr(0, digits);
    std::uint32_t code = 0;
    while (code < std::size(kUsageNames) && kUsageNames[code] != name) ++code;
    if (code == std::size(kUsageNames)) return Fail("unknown usage " + std::string(name));
    token |= code | (index << kDclUsageIndexShift);
  }
  tokens_->push_back(token);
  return Destination(operand, 0);
}

bool LineAssembler::Definition(const Instruction& instruction, const std::vector<std::string_view>& operands) {
  const std::size_t values = instruction.layout == Operands::kDefineBool ? 1 : 4;
  if (operands.size() != values + 1) return Fail("definition needs a register and " + std::to_string(values) + " values");
  if (!Destination(operands[0], 0)) return false;
  for (std::size_t i = 1; i < operands.size(); ++i) {
    const std::string_view text = operands[i];
    std::uint32_t bits = 0;
    if (instruction.layout == Operands::kDefineBool) {
      if (text != "true" && text != "false") return Fail("a boolean is true or false");
      bits = text == "true" ? 1 : 0;
    } else if (instruction.opcode == kDefiOpcode) {
      std::int32_t value = 0;
      if (!ParseNumber(text, &value)) return Fail("bad integer");
      bits = static_cast<std::uint32_t>(value);
    } else {
      float value = 0.0f;
      if (!ParseNumber(text, &value)) return Fail("bad number");
      std::memcpy(&bits, &value, sizeof(bits));
    }
    tokens_->push_back(bits);
  }
  return true;
}

bool LineAssembler::Assemble(std::string_view mnemonic, std::string_view operandText) {
  // "mul_sat_pp", "dcl_texcoord1", "texldp": base name, then suffixes.
  const std::size_t underscore = mnemonic.find('_');
  std::string_view base = mnemonic.substr(0, underscore);
  std::string_view suffixes = underscore == std::string_view::npos ? "" : mnemonic.substr(underscore + 1);
  std::uint32_t controls = 0;
  if (base == "texldp" || base == "texldb") {
    controls = base == "texldp" ? kTexldProject : kTexldBias;
    base = "texld";
  }
  const Instruction* instruction = nullptr;
  for (const Instruction& candidate : kInstructions) {
    if (candidate.name == base) instruction = &candidate;
  }
  const std::uint8_t model = model_ == Model::kVertex ? kInVertex : kInPixel;
  if (instruction == nullptr || (instruction->models & model) == 0) {
    return Fail("unknown instruction " + std::string(mnemonic));
  }
  const std::vector<std::string_view> operands = SplitOperands(operandText);
  const std::size_t start = tokens_->size();
  tokens_->push_back(0);
  bool written = false;
  switch (instruction->layout) {
    case Operands::kDeclare:
      if (operands.size() != 1) return Fail("dcl names one register");
      written = Declaration(suffixes, operands[0]);
      break;
    case Operands::kDefine:
    case Operands::kDefineBool:
      written = Definition(*instruction, operands);
      break;
    case Operands::kRegisters: {
      std::uint32_t modifiers = 0;
      while (!suffixes.empty()) {
        const std::size_t next = suffixes.find('_');
        const std::string_view suffix = suffixes.substr(0, next);
        if (suffix == "sat") {
          modifiers |= kSaturateBit;
        } else if (suffix == "pp") {
          modifiers |= kPartialPrecisionBit;
        } else {
          return Fail("unknown modifier _" + std::string(suffix));
        }
        suffixes = next == std::string_view::npos ? "" : suffixes.substr(next + 1);
      }
      const std::size_t expected = static_cast<std::size_t>(instruction->destinations + instruction->sources);
      if (operands.size() != expected) return Fail(std::string(base) + " takes " + std::to_string(expected) + " operands");
      written = true;
      for (std::size_t i = 0; written && i < operands.size(); ++i) {
        written = i < instruction->destinations ? Destination(operands[i], modifiers) : Source(operands[i]);
      }
      break;
    }
  }
  if (!written) return false;
  const std::size_t length = tokens_->size() - start - 1;
  (*tokens_)[start] = instruction->opcode | (controls << kControlShift) | static_cast<std::uint32_t>(length << kLengthShift);
  return true;
}

}  // namespace

bool AssembleShader(std::string_view source, std::vector<std::uint32_t>* tokens, std::string* error) {
  tokens->clear();
  std::optional<Model> model;
  int lineNumber = 0;
  while (!source.empty()) {
    const std::size_t newline = source.find('\n');
    std::string_view line = source.substr(0, newline);
    source = newline == std::string_view::npos ? std::string_view() : source.substr(newline + 1);
    ++lineNumber;
    line = Trim(line.substr(0, std::min(line.find(';'), line.find("//"))));
    if (line.empty()) continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (!model) {
      if (line != "vs_2_0" && line != "ps_2_0") return *error = where + "expected vs_2_0 or ps_2_0", false;
      model = line == "vs_2_0" ? Model::kVertex : Model::kPixel;
      tokens->push_back(*model == Model::kVertex ? kVertexVersion20 : kPixelVersion20);
      continue;
    }
    const std::size_t space = line.find_first_of(" \t");
    const std::string_view mnemonic = line.substr(0, space);
    const std::string_view operands = space == std::string_view::npos ? "" : Trim(line.substr(space));
    LineAssembler assembler(*model, tokens);
    if (!assembler.Assemble(mnemonic, operands)) return *error = where + assembler.error(), false;
  }
  if (!model) return *error = "no shader version line", false;
  tokens->push_back(kEndToken);
  return true;
}

}  // namespace shaderasm
