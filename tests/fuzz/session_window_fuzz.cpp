// The window size read from a session snapshot's text when a session is
// printed.
#include "fuzz_target.h"
#include "kernel/files/session_print.h"

KELVO_FUZZ_TARGET(session_window_fuzz) {
  int width = 0;
  int height = 0;
  session_window_size(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), &width, &height);
  if (width < 0 || height < 0) __builtin_trap();
  return 0;
}
