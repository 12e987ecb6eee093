// The intersection slot shared by the straight types and the coordinate
// system: tags, result codes and hand-over modes.
#include "kernel/model/geometry_fixture.h"
#include "kernel/objects/inter_list.h"
#include "kernel/objects/straight_intersect.h"

namespace {

class StraightIntersect : public GeometryTest {
 protected:
  void TearDown() override {
    intersection_results_free(&list_);
    GeometryTest::TearDown();
  }

  object* segment(double ah, double av, double bh, double bv) {
    return make(classe_segment, 0, {point(ah, av), point(bh, bv)});
  }
  object* line(double ah, double av, double bh, double bv) {
    return make(classe_droite, 1, {point(ah, av), point(bh, bv)});
  }

  // A coordinate system with its origin and axis vectors.
  object* axes(double oh, double ov) {
    object* o = make(classe_axe, 1, {point(0, 0), point(1, 0), point(0, 1)});
    o->valeurs[0] = valeur{oh, ov, {}, 0};
    o->valeurs[1] = valeur{10, 0, {}, 0};
    o->valeurs[2] = valeur{0, -10, {}, 0};
    return o;
  }

  int all(object* a, object* b) { return straight_intersect(a, b, &list_, kIntersectAll); }

  inter_list list_{};
};

TEST_F(StraightIntersect, CrossingSegmentsGiveOneTaggedPoint) {
  object* a = segment(0, 0, 10, 10);
  object* b = segment(0, 10, 10, 0);
  EXPECT_EQ(all(a, b), 1);
  ASSERT_EQ(list_.count, 1);
  EXPECT_EQ(list_.indices[0], 0u);
  EXPECT_AT(list_.values[0], 5, 5);
  EXPECT_EQ(list_.values[0].infini_inexist_indetermine, 0);
}

TEST_F(StraightIntersect, SegmentsWhoseLinesCrossOutsideThemGiveAMissingEntry) {
  object* a = segment(0, 0, 1, 1);
  object* b = segment(0, 10, 10, 0);
  EXPECT_EQ(all(a, b), 2);
  ASSERT_EQ(list_.count, 1);
  EXPECT_TRUE(list_.values[0].infini_inexist_indetermine & VAL_NOT_EXIST);
}

TEST_F(StraightIntersect, ParallelLinesMeetAtInfinityParallelSegmentsNowhere) {
  object* l1 = line(0, 0, 10, 0);
  object* l2 = line(0, 5, 10, 5);
  EXPECT_EQ(all(l1, l2), 1);
  ASSERT_EQ(list_.count, 1);
  EXPECT_EQ(list_.values[0].infini_inexist_indetermine, VAL_AT_INFINITY);

  object* s1 = segment(0, 0, 10, 0);
  object* s2 = segment(0, 5, 10, 5);
  EXPECT_EQ(all(s1, s2), 2);
  EXPECT_TRUE(list_.values[0].infini_inexist_indetermine & VAL_NOT_EXIST);
}

TEST_F(StraightIntersect, SegmentAgainstTriangleGivesOneEntryPerSide) {
  object* tri = make(classe_triangle, 0, {point(0, 0), point(10, 0), point(0, 10)});
  object* seg = segment(-5, 2, 20, 2);
  EXPECT_EQ(all(tri, seg), 1);
  ASSERT_EQ(list_.count, 3);
  // Side i of the triangle is the high half of the tag.
  EXPECT_EQ(list_.indices[0], 0x00000u);
  EXPECT_EQ(list_.indices[1], 0x10000u);
  EXPECT_EQ(list_.indices[2], 0x20000u);
  EXPECT_TRUE(list_.values[0].infini_inexist_indetermine & VAL_NOT_EXIST);  // parallel to the base
  EXPECT_AT(list_.values[1], 8, 2);
  EXPECT_AT(list_.values[2], 0, 2);
}

TEST_F(StraightIntersect, LineAgainstAxesGivesOneEntryPerAxis) {
  object* ax = axes(100, 100);
  object* l = line(90, 80, 130, 120);
  EXPECT_EQ(all(ax, l), 1);
  ASSERT_EQ(list_.count, 2);
  EXPECT_EQ(list_.indices[0], 0u);
  EXPECT_EQ(list_.indices[1], 0x10000u);
  EXPECT_AT(list_.values[0], 110, 100);
  EXPECT_AT(list_.values[1], 100, 90);
}

TEST_F(StraightIntersect, RayMeetingALineBehindItsOriginGivesNothing) {
  object* ray = make(classe_demidroite, 1, {point(0, 0), point(10, 0)});
  object* l = line(-5, -5, -5, 5);
  valeur out{};
  EXPECT_EQ(straight_intersect(ray, l, &out, 0), 2);
  object* ahead = line(5, -5, 5, 5);
  EXPECT_EQ(straight_intersect(ray, ahead, &out, 0), 1);
  EXPECT_AT(out, 5, 0);
}

TEST_F(StraightIntersect, ProbeFindsOnlyWithinSixteen) {
  object* a = segment(0, 0, 100, 100);
  object* b = segment(0, 100, 100, 0);
  intersect_probe = valeur{50 + 15.9, 50, {}, 0};
  EXPECT_EQ(straight_intersect(a, b, nullptr, kIntersectProbe), 1);
  EXPECT_AT(intersect_probe, 50, 50);
  EXPECT_EQ(intersect_probe_index, 0u);
  intersect_probe = valeur{50 + 8, 50 - 8, {}, 0};
  EXPECT_EQ(straight_intersect(a, b, nullptr, kIntersectProbe), 2);
}

TEST_F(StraightIntersect, SinglePairSelectorAddressesOnePart) {
  object* tri = make(classe_triangle, 0, {point(0, 0), point(10, 0), point(0, 10)});
  object* seg = segment(-5, 2, 20, 2);
  valeur out{};
  EXPECT_EQ(straight_intersect(tri, seg, &out, 0x00020000), 1);
  EXPECT_AT(out, 0, 2);
  EXPECT_EQ(straight_intersect(tri, seg, &out, 0x00000000), 2);
  EXPECT_EQ(straight_intersect(tri, seg, &out, 0x00030000), 4);
  EXPECT_EQ(straight_intersect(tri, seg, &out, 0x00000001), 4);

  // Raw mode: the last pair's value once one existed, flags included.
  EXPECT_EQ(straight_intersect(tri, seg, &out, kIntersectRaw), 1);
  EXPECT_AT(out, 0, 2);
}

TEST_F(StraightIntersect, OnlyStraightPairsInTypeOrder) {
  object* seg = segment(0, 0, 10, 10);
  object* l = line(0, 10, 10, 0);
  object* circle = make(classe_cercle, 1, {point(0, 0), point(5, 0)});
  valeur out{};
  EXPECT_EQ(straight_intersect(seg, l, &out, 0), 3);
  EXPECT_EQ(straight_intersect(circle, l, &out, 0), 3);
  EXPECT_EQ(straight_intersect(l, seg, &out, 0), 1);
}

TEST_F(StraightIntersect, PartWithAnEndAtInfinityGivesNothing) {
  object* seg = segment(0, 0, 10, 10);
  object* l = line(0, 10, 10, 0);
  seg->valeurs[1].infini_inexist_indetermine = VAL_AT_INFINITY;
  EXPECT_EQ(all(l, seg), 2);
  EXPECT_TRUE(list_.values[0].infini_inexist_indetermine & VAL_NOT_EXIST);
}

TEST(InterList, GrowsByFiveAndEmptiesOnNull) {
  inter_list list{};
  ASSERT_TRUE(intersection_results_add(&list, 0, nullptr));
  EXPECT_EQ(list.capacity, 5);
  EXPECT_EQ(list.count, 0);
  valeur v{};
  for (uint32_t i = 0; i < 7; ++i) {
    v.h = i;
    ASSERT_TRUE(intersection_results_add(&list, i << 16, &v));
  }
  EXPECT_EQ(list.capacity, 10);
  EXPECT_EQ(list.count, 7);
  EXPECT_EQ(list.values[6].h, 6);
  EXPECT_EQ(list.indices[6], 6u << 16);
  intersection_results_add(&list, 0, nullptr);
  EXPECT_EQ(list.count, 0);
  intersection_results_free(&list);
}

}  // namespace
