// The ambiguity list as the kernel sees it: when several objects under the
// cursor fit and none is preferred, the kernel lists them and asks which one
// was meant. The application's ambiguity pop-up installs a chooser; until
// one is installed (or in a headless run) no choice is made, as if the list
// had been dismissed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NSAmbigPanelController {
  struct item {
    uint16_t tag;
    std::string text;  // kernel text (Mac Roman)
    uint32_t color;    // kernel colour word
  };
  std::vector<item> items;
  uint32_t next_color = 0;  // colour of the next item appended
  bool next_color_set = false;

  // The next cell appended takes this colour, then black again.
  void setNextItemColor(uint32_t color) {
    next_color = color;
    next_color_set = true;
  }
};

// Shows the items at (x, y) and answers the chosen tag, or 0 for none.
using ambiguity_chooser = uint16_t (*)(const NSAmbigPanelController& controller, int32_t x, int32_t y);
void install_ambiguity_chooser(ambiguity_chooser chooser);

NSAmbigPanelController* ambig_menu_begin();
void ambig_menu_append(NSAmbigPanelController* controller, uint32_t flags, uint16_t tag, const char* text);
uint16_t ambig_menu_track(NSAmbigPanelController* controller, int32_t x, int32_t y, void* application);
void ambig_menu_end(NSAmbigPanelController* controller);
