// The debugger output sink: a capture buffer for tests, stderr on request.
#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace plat {

namespace {

std::mutex sinkMutex;
bool capturing = false;
std::string captured;

bool ToStandardError() {
  static const bool enabled = [] {
    const char* value = std::getenv("QZ_DEBUG_OUTPUT");
    return value != nullptr && std::strcmp(value, "1") == 0;
  }();
  return enabled;
}

}  // namespace

void OutputDebugStringA(const char* text) {
  if (text == nullptr) return;
  std::lock_guard lock(sinkMutex);
  if (capturing) captured += text;
  if (ToStandardError()) std::fputs(text, stderr);
}

void StartDebugCapture() {
  std::lock_guard lock(sinkMutex);
  capturing = true;
  captured.clear();
}

std::string TakeDebugCapture() {
  std::lock_guard lock(sinkMutex);
  std::string result;
  result.swap(captured);
  return result;
}

}  // namespace plat
