// The call record and the failure switches: small lists under one mutex, since
// the pump, the window procedure and test threads may record at once.
#include "core/call_trace.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace qz {
namespace {

std::mutex gTraceMutex;
std::atomic<bool> gTraceEnabled{false};
std::vector<std::string> gTrace;
std::vector<std::string> gFailing;

}  // namespace

void SetCallTraceEnabled(bool enabled) {
  std::lock_guard<std::mutex> guard(gTraceMutex);
  gTraceEnabled.store(enabled, std::memory_order_release);
  gTrace.clear();
}

void RecordCall(const char* name) {
  if (!gTraceEnabled.load(std::memory_order_acquire) || name == nullptr) return;
  std::lock_guard<std::mutex> guard(gTraceMutex);
  gTrace.emplace_back(name);
}

std::vector<std::string> TakeCallTrace() {
  std::lock_guard<std::mutex> guard(gTraceMutex);
  std::vector<std::string> taken;
  taken.swap(gTrace);
  return taken;
}

void SetCallFailureForTest(const char* name, bool fail) {
  if (name == nullptr) return;
  std::lock_guard<std::mutex> guard(gTraceMutex);
  auto found = std::find(gFailing.begin(), gFailing.end(), name);
  if (fail && found == gFailing.end()) gFailing.emplace_back(name);
  if (!fail && found != gFailing.end()) gFailing.erase(found);
}

bool IsCallFailingForTest(const char* name) {
  if (name == nullptr) return false;
  std::lock_guard<std::mutex> guard(gTraceMutex);
  return std::find(gFailing.begin(), gFailing.end(), name) != gFailing.end();
}

}  // namespace qz
