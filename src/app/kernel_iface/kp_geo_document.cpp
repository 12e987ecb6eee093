#include "app/kernel_iface/kp_geo_document.h"

namespace {
kelvo_win_info* g_current_info = nullptr;
KPGeoDocument::Hooks g_hooks;
}  // namespace

kelvo_win_info* KPGeoDocument::currentInfo() { return g_current_info; }
void KPGeoDocument::setCurrentInfo(kelvo_win_info* info) { g_current_info = info; }

void KPGeoDocument::_do_dirty(kelvo_win_info* info) {
  if (g_hooks.do_dirty) g_hooks.do_dirty(info);
}

void KPGeoDocument::_undo_dirty(kelvo_win_info* info) {
  if (g_hooks.undo_dirty) g_hooks.undo_dirty(info);
}

bool KPGeoDocument::printingInProgress() {
  return g_hooks.printing_in_progress && g_hooks.printing_in_progress();
}

void KPGeoDocument::installHooks(const Hooks& hooks) { g_hooks = hooks; }
