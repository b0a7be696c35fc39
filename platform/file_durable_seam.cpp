// The test seam over flushes and renames: a record of them in order and
// planned failures, so a test can see that a replacement flushes before it
// renames and keeps the old file when either fails. Off, a call costs one
// atomic load.
#include <atomic>
#include <mutex>

#include "platform/file_internal.h"

namespace plat {
namespace {

constexpr int kDurableCallKinds = 2;  // flush, rename

struct Seam {
  std::mutex mutex;
  std::atomic<bool> active{false};
  std::vector<std::string> calls;
  int failuresLeft[kDurableCallKinds] = {};
  std::uint32_t failWith[kDurableCallKinds] = {};
};

Seam& TheSeam() {
  static Seam seam;
  return seam;
}

}  // namespace

void RecordDurableCallsForTest(bool record) {
  Seam& seam = TheSeam();
  const std::lock_guard<std::mutex> lock(seam.mutex);
  seam.calls.clear();
  for (int& left : seam.failuresLeft) left = 0;
  seam.active.store(record, std::memory_order_release);
}

std::vector<std::string> TakeDurableCallsForTest() {
  Seam& seam = TheSeam();
  const std::lock_guard<std::mutex> lock(seam.mutex);
  std::vector<std::string> calls;
  calls.swap(seam.calls);
  return calls;
}

void FailDurableCallForTest(DurableCall call, int times, std::uint32_t error) {
  Seam& seam = TheSeam();
  const std::lock_guard<std::mutex> lock(seam.mutex);
  const auto kind = static_cast<int>(call);
  seam.failuresLeft[kind] = times;
  seam.failWith[kind] = error;
}

std::uint32_t DurableCallSeam(DurableCall call, const std::function<std::string()>& describe) {
  Seam& seam = TheSeam();
  if (!seam.active.load(std::memory_order_acquire)) return 0;
  const std::lock_guard<std::mutex> lock(seam.mutex);
  seam.calls.push_back(describe());
  const auto kind = static_cast<int>(call);
  if (seam.failuresLeft[kind] == 0) return 0;
  --seam.failuresLeft[kind];
  return seam.failWith[kind];
}

}  // namespace plat
