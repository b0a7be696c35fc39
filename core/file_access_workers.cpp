// File-access threads outlive the files they serve: when a file closes, its
// thread parks, and the next threaded open takes it instead of starting one
// (a program that opens archives and cached files in turn would otherwise
// start a thread for each). A few are kept parked; more end.
#include <mutex>
#include <vector>

#include "core/file_access.h"
#include "core/file_access_record.h"
#include "platform/sync.h"

namespace qz {

struct FileWorker {
  plat::Handle thread = nullptr;
  plat::Handle wakeEvent = nullptr;  // auto-reset: a block was handed over, or the worker must end
  plat::Handle leftEvent = nullptr;  // manual: the worker is done with its block
  FileThreadBlock* block = nullptr;  // null when woken: end
};

namespace {

constexpr std::size_t kMaxParkedWorkers = 4;

std::mutex g_parkedMutex;
std::vector<FileWorker*> g_parked;

std::uint32_t WorkerProc(void* argument) {
  auto* worker = static_cast<FileWorker*>(argument);
  for (;;) {
    plat::WaitForSingleObject(worker->wakeEvent, plat::INFINITE);
    FileThreadBlock* block = worker->block;
    if (block == nullptr) return 0;
    FileAccessThreadProc(block);
    // Nothing of the block is touched past this: its owner may free it.
    plat::SetEvent(worker->leftEvent);
  }
}

void CloseWorkerHandles(FileWorker* worker) {
  if (worker->thread != nullptr) plat::CloseHandle(worker->thread);
  if (worker->wakeEvent != nullptr) plat::CloseHandle(worker->wakeEvent);
  if (worker->leftEvent != nullptr) plat::CloseHandle(worker->leftEvent);
  delete worker;
}

FileWorker* StartWorker() {
  auto* worker = new FileWorker;
  worker->wakeEvent = plat::CreateEventA(plat::FALSE, plat::FALSE);
  worker->leftEvent = plat::CreateEventA(plat::TRUE, plat::FALSE);
  std::uint32_t threadId = 0;
  if (worker->wakeEvent != nullptr && worker->leftEvent != nullptr) {
    worker->thread = plat::CreateThread(WorkerProc, worker, &threadId);
  }
  if (worker->thread == nullptr) {
    CloseWorkerHandles(worker);
    return nullptr;
  }
  return worker;
}

void EndWorker(FileWorker* worker) {
  worker->block = nullptr;
  plat::SetEvent(worker->wakeEvent);
  plat::WaitForSingleObject(worker->thread, plat::INFINITE);
  CloseWorkerHandles(worker);
}

}  // namespace

bool StartFileThread(FileThreadBlock* block) {
  FileWorker* worker = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_parkedMutex);
    if (!g_parked.empty()) {
      worker = g_parked.back();
      g_parked.pop_back();
    }
  }
  if (worker == nullptr && (worker = StartWorker()) == nullptr) return false;
  plat::ResetEvent(worker->leftEvent);
  worker->block = block;
  block->worker = worker;
  plat::SetEvent(worker->wakeEvent);
  return true;
}

void LeaveFileThread(FileThreadBlock* block) {
  FileWorker* worker = block->worker;
  block->worker = nullptr;
  plat::WaitForSingleObject(worker->leftEvent, plat::INFINITE);
  {
    std::lock_guard<std::mutex> lock(g_parkedMutex);
    if (g_parked.size() < kMaxParkedWorkers) {
      g_parked.push_back(worker);
      return;
    }
  }
  EndWorker(worker);
}

void EndParkedFileThreads() {
  std::vector<FileWorker*> parked;
  {
    std::lock_guard<std::mutex> lock(g_parkedMutex);
    parked.swap(g_parked);
  }
  for (FileWorker* worker : parked) EndWorker(worker);
}

}  // namespace qz
