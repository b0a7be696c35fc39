// Dropped files: WM_DROPFILES carries a handle to the list of names, read
// with DragQueryFileA and freed with DragFinish. Names are handed over in
// library form: code-page text with "\\" separators.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/debug_output.h"
#include "platform/window_internal.h"

namespace plat {
namespace {

struct DropList {
  std::vector<std::string> names;
};

std::mutex gDropMutex;
std::set<DropList*> gDrops;

std::string LibraryForm(const std::string& utf8Path) {
  std::string name = Utf8ToCodePage(utf8Path.c_str());
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

}  // namespace

void DeliverDroppedFiles(HWND window, const std::vector<std::string>& utf8Paths) {
  if (!IsLiveWindow(window) || utf8Paths.empty()) return;
  auto* drop = new DropList;
  for (const std::string& path : utf8Paths) drop->names.push_back(LibraryForm(path));
  {
    std::lock_guard<std::mutex> lock(gDropMutex);
    gDrops.insert(drop);
  }
  if (!PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) DragFinish(drop);
}

std::uint32_t DragQueryFileA(DropHandle drop, std::uint32_t index, char* buffer, std::uint32_t bufferSize) {
  std::lock_guard<std::mutex> lock(gDropMutex);
  auto* list = static_cast<DropList*>(drop);
  if (gDrops.count(list) == 0) {
    OutputDebugStringA("DragQueryFileA: bad drop handle\n");
    return 0;
  }
  if (index == 0xFFFFFFFFu) return static_cast<std::uint32_t>(list->names.size());
  if (index >= list->names.size()) return 0;
  const std::string& name = list->names[index];
  if (buffer == nullptr) return static_cast<std::uint32_t>(name.size());
  if (bufferSize == 0) return 0;
  const std::size_t copied = std::min<std::size_t>(name.size(), bufferSize - 1);
  std::memcpy(buffer, name.data(), copied);
  buffer[copied] = '\0';
  return static_cast<std::uint32_t>(copied);
}

void DragFinish(DropHandle drop) {
  std::lock_guard<std::mutex> lock(gDropMutex);
  auto* list = static_cast<DropList*>(drop);
  if (gDrops.erase(list) != 0) delete list;
}

}  // namespace plat
