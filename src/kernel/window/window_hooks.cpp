#include "kernel/window/window_hooks.h"

#include "app/kernel_iface/kp_geo_document.h"
#include "platform/kp_timer.h"

namespace {
window_hooks g_hooks;
}  // namespace

window_hooks& window_services() { return g_hooks; }

void install_window_services(const window_hooks& hooks) { g_hooks = hooks; }

uint32_t window_tick_count() { return g_hooks.tick_count ? g_hooks.tick_count() : KPTimer::getTickCount(); }

void window_record_action(int action) {
  if (g_hooks.session_record_action) g_hooks.session_record_action(KPGeoDocument::currentInfo(), action);
}

void window_designate(int32_t x, int32_t y, int mode) {
  if (g_hooks.designate_under_cursor) g_hooks.designate_under_cursor(x, y, mode);
}

bool window_ambiguous_designation() { return g_hooks.ambiguous_designation && g_hooks.ambiguous_designation(); }

void window_clear_designation_text() {
  if (g_hooks.clear_designation_text) g_hooks.clear_designation_text();
}
