// A conic in a figure: built through create_object as the tool builds it,
// with a point on it and its intersections with a line, while one of its
// defining points moves in small steps and the figure is recomputed in
// list order.
#include <cmath>
#include <vector>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/conic_type.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/support/intersection_clicks.h"

namespace {

class ConicFigure : public GeometryTest {
 protected:
    void TearDown() override
    {
        GlobalFreeAndNull(&points_on_objects.items);
        GlobalFreeAndNull(&points_on_objects.tags);
        points_on_objects.capacity = 0;
        GeometryTest::TearDown();
    }

    object* conic_through(const double pts[5][2])
    {
        for (int i = 0; i < 5; ++i) defining_[i] = point(pts[i][0], pts[i][1]);
        return make(classe_conic, 0, {defining_[0], defining_[1], defining_[2], defining_[3], defining_[4]});
    }

    std::vector<object*> of_class(const construct_class* cls)
    {
        std::vector<object*> found;
        for (object* o = fig_->first; o; o = o->next)
            if (o->classe == cls) found.push_back(o);
        return found;
    }

    static double residual(object* conic, const valeur& p)
    {
        conic_load_equation(conic->valeurs);
        const double gx = conic_a * p.h + conic_b * p.v + conic_d, gy = conic_b * p.h + conic_c * p.v + conic_e;
        return std::fabs(conic_value_at(p.h, p.v)) / (2 * std::hypot(gx, gy));
    }

    object* defining_[5] = {};
};

} // namespace

TEST_F(ConicFigure, TheConicTypeIsBoundAtStartUp)
{
    EXPECT_EQ(type_conic.hit_test, &conic_hit_test);
    EXPECT_EQ(type_conic.intersect, &conic_intersect);
    EXPECT_NE(type_conic.point_on, nullptr);
    const double pts[5][2] = {{300, 200}, {220, 260}, {120, 210}, {130, 130}, {260, 120}};
    object* c = conic_through(pts);
    ASSERT_FALSE(c->state & OBJ_UNDEFINED);
    EXPECT_EQ(conic_stored_kind(c->valeurs), kConicEllipse);
    EXPECT_EQ(c->math.conic_info, 1u);
}

TEST_F(ConicFigure, IntersectionsAndAPointOnTheConicFollowADefiningPoint)
{
    const double pts[5][2] = {{300, 200}, {220, 260}, {120, 210}, {130, 130}, {260, 120}};
    object* c = conic_through(pts);
    object* a = point(80, 190);
    object* b = point(340, 170);
    object* l = make(classe_droite, 1, {a, b});
    intersection_by_clicks(l, c);
    std::vector<object*> crossings = of_class(&classe_ptint);
    ASSERT_EQ(crossings.size(), 2u);
    object* on = point_on(c, 5, 200, 280);
    ASSERT_FALSE(on->state & OBJ_UNDEFINED);
    EXPECT_LT(residual(c, on->valeurs[0]), 1e-9);

    std::vector<uint32_t> index;
    std::vector<valeur> last;
    for (object* x : crossings) {
        index.push_back(x->math.inter_index);
        last.push_back(x->valeurs[0]);
        EXPECT_LT(residual(c, x->valeurs[0]), 1e-7);
    }
    EXPECT_NE(index[0], index[1]);
    valeur on_last = on->valeurs[0];
    // The first defining point goes round, two pixels at a time.
    for (int k = 1; k <= 60; ++k) {
        move(defining_[0], 300 + 40 * std::sin(k * 0.05), 200 + 30 * (1 - std::cos(k * 0.05)));
        ASSERT_EQ(conic_stored_kind(c->valeurs), kConicEllipse) << k;
        for (size_t i = 0; i < crossings.size(); ++i) {
            object* x = crossings[i];
            ASSERT_FALSE(x->state & OBJ_UNDEFINED) << k;
            EXPECT_EQ(x->math.inter_index, index[i]) << k;
            EXPECT_LT(residual(c, x->valeurs[0]), 1e-7) << k;
            EXPECT_LT(std::hypot(x->valeurs[0].h - last[i].h, x->valeurs[0].v - last[i].v), 5) << k;
            last[i] = x->valeurs[0];
        }
        ASSERT_FALSE(on->state & OBJ_UNDEFINED) << k;
        EXPECT_LT(residual(c, on->valeurs[0]), 1e-7) << k;
        EXPECT_LT(std::hypot(on->valeurs[0].h - on_last.h, on->valeurs[0].v - on_last.v), 5) << k;
        on_last = on->valeurs[0];
    }
    // The two crossings stay apart and on the line.
    EXPECT_GT(std::hypot(last[0].h - last[1].h, last[0].v - last[1].v), 50);
}
