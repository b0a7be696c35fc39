// Conversion between the library's code page (Shift-JIS unless chosen
// otherwise) and UTF-8, for titles, the clipboard, typed text and dropped
// file names. Bytes that do not convert become '?', so no text is lost whole.
#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/window.h"

namespace plat {
namespace {

std::atomic<std::uint32_t> gCodePage{932};

std::string IconvName(std::uint32_t codePage) {
  if (codePage == 65001) return "UTF-8";
  char name[16];
  std::snprintf(name, sizeof(name), "CP%u", codePage);
  return name;
}

std::string Convert(const char* text, const std::string& from, const std::string& to) {
  if (text == nullptr) return std::string();
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return text;
  std::string result;
  std::size_t inLeft = std::strlen(text);
  char* in = const_cast<char*>(text);
  char chunk[256];
  while (inLeft > 0) {
    char* out = chunk;
    std::size_t outLeft = sizeof(chunk);
    const std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
    result.append(chunk, sizeof(chunk) - outLeft);
    if (done != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // An invalid or cut-off sequence: one '?' for its first byte, then on.
    result += '?';
    ++in;
    --inLeft;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  char* out = chunk;
  std::size_t outLeft = sizeof(chunk);
  iconv(converter, nullptr, nullptr, &out, &outLeft);
  result.append(chunk, sizeof(chunk) - outLeft);
  iconv_close(converter);
  return result;
}

}  // namespace

void SetCodePageForText(std::uint32_t codePage) { gCodePage.store(codePage == 0 ? 932 : codePage); }

std::string CodePageToUtf8(const char* text) { return Convert(text, IconvName(gCodePage.load()), "UTF-8"); }

std::string Utf8ToCodePage(const char* utf8) { return Convert(utf8, "UTF-8", IconvName(gCodePage.load())); }

}  // namespace plat
