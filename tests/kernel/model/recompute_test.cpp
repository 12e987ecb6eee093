// Recomputation order, undefinedness and the undo copy.
#include <gtest/gtest.h>

#include <vector>

#include "kernel/model/engine_fixture.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"

namespace {

std::vector<object*> calls;

// A segment's values are its end points.
void test_segment_compute(object* o) {
  calls.push_back(o);
  o->valeurs[0] = o->parents[0]->valeurs[0];
  o->valeurs[1] = o->parents[1]->valeurs[0];
}
// The midpoint; at infinity when both points coincide.
void test_midpoint_compute(object* o) {
  calls.push_back(o);
  const valeur& a = o->parents[0]->valeurs[0];
  const valeur& b = o->parents[1]->valeurs[0];
  o->valeurs[0].h = (a.h + b.h) / 2;
  o->valeurs[0].v = (a.v + b.v) / 2;
  if (a.h == b.h && a.v == b.v) o->state |= OBJ_AT_INFINITY;
}
void test_number_compute(object* o) { calls.push_back(o); }

class RecomputeTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    calls.clear();
    classe_segment.methods[0]->compute = test_segment_compute;
    classe_milieu.methods[0]->compute = test_midpoint_compute;
    classe_length.methods[1]->compute = test_number_compute;
    classe_text.methods[0]->compute = test_number_compute;
  }
  void TearDown() override {
    classe_segment.methods[0]->compute = nullptr;
    classe_milieu.methods[0]->compute = nullptr;
    classe_length.methods[1]->compute = nullptr;
    classe_text.methods[0]->compute = nullptr;
    manage_infinity = 1;
    EngineTest::TearDown();
  }
  void recompute_all() {
    for (object* o = KPGeoDocument::currentInfo()->first; o; o = o->next) recompute_object(o);
  }
};

TEST_F(RecomputeTest, DependantsFollowInListOrder) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* seg = make2(&classe_segment, 0, a, b);
  object* mid = make2(&classe_milieu, 0, a, b);
  a->valeurs[0].h = 4;
  calls.clear();
  recompute_all();
  EXPECT_EQ(calls, (std::vector<object*>{seg, mid}));
  EXPECT_EQ(seg->valeurs[0].h, 4);
  EXPECT_EQ(mid->valeurs[0].h, 7);
}

TEST_F(RecomputeTest, UndefinedParentSpreadsAndComesBack) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* seg = make2(&classe_segment, 0, a, b);
  object* mid = make2(&classe_milieu, 0, a, b);
  const double before = mid->valeurs[0].h;
  a->state |= OBJ_UNDEFINED;
  a->valeurs[0].h = 100;
  calls.clear();
  recompute_all();
  EXPECT_TRUE(calls.empty());  // not computed from an undefined parent
  EXPECT_NE(seg->state & OBJ_UNDEFINED, 0u);
  EXPECT_NE(mid->state & OBJ_UNDEFINED, 0u);
  EXPECT_EQ(mid->valeurs[0].h, before);  // keeps its previous values

  a->state &= ~OBJ_UNDEFINED;
  recompute_all();
  EXPECT_EQ(seg->state & OBJ_UNDEFINED, 0u);
  EXPECT_EQ(mid->state & OBJ_UNDEFINED, 0u);
  EXPECT_EQ(mid->valeurs[0].h, 55);

  // A parent whose value is an error counts as undefined too.
  b->aux2 |= 16;
  recompute_object(seg);
  EXPECT_NE(seg->state & OBJ_UNDEFINED, 0u);
}

TEST_F(RecomputeTest, NumbersShowTheUndefinedTextAndTextsToleratethem) {
  static char undefined_text[] = "undefined, with a long explanation";
  kernel_strings[306] = undefined_text;
  ASSERT_EQ(create_default_objects(), 0);
  object* a = point(1, 1);
  object* len = make(&classe_length, 1, {{a, 0}, {find_object_by_number(2), 1}});
  ASSERT_NE(len, nullptr);
  ASSERT_NE(len->te, nullptr);
  object* text_of_number = make(&classe_text, 0, {{len, 0}});
  object* text_of_point = make(&classe_text, 0, {{a, 0}});
  a->state |= OBJ_UNDEFINED;
  recompute_object(len);
  recompute_object(text_of_number);
  recompute_object(text_of_point);
  EXPECT_NE(len->state & OBJ_UNDEFINED, 0u);
  EXPECT_STREQ(len->te->text, undefined_text);
  EXPECT_EQ(len->te->length, static_cast<int32_t>(sizeof(undefined_text) - 1));
  EXPECT_GE(GlobalSize(len->te->text), sizeof(undefined_text));
  EXPECT_EQ(text_of_number->state & OBJ_UNDEFINED, 0u);
  EXPECT_NE(text_of_point->state & OBJ_UNDEFINED, 0u);
  kernel_strings[306] = nullptr;
}

TEST_F(RecomputeTest, InfinityIsUndefinedOnlyWithoutManageInfinity) {
  object* a = point(3, 3);
  object* b = point(3, 3);
  object* mid = make2(&classe_milieu, 0, a, b);
  EXPECT_EQ(mid->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED), OBJ_AT_INFINITY);
  manage_infinity = 0;
  recompute_object(mid);
  EXPECT_EQ(mid->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED), OBJ_AT_INFINITY | OBJ_UNDEFINED);
}

TEST_F(RecomputeTest, MethodsWithoutComputeLeaveStateAlone) {
  object* a = point(0, 0);
  a->state |= OBJ_UNDEFINED | OBJ_AT_INFINITY;
  recompute_object(a);
  EXPECT_EQ(a->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY), OBJ_UNDEFINED | OBJ_AT_INFINITY);
}

TEST_F(RecomputeTest, UndoRightAfterANewFigureDoesNothing) {
  save_undo_state(0);
  kelvo_win_info* before = KPGeoDocument::currentInfo();
  fig_->wflags &= ~WFLAG_UNDO_ENABLED;
  undo_swap_state();
  EXPECT_EQ(KPGeoDocument::currentInfo(), before);
}

TEST_F(RecomputeTest, UndoAndRedoOfOneSegment) {
  for (int i = 0; i < 5; ++i) point(i * 10, 0);
  save_undo_state(0);
  object* seg = make2(&classe_segment, 0, find_object_by_number(1), find_object_by_number(2));
  ASSERT_NE(seg, nullptr);
  save_undo_state(remembered_object_count);
  ASSERT_EQ(fig_->nbobj, 6u);

  undo_swap_state();
  kelvo_win_info* undone = KPGeoDocument::currentInfo();
  ASSERT_NE(undone, fig_);
  EXPECT_EQ(undone->nbobj, 5u);
  EXPECT_EQ(undone->undo, fig_);
  EXPECT_EQ(remembered_object_count, 5u);

  undo_swap_state();
  EXPECT_EQ(KPGeoDocument::currentInfo(), fig_);
  EXPECT_EQ(fig_->nbobj, 6u);
  EXPECT_EQ(find_object_by_number(6), seg);

  // Undo, then build something else: the figure goes on from the undone state.
  undo_swap_state();
  kelvo_win_info* cur = KPGeoDocument::currentInfo();
  object* p = point(1, 2);
  EXPECT_EQ(p->num, 6u);
  save_undo_state(0);
  EXPECT_EQ(cur->undo->nbobj, 6u);
}

TEST_F(RecomputeTest, UndoCopyRemapsParentsByNumber) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  make2(&classe_segment, 0, a, b);
  save_undo_state(0);
  kelvo_win_info* copy = fig_->undo;
  ASSERT_EQ(copy->nbobj, 3u);
  object* seg_copy = copy->first->next->next;
  EXPECT_EQ(seg_copy->parents[0], copy->first);
  EXPECT_EQ(seg_copy->parents[1], copy->first->next);
}

}  // namespace
