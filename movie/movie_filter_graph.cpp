// The filter-graph road over the null backing: the graph factory fails, so a
// file that is not Ogg Theora fails to open with the factory's log line and
// leaves nothing behind.
#include "movie/movie_filter_graph.h"

#include "core/log.h"
#include "movie/movie_log_text.h"

namespace qz {

int OpenMovieWithDirectShow(MovieRecord*, const char*, int*, int*, int) {
  return AppendLogFormat("%s", text::kFilterGraphCreateFailed);
}

}  // namespace qz
