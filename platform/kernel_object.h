// Kernel objects of the stand-in (files, events, threads, searches) share one
// base so a single CloseHandle closes any of them, as the callers expect.
#pragma once

#include "platform/win_types.h"

namespace plat {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Wraps a new object as a handle; the handle owns it.
inline Handle ToHandle(KernelObject* object) { return object; }

// The object behind a handle when it is of type T, else null.
template <typename T>
T* FromHandle(Handle handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return dynamic_cast<T*>(static_cast<KernelObject*>(handle));
}

// Closes files, events and threads (searches close with FindClose).
BOOL CloseHandle(Handle object);

}  // namespace plat
