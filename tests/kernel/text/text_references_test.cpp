#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"

namespace {

struct References : ::testing::Test {
  object a{}, b{}, c{}, text{};
  void SetUp() override { text.otype = &type_text; }
  void TearDown() override {
    free_text_references(&text.inserted);
    free_text_references(&text_refs);
    free_text_window(text.te);
    install_text_handle_ops({});
  }
  std::vector<int> numbers(insert_object* list) const {
    std::vector<int> n;
    for (; list; list = list->next) n.push_back(list->number);
    return n;
  }
};

TEST(ReferenceMarkers, Grammar) {
  struct Case {
    const char* text;
    uint16_t value, length;
  } cases[] = {
      {"$12$abc", 12, 4}, {"$1$", 1, 3},   {"$0$", 0, 3},     {"$007$", 7, 5},  {"$ 1$", 0, 0},
      {"$a$", 0, 0},      {"$12", 0, 0},   {"$12a$", 0, 0},   {"$$", 0, 0},     {"12$", 0, 0},
      {"", 0, 0},         {"$65537$", 1, 7}, {"$65535$", 65535, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint16_t length = 99;
    EXPECT_EQ(parse_reference_marker(c.text, &length), c.value);
    EXPECT_EQ(length, c.length);
  }
  EXPECT_STREQ(format_reference_marker(305), "$305$");
}

TEST_F(References, NumberingAppendsWithoutSearching) {
  EXPECT_EQ(add_text_reference(&a, &text.inserted), 1);
  EXPECT_EQ(add_text_reference(&a, &text.inserted), 2) << "an object added twice gets two numbers";
  free_text_references(&text.inserted);

  for (object* o : {&a, &b, &c}) add_text_reference(o, &text.inserted);
  text.inserted->next->number = 5;
  EXPECT_EQ(add_text_reference(&a, &text.inserted), 6);
  EXPECT_EQ(numbers(text.inserted), (std::vector<int>{1, 5, 3, 6}));
  EXPECT_EQ(add_text_reference(&a, nullptr), 0);
}

TEST_F(References, LookupsAndResolution) {
  add_text_reference(&a, &text.inserted);
  add_text_reference(&b, &text.inserted);
  EXPECT_EQ(find_text_reference(2, nullptr, text.inserted)->obj, &b);
  EXPECT_EQ(find_text_reference(0, &a, text.inserted)->number, 1);
  EXPECT_EQ(find_text_reference(7, nullptr, text.inserted), nullptr);

  // A null list searches the global list of older readers.
  EXPECT_EQ(find_text_reference(1, nullptr, nullptr), nullptr);
  add_text_reference(&c, &text_refs);
  EXPECT_EQ(find_text_reference(1, nullptr, nullptr)->obj, &c);

  uint16_t len = 0;
  EXPECT_EQ(find_text_reference_at("$2$ and more", text.inserted, &len)->obj, &b);
  EXPECT_EQ(len, 3);
  EXPECT_EQ(find_text_reference_at("$0$", text.inserted, &len), nullptr);
  EXPECT_EQ(len, 3);
  EXPECT_EQ(find_text_reference_at("$9$", text.inserted, &len), nullptr);
  EXPECT_EQ(find_text_reference_at("x$1$", text.inserted, &len), nullptr);
  EXPECT_EQ(len, 0);

  EXPECT_EQ(resolve_text_reference(&text, 258), &text) << "the body";
  EXPECT_EQ(resolve_text_reference(&text, 260), &b);
  EXPECT_EQ(resolve_text_reference(&text, 261), &text) << "no reference 3";
  EXPECT_EQ(resolve_text_reference(&text, 65535), &text);
  // A text without references never reaches the global list.
  object empty{};
  empty.otype = &type_text;
  EXPECT_EQ(resolve_text_reference(&empty, 259), &empty);
  object number{};
  number.otype = &type_number;
  number.inserted = text.inserted;
  EXPECT_EQ(resolve_text_reference(&number, 259), &number) << "only texts resolve";
}

TEST_F(References, RecordsAndColumnWidths) {
  text.te = create_text_record(3, 4, 50, 20, 0);
  ASSERT_NE(text.te, nullptr);
  EXPECT_EQ(GlobalSize(text.te->text), 5u);
  EXPECT_STREQ(text.te->text, "");
  EXPECT_EQ(text.te->reserved1, 1);
  EXPECT_EQ(text.te->pos.x, 3);
  EXPECT_EQ(text.te->size.h, 20);

  ASSERT_TRUE(grow_column_widths(text.te, 2));
  text.te->column_widths[1] = 40;
  text.te->column_widths[2] = 50;
  int32_t* kept = text.te->column_widths;
  ASSERT_TRUE(grow_column_widths(text.te, 1));
  EXPECT_EQ(text.te->column_widths, kept) << "already large enough";
  ASSERT_TRUE(grow_column_widths(text.te, 4));
  EXPECT_EQ(std::vector<int>(text.te->column_widths, text.te->column_widths + 5),
            (std::vector<int>{4, 40, 50, 0, 0}));
}

TEST_F(References, RegenerationAndRemovalGoThroughTheTextView) {
  static std::vector<std::string> calls;
  calls.clear();
  TextHandleOps ops;
  ops.text_needs_regen = [](TErec* te) { calls.push_back("needs " + std::to_string(te->length)); };
  ops.regenerate_text = [](object*) {
    calls.push_back("regen");
    return 0;
  };
  ops.remove_reference = [](object*, object* obj, uint16_t number) {
    calls.push_back(std::string("remove ") + (obj ? "object" : std::to_string(number)));
  };
  install_text_handle_ops(ops);

  text.te = create_text_record(0, 0, 10, 10, 20);
  std::strcpy(text.te->text, "Area $1$");
  mark_text_needs_regen(&text);
  EXPECT_EQ(text.te->length, 8);
  remove_object_from_text(nullptr, 1, &text);
  remove_object_from_text(&a, 0, &text);
  EXPECT_EQ(calls, (std::vector<std::string>{"needs 8", "regen", "remove 1", "regen", "remove object", "regen"}));
  mark_text_needs_regen(nullptr);
  remove_object_from_text(&a, 0, nullptr);
}

}  // namespace
