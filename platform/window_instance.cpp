// Instance locks: a running copy of the program holds an exclusive flock on a
// file named after its window class, so another process can see it through
// FindWindowA. The kernel drops the lock when the process dies, so a crash
// never leaves a stale "already running" behind; a process that exits with
// windows still open removes their files on its way out.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/debug_output.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

struct HeldLock {
  int fd = -1;
  int users = 0;
};

std::mutex gInstanceMutex;
std::map<std::string, HeldLock> gHeld;      // by sanitised name
std::set<std::string> gSimulatedOthers;     // by sanitised name

// Letters (folded to lower case), digits, '-' and '_' stay; any other byte
// becomes %XX, so distinct class names give distinct files.
std::string SanitisedName(const std::string& className) {
  std::string result;
  for (unsigned char c : className) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
      result += static_cast<char>(c);
    } else if (c >= 'A' && c <= 'Z') {
      result += static_cast<char>(c - 'A' + 'a');
    } else {
      char hex[4];
      std::snprintf(hex, sizeof(hex), "%%%02X", c);
      result += hex;
    }
  }
  return result;
}

std::string LockFolder() {
  for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/' && access(value, W_OK | X_OK) == 0) return value;
  }
  return "/tmp";
}

std::string LockPath(const std::string& sanitised) { return LockFolder() + "/qzlib-instance-" + sanitised + ".lock"; }

// Whether fd is still the file at path (the holder unlinks it on release).
bool IsCurrentFile(int fd, const std::string& path) {
  struct stat byFd {};
  struct stat byPath {};
  return fstat(fd, &byFd) == 0 && stat(path.c_str(), &byPath) == 0 && byFd.st_dev == byPath.st_dev &&
         byFd.st_ino == byPath.st_ino;
}

// The lock fd, or -1 when another process holds the lock or the file cannot
// be made. A file unlinked by its previous holder between our open and our
// lock is opened again.
int TakeLockFile(const std::string& path) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
      OutputDebugStringA("instance lock: cannot open the lock file\n");
      return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      return -1;
    }
    if (IsCurrentFile(fd, path)) return fd;
    close(fd);
  }
  return -1;
}

// At exit: the files of locks still held go, as their release would remove
// them (the kernel drops the locks themselves).
void RemoveHeldLockFiles() {
  std::lock_guard<std::mutex> lock(gInstanceMutex);
  for (const auto& [name, held] : gHeld) {
    if (held.fd >= 0) unlink(LockPath(name).c_str());
  }
}

}  // namespace

void AcquireInstanceLock(const std::string& className) {
  const std::string name = SanitisedName(className);
  std::lock_guard<std::mutex> lock(gInstanceMutex);
  HeldLock& held = gHeld[name];
  ++held.users;
  if (held.fd >= 0) return;
  // When another copy holds it, ours stays a window without the lock.
  held.fd = TakeLockFile(LockPath(name));
  static const bool removedAtExit = std::atexit(RemoveHeldLockFiles) == 0;
  (void)removedAtExit;
}

void ReleaseInstanceLock(const std::string& className) {
  const std::string name = SanitisedName(className);
  std::lock_guard<std::mutex> lock(gInstanceMutex);
  auto it = gHeld.find(name);
  if (it == gHeld.end()) return;
  if (--it->second.users > 0) return;
  if (it->second.fd >= 0) {
    // Unlink before unlocking, so a waiter never locks a file that is gone.
    unlink(LockPath(name).c_str());
    flock(it->second.fd, LOCK_UN);
    close(it->second.fd);
  }
  gHeld.erase(it);
}

bool IsInstanceLockedElsewhere(const std::string& className) {
  const std::string name = SanitisedName(className);
  std::lock_guard<std::mutex> lock(gInstanceMutex);
  if (gSimulatedOthers.count(name) != 0) return true;
  if (gHeld.count(name) != 0 && gHeld[name].fd >= 0) return false;
  const std::string path = LockPath(name);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool taken = flock(fd, LOCK_EX | LOCK_NB) == 0;
  const bool busy = !taken && errno == EWOULDBLOCK;
  const bool current = IsCurrentFile(fd, path);
  // A file nobody locks was left by a copy that died: holding its lock, we
  // remove it as its holder would have.
  if (taken && current) unlink(path.c_str());
  close(fd);  // closing drops the lock we may have taken for the test
  return busy && current;
}

void SimulateOtherInstance(const char* className, bool running) {
  if (className == nullptr) return;
  const std::string name = SanitisedName(className);
  std::lock_guard<std::mutex> lock(gInstanceMutex);
  if (running) {
    gSimulatedOthers.insert(name);
  } else {
    gSimulatedOthers.erase(name);
  }
}

}  // namespace plat
