// Graphs that show a movie: loading a movie file as a graph bound to its
// movie handle, and the frame callback that copies each frame into the graph.
#pragma once

#include <cstdint>

namespace qz {

struct MovieRecord;

// A graph of the movie's size (half the width, with alpha, for a movie whose
// right half is its alpha), or -1 after a log line.
int LoadMovieAsGraph(const char* fileName, int movieOption);
// The movie's frame callback; `graph` is the bound graph. 0 when there was
// nothing to copy or the graph is gone, else the result of the copy.
int CopyMovieFrameToGraph(MovieRecord* movie, std::int32_t graph);

}  // namespace qz
