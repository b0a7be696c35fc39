// Clipboard text in the library's code page. Copies out are bounded by the
// caller's buffer, since the clipboard may change between a size query and
// the copy that follows it.
#include <cstring>
#include <string>

#include "core/log.h"
#include "core/log_text.h"
#include "core/multibyte.h"
#include "core/window_services.h"

namespace qz {

int CopyClipboardTextOut(char* buffer, int bufferSize) {
  std::string text;
  if (!plat::GetClipboardTextBytes(&text)) return -1;
  // The clipboard's text ends at its first zero byte.
  const std::size_t length = std::strlen(text.c_str());
  if (buffer == nullptr) return static_cast<int>(length + 1);
  if (bufferSize <= 0) return AppendLogFormat(text::kWindowServiceBadArgument, "CopyClipboardTextOut");
  std::size_t copied = 0;
  // Whole characters only: a lead byte whose trail does not fit is left out.
  while (copied < length) {
    const std::size_t step = (IsCurrentLeadByte(static_cast<unsigned char>(text[copied])) && copied + 1 < length) ? 2 : 1;
    if (copied + step > static_cast<std::size_t>(bufferSize) - 1) break;
    copied += step;
  }
  std::memcpy(buffer, text.data(), copied);
  buffer[copied] = '\0';
  return 0;
}

int PutTextOnClipboard(const char* text) {
  if (text == nullptr) return AppendLogFormat(text::kWindowServiceBadArgument, "PutTextOnClipboard");
  if (!plat::SetClipboardTextBytes(text)) return AppendLogText(text::kClipboardSetFailed);
  return 0;
}

}  // namespace qz
