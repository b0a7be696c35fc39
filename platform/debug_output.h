// The debugger output sink. Texts go to a capture buffer that tests read; on
// the desktop they also go to stderr when QZ_DEBUG_OUTPUT=1.
#pragma once

#include <string>

namespace plat {

void OutputDebugStringA(const char* text);

// Test hooks: start capturing (clears the buffer), take what was captured.
void StartDebugCapture();
std::string TakeDebugCapture();

}  // namespace plat
