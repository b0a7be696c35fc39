// Files and folders a process names after itself (a prefix, its pid, then
// "_" and anything or nothing) outlive it when it is killed; the next process
// to use the folder removes those whose process has ended.
#pragma once

#include <string>

namespace plat {

// The name a process of this pid gives its own entries: prefix + pid.
std::string NameOfThisProcess(const std::string& prefix);
// Removes the entries of the POSIX folder named prefix + pid (+ "_" + rest)
// whose process no longer exists (one that exists but may not be signalled
// counts as alive); returns how many were removed. Other names are left.
int RemoveLeftoversOfEndedProcesses(const std::string& posixFolder, const std::string& prefix);

}  // namespace plat
