// Full-path making in the library's Windows form. The walk is multi-byte
// aware: a trail byte equal to "\" (0x5C in Shift-JIS) is not a separator.
#include "core/path.h"

#include <cstring>
#include <string>

#include "core/file_access.h"
#include "core/log.h"
#include "core/log_text.h"
#include "core/multibyte.h"

namespace qz {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(const char* path) {
  unsigned char c = static_cast<unsigned char>(path[0]);
  return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':';
}

// The index of the last separator or ":" that is a character of its own (a
// trail byte equal to "\" ends a double-byte character); npos when none.
std::size_t LastBreak(const std::string& path) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsCurrentLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (IsSeparator(path[i]) || path[i] == ':') last = i;
  }
  return last;
}

bool EndsInSeparator(const std::string& path) {
  return !path.empty() && LastBreak(path) == path.size() - 1 && IsSeparator(path.back());
}

// Removes the last component, going back to the previous separator or ":"
// (a ":" stays, so a drive is never removed).
void RemoveLastComponent(std::string& result) {
  const std::size_t at = LastBreak(result);
  result.resize(at == std::string::npos ? 0 : result[at] == ':' ? at + 1 : at);
}

}  // namespace

void GetPathRoot(const char* path, char root[3]) {
  if (path != nullptr && HasDrive(path)) {
    root[0] = path[0];
    root[1] = ':';
    root[2] = '\0';
  } else {
    root[0] = '\0';
  }
}

int MakeFullPath(const char* relative, char* out, std::size_t outSize, const char* base) {
  std::string currentDirectory;
  if (base == nullptr) {
    char buffer[4096];
    if (FileAccessGetDir(buffer, sizeof buffer) != 0) return -1;
    currentDirectory = buffer;
    base = currentDirectory.c_str();
  }

  std::string result;
  const char* walk = relative;
  if (relative == nullptr) {
    result = base;
  } else if (IsSeparator(relative[0]) && IsSeparator(relative[1])) {
    result = "\\";
    walk = relative + 2;
  } else if (IsSeparator(relative[0])) {
    char root[3];
    GetPathRoot(base, root);
    result = root;
    walk = relative + 1;
  } else if (HasDrive(relative)) {
    char drive[3];
    GetPathRoot(relative, drive);
    result = drive;
    walk = relative + (IsSeparator(relative[2]) ? 3 : 2);
  } else {
    result = base;
    if (EndsInSeparator(result)) result.pop_back();
  }

  if (relative != nullptr) {
    std::string component;
    auto flush = [&] {
      if (component == "..") RemoveLastComponent(result);
      else if (!component.empty() && component != ".") {
        result.push_back('\\');
        result.append(component);
      }
      component.clear();
    };
    for (const char* p = walk; *p != '\0'; ++p) {
      if (IsCurrentLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
        component += p[0];
        component += p[1];
        ++p;
      } else if (IsSeparator(*p)) {
        flush();
      } else {
        component += *p;
      }
    }
    flush();
  }
  // The bare root ("" or "X:") is written with its separator.
  if (result.empty() || (result.size() == 2 && result[1] == ':')) result.push_back('\\');

  if (result.size() + 1 > outSize) {
    AppendLogFormat(text::kPathTooLong, result.size(), result.c_str());
    if (outSize > 0) out[0] = '\0';
    return -1;
  }
  std::memcpy(out, result.c_str(), result.size() + 1);
  return 0;
}

}  // namespace qz
