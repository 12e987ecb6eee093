#include "platform/mac_roman.h"

#include <algorithm>
#include <array>
#include <utility>

#include <QList>

#include "platform/mac_roman_qt.h"

namespace {

// Code points of the bytes 0x80..0xFF; the lower half is ASCII.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// (code point, byte) pairs of the upper half sorted by code point, for the
// reverse lookup.
const std::array<std::pair<char16_t, unsigned char>, 128>& reverse_table() {
  static const auto table = [] {
    std::array<std::pair<char16_t, unsigned char>, 128> t{};
    for (int i = 0; i < 128; ++i) t[i] = {kHighHalf[i], static_cast<unsigned char>(0x80 + i)};
    std::sort(t.begin(), t.end());
    return t;
  }();
  return table;
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

char32_t mac_roman_to_unicode(unsigned char byte) {
  return byte < 0x80 ? char32_t{byte} : char32_t{kHighHalf[byte - 0x80]};
}

unsigned char unicode_to_mac_roman(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  if (cp > 0xFFFF) return 0;
  const auto& t = reverse_table();
  auto it = std::lower_bound(t.begin(), t.end(), std::pair<char16_t, unsigned char>{static_cast<char16_t>(cp), 0});
  return (it != t.end() && it->first == cp) ? it->second : 0;
}

char32_t unit_text_code_point(unsigned char byte) {
  switch (byte) {
    case 0xB2: return 0x00B2;
    case 0xB3: return 0x00B3;
    case 0xFB: return 0x00B0;
    default: return mac_roman_to_unicode(byte);
  }
}

std::string unit_text_to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) append_utf8(out, unit_text_code_point(static_cast<unsigned char>(c)));
  return out;
}

std::string mac_roman_to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) append_utf8(out, mac_roman_to_unicode(static_cast<unsigned char>(c)));
  return out;
}

std::string utf8_to_mac_roman(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 9;
    bool ok = extra <= 3 && i + extra < text.size();
    char32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; ok && k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    i += extra + 1;
    const unsigned char m = unicode_to_mac_roman(cp);
    out += (m != 0 || cp == 0) ? static_cast<char>(m) : '?';
  }
  return out;
}

QString mac_roman_to_qstring(std::string_view text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (char c : text) out += QChar(static_cast<char16_t>(mac_roman_to_unicode(static_cast<unsigned char>(c))));
  return out;
}

QString unit_text_to_qstring(std::string_view text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (char c : text) out += QChar(static_cast<char16_t>(unit_text_code_point(static_cast<unsigned char>(c))));
  return out;
}

std::string qstring_to_mac_roman(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (char32_t cp : text.toUcs4()) {
    const unsigned char m = unicode_to_mac_roman(cp);
    out += (m != 0 || cp == 0) ? static_cast<char>(m) : '?';
  }
  return out;
}
