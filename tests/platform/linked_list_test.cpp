#include "platform/linked_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

int values[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
void* v(int i) { return &values[i]; }

// The data of the list walked forwards, checked against the backward links.
std::vector<int> contents(const list_head* l) {
  std::vector<int> out;
  const list_node* prev = nullptr;
  for (const list_node* n = l->first; n; n = n->next) {
    EXPECT_EQ(n->prev, prev);
    out.push_back(*static_cast<int*>(n->data));
    prev = n;
  }
  EXPECT_EQ(l->last, prev);
  EXPECT_EQ(static_cast<int32_t>(out.size()), l->count);
  return out;
}

int compare_ints(void* existing, void* added) {
  return *static_cast<int*>(existing) - *static_cast<int*>(added);
}
int is_even(void* data, void*) { return *static_cast<int*>(data) % 2 == 0; }

TEST(CursorList, AppendToEmptyMakesFirstLastAndCurrent) {
  list_head* l = list_create();
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(list_current_data(l), nullptr);
  EXPECT_FALSE(list_go_first(l));
  list_append(l, v(1));
  EXPECT_EQ(l->first, l->last);
  EXPECT_EQ(l->current, l->first);
  EXPECT_EQ(list_count(l), 1);
  list_destroy(l, nullptr);
  list_destroy(nullptr, nullptr);
}

TEST(CursorList, InsertAroundTheCursorAndRemoveKeepLinksIntact) {
  list_head* l = list_create();
  list_append(l, v(1));
  list_append(l, v(3));
  list_go_first(l);
  list_insert_after(l, v(2));  // 1 2 3, cursor on 2
  EXPECT_EQ(contents(l), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(list_current_data(l), v(2));
  ASSERT_TRUE(list_go_next(l));
  EXPECT_TRUE(list_remove_current(l, nullptr));  // removes 3, the last
  EXPECT_EQ(contents(l), (std::vector<int>{1, 2}));
  EXPECT_EQ(list_current_data(l), v(2));  // cursor moves to the new last

  list_go_first(l);
  list_insert_before(l, v(0));
  EXPECT_EQ(contents(l), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(list_current_data(l), v(0));
  EXPECT_FALSE(list_go_prev(l));
  list_go_next(l);
  list_remove_current(l, nullptr);  // the middle: cursor to the next node
  EXPECT_EQ(list_current_data(l), v(2));
  EXPECT_EQ(contents(l), (std::vector<int>{0, 2}));

  list_remove_current(l, nullptr);
  list_remove_current(l, nullptr);
  EXPECT_EQ(list_count(l), 0);
  EXPECT_EQ(l->current, nullptr);
  EXPECT_EQ(l->first, nullptr);
  EXPECT_FALSE(list_remove_current(l, nullptr));
  list_destroy(l, nullptr);
}

TEST(CursorList, SortedInsertPutsNewestFirstAmongEquals) {
  list_head* l = list_create();
  int a = 5, b = 5;
  list_insert_sorted(l, compare_ints, v(7));
  list_insert_sorted(l, compare_ints, v(3));
  list_insert_sorted(l, compare_ints, &a);
  list_insert_sorted(l, compare_ints, &b);
  list_insert_sorted(l, compare_ints, v(9));
  EXPECT_EQ(contents(l), (std::vector<int>{3, 5, 5, 7, 9}));
  EXPECT_EQ(l->first->next->data, &b);
  EXPECT_EQ(l->first->next->next->data, &a);
  list_destroy(l, nullptr);
}

TEST(CursorList, FindRemoveByDataAndVisit) {
  list_head* l = list_create();
  for (int i : {1, 3, 4, 5, 6}) list_append(l, v(i));
  ASSERT_TRUE(list_find_first(l, is_even, nullptr));
  EXPECT_EQ(list_current_data(l), v(4));
  ASSERT_TRUE(list_find_next(l, is_even, nullptr));
  EXPECT_EQ(list_current_data(l), v(6));
  EXPECT_FALSE(list_find_next(l, is_even, nullptr));
  EXPECT_EQ(list_current_data(l), v(6));  // the last node visited

  int missing = 4;
  EXPECT_FALSE(list_remove_data(l, &missing, nullptr));  // same value, other pointer
  EXPECT_EQ(list_count(l), 5);
  EXPECT_TRUE(list_remove_data(l, v(4), nullptr));
  EXPECT_EQ(contents(l), (std::vector<int>{1, 3, 5, 6}));

  int sum = 0;
  list_for_each(l, [](void* d, void* arg) { *static_cast<int*>(arg) += *static_cast<int*>(d); }, &sum);
  EXPECT_EQ(sum, 15);
  list_destroy(l, nullptr);
}

TEST(CursorList, FreeFunctionRunsOncePerRemovedNode) {
  list_head* l = list_create();
  for (int i = 0; i < 4; ++i) list_append(l, new std::string(std::to_string(i)));
  list_go_first(l);
  list_remove_current(l, [](void* d) { delete static_cast<std::string*>(d); });
  list_destroy(l, [](void* d) { delete static_cast<std::string*>(d); });  // leaks show under the sanitizer
}

}  // namespace
