// Mesh objects: the library end deletes every one left.
#pragma once

namespace qz {

int DeleteAllMeshObjects();

}  // namespace qz
