// Conversion between the library's code page (Shift-JIS unless chosen
// otherwise) and UTF-8: leniently for titles, the clipboard, typed text and
// dropped file names (bytes that do not convert become '?', so no text is lost
// whole), exactly for the names the file stand-in hands to the file system.
#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/text_codepage.h"
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

// Converts the whole text; an invalid or cut-off sequence gives false when
// exact, else one '?' for its first byte and the conversion goes on.
bool Convert(std::string_view text, const std::string& from, const std::string& to, bool exact,
             std::string* result) {
  result->clear();
  // ASCII is the same in every code page the library uses: no converter needed.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    result->assign(text);
    return true;
  }
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    result->assign(text);
    return true;
  }
  std::size_t inLeft = text.size();
  char* in = const_cast<char*>(text.data());
  char chunk[256];
  bool converted = true;
  while (inLeft > 0) {
    char* out = chunk;
    std::size_t outLeft = sizeof(chunk);
    const std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
    result->append(chunk, sizeof(chunk) - outLeft);
    if (done != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (exact) {
      converted = false;
      break;
    }
    *result += '?';
    ++in;
    --inLeft;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  char* out = chunk;
  std::size_t outLeft = sizeof(chunk);
  iconv(converter, nullptr, nullptr, &out, &outLeft);
  result->append(chunk, sizeof(chunk) - outLeft);
  iconv_close(converter);
  return converted;
}

std::string ConvertLeniently(const char* text, const std::string& from, const std::string& to) {
  std::string result;
  if (text != nullptr) Convert(text, from, to, false, &result);
  return result;
}

}  // namespace

void SetCodePageForText(std::uint32_t codePage) { gCodePage.store(codePage == 0 ? 932 : codePage); }

std::string CodePageToUtf8(const char* text) { return ConvertLeniently(text, IconvName(gCodePage.load()), "UTF-8"); }

std::string Utf8ToCodePage(const char* utf8) { return ConvertLeniently(utf8, "UTF-8", IconvName(gCodePage.load())); }

bool CodePageToUtf8Exact(std::string_view text, std::string* utf8) {
  return Convert(text, IconvName(gCodePage.load()), "UTF-8", true, utf8);
}

bool Utf8ToCodePageExact(std::string_view utf8, std::string* text) {
  const std::string codePage = IconvName(gCodePage.load());
  if (!Convert(utf8, "UTF-8", codePage, true, text)) return false;
  // Several characters share one code (CP932 takes "¥" for "\" and both
  // wave dashes for 0x8160): only a text that converts back unchanged names
  // the same file.
  std::string back;
  return Convert(*text, codePage, "UTF-8", true, &back) && back == utf8;
}

}  // namespace plat
