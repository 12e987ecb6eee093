#include "kernel/model/mbcs.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

int mbcs_char_len(const char* p) {
  if (!p || *p == '\0') return 0;
  return std::mblen(p, 2);
}

int mbcs_char_step(const char* p) {
  const int n = mbcs_char_len(p);
  return n < 0 ? 1 : n;
}

const char* mbcs_prev_char(const char* start, const char* pos) {
  assert(start && pos && pos >= start);
  const char* p = start;
  while (p < pos) {
    const int step = mbcs_char_step(p);
    if (step == 0) break;  // the end of the string lies before pos
    if (p + step == pos) return p;
    p += step;
  }
  return pos;
}

void mbcs_blank_controls(char* s) {
  if (!s) return;
  for (char* p = s; *p; ++p) {
    if (static_cast<unsigned char>(*p) < 32 && mbcs_char_len(p) == 1) *p = ' ';
  }
}

const char* str_find(const char* haystack, const char* needle) {
  if (!haystack || !needle) return nullptr;
  return std::strstr(haystack, needle);
}
