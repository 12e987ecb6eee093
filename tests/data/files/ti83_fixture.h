// Builds TI-83 Plus figure files byte by byte from the record layouts, for
// the import tests: version 2 as the export writes it, and version 1, for
// which the program has no writer and there are no sample files.
//
// Version 2: records 0 to 4 are the origin, the two unit points and the two
// axes; coordinates are signed 24-bit at 6 + 3k. Version 1: records 0 to 2
// are the origin (pixel column and row in bytes 6 and 7) and the two axes;
// coordinates are signed 16-bit sixteenths of a pixel at 10 + 2k.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct ti83_fixture {
  using record = std::array<uint8_t, 18>;
  int version;
  std::vector<record> records;
  uint8_t shown;

  explicit ti83_fixture(int v) : version(v), shown(v == 2 ? 2 : 4) {
    if (version == 2) {
      at(add(1, 0, 255, 255, 255, 1 | 4 | 8), 12032, 7936);
      at(add(1, 1, 255, 255, 255, 1), 12032 + 8192, 7936);
      at(add(1, 1, 255, 255, 255, 1), 12032, 7936 - 8192);
      record& x = records[static_cast<size_t>(add(4, 1, 0, 1, 255, 1 | 4 | 8))];
      x[17] = 1;
      record& y = records[static_cast<size_t>(add(4, 2, 0, 2, 255, 1 | 4 | 8))];
      y[17] = 4;
    } else {
      record& o = records[static_cast<size_t>(add(1, 0, 255, 255, 255, 2 | 32))];
      o[6] = 47;
      o[7] = 31;
      add(4, 1, 0, 255, 255, 32);
      add(4, 2, 0, 255, 255, 32);
    }
  }

  // Appends a record; flags default to shown (and, in version 2, styled).
  int add(uint8_t kind, uint8_t sub, uint8_t p1 = 255, uint8_t p2 = 255, uint8_t p3 = 255, int flags = -1) {
    record r{};
    r[0] = kind;
    r[1] = sub;
    r[2] = p1;
    r[3] = p2;
    r[4] = p3;
    r[5] = static_cast<uint8_t>(flags >= 0 ? flags : (version == 2 ? 2 | 4 | 8 : 4 | 32));
    records.push_back(r);
    return static_cast<int>(records.size()) - 1;
  }

  // Coordinates k (0: x, y; 1: the second pair) of record i.
  ti83_fixture& at(int i, int32_t x, int32_t y, int k = 0) {
    record& r = records[static_cast<size_t>(i)];
    if (version == 2) {
      put24(&r[static_cast<size_t>(6 + 6 * k)], x);
      put24(&r[static_cast<size_t>(9 + 6 * k)], y);
    } else {
      put16(&r[static_cast<size_t>(10 + 4 * k)], x);
      put16(&r[static_cast<size_t>(12 + 4 * k)], y);
      r[static_cast<size_t>(6 + 2 * k)] = static_cast<uint8_t>((x + 8) >> 4);
      r[static_cast<size_t>(7 + 2 * k)] = static_cast<uint8_t>((y + 8) >> 4);
    }
    return *this;
  }

  // Bytes of record i from `from` on.
  ti83_fixture& bytes_at(int i, int from, const std::string& b) {
    for (size_t k = 0; k < b.size() && from + k < 18; ++k)
      records[static_cast<size_t>(i)][from + k] = static_cast<uint8_t>(b[k]);
    return *this;
  }
  ti83_fixture& byte(int i, int at, int value) {
    records[static_cast<size_t>(i)][static_cast<size_t>(at)] = static_cast<uint8_t>(value);
    return *this;
  }

  // The whole file; `count` overrides the count byte.
  std::string file(int count = -1, const std::string& comment = "fixture") const {
    const size_t n = records.size();
    std::string f(84 + 18 * n + 2, '\0');
    auto* b = reinterpret_cast<uint8_t*>(f.data());
    std::memcpy(b, "**TI83F*", 8);
    b[8] = 0x1A;
    b[9] = 0x0A;
    std::memcpy(b + 11, comment.data(), std::min<size_t>(comment.size(), 42));
    const uint32_t data = static_cast<uint32_t>(f.size() - 57);
    put16(b + 53, static_cast<int32_t>(data));
    put16(b + 55, 13);
    put16(b + 57, static_cast<int32_t>(data - 17));
    b[59] = 0x15;
    std::memcpy(b + 60, "FIXTURE", 7);
    put16(b + 70, static_cast<int32_t>(data - 17));
    put16(b + 72, static_cast<int32_t>(data - 19));
    std::memcpy(b + 74, version == 2 ? "ZoVef" : "ZoVeF", 5);
    if (version == 2) {
      b[79] = 2, b[80] = 0, b[81] = 47, b[82] = 31;
    } else {
      b[79] = 0, b[80] = 153, b[81] = 47, b[82] = 225;
    }
    b[83] = static_cast<uint8_t>(count >= 0 ? count : static_cast<int>(n % 256));
    for (size_t i = 0; i < n; ++i) std::memcpy(b + 84 + 18 * i, records[i].data(), 18);
    uint16_t sum = 0;
    for (size_t k = 55; k < 84 + 18 * n; ++k) sum = static_cast<uint16_t>(sum + b[k]);
    put16(b + 84 + 18 * n, sum);
    return f;
  }

  static void put24(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u), p[1] = static_cast<uint8_t>(u >> 8), p[2] = static_cast<uint8_t>(u >> 16);
  }
  static void put16(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u), p[1] = static_cast<uint8_t>(u >> 8);
  }
};
