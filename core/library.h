// The library's public entries and its fatal exit.
#pragma once

namespace qz {

// 0 on success, -1 on failure; a repeated start returns 0.
int InitLibraryEntry();
// -1 once the library must end, else 0.
int PumpMessagesEntry();
int EndLibraryEntry();

// Logs the message, ends the library and the process (exit code 255).
[[noreturn]] void FatalErrorExit(const char* message);
[[noreturn]] void FatalErrorExitFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The end request: set when the library must end (window closing).
int GetEndRequest();
void SetEndRequest(int state);

// How many times the pump entry has run (tests count pumping with it).
int GetPumpPassCount();

}  // namespace qz
