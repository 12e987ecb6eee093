#include "platform/linked_list.h"

#include <new>

list_head* list_create() { return new (std::nothrow) list_head{}; }

int list_go_first(list_head* list) {
  list->current = list->first;
  return list->current != nullptr;
}

int list_go_last(list_head* list) {
  list->current = list->last;
  return list->current != nullptr;
}

int list_go_next(list_head* list) {
  if (!list->current || !list->current->next) return 0;
  list->current = list->current->next;
  return 1;
}

int list_go_prev(list_head* list) {
  if (!list->current || !list->current->prev) return 0;
  list->current = list->current->prev;
  return 1;
}

void* list_current_data(const list_head* list) {
  return list->current ? list->current->data : nullptr;
}

int list_insert_after(list_head* list, void* data) {
  list_node* node = new (std::nothrow) list_node{};
  if (!node) return 0;
  node->data = data;
  list_node* c = list->current;
  if (c) {
    node->prev = c;
    node->next = c->next;
    if (c->next) c->next->prev = node;
    c->next = node;
  }
  list->current = node;
  if (!node->next) list->last = node;
  if (!list->first) list->first = node;
  ++list->count;
  return 1;
}

int list_insert_before(list_head* list, void* data) {
  list_node* node = new (std::nothrow) list_node{};
  if (!node) return 0;
  node->data = data;
  list_node* c = list->current;
  if (c) {
    node->next = c;
    node->prev = c->prev;
    if (c->prev) c->prev->next = node;
    c->prev = node;
  }
  list->current = node;
  if (!node->prev) list->first = node;
  if (!list->last) list->last = node;
  ++list->count;
  return 1;
}

int list_append(list_head* list, void* data) {
  list->current = list->last;
  return list_insert_after(list, data);
}

int list_insert_sorted(list_head* list, list_compare_fn compare, void* data) {
  for (list_node* n = list->first; n; n = n->next) {
    if (compare(n->data, data) >= 0) {
      list->current = n;
      return list_insert_before(list, data);
    }
  }
  return list_append(list, data);
}

int list_remove_current(list_head* list, list_free_fn free_fn) {
  list_node* r = list->current;
  if (!r) return 0;
  if (free_fn) free_fn(r->data);
  if (r->prev) r->prev->next = r->next;
  if (r->next) r->next->prev = r->prev;
  if (list->first == r) list->first = r->next;
  if (list->last == r) list->last = r->prev;
  list->current = r->next ? r->next : list->last;
  delete r;
  --list->count;
  return 1;
}

int list_remove_data(list_head* list, void* data, list_free_fn free_fn) {
  for (list_node* n = list->first; n; n = n->next) {
    list->current = n;
    if (n->data == data) return list_remove_current(list, free_fn);
  }
  return 0;
}

namespace {
int find_from(list_head* list, list_node* start, list_match_fn match, void* key) {
  for (list_node* n = start; n; n = n->next) {
    list->current = n;
    if (match(n->data, key)) return 1;
  }
  return 0;
}
}  // namespace

int list_find_first(list_head* list, list_match_fn match, void* key) {
  return find_from(list, list->first, match, key);
}

int list_find_next(list_head* list, list_match_fn match, void* key) {
  if (!list->current) return 0;
  return find_from(list, list->current->next, match, key);
}

void list_for_each(const list_head* list, list_visit_fn fn, void* arg) {
  for (list_node* n = list->first; n; n = n->next) fn(n->data, arg);
}

int32_t list_count(const list_head* list) { return list->count; }

void list_destroy(list_head* list, list_free_fn free_fn) {
  if (!list) return;
  list->current = list->first;
  while (list->current) list_remove_current(list, free_fn);
  delete list;
}
