// A reader for the rich text that text records carry: runs of characters
// with their font, size, colour, faces and script. Plain C++, bounded in
// depth and time whatever the bytes: unbalanced braces, unknown or overlong
// control words, huge parameters, cut escapes and binary lengths past the
// end are read as far as they make sense, keeping what is readable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct rtf_run {
  std::u16string text;
  std::string font;      // family name from the font table ("" when none)
  double size = 12;      // points
  bool has_color = false;
  uint32_t color = 0;    // 0x00RRGGBB
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  int script = 0;        // 1 superscript, -1 subscript
};

struct rtf_document {
  std::vector<rtf_run> runs;
  bool is_rtf = false;  // the block starts with "{\rtf"
  // The characters of every run, one after another.
  std::u16string plain() const;
};

// Groups nest at most this deep; deeper groups keep the state they open in.
inline constexpr int kRtfMaxDepth = 64;

rtf_document read_rtf(const char* data, size_t size);
