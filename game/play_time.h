// The play time, kept on the millisecond tick count, and the statistics the
// ending's score page and the upgrade result screen show.
#pragma once

#include <array>
#include <string>

// The one place the play time advances, shared by the save writer and the
// score page: folds the ticks since the last update into the play time
// (unsigned 32-bit, so a wrap of the tick count costs nothing).
void AdvancePlayTime();
// Advances the play time and rebuilds its text, "Play time:1h2m3s".
void FormatPlayTimeText();

// The six lines of the statistics block, top to bottom: the play-time text as
// it stands, game overs, Max MP, items, keys and chests.
std::array<std::string, 6> CollectionStatsLines();
// Draws those lines in white at x 176, y 160 to 360.
void DrawCollectionStats();
// "Upgrade items found:" and the owned flags 4 to 21, " / 18".
std::string UpgradeItemsLine();
