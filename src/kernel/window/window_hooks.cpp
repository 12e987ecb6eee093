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
