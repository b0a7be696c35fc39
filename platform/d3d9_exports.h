// The names under which "d3d9.dll" exports its two entry points. A test that
// takes an entry point away empties its name, so a lookup by name misses it
// as on a system without it.
#pragma once

namespace plat::d3d9 {

extern char gCreate9ExExportName[];
extern char gCreate9ExportName[];

}  // namespace plat::d3d9
