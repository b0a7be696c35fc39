// The per-thread message queues: posted messages in order, the quit flag,
// and the timers, with the retrieval rules of the system: posted messages
// first, then WM_QUIT, then WM_PAINT for an invalid window, then WM_TIMER.
// WM_PAINT and WM_TIMER are made when asked for, never queued, so they stay
// low priority and never pile up. Any thread may post; a post wakes a
// thread blocked in GetMessageA. Messages that one event makes together
// (activation with focus) are posted under one lock, so a reader on the
// window's thread sees all of them or none.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/clock_internal.h"
#include "platform/debug_output.h"
#include "platform/sync.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

struct Timer {
  HWND window;
  std::uintptr_t id;
  std::uint32_t interval;
  std::uint32_t due;  // timeGetTime value
  TimerProc callback;
};

struct ThreadQueue {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Message> posted;
  bool quitPosted = false;
  int quitCode = 0;
  std::vector<Timer> timers;
  // Work other threads handed to this one (RunOnWindowThread).
  std::vector<std::function<void()>> deliveries;
  // Counts posts and wakes, so a waiter sleeps only until something new.
  std::uint64_t generation = 0;
};

std::mutex gQueuesMutex;
std::map<std::uint32_t, std::shared_ptr<ThreadQueue>> gQueues;
std::uintptr_t gNextTimerId = 1;

std::shared_ptr<ThreadQueue> QueueOf(std::uint32_t threadId, bool create) {
  std::lock_guard<std::mutex> lock(gQueuesMutex);
  auto it = gQueues.find(threadId);
  if (it != gQueues.end()) return it->second;
  if (!create) return nullptr;
  auto queue = std::make_shared<ThreadQueue>();
  gQueues.emplace(threadId, queue);
  return queue;
}

// The process's main thread always has a queue, so a worker can post to it
// before it first looks.
std::shared_ptr<ThreadQueue> QueueForPosting(std::uint32_t threadId) {
  return QueueOf(threadId, threadId == GetProcessMainThreadId());
}

bool InRange(std::uint32_t message, std::uint32_t filterMin, std::uint32_t filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

bool WindowMatches(HWND target, HWND filter) {
  if (filter == nullptr) return true;
  if (filter == kThreadMessagesOnly) return target == nullptr;
  return target == filter;
}

// Signed distance so a wrap of the millisecond counter keeps the order.
bool IsDue(std::uint32_t due, std::uint32_t now) { return static_cast<std::int32_t>(now - due) >= 0; }

bool PostToQueue(std::uint32_t threadId, const Message* messages, std::size_t count) {
  std::shared_ptr<ThreadQueue> queue = QueueForPosting(threadId);
  if (queue == nullptr) return false;
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->posted.insert(queue->posted.end(), messages, messages + count);
    ++queue->generation;
  }
  queue->wake.notify_all();
  return true;
}

bool PostToQueue(std::uint32_t threadId, const Message& message) { return PostToQueue(threadId, &message, 1); }

// A window of this thread that needs painting and matches the filter.
HWND FindInvalidWindow(std::uint32_t threadId, HWND filter) {
  if (filter == kThreadMessagesOnly) return nullptr;
  for (HWND window : WindowsOfThread(threadId)) {
    if (window->invalid && window->visible && !window->destroying && WindowMatches(window, filter)) return window;
  }
  return nullptr;
}

bool TakeMessage(ThreadQueue& queue, std::uint32_t threadId, Message* out, HWND filter, std::uint32_t filterMin,
                 std::uint32_t filterMax, bool remove) {
  std::unique_lock<std::mutex> lock(queue.mutex);
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!WindowMatches(it->window, filter) || !InRange(it->message, filterMin, filterMax)) continue;
    *out = *it;
    if (remove) queue.posted.erase(it);
    return true;
  }
  // WM_QUIT ignores the message range, as on the system.
  if (queue.quitPosted && (filter == nullptr || filter == kThreadMessagesOnly)) {
    *out = Message{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, timeGetTime()};
    if (remove) queue.quitPosted = false;
    return true;
  }
  if (InRange(WM_PAINT, filterMin, filterMax)) {
    lock.unlock();
    if (HWND window = FindInvalidWindow(threadId, filter)) {
      *out = Message{window, WM_PAINT, 0, 0, timeGetTime()};
      return true;
    }
    lock.lock();
  }
  if (InRange(WM_TIMER, filterMin, filterMax) && !queue.timers.empty()) {
    const std::uint32_t now = timeGetTime();
    for (Timer& timer : queue.timers) {
      if (!IsDue(timer.due, now) || !WindowMatches(timer.window, filter)) continue;
      *out = Message{timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.callback), now};
      if (remove) timer.due = now + timer.interval;
      return true;
    }
  }
  return false;
}

// Milliseconds until the next timer of the queue is due, or -1 without one.
std::int64_t MillisecondsToNextTimer(ThreadQueue& queue) {
  std::lock_guard<std::mutex> lock(queue.mutex);
  if (queue.timers.empty()) return -1;
  const std::uint32_t now = timeGetTime();
  std::int64_t nearest = -1;
  for (const Timer& timer : queue.timers) {
    const std::int64_t wait = std::max<std::int64_t>(0, static_cast<std::int32_t>(timer.due - now));
    if (nearest < 0 || wait < nearest) nearest = wait;
  }
  return nearest;
}

void RunDeliveries(ThreadQueue& queue) {
  std::vector<std::function<void()>> work;
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    work.swap(queue.deliveries);
  }
  for (auto& each : work) each();
}

bool ValidTarget(HWND filter) { return filter == nullptr || filter == kThreadMessagesOnly || IsLiveWindow(filter); }

}  // namespace

void EnsureThreadQueue() { QueueOf(GetCurrentThreadId(), true); }

void WakeThreadQueue(std::uint32_t threadId) {
  if (std::shared_ptr<ThreadQueue> queue = QueueOf(threadId, false)) {
    // Taking the lock orders the wake after a waiter's last look.
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      ++queue->generation;
    }
    queue->wake.notify_all();
  }
}

void RunOnWindowThread(HWND window, std::function<void()> work) {
  const std::uint32_t threadId = WindowThread(window);
  if (threadId == 0 || threadId == GetCurrentThreadId()) {
    work();
    return;
  }
  std::shared_ptr<ThreadQueue> queue = QueueForPosting(threadId);
  if (queue == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->deliveries.push_back(std::move(work));
    ++queue->generation;
  }
  queue->wake.notify_all();
}

void ForgetWindowMessages(HWND window) {
  std::vector<std::shared_ptr<ThreadQueue>> queues;
  {
    std::lock_guard<std::mutex> lock(gQueuesMutex);
    for (auto& entry : gQueues) queues.push_back(entry.second);
  }
  std::vector<DropHandle> drops;
  for (auto& queue : queues) {
    std::lock_guard<std::mutex> lock(queue->mutex);
    for (const Message& m : queue->posted) {
      if (m.window == window && m.message == WM_DROPFILES) drops.push_back(reinterpret_cast<DropHandle>(m.wParam));
    }
    queue->posted.erase(std::remove_if(queue->posted.begin(), queue->posted.end(),
                                       [window](const Message& m) { return m.window == window; }),
                        queue->posted.end());
    queue->timers.erase(std::remove_if(queue->timers.begin(), queue->timers.end(),
                                       [window](const Timer& t) { return t.window == window; }),
                        queue->timers.end());
  }
  // A drop that will never be read is freed here.
  for (DropHandle drop : drops) DragFinish(drop);
}

BOOL PeekMessageA(Message* message, HWND window, std::uint32_t filterMin, std::uint32_t filterMax,
                  std::uint32_t removeFlags) {
  if (message == nullptr || !ValidTarget(window)) return FALSE;
  CurrentWindowBackend().pollEvents();
  const std::uint32_t threadId = GetCurrentThreadId();
  std::shared_ptr<ThreadQueue> queue = QueueOf(threadId, true);
  RunDeliveries(*queue);
  return TakeMessage(*queue, threadId, message, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE
                                                                                                            : FALSE;
}

BOOL GetMessageA(Message* message, HWND window, std::uint32_t filterMin, std::uint32_t filterMax) {
  if (message == nullptr || !ValidTarget(window)) return -1;
  const std::uint32_t threadId = GetCurrentThreadId();
  std::shared_ptr<ThreadQueue> queue = QueueOf(threadId, true);
  const WindowBackend& backend = CurrentWindowBackend();
  constexpr std::int64_t kPollMilliseconds = 5;
  for (;;) {
    std::uint64_t seen = 0;
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      seen = queue->generation;
    }
    backend.pollEvents();
    RunDeliveries(*queue);
    if (TakeMessage(*queue, threadId, message, window, filterMin, filterMax, true)) {
      return message->message == WM_QUIT ? FALSE : TRUE;
    }
    std::int64_t wait = MillisecondsToNextTimer(*queue);
    if (wait >= 0 && IsVirtualTime()) {
      // Virtual time only moves when someone moves it: the wait does.
      Sleep(static_cast<std::uint32_t>(std::max<std::int64_t>(wait, 1)));
      continue;
    }
    if (backend.needsPolling()) wait = (wait < 0) ? kPollMilliseconds : std::min(wait, kPollMilliseconds);
    std::unique_lock<std::mutex> lock(queue->mutex);
    auto changed = [&queue, seen] { return queue->generation != seen; };
    if (wait < 0) {
      queue->wake.wait(lock, changed);
    } else {
      queue->wake.wait_for(lock, std::chrono::milliseconds(wait), changed);
    }
  }
}

BOOL PostMessageA(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  std::uint32_t threadId = 0;
  if (window == nullptr) {
    threadId = GetCurrentThreadId();
  } else {
    threadId = WindowThread(window);
    if (threadId == 0) return FALSE;
  }
  return PostToQueue(threadId, Message{window, message, wParam, lParam, timeGetTime()}) ? TRUE : FALSE;
}

bool PostMessagesTogether(HWND window, const std::vector<Message>& messages) {
  const std::uint32_t threadId = WindowThread(window);
  if (threadId == 0) return false;
  if (messages.empty()) return true;
  std::vector<Message> stamped = messages;
  const std::uint32_t now = timeGetTime();
  for (Message& message : stamped) {
    message.window = window;
    message.time = now;
  }
  return PostToQueue(threadId, stamped.data(), stamped.size());
}

BOOL PostThreadMessageA(std::uint32_t threadId, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (threadId == 0) return FALSE;
  return PostToQueue(threadId, Message{nullptr, message, wParam, lParam, timeGetTime()}) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
  std::shared_ptr<ThreadQueue> queue = QueueOf(GetCurrentThreadId(), true);
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->quitPosted = true;
    queue->quitCode = exitCode;
    ++queue->generation;
  }
  queue->wake.notify_all();
}

LRESULT SendMessageA(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (!IsLiveWindow(window)) return 0;
  WindowProc procedure = window->procedure;
  return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

BOOL TranslateMessage(const Message* message) {
  // Text arrives as WM_CHAR from the backend; key downs add nothing here.
  return message != nullptr && (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const Message* message) {
  if (message == nullptr) return 0;
  if (message->message == WM_TIMER && message->lParam != 0) {
    auto callback = reinterpret_cast<TimerProc>(message->lParam);
    callback(message->window, WM_TIMER, message->wParam, message->time);
    return 0;
  }
  if (message->window == nullptr) return 0;
  return SendMessageA(message->window, message->message, message->wParam, message->lParam);
}

std::uintptr_t SetTimer(HWND window, std::uintptr_t id, std::uint32_t milliseconds, TimerProc callback) {
  std::uint32_t threadId = GetCurrentThreadId();
  if (window != nullptr) {
    threadId = WindowThread(window);
    if (threadId != GetCurrentThreadId()) return 0;
  }
  std::shared_ptr<ThreadQueue> queue = QueueOf(threadId, true);
  // The system raises intervals below 10 ms to 10 ms.
  const std::uint32_t interval = std::max<std::uint32_t>(milliseconds, 10);
  std::lock_guard<std::mutex> lock(queue->mutex);
  if (window == nullptr) {
    // Thread timers get fresh ids; the id argument names none of them.
    std::lock_guard<std::mutex> idLock(gQueuesMutex);
    id = gNextTimerId++;
  }
  const std::uint32_t due = timeGetTime() + interval;
  for (Timer& timer : queue->timers) {
    if (timer.window == window && timer.id == id) {
      timer = Timer{window, id, interval, due, callback};
      return id == 0 && window != nullptr ? 1 : id;
    }
  }
  queue->timers.push_back(Timer{window, id, interval, due, callback});
  return id == 0 && window != nullptr ? 1 : id;
}

BOOL KillTimer(HWND window, std::uintptr_t id) {
  std::shared_ptr<ThreadQueue> queue = QueueOf(GetCurrentThreadId(), false);
  if (queue == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(queue->mutex);
  auto it = std::find_if(queue->timers.begin(), queue->timers.end(),
                         [window, id](const Timer& timer) { return timer.window == window && timer.id == id; });
  if (it == queue->timers.end()) return FALSE;
  queue->timers.erase(it);
  return TRUE;
}

}  // namespace plat
