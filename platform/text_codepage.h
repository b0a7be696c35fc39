// Exact conversions between the library's code page and UTF-8, for names that
// cross to the file system: where the lenient ones in window.h put '?' for
// what does not convert, these refuse the whole text.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// False when a byte sequence has no form on the other side, or (towards the
// code page) no form that converts back to the same text; out is then
// unspecified. Without a converter for the code page the bytes pass unchanged.
bool CodePageToUtf8Exact(std::string_view text, std::string* utf8);
bool Utf8ToCodePageExact(std::string_view utf8, std::string* text);

}  // namespace plat
