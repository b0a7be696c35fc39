// Software-image handles (freed at the library end) and the sine table the
// drawing code reads.
#pragma once

namespace qz {

inline constexpr int kSineTableSize = 65536;

int FreeAllSoftImageHandles();

// Fills the table once per process, only while hardware rendering is allowed;
// 0.
int BuildSineTable();
// Entry i is sin(i * 2 pi / 65536); null until built.
const float* GetSineTable();

}  // namespace qz
