#include "kernel/prefs/dialog_controls.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_color_well.h"

namespace {

// The last integer read_dlg_int accepted, shared by every field as the
// value a bad entry falls back to.
int last_valid_int = 0;

// Accepts optional blanks, an optional sign and digits, optional blanks,
// within the range of an int.
bool parse_int(const char* text, int* value) {
  while (*text == ' ' || *text == '\t') ++text;
  if (*text == 0) return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != 0) return false;
  *value = static_cast<int>(parsed);
  return true;
}

}  // namespace

bool get_dlg_check(HWND dialog, int id) {
  if (!NSKelvoWrapMachine::getDlgItem(dialog, id)) return false;
  return NSKelvoWrapMachine::sendDlgItemMessage(dialog, id, BM_GETCHECK, 0, 0) == 1;
}

void set_dlg_check(HWND dialog, int id, bool checked) {
  NSKelvoWrapMachine::sendDlgItemMessage(dialog, id, BM_SETCHECK, checked ? 1 : 0, 0);
}

int read_dlg_int(HWND dialog, int id) {
  char text[64] = {};
  NSKelvoWrapMachine::getDlgItemText(dialog, id, text, sizeof text);
  int value = 0;
  if (parse_int(text, &value)) {
    last_valid_int = value;
    return value;
  }
  char shown[16];
  std::snprintf(shown, sizeof shown, "%d", last_valid_int);
  NSKelvoWrapMachine::setDlgItemText(dialog, id, shown);
  return last_valid_int;
}

void show_added_buttons(HWND page, int flags) {
  const bool choices = (flags & kShowApplyChoices) != 0;
  for (int id : {kPrefApplyButton, kPrefNewObjectsChoice, kPrefSelectionChoice})
    NSKelvoWrapMachine::kelvoShowWindow(NSKelvoWrapMachine::getDlgItem(page, id), choices);
  if (choices) {
    set_dlg_check(page, kPrefNewObjectsChoice, true);
    set_dlg_check(page, kPrefSelectionChoice, false);
  }
  NSKelvoWrapMachine::kelvoShowWindow(NSKelvoWrapMachine::getDlgItem(page, kPrefFactoryButton),
                                      (flags & kShowFactoryButton) != 0);
}

void set_color_well(HWND well, uint32_t color) { kp_set_well_color(well, color & 0xFFFFFF); }

uint32_t color_of_well(HWND well) { return kp_well_color(well); }

void set_color_code_text(HWND dialog, int id, uint32_t color) {
  NSKelvoWrapMachine::setDlgItemText(dialog, id, color_code_by_value(color));
}

int dash_index_of_pair(dot pair) {
  for (int i = 1; i < kDashCount; ++i)
    if (pair.lg == dash_table[i].lg && pair.cycle == dash_table[i].cycle) return i;
  return 0;
}
