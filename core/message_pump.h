// The once-per-frame message pump.
#pragma once

namespace qz {

// -1 when the end request is set on return, else 0. While the window is
// inactive or minimised it does not return until it is active again or the
// program must end.
int PumpWindowMessages();

}  // namespace qz
