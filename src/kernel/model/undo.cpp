#include "kernel/model/undo.h"

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/figure.h"

uint32_t remembered_object_count = 0;
uint16_t undo_available = 0;
uint8_t undo_offers_undo = 0;
uint16_t undo_state_word = 0;

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
  undo_offers_undo = 1;
  undo_available = copy ? 1 : 0;
  undo_state_word = 0xFFFF;
}
