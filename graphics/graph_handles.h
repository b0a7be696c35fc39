// The graph handle table and the operations that create, derive, query and
// release graphs. Every other graph operation turns a handle into its record
// through GetGraphRecord.
#pragma once

#include <cstdint>

#include "graphics/graph_record.h"
#include "image/base_image.h"

namespace qz {

// A new slot whose record holds only its check number, handle and movie -1.
// Ends the program when the table is full.
GraphHandle AllocateGraphSlot();
// Creates the image and drawing information of an allocated slot. A mip level
// count of -1 takes the creation setting. 0, or -1 after releasing the graph.
int InitGraphRecord(int mipLevels, GraphHandle handle, int width, int height, int alpha, int palettised, int kind);

// `flag` is accepted for the game's calls and ignored.
GraphHandle CreateBlankGraph(int width, int height, int flag = 0);
// A graph of the image's size, format and mip levels; `alphaImage` (or null)
// must have the same size. `flag` is ignored. Handle or -1.
GraphHandle NewGraphForBaseImage(const BaseImage* image, const BaseImage* alphaImage, int flag = 0);
// A graph of a rectangle of `source` sharing its image; the rectangle is cut
// to the source's edges. Handle, 0 while drawing is switched off, or -1.
GraphHandle MakeSubRectGraph(int x, int y, int width, int height, GraphHandle source);
// Makes the allocated `handle` show (x, y, width, height) of the source's image. 0 or -1.
int SetupDerivedGraph(GraphHandle handle, GraphHandle source, int x, int y, int width, int height);

GraphRecord* GetGraphRecord(GraphHandle handle);
int IsValidGraphHandle(GraphHandle handle);
// The screen size for kBackScreenGraph and kFrontScreenGraph; each pointer may be null. 0 or -1.
int QueryGraphSize(GraphHandle handle, int* width, int* height);
// The flag (or null) is set to 0 now and to 1 when the graph is released. 0 or -1.
int AttachGraphDeletedFlag(GraphHandle handle, std::int32_t* flag);

// `flag` is accepted for the game's calls and ignored. 0 or -1.
int ReleaseGraph(GraphHandle handle, int flag = 0);
int ReleaseAllGraphs();
// After a rebuild that fell to the software path: every graph held in device
// textures gets a software image of its size instead (blank until reloaded
// from its source). 0, or -1 when an image could not be made.
int MoveGraphImagesToSoftware();

// Graphs in use, and one past the highest slot that may be in use.
int GetGraphCount();
int GetGraphEndSlot();
// The record in a slot, or null; for walks over every graph.
GraphRecord* GetGraphRecordAtSlot(int slot);

}  // namespace qz
