#include "kernel/text/text_record.h"

#include "kernel/model/memory.h"

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

insert_object* find_text_reference(uint16_t number, const object* obj, insert_object* list) {
  for (insert_object* node = list; node; node = node->next) {
    if ((number != 0 && static_cast<uint16_t>(node->number) == number) || (obj && node->obj == obj))
      return node;
  }
  return nullptr;
}
