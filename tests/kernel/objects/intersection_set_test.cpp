// Intersection sets and points: the intersection tool, common points,
// points that keep to their roots while the figure moves, the record
// array, and the searches that must end whatever an intersect operation
// answers.
#include <cmath>

#include "kernel/model/geometry_fixture.h"
#include "kernel/model/object_store.h"
#include "kernel/objects/inter_list.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/support/intersection_clicks.h"
#include "kernel/tools/tool_args.h"

namespace {

class IntersectionSets : public GeometryTest {
 protected:
  void TearDown() override {
    designated_crossing = 0;
    pending_crossing = 0;
    objlist_free_items();
    GeometryTest::TearDown();
  }
  void objlist_free_items() {
    GlobalFreeAndNull(&points_on_objects.items);
    GlobalFreeAndNull(&points_on_objects.tags);
    points_on_objects.capacity = 0;
  }

  object* circle(object* centre, object* through) { return make(classe_cercle, 1, {centre, through}); }
  object* line(object* a, object* b) { return make(classe_droite, 1, {a, b}); }

  int count_class(const construct_class* cls) {
    int n = 0;
    for (object* o = fig_->first; o; o = o->next)
      if (o->classe == cls) ++n;
    return n;
  }
  object* only_set() {
    for (object* o = fig_->first; o; o = o->next)
      if (o->classe == &classe_interset) return o;
    return nullptr;
  }
  object* point_of_index(uint32_t index) {
    for (object* o = fig_->first; o; o = o->next)
      if (o->classe == &classe_ptint && o->math.inter_index == index) return o;
    return nullptr;
  }
  int common_records(object* set) {
    int n = 0;
    for (auto* r = static_cast<inter_rec*>(set->data); r && r->owner; ++r)
      if (r->index == kNoIndex) ++n;
    return n;
  }
  bool defined(const object* p) { return !(p->state & OBJ_UNDEFINED); }
};

TEST_F(IntersectionSets, LineThroughAPointOfTheCircleGetsOnlyTheOtherCrossing) {
  object* o = point(0, 0);
  object* a = point(100, 0);
  object* b = point(-100, 100);
  object* c = circle(o, a);
  object* l = line(a, b);
  object* made = intersection_by_clicks(l, c);

  object* set = only_set();
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->parents[0], l);  // the lower type identifier first
  EXPECT_EQ(set->parents[1], c);
  EXPECT_EQ(common_records(set), 1);
  ASSERT_EQ(count_class(&classe_ptint), 1);
  ASSERT_NE(made, nullptr);
  // A is root 0 along the line; the new point is root 1.
  EXPECT_EQ(made->math.inter_index, 0x10000u);
  EXPECT_AT(made->valeurs[0], -60, 80);

  // Applying the tool again makes nothing new.
  const uint32_t before = fig_->nbobj;
  intersection_by_clicks(c, l);
  EXPECT_EQ(fig_->nbobj, before);
  EXPECT_EQ(count_class(&classe_interset), 1);
  EXPECT_EQ(count_class(&classe_ptint), 1);

  // Turning the line about A keeps the point on the other crossing.
  for (double bv : {50.0, 150.0, -100.0, -300.0}) {
    move(b, -100, bv);
    ASSERT_TRUE(defined(made)) << bv;
    const valeur& p = made->valeurs[0];
    EXPECT_NEAR(std::hypot(p.h, p.v), 100, 1e-9);
    EXPECT_GT(std::fabs(p.h - 100) + std::fabs(p.v), 1) << bv;
    // On the line through A and B.
    EXPECT_NEAR((p.h - 100) * bv - p.v * (-200), 0, 1e-6);
  }
}

TEST_F(IntersectionSets, PointsGoUndefinedOffTheCurveAndComeBackOnTheirOwnRoots) {
  object* c = circle(point(0, 0), point(100, 0));
  object* p = point(-200, 50);
  object* q = point(200, 50);
  object* l = line(p, q);
  intersection_by_clicks(l, c);
  object* first = point_of_index(0);
  object* second = point_of_index(0x10000);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  const double x = std::sqrt(100.0 * 100 - 50 * 50);
  EXPECT_AT(first->valeurs[0], -x, 50);
  EXPECT_AT(second->valeurs[0], x, 50);

  p->valeurs[0].v = 150;
  move(q, 200, 150);
  EXPECT_FALSE(defined(first));
  EXPECT_FALSE(defined(second));

  p->valeurs[0].v = -50;
  move(q, 200, -50);
  ASSERT_TRUE(defined(first));
  ASSERT_TRUE(defined(second));
  EXPECT_AT(first->valeurs[0], -x, -50);
  EXPECT_AT(second->valeurs[0], x, -50);
}

TEST_F(IntersectionSets, SegmentCrossingOnceGetsAnUndefinedPointUntilItReachesTheOtherCrossing) {
  object* c = circle(point(0, 0), point(100, 0));
  object* s = point(0, 0);
  object* seg = make(classe_segment, 0, {s, point(200, 0)});
  intersection_by_clicks(seg, c);
  ASSERT_EQ(count_class(&classe_ptint), 2);
  object* first = point_of_index(0);
  object* second = point_of_index(0x10000);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(defined(first));
  ASSERT_TRUE(defined(second));
  EXPECT_AT(second->valeurs[0], 100, 0);

  move(s, -200, 0);
  ASSERT_TRUE(defined(first));
  EXPECT_AT(first->valeurs[0], -100, 0);
  EXPECT_AT(second->valeurs[0], 100, 0);
}

TEST_F(IntersectionSets, TwoCirclesFollowTheirCentres) {
  object* c1 = circle(point(0, 0), point(100, 0));
  object* centre = point(100, 0);
  object* c2 = make(classe_cercle, 1, {centre, point(200, 0)});
  intersection_by_clicks(c1, c2);
  ASSERT_EQ(count_class(&classe_ptint), 2);
  object* p0 = point_of_index(0);
  object* p1 = point_of_index(0x10000);
  ASSERT_TRUE(p0 && p1);
  const valeur a = p0->valeurs[0], b = p1->valeurs[0];
  EXPECT_NEAR(a.h, 50, 1e-9);
  EXPECT_NEAR(b.h, 50, 1e-9);
  EXPECT_NEAR(std::fabs(a.v), std::sqrt(7500.0), 1e-9);
  EXPECT_NEAR(a.v, -b.v, 1e-9);

  centre->valeurs[0].h = 1000;
  recompute_all();
  EXPECT_FALSE(defined(p0));
  EXPECT_FALSE(defined(p1));
  centre->valeurs[0].h = 100;
  recompute_all();
  ASSERT_TRUE(defined(p0) && defined(p1));
  EXPECT_AT(p0->valeurs[0], a.h, a.v);
  EXPECT_AT(p1->valeurs[0], b.h, b.v);
}

TEST_F(IntersectionSets, CommonPointsCountByVertices) {
  object* a = point(0, 0);
  object* t1 = make(classe_triangle, 0, {a, point(100, 0), point(0, 100)});
  object* t2 = make(classe_triangle, 0, {a, point(-100, -50), point(-50, -100)});
  object* s = make(classe_segment, 0, {a, point(0, -100)});
  object* c = circle(point(50, 50), a);
  object* l = line(a, point(-30, 70));

  struct Case {
    object* x;
    object* y;
    int records;
  };
  for (const Case& k : {Case{t1, t2, 4}, Case{s, c, 2}, Case{l, c, 1}, Case{s, t1, 4}}) {
    object* set = get_intersection_set(k.x, k.y, nullptr);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(common_records(set), k.records);
  }

  // The four sides meeting at the shared vertex make no point there.
  intersection_by_clicks(t1, t2);
  for (object* o = fig_->first; o; o = o->next) {
    if (o->classe == &classe_ptint && defined(o)) {
      EXPECT_GT(std::fabs(o->valeurs[0].h) + std::fabs(o->valeurs[0].v), 1e-6);
    }
  }
}

TEST_F(IntersectionSets, DesignatedCrossingMakesOnlyThePointNearIt) {
  object* c = circle(point(0, 0), point(100, 0));
  object* l = line(point(-200, 0), point(200, 0));
  objlist_clear(&intersection_candidates);
  objlist_add(&intersection_candidates, l, 0);
  objlist_add(&intersection_candidates, c, 0);
  designated_crossing = 1;
  designated_crossing_pos = tagPOINT{95, 3};
  object* out = nullptr;
  current_class = &classe_interset;
  intersection_tool(nullptr, &out);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(designated_crossing, 0);
  EXPECT_EQ(out->math.inter_index, 0x10000u);
  EXPECT_AT(out->valeurs[0], 100, 0);
  EXPECT_EQ(count_class(&classe_ptint), 1);

  // The same place again finds the same point.
  designated_crossing = 1;
  object* again = nullptr;
  intersection_tool(nullptr, &again);
  EXPECT_EQ(again, out);
  EXPECT_EQ(count_class(&classe_ptint), 1);
  objlist_clear(&intersection_candidates);

  object* list[] = {c, nullptr};
  EXPECT_EQ(intersect_dispatch(l, list, -90, 5, 0), 1);
  EXPECT_EQ(intersect_probe_index, 0u);
  EXPECT_EQ(intersect_dispatch(l, list, 0, 50, 0), 0);
}

TEST_F(IntersectionSets, RemovingRecordsCountsFirst) {
  object* c = circle(point(0, 0), point(100, 0));
  object* l = line(point(-200, 0), point(200, 0));
  intersection_by_clicks(l, c);
  object* set = only_set();
  ASSERT_EQ(intersection_record_count(set), 2);
  remove_intersection_record(set, 7);  // no record has it
  EXPECT_EQ(intersection_record_count(set), 2);
  remove_intersection_record(set, 0);
  EXPECT_EQ(intersection_record_count(set), 1);
  EXPECT_EQ(static_cast<inter_rec*>(set->data)[0].index, 0x10000u);
  remove_intersection_record(set, 0x10000);
  EXPECT_EQ(set->data, nullptr);
}

TEST_F(IntersectionSets, LinkAndRefreshMoveAPointToAnotherRoot) {
  object* c = circle(point(0, 0), point(100, 0));
  object* l = line(point(-200, 0), point(200, 0));
  intersection_by_clicks(l, c);
  object* set = only_set();
  object* p0 = point_of_index(0);
  object* p1 = point_of_index(0x10000);
  recompute_all();

  // A file named p0's crossing as an object lying at (-100, 0).
  object* there = point(-100, 0);
  link_intersection_point(p0, there);
  EXPECT_EQ(p0->math.inter_index, 0x10000u);

  // Two records on one index: the later one gets a free index.
  auto* recs = static_cast<inter_rec*>(set->data);
  for (int i = 0; recs[i].owner; ++i) recs[i].index = 0x10000;
  p1->math.inter_index = 0x10000;
  intersection_set_refresh(p1);
  EXPECT_EQ(p1->math.inter_index, 0u);
  recompute_all();
  EXPECT_AT(p0->valeurs[0], 100, 0);
  EXPECT_AT(p1->valeurs[0], -100, 0);
}

// An operation that never answers "no such index".
int32_t always_missing(object*, object*, void*, uint32_t) { return 2; }

TEST_F(IntersectionSets, SearchesEndWhateverTheOperationAnswers) {
  object* a = point(0, 0);
  object* c1 = circle(point(50, 0), a);
  object* c2 = circle(point(-50, 0), a);
  object* set = get_intersection_set(c1, c2, nullptr);
  ASSERT_EQ(common_records(set), 1);
  object* p = create_intersection_point(set, 0x10000);
  ASSERT_NE(p, nullptr);

  type stubborn = *c2->otype;
  type* saved = set->parents[1]->otype;
  set->parents[1]->otype = &stubborn;
  stubborn.intersect = always_missing;
  recompute_all();
  EXPECT_FALSE(defined(p));
  set->parents[1]->otype = saved;
}

}  // namespace
