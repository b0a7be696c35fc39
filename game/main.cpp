// The program: the game's entry, started with no arguments read.
#include "game/game_entry.h"

int main() { return RunGame() == 0 ? 0 : 1; }
