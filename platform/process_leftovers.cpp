#include "platform/process_leftovers.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace plat {
namespace {

// The pid a name of the form prefix + pid [+ "_" + rest] carries, else 0.
pid_t PidInName(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return 0;
  const std::size_t end = name.find('_', prefix.size());
  const std::string digits = name.substr(prefix.size(), end == std::string::npos ? end : end - prefix.size());
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return static_cast<pid_t>(std::stol(digits));
}

bool HasEnded(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

std::string NameOfThisProcess(const std::string& prefix) { return prefix + std::to_string(::getpid()); }

int RemoveLeftoversOfEndedProcesses(const std::string& posixFolder, const std::string& prefix) {
  int removed = 0;
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator(posixFolder, failed)) {
    const pid_t pid = PidInName(entry.path().filename().string(), prefix);
    if (pid <= 0 || !HasEnded(pid)) continue;
    std::error_code ignored;
    if (std::filesystem::remove_all(entry.path(), ignored) > 0) ++removed;
  }
  return removed;
}

}  // namespace plat
