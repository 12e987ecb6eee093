// Rich-text blocks as text records carry them, read into
// runs, then laid out and drawn by the text view.
#include <cstddef>
#include <cstdint>

#include "fuzz_target.h"
#include "platform/rtf_reader.h"

KELVO_FUZZ_TARGET(rtf_reader_fuzz) {
  const rtf_document doc = read_rtf(reinterpret_cast<const char*>(data), size);
  size_t n = 0;
  for (const rtf_run& r : doc.runs) n += r.text.size() + r.font.size();
  return n == static_cast<size_t>(-1) ? 1 : 0;
}
