#include "kernel/text/text_record.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "kernel/model/memory.h"
#include "kernel/render/display_device.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_view.h"

namespace {
TextHandleOps g_ops;

void release_string(void** handle) {
  if (*handle && g_ops.release_string) g_ops.release_string(*handle);
  *handle = nullptr;
}
}  // namespace

void install_text_handle_ops(const TextHandleOps& ops) { g_ops = ops; }
const TextHandleOps& text_handle_ops() { return g_ops; }

void free_text_window(TErec* te) {
  if (!te) return;
  GlobalFreeAndNull(&te->text);
  GlobalFreeAndNull(&te->column_widths);
  GlobalFreeAndNull(&te->rtf_data);
  if (te->text_view && g_ops.release_view) g_ops.release_view(te->text_view);
  te->text_view = nullptr;
  release_string(&te->display_string);
  release_string(&te->stored_string);
  release_string(&te->previous_string);
  GlobalFreeAndNull(&te);
}

void free_text_references(insert_object** list) {
  if (!list) return;
  insert_object* node = *list;
  while (node) {
    insert_object* next = node->next;
    GlobalFreeAndNull(&node);
    node = next;
  }
  *list = nullptr;
}

insert_object* text_refs = nullptr;

insert_object* find_text_reference(uint16_t number, const object* obj, insert_object* list) {
  for (insert_object* node = list ? list : text_refs; node; node = node->next) {
    if ((number != 0 && static_cast<uint16_t>(node->number) == number) || (obj && node->obj == obj))
      return node;
  }
  return nullptr;
}

insert_object* find_text_reference_at(const char* p, insert_object* list, uint16_t* len) {
  uint16_t length = 0;
  const uint16_t n = parse_reference_marker(p, &length);
  if (len) *len = length;
  return n != 0 ? find_text_reference(n, nullptr, list) : nullptr;
}

bool grow_column_widths(TErec* te, int32_t n) {
  if (!te || n <= 0) return te != nullptr;
  const int32_t have = te->column_widths ? te->column_widths[0] : 0;
  if (te->column_widths && have >= n) return true;
  if (n >= INT32_MAX / 4) return false;
  int32_t* grown = alloc_block<int32_t>(static_cast<uint32_t>(n) + 1);
  if (!grown) return false;
  grown[0] = n;
  // Copy no more than the old block really holds, whatever its count says.
  if (te->column_widths && have > 0) {
    const int32_t held = static_cast<int32_t>(GlobalSize(te->column_widths) / sizeof(int32_t)) - 1;
    std::memcpy(grown + 1, te->column_widths + 1, sizeof(int32_t) * std::min({have, held, n}));
  }
  GlobalFreeAndNull(&te->column_widths);
  te->column_widths = grown;
  return true;
}

void mark_text_needs_regen(object* obj) {
  if (!obj || !obj->te || !obj->te->text) return;
  TErec* te = obj->te;
  te->length = static_cast<int32_t>(std::strlen(te->text));
  if (g_ops.text_needs_regen) g_ops.text_needs_regen(te);
  if (static_display && static_display->dc) te->size.w = dd_text_width_n(static_display, te->text, te->length);
  if (g_ops.regenerate_text) g_ops.regenerate_text(obj);
}

void remove_object_from_text(object* obj, uint16_t number, object* text) {
  if (!text || !text->te) return;
  // Without a text view the kernel's own text and reference list change,
  // so no reference is ever left to an object that is gone.
  if (g_ops.remove_reference)
    g_ops.remove_reference(text, obj, number);
  else
    text_view_remove_reference(text, obj, number);
  if (g_ops.regenerate_text) g_ops.regenerate_text(text);
}
