// Networking never starts in this program (no connection is ever opened), so
// each call returns at once; the calls are recorded for tests of their order.
#include "network/network_services.h"

#include "core/call_trace.h"

namespace qz {

int EndNetwork() {
  RecordCall("EndNetwork");
  return 0;
}

int PumpNetworkMessages(int) {
  RecordCall("PumpNetworkMessages");
  return 0;
}

plat::LRESULT OnSocketEvent(plat::LPARAM, plat::WPARAM) {
  RecordCall("OnSocketEvent");
  return 0;
}

}  // namespace qz
