// Builds files of the old binary formats byte by byte from their layouts:
// the second figure format (little-endian, 84-byte records after a
// "figure version" line), the first (big-endian, a NUL-terminated header
// carrying a version number) and the 1,210-byte macro record. Tests describe
// the records; nothing here comes from a file of another program.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace old_files {

struct Point {
  double x = 0, y = 0, r = 0;
};

struct Record {
  uint16_t kind = 0;
  std::string name;
  int16_t box[4] = {};  // x0, y0, x1, y1
  Point points[4];
  uint16_t refs[4] = {};
  uint16_t color = 0;  // format 2: 1 red, 2 green, 3 blue; format 1: palette index
  bool hidden = false;
  bool thick = false;
  uint8_t style = 0;
  uint16_t number = 0;  // format 1 only
};

inline void le16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void le32(std::string& s, uint32_t v) {
  le16(s, v & 0xFFFF);
  le16(s, v >> 16);
}
inline void be16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  s.push_back(static_cast<char>(v & 0xFF));
}

inline std::string figure_v2(const std::vector<Record>& records, float origin_x = 0, float origin_y = 0,
                             const char* header = "figure version 1.7\r\n") {
  std::string s = header;
  uint32_t bits = 0;
  std::memcpy(&bits, &origin_y, 4);
  le32(s, bits);
  std::memcpy(&bits, &origin_x, 4);
  le32(s, bits);
  for (const Record& r : records) {
    le16(s, r.thick ? 1 : 0);
    le16(s, r.color);
    le16(s, 0);
    le16(s, r.style);
    le16(s, r.kind);
    char name[6] = {};
    std::memcpy(name, r.name.data(), std::min<size_t>(r.name.size(), 5));
    s.append(name, 6);
    for (int16_t v : r.box) le16(s, static_cast<uint16_t>(v));
    le16(s, r.hidden ? 1 : 0);
    le16(s, 0);
    for (const Point& p : r.points) {
      le32(s, static_cast<uint32_t>(static_cast<int32_t>(p.x * 256)));
      le32(s, static_cast<uint32_t>(static_cast<int32_t>(p.y * 256)));
      le32(s, static_cast<uint32_t>(static_cast<int32_t>(p.r * 256)));
    }
    for (uint16_t ref : r.refs) le16(s, ref);
  }
  return s;
}

// Format 1 for the version classes 2 to 7 (the colour byte only in class 7).
inline std::string figure_v1(const std::vector<Record>& records, const char* version, bool colour_byte = false,
                             uint16_t origin_x = 0, uint16_t origin_y = 0, const char* comment = nullptr) {
  std::string s = "Kelvo-planisto version ";
  s += version;
  s.push_back('\0');
  be16(s, origin_y);
  be16(s, origin_x);
  be16(s, static_cast<uint32_t>(records.size()));
  for (const Record& r : records) {
    s.append(4, '\0');
    s.push_back(static_cast<char>(r.style));
    s.push_back(static_cast<char>(r.kind));
    s.push_back(static_cast<char>(std::min<size_t>(r.name.size(), 6)));
    char name[6] = {};
    std::memcpy(name, r.name.data(), std::min<size_t>(r.name.size(), 6));
    s.append(name, 6);
    be16(s, static_cast<uint16_t>(r.box[1]));
    be16(s, static_cast<uint16_t>(r.box[0]));
    be16(s, static_cast<uint16_t>(r.box[3]));
    be16(s, static_cast<uint16_t>(r.box[2]));
    s.push_back(0);
    s.push_back(r.hidden ? 1 : 0);
    s.push_back(r.thick ? 1 : 0);
    if (colour_byte) s.push_back(static_cast<char>(r.color));
    for (const Point& p : r.points) {
      be16(s, static_cast<uint16_t>(p.y));
      be16(s, static_cast<uint16_t>(p.x));
    }
    for (uint16_t ref : r.refs) be16(s, ref);
    be16(s, r.number);
  }
  if (comment != nullptr) {
    s += comment;
    s.push_back('\0');
  }
  return s;
}

struct MacroStep {
  uint16_t kind = 0;
  bool final = true;
  uint16_t parents[4] = {};
};

inline std::string macro_v2(const std::string& name, const std::vector<uint16_t>& initials,
                            const std::vector<MacroStep>& steps, const std::string& help = "") {
  std::string s = "macro version 1.7\r\n";
  std::string rec(1210, '\0');
  std::memcpy(rec.data(), name.data(), std::min<size_t>(name.size(), 29));
  auto put16 = [&rec](size_t at, uint32_t v) {
    rec[at] = static_cast<char>(v & 0xFF);
    rec[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  put16(30, static_cast<uint32_t>(initials.size()));
  for (size_t i = 0; i < initials.size() && i < 10; ++i) put16(32 + 2 * i, initials[i]);
  put16(52, static_cast<uint32_t>(steps.size()));
  for (size_t k = 0; k < steps.size() && k < 50; ++k) {
    const size_t at = 54 + 18 * k;
    put16(at, steps[k].kind);
    put16(at + 2, steps[k].final ? 1 : 2);
    for (int j = 0; j < 4; ++j) put16(at + 10 + 2 * static_cast<size_t>(j), steps[k].parents[j]);
  }
  std::memcpy(rec.data() + 954, help.data(), std::min<size_t>(help.size(), 255));
  return s + rec;
}

}  // namespace old_files
