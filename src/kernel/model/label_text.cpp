#include "kernel/model/label_text.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/model/mbcs.h"

namespace {

char* g_result = nullptr;
std::size_t g_capacity = 0;

// Stores text in the shared buffer; false when no buffer can be had.
bool store_result(const std::string& text) {
  const std::size_t need = text.size() + 1;
  if (need > g_capacity) {
    char* fresh = static_cast<char*>(std::malloc(need < 5 ? 5 : need));
    if (!fresh) return false;
    std::free(g_result);
    g_result = fresh;
    g_capacity = need < 5 ? 5 : need;
  }
  std::memcpy(g_result, text.c_str(), need);
  return true;
}

}  // namespace

void strip_ampersand(char* dst, const char* src, unsigned n) {
  if (!dst || n == 0) return;
  unsigned written = 0;
  for (const char* p = src; p && *p && written + 1 < n; ++p) {
    if (*p != '&') dst[written++] = *p;
  }
  dst[written] = '\0';
}

char* expand_label_controls(const char* label, int caret_form) {
  if (!label) return nullptr;
  std::string out;
  for (const char* p = label; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 1 && c < 10) {
      if (!caret_form && c == 1) {
        out += '\xB2';
      } else if (!caret_form && c == 2) {
        out += '\xB3';
      } else {
        out += '^';
        out += static_cast<char>('1' + c);
      }
    } else {
      out += static_cast<char>(c);
    }
  }
  return store_result(out) ? g_result : const_cast<char*>(label);
}

char* format_percent_args_n(const char* tmpl, const char* const* args, std::size_t count) {
  if (!tmpl) return nullptr;
  // The arguments are read before the buffer is touched, so an argument may
  // be the previous result.
  std::string out;
  bool any = false;
  const char* p = tmpl;
  while (*p) {
    if (*p == '%' && p[1] >= '1' && p[1] <= '9') {
      const std::size_t d = static_cast<std::size_t>(p[1] - '0');
      if (d <= count && args && args[d - 1]) out += args[d - 1];
      any = true;
      p += 2;
      continue;
    }
    const int step = mbcs_char_step(p);
    out.append(p, static_cast<std::size_t>(step));
    p += step;
  }
  if (!any) return const_cast<char*>(tmpl);
  return store_result(out) ? g_result : const_cast<char*>(tmpl);
}
