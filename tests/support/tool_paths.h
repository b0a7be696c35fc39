// Where the programs and files that tests use from outside this process are.
// They are compiled into one source the build generates, not passed as
// definitions to every test file: a copy of the tree in another folder (the
// mutation check's extra trees) then recompiles that one file alone.
#pragma once

namespace qz::testing {

extern const char* const kNetEchoPath;          // the echo server program
extern const char* const kGameScreenshotsPath;  // the screenshot tool
extern const char* const kNetworkTestFolder;    // tests/network, for its Python client
extern const char* const kSharedTestDataFolder;  // third-party test files, when present

}  // namespace qz::testing
