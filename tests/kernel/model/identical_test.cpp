// Identity tests between a fresh construction and existing objects.
#include <gtest/gtest.h>

#include "kernel/model/engine_fixture.h"
#include "kernel/model/identical.h"

namespace {

class IdenticalTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    a = point(0, 0);
    b = point(10, 0);
    c = point(5, 8);
  }
  // A fresh object of `cls` with the given parents, outside any figure.
  object fresh(construct_class* cls, int method, std::initializer_list<object*> ps) {
    object o{};
    o.classe = cls;
    o.methode = static_cast<int16_t>(method);
    o.otype = cls->ctype;
    o.nbparents = static_cast<int16_t>(ps.size());
    object** slots = parents_[used_++];
    int i = 0;
    for (object* p : ps) slots[i++] = p;
    o.parents = slots;
    return o;
  }
  object* a = nullptr;
  object* b = nullptr;
  object* c = nullptr;
  object* parents_[8][8] = {};
  int used_ = 0;
};

TEST_F(IdenticalTest, PolygonsMatchRotationsOnly) {
  object* abc = make(&classe_triangle, 0, {{a, 0}, {b, 0}, {c, 0}});
  object bca = fresh(&classe_triangle, 0, {b, c, a});
  EXPECT_TRUE(ident_cyclic_parents(&bca, abc));
  object acb = fresh(&classe_triangle, 0, {a, c, b});
  EXPECT_FALSE(ident_cyclic_parents(&acb, abc));
}

TEST_F(IdenticalTest, MidpointOfTwoPointsIsMidpointOfTheirSegmentOrSide) {
  object* seg = make2(&classe_segment, 0, b, a);
  object* mid_seg = make(&classe_milieu, 1, {{seg, 0}});
  object mid_pts = fresh(&classe_milieu, 0, {a, b});
  EXPECT_TRUE(ident_midpoint(&mid_pts, mid_seg));
  EXPECT_TRUE(ident_midpoint(mid_seg, &mid_pts));

  object* tri = make(&classe_triangle, 0, {{a, 0}, {b, 0}, {c, 0}});
  object* mid_side = make(&classe_milieu, 1, {{tri, 2}});  // side c-a
  EXPECT_EQ(mid_side->math.side.index, 2);
  object mid_ca = fresh(&classe_milieu, 0, {a, c});
  EXPECT_TRUE(ident_midpoint(&mid_ca, mid_side));
  EXPECT_FALSE(ident_midpoint(&mid_pts, mid_side));
}

TEST_F(IdenticalTest, DistanceMatchesOnlyAShownMeasure) {
  object* ab = make2(&classe_length, 1, a, b);
  object ba = fresh(&classe_length, 1, {b, a});
  EXPECT_FALSE(ident_length(&ba, ab));
  ab->aux2 |= 4;
  EXPECT_TRUE(ident_length(&ba, ab));
  object* seg = make2(&classe_segment, 0, a, b);
  object of_seg = fresh(&classe_length, 0, {seg});
  EXPECT_TRUE(ident_length(&of_seg, ab));
}

TEST_F(IdenticalTest, TransformationsThatFixTheObject) {
  object sym = fresh(&classe_symetrique, 0, {c, c});
  EXPECT_TRUE(ident_centre_fixed(&sym, c));
  EXPECT_FALSE(ident_centre_fixed(&sym, a));

  object* v = make2(&classe_vecteur, 0, a, b);
  object tr = fresh(&classe_translation, 0, {a, v});
  EXPECT_TRUE(ident_translation(&tr, b));
  EXPECT_FALSE(ident_translation(&tr, a));

  object* tri = make(&classe_triangle, 0, {{a, 0}, {b, 0}, {c, 0}});
  object refl = fresh(&classe_symetriquedr, 0, {b, tri});
  refl.math.side.index = 1;  // side b-c
  EXPECT_TRUE(ident_reflection(&refl, b));
  refl.math.side.index = 2;  // side c-a
  EXPECT_FALSE(ident_reflection(&refl, b));
}

TEST_F(IdenticalTest, PairPropertyComparesSidesAcrossTheSwap) {
  object* s1 = make2(&classe_segment, 0, a, b);
  object* s2 = make2(&classe_segment, 0, b, c);
  object* par = make2(&classe_parallelism, 0, s1, s2);
  object swapped = fresh(&classe_parallelism, 0, {s2, s1});
  EXPECT_TRUE(ident_pair_property(&swapped, par));
  object same = fresh(&classe_parallelism, 0, {s1, s2});
  same.math.bitsfield = 5;
  EXPECT_FALSE(ident_pair_property(&same, par));
}

TEST_F(IdenticalTest, NoParentsIsNeverIdentical) {
  object* n = make(&classe_nombre, 0, {});
  object other = fresh(&classe_nombre, 0, {});
  EXPECT_FALSE(identstd(&other, n));
  EXPECT_FALSE(ident_same_parents(&other, n));
  object* s = make2(&classe_spring, 0, a, b);
  object s2 = fresh(&classe_spring, 0, {a, c});
  EXPECT_TRUE(ident_spring(&s2, s));
}

}  // namespace
