// The game tests' script player: the one the screenshot tool plays on too,
// kept under tools/ so that the tool needs nothing of the tests.
#pragma once

#include "tools/scripted_play.h"
