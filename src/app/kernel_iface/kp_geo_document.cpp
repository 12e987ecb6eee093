#include "app/kernel_iface/kp_geo_document.h"

#include "kernel/model/figure.h"

namespace {
kelvo_win_info* g_fallback_info = nullptr;
KPGeoDocument::Hooks g_hooks;
}  // namespace

kelvo_win_info* KPGeoDocument::currentInfo() {
  kelvo_win_info* info = nullptr;
  if (g_hooks.current_info && g_hooks.current_info(&info)) return info;
  return g_fallback_info;
}

void KPGeoDocument::setCurrentInfo(kelvo_win_info* info) {
  if (g_hooks.set_current_info && g_hooks.set_current_info(info)) return;
  g_fallback_info = info;
}

void KPGeoDocument::_do_dirty(kelvo_win_info* info) {
  if (!info) return;
  info->wflags = static_cast<char>(info->wflags | kFigureChanged);
  if (g_hooks.do_dirty) g_hooks.do_dirty(info);
}

void KPGeoDocument::_undo_dirty(kelvo_win_info* info) {
  if (!info) return;
  info->wflags = static_cast<char>(info->wflags & ~kFigureChanged);
  if (g_hooks.undo_dirty) g_hooks.undo_dirty(info);
}

bool KPGeoDocument::printingInProgress() {
  return g_hooks.printing_in_progress && g_hooks.printing_in_progress();
}

void KPGeoDocument::installHooks(const Hooks& hooks) { g_hooks = hooks; }
const KPGeoDocument::Hooks& KPGeoDocument::installedHooks() { return g_hooks; }
