#include "kernel/model/undo.h"

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/figure.h"
#include "kernel/render/draw_object.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_state.h"
#include "platform/kernel_services.h"
#include "platform/kp_menu.h"

uint32_t remembered_object_count = 0;
uint16_t undo_available = 0;
uint8_t undo_offers_undo = 0;
uint16_t undo_state_word = 0;

namespace {
constexpr int kNoUndoCopyText = 336;
constexpr int kUndoItemText = 546;
}  // namespace

void empty_undo_copy() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig && fig->undo) empty_figure(fig->undo);
}

void save_undo_state(uint32_t limit) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  if (limit == 0) remembered_object_count = fig->nbobj;
  empty_undo_copy();
  // On failure the old copy has been freed by the copy routine.
  kelvo_win_info* copy = duplicate_figure_info(fig->undo, limit);
  fig->undo = copy;
  if (copy) copy->undo = fig;
  if (!copy) message_box_simple(kernel_string(kNoUndoCopyText));
  undo_offers_undo = 1;
  set_undo_menu_text(kernel_string(kUndoItemText));
  undo_available = copy ? 1 : 0;
  undo_state_word = 0xFFFF;
  EnableMenuItem(KPApplication::mainMenu(), kUndoMenuItem, limit ? 0u : MF_GRAYED | MF_DISABLED);
}

void restore_undo_menu_text() {
  undo_offers_undo = 1;
  set_undo_menu_text(kernel_string(kUndoItemText));
}

void save_undo_state_before_change() {
  save_undo_state(0);
  EnableMenuItem(KPApplication::mainMenu(), kUndoMenuItem, 0u);
}

void undo_swap_state() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->undo || !(fig->wflags & WFLAG_UNDO_ENABLED)) return;
  kelvo_win_info* copy = fig->undo;
  copy->wflags = fig->wflags;
  if (fig->dd) dd_draw_background(fig->dd);
  // While a tool runs, the figure's `selection` points at one of its own
  // lists and the user's selection waits aside: keep that arrangement.
  if (saved_selection) {
    dyn_array_object* same_list = copy->inputs;
    if (fig->selection == fig->list3)
      same_list = copy->list3;
    else if (fig->selection == fig->list4)
      same_list = copy->list4;
    dyn_array_object* copy_selection = copy->selection;
    copy->selection = same_list;
    fig->selection = saved_selection;
    saved_selection = copy_selection;
  }
  KPGeoDocument::setCurrentInfo(copy);
  KPGeoDocument::_do_dirty(copy);
  figure_view_show_figure(current_figure_view, copy);
  remembered_object_count = copy->nbobj;
  for (object* o = copy->first; o; o = o->next)
    if (o->bitmap) free_bitmap_dib(o->bitmap);
  if (current_figure_view) {
    invalidate_figure_view(current_figure_view);
    refresh_figure_description(current_figure_view);
  }
}
