// Label and message texts: accelerator marks removed, exponent bytes made
// printable, numbered placeholders filled. The two routines that return a
// char* share one result buffer, valid until the next call of either.
#pragma once

#include <cstddef>

// Copies src into dst without any '&', writing at most n - 1 characters,
// and terminates dst. Nothing is written when n is 0.
void strip_ampersand(char* dst, const char* src, unsigned n);

// The label with its exponent bytes 1..9 made printable: byte 1 becomes
// 0xB2 (squared), byte 2 0xB3 (cubed), any other byte k "^" and the digit
// k + 1; in caret form every such byte becomes "^" and the digit. Returns
// the label itself when no buffer can be had.
char* expand_label_controls(const char* label, int caret_form);

// The template with each "%d" (d = 1..9) replaced by the d-th argument; a
// placeholder whose argument was not given becomes "". Returns the template
// itself when it has no placeholder or no buffer can be had, null for null.
char* format_percent_args_n(const char* tmpl, const char* const* args, std::size_t count);

template <class... Args>
char* format_percent_args(const char* tmpl, Args... args) {
  const char* list[] = {static_cast<const char*>(args)..., nullptr};
  return format_percent_args_n(tmpl, list, sizeof...(Args));
}
