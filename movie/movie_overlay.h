// The overlay road of movies in display mode 1: placing, re-placing and
// hiding their DirectDraw overlay over the main window.
#pragma once

namespace qz {

struct MovieRecord;

// Places the record's overlay (see ShowMovieOverlay); 0.
int PlaceMovieOverlay(MovieRecord* record, int x, int y, int scale, int show);
// Hides a shown overlay, at close.
void HideMovieOverlay(MovieRecord* record);
bool ShowsMovieOverlay(const MovieRecord* record);

}  // namespace qz
