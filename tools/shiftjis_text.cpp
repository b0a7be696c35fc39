// Turns a UTF-8 text list into a header of Shift-JIS (code page 932) byte
// strings. Input lines are `Name "text"` with C escapes (\n \t \" \\) inside
// the quotes; blank lines and lines starting with '#' are skipped.
// Every non-ASCII byte is written as a three-digit octal escape, which can
// never run into the character after it.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

bool Unescape(const std::string& quoted, std::string& out) {
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    char c = quoted[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == quoted.size()) return false;
    switch (quoted[i]) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      default: return false;
    }
  }
  return true;
}

bool ToShiftJis(iconv_t cd, const std::string& utf8, std::string& out) {
  std::string buffer(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* dst = buffer.data();
  std::size_t dstLeft = buffer.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &in, &inLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
  out.assign(buffer.data(), buffer.size() - dstLeft);
  return true;
}

std::string CLiteral(const std::string& bytes) {
  std::string s = "\"";
  for (unsigned char c : bytes) {
    if (c == '\n') s += "\\n";
    else if (c == '\r') s += "\\r";
    else if (c == '\t') s += "\\t";
    else if (c == '"' || c == '\\') { s += '\\'; s += static_cast<char>(c); }
    else if (c == '?') s += "\\?";  // no trigraph surprises
    else if (c >= 0x20 && c < 0x7F) s += static_cast<char>(c);
    else {
      char oct[8];
      std::snprintf(oct, sizeof oct, "\\%03o", c);
      s += oct;
    }
  }
  return s + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: shiftjis_text INPUT.txt OUTPUT.h\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << argv[1] << ": cannot open\n";
    return 1;
  }
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    std::cerr << "iconv has no CP932 converter\n";
    return 1;
  }
  std::ostringstream header;
  header << "// Generated from " << argv[1] << " by shiftjis_text; do not edit.\n"
         << "#pragma once\n\nnamespace qz::text {\n";
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    std::size_t nameEnd = line.find_first_of(" \t", start);
    std::size_t open = line.find('"', nameEnd == std::string::npos ? start : nameEnd);
    std::size_t close = line.rfind('"');
    std::string text, bytes;
    if (nameEnd == std::string::npos || open == std::string::npos || close <= open ||
        !Unescape(line.substr(open + 1, close - open - 1), text) || !ToShiftJis(cd, text, bytes)) {
      std::cerr << argv[1] << ":" << lineNumber << ": bad entry\n";
      return 1;
    }
    header << "inline constexpr char " << line.substr(start, nameEnd - start) << "[] = " << CLiteral(bytes)
           << ";\n";
  }
  header << "}  // namespace qz::text\n";
  iconv_close(cd);
  std::ofstream out(argv[2], std::ios::binary);
  out << header.str();
  return out ? 0 : 1;
}
