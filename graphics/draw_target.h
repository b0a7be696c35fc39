// The draw target: where drawing goes (-2 back screen, -4 front screen, or a
// drawable graph).
#pragma once

namespace qz {

inline constexpr int kBackScreen = -2;
inline constexpr int kFrontScreen = -4;

int SelectDrawTarget(int target);
int GetDrawTarget();

}  // namespace qz
