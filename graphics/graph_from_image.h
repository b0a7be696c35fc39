// Graphs made from decoded images: whole image files, sprite sheets cut into
// equal cells, and encoded images held in memory; refilling an existing graph
// from an image of its size; and drawing part of a graph through a temporary
// sub-graph.
#pragma once

#include <cstddef>

#include "image/base_image.h"

namespace qz {

// A new graph of the file, or -1. The game passes flag 0.
int ReadImageFileAsGraph(const char* fileName, int flag);
// Cuts the file into `total` cells of cellWidth x cellHeight, row by row, at
// most `across` per row and `down` rows; cell i goes to handles[i]. 0 or -1.
int ReadImageFileAsGraphGrid(const char* fileName, int total, int across, int down, int cellWidth, int cellHeight,
                             int* handles, int flag);
// As above with the flag as the graph layer takes it, and mirror 1 making
// each row of the array run right to left through the picture.
int ReadImageFileAsGraphGridCore(const char* fileName, int total, int across, int down, int cellWidth,
                                 int cellHeight, int* handles, int graphFlag, int mirror);

int BuildGraphFromBaseImages(BaseImage* image, BaseImage* alphaImage, int flag);
// Writes the image (same size as the graph) into the graph; 0 or -1.
int ReloadGraphFromBaseImage(BaseImage* image, BaseImage* alphaImage, int graph);
// As above without alpha; the image then becomes the graph's restore source.
int ReloadGraphFromBaseImageNoAlpha(BaseImage* image, int graph);
int CreateDivGraphFromGraphImage(BaseImage* image, BaseImage* alphaImage, int total, int across, int down,
                                 int cellWidth, int cellHeight, int* handles, int flag, int mirror);

// From an encoded image (and optional encoded alpha image) in memory.
int BuildGraphFromImageBytes(const void* block, std::size_t size, const void* alphaBlock, std::size_t alphaSize,
                             int flag, int mirror);
int RefillGraphFromImageBytes(const void* block, std::size_t size, int graph, const void* alphaBlock,
                              std::size_t alphaSize, int unused, int mirror);

// Draws the rectangle (sx, sy, w, h) of the graph stretched to (x1, y1)-(x2, y2); 0.
int DrawRegionViaTempGraph(float x1, float y1, float x2, float y2, int sx, int sy, int w, int h, int graph,
                           int trans);

}  // namespace qz
