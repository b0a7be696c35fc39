// The graph handle table: allocation, creation, derivation, query and release.
#include "graphics/graph_handles.h"

namespace qz {

GraphHandle AllocateGraphSlot() { return -1; }
int InitGraphRecord(int, GraphHandle, int, int, int, int, int) { return -1; }
GraphHandle CreateBlankGraph(int, int, int) { return -1; }
GraphHandle NewGraphForBaseImage(const BaseImage*, const BaseImage*, int) { return -1; }
GraphHandle MakeSubRectGraph(int, int, int, int, GraphHandle) { return -1; }
int SetupDerivedGraph(GraphHandle, GraphHandle, int, int, int, int) { return -1; }
GraphRecord* GetGraphRecord(GraphHandle) { return nullptr; }
int IsValidGraphHandle(GraphHandle) { return 0; }
int QueryGraphSize(GraphHandle, int*, int*) { return -1; }
int AttachGraphDeletedFlag(GraphHandle, std::int32_t*) { return -1; }
int ReleaseGraph(GraphHandle, int) { return -1; }
int ReleaseAllGraphs() { return 0; }
int GetGraphCount() { return 0; }
int GetGraphEndSlot() { return 0; }
int SplitIntoTextureSizes(int, int, int*) { return 0; }

}  // namespace qz
