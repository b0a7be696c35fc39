// The filter-graph road, taken by every movie file that is not Ogg Theora:
// a filter graph plays the file into the movie renderer filter.
#pragma once

namespace qz {

struct MovieRecord;

// 0 with the graph built and stopped, or -1 after one log line (nothing is
// left held). Width and height may be null.
int OpenMovieWithDirectShow(MovieRecord* record, const char* path, int* width, int* height, int displayMode);
// Hands a new frame of the renderer to the callback (borrowed, not copied)
// and applies the end rule at the stop position.
void UpdateFilterGraphMovie(MovieRecord* record);
// Hands the frame last delivered (if any) to the callback once more.
void RedeliverFilterGraphFrame(MovieRecord* record);
// Deletes the temporary copy and releases the graph, which ends the renderer.
int CloseFilterGraphMovie(MovieRecord* record);

}  // namespace qz
