#include "kernel/text/reference_marker.h"

#include <cstdio>

uint16_t parse_reference_marker(const char* at, uint16_t* length) {
  if (length != nullptr) *length = 0;
  if (at == nullptr || at[0] != '$' || at[1] < '0' || at[1] > '9') return 0;
  uint32_t n = 0;
  const char* p = at + 1;
  // Only the low 16 bits of a long number are kept; the length still covers
  // every digit (capped so that it fits its 16 bits).
  for (; *p >= '0' && *p <= '9'; ++p) n = (n * 10 + static_cast<uint32_t>(*p - '0')) & 0xFFFFu;
  if (*p != '$' || p + 1 - at > 0xFFFF) return 0;
  if (length != nullptr) *length = static_cast<uint16_t>(p + 1 - at);
  return static_cast<uint16_t>(n);
}

const char* format_reference_marker(int n) {
  static char buf[16];
  std::snprintf(buf, sizeof buf, "$%d$", n);
  return buf;
}
