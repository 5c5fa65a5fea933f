#include "tools/json.h"

#include <cstdio>

std::string Latin1ToUtf8(std::string_view Latin1) {
  std::string Utf8;
  Utf8.reserve(Latin1.size());
  for (const char Char : Latin1) {
    const auto Code = static_cast<unsigned char>(Char);
    if (Code < 0x80) {
      Utf8 += Char;
      continue;
    }
    Utf8 += static_cast<char>(0xC0 | Code >> 6);
    Utf8 += static_cast<char>(0x80 | (Code & 0x3F));
  }
  return Utf8;
}

std::string JsonString(std::string_view Latin1) {
  std::string Json = "\"";
  for (const char Char : Latin1ToUtf8(Latin1)) {
    const auto Code = static_cast<unsigned char>(Char);
    if (Char == '"' || Char == '\\') {
      Json += '\\';
      Json += Char;
    } else if (Char == '\n') {
      Json += "\\n";
    } else if (Code < 0x20 || Code == 0x7F) {
      char Escape[8];
      std::snprintf(Escape, sizeof Escape, "\\u%04x", Code);
      Json += Escape;
    } else {
      Json += Char;
    }
  }
  return Json + '"';
}
