// A doubly linked list of untyped pointers with a built-in cursor. Most
// operations work relative to the cursor and move it; callers rely on where
// it is left.
#pragma once

#include <cstdint>

struct list_node {
  void* data;  // the caller's pointer, never interpreted by the list
  list_node* next;
  list_node* prev;
};

struct list_head {
  list_node* first;
  list_node* last;
  list_node* current;  // the cursor
  int32_t count;
};

using list_free_fn = void (*)(void* data);
using list_compare_fn = int (*)(void* existing, void* added);
using list_match_fn = int (*)(void* data, void* key);
using list_visit_fn = void (*)(void* data, void* arg);

list_head* list_create();
int list_go_first(list_head* list);
int list_go_last(list_head* list);
int list_go_next(list_head* list);
int list_go_prev(list_head* list);
void* list_current_data(const list_head* list);
// The insertions answer 1, or 0 when memory runs out (nothing changes).
int list_insert_after(list_head* list, void* data);
int list_insert_before(list_head* list, void* data);
int list_append(list_head* list, void* data);
int list_insert_sorted(list_head* list, list_compare_fn compare, void* data);
int list_remove_current(list_head* list, list_free_fn free_fn);
int list_remove_data(list_head* list, void* data, list_free_fn free_fn);
int list_find_first(list_head* list, list_match_fn match, void* key);
int list_find_next(list_head* list, list_match_fn match, void* key);
void list_for_each(const list_head* list, list_visit_fn fn, void* arg);
int32_t list_count(const list_head* list);
void list_destroy(list_head* list, list_free_fn free_fn);
