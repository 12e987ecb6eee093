#include "kernel/text/rtf_writer.h"

#include <cstdint>
#include <string_view>

#include "kernel/render/fonts.h"
#include "kernel/text/text_record.h"
#include "platform/mac_roman.h"

namespace {

// Font names may hold only characters that need no escape in a font table.
void put_font_name(std::string* out, const char* name) {
  for (const char* p = name; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c >= 0x80 || c == '\\' || c == '{' || c == '}' || c == ';') continue;
    out->push_back(static_cast<char>(c));
  }
}

}  // namespace

std::string text_to_rtf(const char* text, size_t length, const TErec* te) {
  const char* face = kDefaultFaceName;
  int32_t points = 12;
  uint16_t style = 0;
  uint32_t color = 0;
  if (te != nullptr) {
    if (te->format.font_id != 0) {
      if (const char* name = font_name_by_id(te->format.font_id); name != nullptr && *name != '\0') face = name;
    }
    if (te->format.size > 0 && te->format.size < 1000) points = te->format.size;
    style = te->format.style;
    color = te->format.color & 0x00FFFFFF;
  }
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil ";
  put_font_name(&out, face);
  out += ";}}{\\colortbl;\\red" + std::to_string((color >> 16) & 0xFF) + "\\green" +
         std::to_string((color >> 8) & 0xFF) + "\\blue" + std::to_string(color & 0xFF) + ";}\n";
  out += "\\pard\\plain\\f0\\fs" + std::to_string(points * 2) + "\\cf1";
  if (style & 1) out += "\\b";
  if (style & 2) out += "\\i";
  if (style & 4) out += "\\ul";
  if (style & 128) out += "\\strike";
  out += ' ';
  for (size_t i = 0; text != nullptr && i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < length && text[i + 1] == '\n') ++i;
      out += "\\par\n";
    } else if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\t') {
      out += "\\tab ";
    } else if (c < 0x20) {
      continue;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      // \uN takes a signed 16-bit number.
      const auto code = static_cast<uint32_t>(mac_roman_to_unicode(c));
      const int32_t n = code > 0x7FFF ? static_cast<int32_t>(code) - 0x10000 : static_cast<int32_t>(code);
      out += "\\u" + std::to_string(n);
      // The fallback for readers without Unicode: the Windows-1252 byte
      // where Latin-1 and it agree, else '?'.
      if (code >= 0xA0 && code <= 0xFF) {
        static const char hex[] = "0123456789abcdef";
        out += "\\'";
        out += hex[code >> 4];
        out += hex[code & 15];
      } else {
        out += '?';
      }
    }
  }
  out += "}";
  return out;
}
