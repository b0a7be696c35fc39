// The filter-graph road, taken by every movie file that is not Ogg Theora.
#pragma once

namespace qz {

struct MovieRecord;

// 0 with the graph built and stopped, or -1 after one log line. This system
// has no filter graph to build (the graph factory is the null backing), so
// every such file fails with the factory's line.
int OpenMovieWithDirectShow(MovieRecord* record, const char* path, int* width, int* height, int displayMode);

}  // namespace qz
