// A per-process record of calls into subsystems that are not built yet, and
// a switch that makes a chosen start entry fail. Tests read the record to see
// which services the start, end, window procedure and pump reached, in order.
#pragma once

#include <string>
#include <vector>

namespace qz {

// Recording is off until a test turns it on, so long runs keep nothing.
void SetCallTraceEnabled(bool enabled);
void RecordCall(const char* name);
// The calls recorded since the last take, oldest first; clears the record.
std::vector<std::string> TakeCallTrace();

// Test hook: the entry of that name reports failure while the switch is on.
void SetCallFailureForTest(const char* name, bool fail);
bool IsCallFailingForTest(const char* name);

}  // namespace qz
