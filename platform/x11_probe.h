// Why an X display would not open, asked of the display itself: SDL says only
// that it failed, and "no server there" and "a server there that will not let
// us in" call for different remedies.
#pragma once

#include <string>

namespace plat {

enum class X11ProbeResult {
  kNoServer,      // nothing listens where the display name points
  kRefused,       // a server answered and refused the connection
  kNoAnswer,      // a server took the connection but did not answer in time (grabbed or hung)
  kAccepted,      // a server accepted the connection
  kUnparsable,    // the display name is not [host]:number[.screen]
};

// Connects to the X server the display name (":0", "unix:1.0", "host:2")
// names and sends the connection setup, waiting at most timeoutMs for the
// answer. *serverReason gets a refusing server's own words.
X11ProbeResult ProbeX11Display(const std::string& display, int timeoutMs, std::string* serverReason);

// The probe's result in a few English words for the display named "DISPLAY=..."
// (e.g. "an X server answers there but did not let us in within 3 s; another
// program may hold it grabbed").
std::string DescribeX11Probe(X11ProbeResult result, int timeoutMs, const std::string& serverReason);

}  // namespace plat
