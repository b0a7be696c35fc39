// Mesh objects. Minimal until meshes are built: nothing to delete yet.
#include "graphics/mesh_objects.h"

#include "core/call_trace.h"

namespace qz {

int DeleteAllMeshObjects() {
  RecordCall("DeleteAllMeshObjects");
  return 0;
}

}  // namespace qz
