#include "platform/rtf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

int index_of(std::vector<std::string>& table, const std::string& name) {
  const auto it = std::find(table.begin(), table.end(), name);
  if (it != table.end()) return static_cast<int>(it - table.begin());
  table.push_back(name);
  return static_cast<int>(table.size()) - 1;
}

// A font name as RTF text: its braces, backslashes and semicolons escaped
// away, so a name cannot end the table early.
std::string escaped_name(const std::string& name) {
  std::string out;
  for (const char c : name)
    if (c != '{' && c != '}' && c != '\\' && c != ';' && static_cast<unsigned char>(c) >= 32) out += c;
  return out.empty() ? std::string("Helvetica") : out;
}

void append_text(std::string& out, const std::u16string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\n' || c == u'\r' || c == 0x2029) {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out += "\\par\n";
    } else if (c == u'\t') {
      out += "\\tab ";
    } else if (c == u'\\' || c == u'{' || c == u'}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 32) {
      continue;
    } else if (c < 128) {
      out += static_cast<char>(c);
    } else {
      char buffer[24];
      std::snprintf(buffer, sizeof buffer, "\\u%d?", static_cast<int>(static_cast<int16_t>(c)));
      out += buffer;
    }
  }
}

}  // namespace

std::string write_rtf(const std::vector<rtf_run>& runs) {
  std::vector<std::string> fonts;
  std::vector<uint32_t> colors;
  for (const rtf_run& r : runs) {
    index_of(fonts, escaped_name(r.font));
    if (r.has_color && std::find(colors.begin(), colors.end(), r.color & 0xFFFFFF) == colors.end())
      colors.push_back(r.color & 0xFFFFFF);
  }
  if (fonts.empty()) fonts.push_back("Helvetica");
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\n{\\fonttbl";
  for (size_t i = 0; i < fonts.size(); ++i) out += "{\\f" + std::to_string(i) + "\\fnil " + fonts[i] + ";}";
  out += "}\n{\\colortbl;";
  for (const uint32_t c : colors) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "\\red%u\\green%u\\blue%u;", (c >> 16) & 255u, (c >> 8) & 255u, c & 255u);
    out += buffer;
  }
  out += "}\n";
  for (const rtf_run& r : runs) {
    const int font = index_of(fonts, escaped_name(r.font));
    const double size = std::isfinite(r.size) ? std::clamp(r.size, 1.0, 1638.0) : 12.0;
    int color = 0;
    if (r.has_color)
      color = static_cast<int>(std::find(colors.begin(), colors.end(), r.color & 0xFFFFFF) - colors.begin()) + 1;
    out += "{\\f" + std::to_string(font) + "\\fs" + std::to_string(static_cast<int>(std::lround(size * 2))) +
           "\\cf" + std::to_string(color);
    if (r.bold) out += "\\b";
    if (r.italic) out += "\\i";
    if (r.underline) out += "\\ul";
    if (r.script > 0) out += "\\super";
    if (r.script < 0) out += "\\sub";
    out += ' ';
    append_text(out, r.text);
    out += "}";
  }
  out += "}\n";
  return out;
}
