// The layout of the shader pack, the member "QzShaderPack.bin" of the archive
// built into the program: shared by the loader and by the build tool that
// writes the pack, so both count slots the same way.
#pragma once

#include <cstdint>

namespace qz {

inline constexpr char kShaderPackMemberName[] = "QzShaderPack.bin";

// A table of records, vertex shaders first, each six u16 code sizes (0: that
// variant is absent); the code follows in record order and, inside a record,
// in position order. Code slot = record * 6 + position.
inline constexpr int kVertexShaderRecords = 16384;
inline constexpr int kPixelShaderRecords = 6912;
inline constexpr int kShaderVariantsPerRecord = 6;
inline constexpr int kVertexShaderCodeSlots = kVertexShaderRecords * kShaderVariantsPerRecord;
inline constexpr int kPixelShaderCodeSlots = kPixelShaderRecords * kShaderVariantsPerRecord;
inline constexpr std::uint32_t kShaderPackTableBytes =
    (kVertexShaderRecords + kPixelShaderRecords) * kShaderVariantsPerRecord * 2;

// The two shaders a device must accept before shaders are switched on.
inline constexpr int kTestVertexShaderSlot = 32774;
inline constexpr int kTestPixelShaderSlot = 2454;

}  // namespace qz
