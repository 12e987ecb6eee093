#include "app/kernel_iface/ambiguity_menu.h"

namespace {
ambiguity_chooser g_chooser = nullptr;
}

void install_ambiguity_chooser(ambiguity_chooser chooser) { g_chooser = chooser; }

NSAmbigPanelController* ambig_menu_begin() { return new NSAmbigPanelController(); }

void ambig_menu_append(NSAmbigPanelController* controller, uint32_t, uint16_t tag, const char* text) {
  if (!controller) return;
  controller->items.push_back({tag, text ? text : "", controller->next_color_set ? controller->next_color : 0u});
  controller->next_color_set = false;
}

uint16_t ambig_menu_track(NSAmbigPanelController* controller, int32_t x, int32_t y, void*) {
  if (!controller || !g_chooser) return 0;
  return g_chooser(*controller, x, y);
}

void ambig_menu_end(NSAmbigPanelController* controller) { delete controller; }
