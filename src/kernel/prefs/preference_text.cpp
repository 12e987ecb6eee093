#include "kernel/prefs/preference_text.h"

#include "kernel/files/text_family.h"
#include "kernel/files/text_output.h"

// The preferences store does not hold its keys yet: the text is the header
// line of a preferences file with no entries, which every reader accepts.
int32_t save_temp_preferences(char* dst) {
  TxtOut out(dst);
  out.put(kTxtPrefsHeader);
  out.crlf();
  return out.len;
}
