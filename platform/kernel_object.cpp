// CloseHandle for every kind of kernel object of the stand-in.
#include "platform/kernel_object.h"

namespace plat {

BOOL CloseHandle(Handle object) {
  if (object == nullptr || object == INVALID_HANDLE_VALUE) return FALSE;
  delete static_cast<KernelObject*>(object);
  return TRUE;
}

}  // namespace plat
