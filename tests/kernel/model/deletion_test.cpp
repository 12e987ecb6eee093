// Deleting objects with what is built on them, the references that only
// quote them, macro intermediates, sticky protection, undo; taking back the
// last pick of a tool; reordering the list by dependency.
#include <string>
#include <vector>

#include "kernel/macros/macro_records.h"
#include "kernel/model/deletion.h"
#include "kernel/model/engine_fixture.h"
#include "kernel/model/object_store.h"
#include "kernel/model/table.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_state.h"

namespace {

class Deletion : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_EQ(create_default_objects(), 0);
    tabulate_ready = 1;  // as at start-up: tables append a row when made
  }
  void TearDown() override {
    GlobalFreeAndNull(&picked.items);
    GlobalFreeAndNull(&picked.tags);
    picked.capacity = 0;
    current_class = nullptr;
    GlobalFreeAndNull(&points_on_objects.items);
    GlobalFreeAndNull(&points_on_objects.tags);
    points_on_objects.capacity = 0;
    EngineTest::TearDown();
  }

  bool alive(const object* target) {
    for (object* o = fig_->first; o; o = o->next)
      if (o == target) return true;
    return false;
  }
  void select(object* o, uint16_t tag = 0) { objlist_add(fig_->selection, o, tag); }
  void expect_numbered() {
    uint32_t n = 0;
    for (object* o = fig_->first; o; o = o->next) EXPECT_EQ(o->num, ++n);
    EXPECT_EQ(fig_->nbobj, n);
  }
  // A text showing the objects, one marker each, separated by words.
  object* text_quoting(std::vector<object*> quoted) {
    object* text = make(&classe_text, 0, {});
    std::string content = "x";
    for (object* q : quoted) {
      content += format_reference_marker(add_text_reference(q, &text->inserted));
      content += " y";
    }
    EXPECT_TRUE(set_text_record_text(text->te, content.c_str()));
    return text;
  }
  object* table_of(std::vector<object*> numbers) {
    object* table = make(&classe_table, 0, {});
    GlobalFreeAndNull(&table->parents);
    table->nbparents = static_cast<int16_t>(2 * numbers.size());
    table->parents = alloc_block<object*>(static_cast<uint32_t>(table->nbparents));
    for (size_t j = 0; j < numbers.size(); ++j) table->parents[2 * j] = table->parents[2 * j + 1] = numbers[j];
    table->nbvaleurs = 0;
    return table;
  }
  object* number(const char* text) {
    object* n = make(&classe_nombre, 0, {});
    EXPECT_TRUE(n && n->te && set_text_record_text(n->te, text));
    return n;
  }
};

TEST_F(Deletion, SelectionSparesOriginAndAxesAndTakesDependants) {
  object* origin = find_object_by_number(1);
  object* axes = find_object_by_number(2);
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* c = point(5, 5);
  object* ab = make2(&classe_segment, 0, a, b);
  object* mid = make2(&classe_milieu, 0, a, b);
  object* bc = make2(&classe_segment, 0, b, c);
  select(origin);
  select(axes);
  select(a);
  delete_objects(nullptr);
  EXPECT_TRUE(alive(origin));
  EXPECT_TRUE(alive(axes));
  EXPECT_FALSE(alive(a));
  EXPECT_FALSE(alive(ab));
  EXPECT_FALSE(alive(mid));
  EXPECT_TRUE(alive(b) && alive(c) && alive(bc));
  EXPECT_EQ(objlist_count(fig_->selection), 0);
  EXPECT_EQ(fig_->cur2, axes);
  EXPECT_EQ(remembered_object_count, fig_->nbobj);
  expect_numbered();
}

TEST_F(Deletion, TextLosesOnlyTheReferenceAndIsRenumbered) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* c = point(20, 0);
  object* text = text_quoting({a, b, c});
  ASSERT_STREQ(text->te->text, "x$1$ y$2$ y$3$ y");
  delete_objects(a);
  ASSERT_TRUE(alive(text));
  EXPECT_STREQ(text->te->text, "x y$1$ y$2$ y");
  ASSERT_NE(text->inserted, nullptr);
  EXPECT_EQ(text->inserted->obj, b);
  EXPECT_EQ(text->inserted->number, 1);
  ASSERT_NE(text->inserted->next, nullptr);
  EXPECT_EQ(text->inserted->next->obj, c);
  EXPECT_EQ(text->inserted->next->number, 2);
  EXPECT_EQ(text->inserted->next->next, nullptr);

  // Selected on its second reference (tag 0x102 + 2): only that goes.
  select(text, 0x104);
  delete_objects(nullptr);
  ASSERT_TRUE(alive(text));
  EXPECT_TRUE(alive(c));
  EXPECT_STREQ(text->te->text, "x y$1$ y y");
  EXPECT_EQ(text->inserted->obj, b);
  EXPECT_EQ(text->inserted->next, nullptr);
}

TEST_F(Deletion, LabelSelectedByItsFrameLosesOnlyTheLabel) {
  object* a = point(0, 0);
  a->te = create_text_record(0, 0, 40, 21, 0);
  ASSERT_NE(a->te, nullptr);
  select(a, 0x102);
  delete_objects(nullptr);
  ASSERT_TRUE(alive(a));
  EXPECT_EQ(a->te, nullptr);
}

TEST_F(Deletion, TableLosesTheColumnOfTheDeletedNumber) {
  object* n1 = number("1.5 cm");
  object* n2 = number("2");
  object* table = table_of({n1, n2});
  tabulate_ready = 1;
  compute_table(table);
  ASSERT_EQ(table->nbvaleurs, 1);
  delete_objects(n1);
  ASSERT_TRUE(alive(table));
  ASSERT_EQ(table->nbparents, 2);
  EXPECT_EQ(table->parents[1], n2);
  EXPECT_EQ(table->nbvaleurs, 1);
  EXPECT_STREQ(table->te->text, "2");
  delete_objects(n2);
  ASSERT_TRUE(alive(table));
  EXPECT_EQ(table->nbparents, 0);
  EXPECT_EQ(table->nbvaleurs, 0);
}

TEST_F(Deletion, ARowChosenInTheTableDoesNotKeepTheColumnOfADeletedNumber) {
  object* n1 = number("1");
  object* n2 = number("2");
  object* table = table_of({n1, n2});
  tabulate_ready = 1;
  compute_table(table);
  tabulate_ready = 1;
  compute_table(table);
  ASSERT_EQ(table->nbvaleurs, 2);
  table_row_request(table->te) = 1;  // chosen by a click, not removed yet
  delete_objects(n1);
  ASSERT_TRUE(alive(table));
  ASSERT_EQ(table->nbparents, 2);
  EXPECT_EQ(table->parents[1], n2);
  EXPECT_EQ(table->nbvaleurs, 2);
}

TEST_F(Deletion, StickyDependantProtectsItsChain) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* ab = make2(&classe_segment, 0, a, b);
  object* mid = make2(&classe_milieu, 0, a, b);
  mid->settings.sticky = 1;
  EXPECT_FALSE(object_can_be_deleted(a));
  EXPECT_TRUE(object_can_be_deleted(ab));
  for (object* o = fig_->first; o; o = o->next) EXPECT_EQ(o->state & OBJ_WALK, 0u);
  select(a);
  select(ab);
  delete_objects(nullptr);
  EXPECT_TRUE(alive(a) && alive(mid));
  EXPECT_FALSE(alive(ab));
}

TEST_F(Deletion, LastUserOfAMacroIntermediateTakesItAlong) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  // A macro application: a hidden midpoint (final_no 0) and two finals
  // built on it.
  object* mid = make2(&classe_milieu, 0, a, b);
  object* f1 = make2(&classe_segment, 0, mid, b);
  object* f2 = make2(&classe_segment, 0, a, mid);
  infomacro* im = alloc_block<infomacro>();
  im->im_nb_initials = 2;
  im->im_initials = alloc_block<object*>(2);
  im->im_initials[0] = a;
  im->im_initials[1] = b;
  for (object* o : {mid, f1, f2}) o->macro = im;
  mid->final_no = 0;
  delete_objects(f1);
  EXPECT_FALSE(alive(f1));
  EXPECT_TRUE(alive(mid));  // f2 still uses it
  delete_objects(f2);
  EXPECT_FALSE(alive(f2));
  EXPECT_FALSE(alive(mid));
  EXPECT_TRUE(alive(a) && alive(b));
  expect_numbered();
}

TEST_F(Deletion, InitialObjectOfAMacroApplicationTakesTheApplication) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* c = point(20, 5);
  object* f = make2(&classe_segment, 0, b, c);  // built by the macro from a and b
  infomacro* im = alloc_block<infomacro>();
  im->im_nb_initials = 1;
  im->im_initials = alloc_block<object*>(1);
  im->im_initials[0] = a;
  f->macro = im;
  delete_objects(a);
  EXPECT_FALSE(alive(f));
  EXPECT_TRUE(alive(b) && alive(c));
}

TEST_F(Deletion, ButtonLosesDeletedTargetsAndShowsItsOwnWhenDeleted) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* button = make(&classe_button, 0, {});
  ASSERT_NE(button, nullptr);
  for (object* t : {a, b}) {
    auto* node = alloc_block<objectptrlist>();
    node->obj = t;
    node->next = button->associated;
    button->associated = node;
  }
  b->settings.visible = 0;
  delete_objects(a);
  ASSERT_NE(button->associated, nullptr);
  EXPECT_EQ(button->associated->obj, b);
  EXPECT_EQ(button->associated->next, nullptr);
  delete_objects(button);
  EXPECT_EQ(b->settings.visible, 1);
}

TEST_F(Deletion, UndoBringsTheDeletedObjectsBack) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  make2(&classe_segment, 0, a, b);
  const uint32_t before = fig_->nbobj;
  save_undo_state(0);
  select(a);
  delete_objects(nullptr);
  EXPECT_EQ(fig_->nbobj, before - 2);
  undo_swap_state();
  kelvo_win_info* back = KPGeoDocument::currentInfo();
  ASSERT_NE(back, fig_);
  EXPECT_EQ(back->nbobj, before);
  object* seg = nullptr;
  for (object* o = back->first; o; o = o->next)
    if (o->classe == &classe_segment) seg = o;
  ASSERT_NE(seg, nullptr);
  EXPECT_EQ(seg->parents[0]->valeurs[0].h, 0);
  fig_ = back;
}

TEST_F(Deletion, IntersectionPointLeavesItsSet) {
  object* o = point(0, 0);
  object* a = point(100, 0);
  object* b = point(0, -200);
  object* c = make2(&classe_cercle, 1, o, a);
  object* l = make2(&classe_droite, 1, o, b);
  object* set = get_intersection_set(l, c, nullptr);
  ASSERT_NE(set, nullptr);
  object* made = create_intersection_point(set, 0);
  ASSERT_NE(made, nullptr);
  create_intersection_point(set, 1);
  const int records = intersection_record_count(set);
  delete_objects(made);
  EXPECT_FALSE(alive(made));
  if (records > 1) {
    ASSERT_TRUE(alive(set));
    EXPECT_EQ(intersection_record_count(set), records - 1);
  } else {
    EXPECT_FALSE(alive(set));
  }
}

TEST_F(Deletion, SortPutsEveryObjectAfterItsParents) {
  std::vector<object*> chain{point(0, 0)};
  for (int i = 0; i < 20; ++i) chain.push_back(make2(&classe_milieu, 0, chain.back(), chain.front()));
  // Reverse the whole list.
  std::vector<object*> all;
  for (object* o = fig_->first; o; o = o->next) all.push_back(o);
  object* prev = nullptr;
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    (*it)->prev = prev;
    (*it)->next = nullptr;
    if (prev) prev->next = *it;
    prev = *it;
  }
  fig_->first = all.back();
  fig_->last_hint = nullptr;
  EXPECT_TRUE(sort_objects_by_dependency());
  expect_numbered();
  for (object* o = fig_->first; o; o = o->next)
    for (int i = 0; i < o->nbparents; ++i) EXPECT_LT(o->parents[i]->num, o->num);
}

TEST_F(Deletion, SortReportsACycleAndEnds) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* m1 = make2(&classe_milieu, 0, a, b);
  object* m2 = make2(&classe_milieu, 0, m1, b);
  m1->parents[0] = m2;  // a redefinition gone wrong
  EXPECT_FALSE(sort_objects_by_dependency());
  expect_numbered();
  EXPECT_LT(b->num, m1->num);
}

// Puts `moved` right before `before` in the list, numbers following.
void place_before(kelvo_win_info* fig, object* moved, object* before) {
  if (moved->prev) moved->prev->next = moved->next;
  else fig->first = moved->next;
  if (moved->next) moved->next->prev = moved->prev;
  moved->prev = before->prev;
  moved->next = before;
  if (before->prev) before->prev->next = moved;
  else fig->first = moved;
  before->prev = moved;
  fig->last_hint = nullptr;
  renumber_objects();
}

TEST_F(Deletion, SortPutsATextAfterWhatItQuotesAndTheTextsShowingThat) {
  object* n = number("2");
  object* shows = make(&classe_text, 0, {{n, 0}});
  ASSERT_EQ(shows->nbparents, 1);
  object* early = text_quoting({});
  object* comment = text_quoting({n});
  object* still = text_quoting({});
  place_before(fig_, comment, n);
  ASSERT_LT(comment->num, n->num);
  EXPECT_TRUE(sort_objects_by_dependency());
  expect_numbered();
  EXPECT_GT(comment->num, n->num);
  EXPECT_GT(comment->num, shows->num) << "a text showing what the comment quotes comes first";
  EXPECT_EQ(comment->next, early) << "the comment goes right after what it follows";
  EXPECT_EQ(early->next, still);

  // Texts quoting each other cannot both follow: the parents still rule.
  object* other = text_quoting({comment});
  add_text_reference(other, &comment->inserted);
  EXPECT_TRUE(sort_objects_by_dependency());
  expect_numbered();
  EXPECT_GT(shows->num, n->num);
}

TEST_F(Deletion, SortKeepsAMacroApplicationTogetherAndItsFinalsInOrder) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* first = make2(&classe_milieu, 0, a, b);
  object* second = make2(&classe_segment, 0, first, b);
  object* third = make2(&classe_segment, 0, a, b);
  infomacro* im = alloc_block<infomacro>();
  im->im_nb_initials = 2;
  im->im_initials = alloc_block<object*>(2);
  im->im_initials[0] = a;
  im->im_initials[1] = b;
  int16_t rank = 0;
  for (object* o : {first, second, third}) {
    o->macro = im;
    o->final_no = ++rank;
  }
  // Built on the application's first object, but listed before it.
  object* user = make2(&classe_segment, 0, a, first);
  place_before(fig_, user, first);
  // The last final listed before the others it follows.
  place_before(fig_, third, first);
  EXPECT_TRUE(sort_objects_by_dependency());
  expect_numbered();
  EXPECT_LT(first->num, second->num);
  EXPECT_LT(second->num, third->num) << "finals keep their order";
  EXPECT_GT(user->num, third->num) << "the application was split";
}

// A handler that records what it is given.
std::vector<std::pair<object*, uint16_t>> replayed;
bool recording_select(uint16_t*, object** designated) {
  uint16_t tag = picked.tags ? picked.tags[0] : 0;
  replayed.emplace_back(picked.items ? picked.items[0] : nullptr, tag);
  *designated = nullptr;
  return false;
}

TEST_F(Deletion, CancelLastSelectionDestroysThePickMadeOnTheFlyAndReplays) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* fresh = point(20, 0);
  fresh->state |= OBJ_NEW;
  construct_class replaying = classe_triangle;
  replaying.select = &recording_select;
  current_class = &replaying;
  objlist_add(fig_->inputs, a, 3);
  objlist_add(fig_->inputs, b, 0);
  objlist_add(fig_->inputs, fresh, 0);
  const uint32_t before = fig_->nbobj;
  replayed.clear();
  cancel_last_selection(1, 1);
  EXPECT_FALSE(alive(fresh));
  EXPECT_EQ(fig_->nbobj, before - 1);
  ASSERT_EQ(replayed.size(), 2u);
  EXPECT_EQ(replayed[0], std::make_pair(a, uint16_t{3}));
  EXPECT_EQ(replayed[1], std::make_pair(b, uint16_t{0}));
  expect_numbered();

  // A pick that was not made on the fly stays in the figure.
  objlist_clear(fig_->inputs);
  objlist_add(fig_->inputs, a, 0);
  objlist_add(fig_->inputs, b, 0);
  cancel_last_selection(1, 1);
  EXPECT_TRUE(alive(b));
}

TEST_F(Deletion, CancelLastSelectionPreparesTheToolAgain) {
  object* a = point(0, 0);
  object* s = make2(&classe_segment, 0, a, point(10, 0));
  current_class = &classe_perpendiculaire;
  setup_current_tool(current_class);
  ASSERT_TRUE(accepted_list_has(&accepted_types, TYPE_POINT));
  // The point taken marks its code: points are no longer offered.
  objlist_clear(&picked);
  objlist_add(&picked, a, 0);
  uint16_t method = 0;
  object* designated = nullptr;
  take_tool_argument(&method, &designated);
  ASSERT_EQ(objlist_count(fig_->inputs), 1);
  setup_current_tool(&classe_perpendiculaire);
  ASSERT_FALSE(accepted_list_has(&accepted_types, TYPE_POINT));
  cancel_last_selection(1, 1);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
  EXPECT_TRUE(accepted_list_has(&accepted_types, TYPE_POINT)) << "the tool still refuses points";
  EXPECT_TRUE(alive(s));
}

}  // namespace
