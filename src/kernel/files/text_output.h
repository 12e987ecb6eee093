// Formatting and scanning helpers shared by the text writers and readers.
// Everything here works in the C locale whatever the user's locale, and every
// scan stops at the end of its line (CR, LF) or of the text (NUL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// One writer's output. A writer called with a null destination (or with one
// inside the counting scratch area) only counts; otherwise it stores at dst.
struct TxtOut {
  char* at;
  int32_t len = 0;

  explicit TxtOut(char* dst);

  void put(const char* s, size_t n) {
    if (at != nullptr && n != 0) std::memcpy(at + len, s, n);
    len += static_cast<int32_t>(n);
  }
  void put(std::string_view s) { put(s.data(), s.size()); }
  void ch(char c) {
    if (at != nullptr) at[len] = c;
    ++len;
  }
  void crlf() { put("\r\n", 2); }
  // Adds what another writer produced at the current position.
  void add(int32_t n) { len += n; }
  // Where the next byte goes (null while counting).
  char* here() const { return at != nullptr ? at + len : nullptr; }

  void i(long long v);             // "%d"
  void u(unsigned long long v);    // "%u"
  void g(double v, int precision); // "%.<precision>G"
  void f2(double v);               // "%.2f"
  void hex8(uint32_t v);           // "%08X"
  void hex2(uint8_t v);            // "%02X"
  void alt_hex(uint32_t v);        // "%#x"
};

inline bool txt_is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool txt_is_line_end(char c) { return c == '\0' || c == '\r' || c == '\n'; }
// The first line end (CR, LF or the terminating NUL) at or after p. It looks
// at sixteen bytes at a time: the readers find every line end of a figure
// this way, some of them twice.
const char* txt_end_of_line(const char* p);
// Whether the text at p begins with word. Stops at the first difference, so
// the readers' keyword tests cost one comparison on most lines.
inline bool txt_starts_with(const char* p, const char* word) {
  while (*word != '\0')
    if (*p++ != *word++) return false;
  return true;
}

// A number at p as strtod reads it in the C locale (optional sign, digits,
// optional fraction, optional exponent; no "inf", "nan" or hexadecimal).
// Returns the characters used, 0 when there is none or it is out of range.
size_t txt_parse_real(const char* p, double* out);

// Adds the run of digits at s to *sum (sum * 10 + digit for each, wrapping
// past 64 bits: callers count the digits and use the sum only when it
// fits) and answers the end of the run.
inline const char* txt_sum_digits(const char* s, uint64_t* sum) {
  uint64_t v = *sum;
  for (unsigned d; (d = static_cast<unsigned char>(*s) - unsigned{'0'}) <= 9; ++s) v = v * 10 + d;
  *sum = v;
  return s;
}
// The digits [first, last) read by the library, false when they overflow.
bool txt_parse_long_digits(const char* first, const char* last, int64_t* out);

// An integer at p: optional '-', then decimal digits. Returns the characters
// used, 0 when there are no digits or the value does not fit in 64 bits.
// Inline: the readers take every number of a figure through it, and
// eighteen digits always fit, so the common short number is summed here and
// only a longer one goes to the library, which refuses an overflow.
inline size_t txt_parse_long(const char* p, int64_t* out) {
  const char* s = p;
  const bool negative = *s == '-';
  if (negative) ++s;
  if (!txt_is_digit(*s)) return 0;
  const char* digits = s;
  uint64_t sum = 0;
  s = txt_sum_digits(s, &sum);
  int64_t v = static_cast<int64_t>(sum);
  if (s - digits > 18 && !txt_parse_long_digits(digits, s, &v)) return 0;
  *out = negative ? -v : v;
  return static_cast<size_t>(s - p);
}
