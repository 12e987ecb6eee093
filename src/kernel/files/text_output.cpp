#include "kernel/files/text_output.h"

#include <charconv>
#include <cstdint>
#include <iterator>
#include <limits>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernel/files/text_family.h"

// The aligned loads read up to fifteen bytes past the terminating NUL, never
// past the end of its 16-byte block, which lies in the same page; the
// address checker would call them overruns, so it does not watch them.
#if defined(__clang__) || defined(__GNUC__)
__attribute__((no_sanitize("address")))
#endif
const char* txt_end_of_line(const char* p) {
#if defined(__SSE2__)
  while ((reinterpret_cast<uintptr_t>(p) & 15) != 0) {
    if (txt_is_line_end(*p)) return p;
    ++p;
  }
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i nul = _mm_setzero_si128();
  for (;; p += 16) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, nul));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
  }
#else
  while (!txt_is_line_end(*p)) ++p;
  return p;
#endif
}

TxtOut::TxtOut(char* dst) : at(txt_is_counting(dst) ? nullptr : dst) {}

void TxtOut::i(long long v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  put(buf, static_cast<size_t>(r.ptr - buf));
}

void TxtOut::u(unsigned long long v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  put(buf, static_cast<size_t>(r.ptr - buf));
}

void TxtOut::g(double v, int precision) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  for (char* p = buf; p != r.ptr; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  put(buf, static_cast<size_t>(r.ptr - buf));
}

void TxtOut::f2(double v) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  if (r.ec != std::errc()) {
    put("0.00");
    return;
  }
  put(buf, static_cast<size_t>(r.ptr - buf));
}

void TxtOut::hex8(uint32_t v) {
  static const char digits[] = "0123456789ABCDEF";
  char buf[8];
  for (int k = 7; k >= 0; --k, v >>= 4) buf[k] = digits[v & 15];
  put(buf, 8);
}

void TxtOut::hex2(uint8_t v) {
  static const char digits[] = "0123456789ABCDEF";
  char buf[2] = {digits[v >> 4], digits[v & 15]};
  put(buf, 2);
}

void TxtOut::alt_hex(uint32_t v) {
  if (v == 0) {
    ch('0');
    return;
  }
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
  put("0x", 2);
  put(buf, static_cast<size_t>(r.ptr - buf));
}

namespace {

// The powers of ten a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

size_t txt_parse_real(const char* p, double* out) {
  const char* s = p;
  bool negative = false;
  if (*s == '+' || *s == '-') {
    negative = *s == '-';
    ++s;
  }
  const char* body = s;
  // The digits as one whole number, and how many of them follow the point
  // (exact while there are at most nineteen). The counts come from where
  // the runs of digits end, so that the loops only sum.
  uint64_t whole = 0;
  size_t after_point = 0;
  s = txt_sum_digits(s, &whole);
  size_t digits = static_cast<size_t>(s - body);
  if (*s == '.') {
    const char* fraction = ++s;
    s = txt_sum_digits(s, &whole);
    after_point = static_cast<size_t>(s - fraction);
    digits += after_point;
  }
  if (digits == 0) return 0;
  bool exponent = false;
  if (*s == 'e' || *s == 'E') {
    const char* e = s + 1;
    if (*e == '+' || *e == '-') ++e;
    if (txt_is_digit(*e)) {
      while (txt_is_digit(*e)) ++e;
      s = e;
      exponent = true;
    }
  }
  // Digits that make a whole number a double holds exactly, over a power
  // of ten it holds exactly: the one division rounds the quotient
  // correctly, which is the value the library reads (most numbers of a
  // figure file are of this kind, and the library's general reader is many
  // times slower).
  if (!exponent && digits <= 19 && whole <= (uint64_t{1} << 53) && after_point < std::size(kExactPowersOfTen)) {
    const double v = static_cast<double>(whole) / kExactPowersOfTen[after_point];
    *out = negative ? -v : v;
    return static_cast<size_t>(s - p);
  }
  double v = 0;
  auto r = std::from_chars(body, s, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != s) return 0;
  *out = negative ? -v : v;
  return static_cast<size_t>(s - p);
}

bool txt_parse_long_digits(const char* first, const char* last, int64_t* out) {
  auto r = std::from_chars(first, last, *out);
  return r.ec == std::errc();
}
