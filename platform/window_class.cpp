// Window classes: a process-wide table of names and window procedures, as
// RegisterClassExA and UnregisterClassA keep it (names ignore ASCII case).
#include <mutex>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

std::mutex gClassMutex;
std::vector<ClassRecord> gClasses;
std::uint16_t gNextAtom = 0xC000;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameClassName(const std::string& a, const char* b) {
  if (b == nullptr) return false;
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return i == a.size() && b[i] == '\0';
}

bool LookupWindowClass(const char* className, ClassRecord* record) {
  std::lock_guard<std::mutex> lock(gClassMutex);
  for (const ClassRecord& entry : gClasses) {
    if (SameClassName(entry.name, className)) {
      if (record != nullptr) *record = entry;
      return true;
    }
  }
  return false;
}

std::uint16_t RegisterClassExA(const WindowClass* windowClass) {
  if (windowClass == nullptr || windowClass->className == nullptr || windowClass->className[0] == '\0' ||
      windowClass->procedure == nullptr) {
    OutputDebugStringA("RegisterClassExA: bad class description\n");
    return 0;
  }
  std::lock_guard<std::mutex> lock(gClassMutex);
  for (const ClassRecord& entry : gClasses) {
    if (SameClassName(entry.name, windowClass->className)) return 0;
  }
  ClassRecord record;
  record.name = windowClass->className;
  record.style = windowClass->style;
  record.procedure = windowClass->procedure;
  record.iconId = windowClass->iconId;
  gClasses.push_back(record);
  const std::uint16_t atom = gNextAtom;
  gNextAtom = static_cast<std::uint16_t>(gNextAtom == 0xFFFF ? 0xC000 : gNextAtom + 1);
  return atom;
}

BOOL UnregisterClassA(const char* className) {
  if (className == nullptr) return FALSE;
  // A class with live windows stays, as the system keeps it.
  for (HWND window : WindowsOfThread(0)) {
    if (SameClassName(window->className, className)) return FALSE;
  }
  std::lock_guard<std::mutex> lock(gClassMutex);
  for (auto it = gClasses.begin(); it != gClasses.end(); ++it) {
    if (SameClassName(it->name, className)) {
      gClasses.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace plat
