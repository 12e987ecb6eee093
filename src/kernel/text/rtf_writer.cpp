#include "kernel/text/rtf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "kernel/render/fonts.h"
#include "kernel/text/text_record.h"
#include "platform/mac_roman.h"

namespace {

// Font names may hold only characters that need no escape in a font table.
std::string font_name(const std::string& name) {
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c >= 0x80 || c == '\\' || c == '{' || c == '}' || c == ';') continue;
    out.push_back(static_cast<char>(c));
  }
  return out.empty() ? std::string(kDefaultFaceName) : out;
}

void put_text(std::string* out, const std::u16string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n' || c == 0x2029) {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      *out += "\\par\n";
    } else if (c == u'\\' || c == u'{' || c == u'}') {
      *out += '\\';
      *out += static_cast<char>(c);
    } else if (c == u'\t') {
      *out += "\\tab ";
    } else if (c < 0x20) {
      continue;
    } else if (c < 0x80) {
      *out += static_cast<char>(c);
    } else {
      // \uN takes a signed 16-bit number.
      const auto code = static_cast<uint32_t>(c);
      const int32_t n = code > 0x7FFF ? static_cast<int32_t>(code) - 0x10000 : static_cast<int32_t>(code);
      *out += "\\u" + std::to_string(n);
      // The fallback for readers without Unicode: the Windows-1252 byte
      // where Latin-1 and it agree, else '?'.
      if (code >= 0xA0 && code <= 0xFF) {
        static const char hex[] = "0123456789abcdef";
        *out += "\\'";
        *out += hex[code >> 4];
        *out += hex[code & 15];
      } else {
        *out += '?';
      }
    }
  }
}

}  // namespace

std::string runs_to_rtf(const std::vector<rtf_run>& runs) {
  std::vector<std::string> fonts;
  std::vector<uint32_t> colors;
  auto font_index = [&fonts](const std::string& name) {
    const std::string clean = font_name(name);
    const auto it = std::find(fonts.begin(), fonts.end(), clean);
    if (it != fonts.end()) return static_cast<int>(it - fonts.begin());
    fonts.push_back(clean);
    return static_cast<int>(fonts.size()) - 1;
  };
  for (const rtf_run& r : runs) {
    font_index(r.font);
    if (r.has_color && std::find(colors.begin(), colors.end(), r.color & 0xFFFFFF) == colors.end())
      colors.push_back(r.color & 0xFFFFFF);
  }
  if (fonts.empty()) fonts.emplace_back(kDefaultFaceName);
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl";
  for (size_t i = 0; i < fonts.size(); ++i) out += "{\\f" + std::to_string(i) + "\\fnil " + fonts[i] + ";}";
  out += "}{\\colortbl;";
  for (const uint32_t c : colors)
    out += "\\red" + std::to_string((c >> 16) & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) + "\\blue" +
           std::to_string(c & 0xFF) + ";";
  out += "}\n\\pard\\plain";
  for (const rtf_run& r : runs) {
    const double size = std::isfinite(r.size) ? std::clamp(r.size, 1.0, 1638.0) : 12.0;
    int color = 0;
    if (r.has_color)
      color = static_cast<int>(std::find(colors.begin(), colors.end(), r.color & 0xFFFFFF) - colors.begin()) + 1;
    out += "{\\f" + std::to_string(font_index(r.font)) + "\\fs" + std::to_string(std::lround(size * 2)) + "\\cf" +
           std::to_string(color);
    if (r.bold) out += "\\b";
    if (r.italic) out += "\\i";
    if (r.underline) out += "\\ul";
    if (r.strike) out += "\\strike";
    if (r.script > 0) out += "\\super";
    if (r.script < 0) out += "\\sub";
    out += ' ';
    put_text(&out, r.text);
    out += "}";
  }
  out += "}";
  return out;
}

rtf_run record_rtf_run(const TErec* te) {
  rtf_run run;
  run.font = kDefaultFaceName;
  run.size = 12;
  run.has_color = true;
  if (te != nullptr) {
    if (te->format.font_id != 0) {
      if (const char* name = font_name_by_id(te->format.font_id); name != nullptr && *name != '\0') run.font = name;
    }
    if (te->format.size > 0 && te->format.size < 1000) run.size = te->format.size;
    run.bold = te->format.style & 1;
    run.italic = te->format.style & 2;
    run.underline = te->format.style & 4;
    run.strike = te->format.style & 128;
    run.color = te->format.color & 0x00FFFFFF;
  }
  return run;
}

std::string text_to_rtf(const char* text, size_t length, const TErec* te) {
  rtf_run run = record_rtf_run(te);
  for (size_t i = 0; text != nullptr && i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    run.text += c < 0x80 ? static_cast<char16_t>(c) : static_cast<char16_t>(mac_roman_to_unicode(c));
  }
  return runs_to_rtf({run});
}
