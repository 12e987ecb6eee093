// A figure with the construction classes registered, and helpers that build
// objects through create_object as the tools do, for the tests of points,
// straight objects and their computations.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/text_convert.h"
#include "kernel/model/units.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/tools/tool_state.h"

class GeometryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The pointer at rest, as at start-up, whatever tool a test before chose.
    reset_construction_state();
    init_construct_classes();
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    ASSERT_NE(fig_, nullptr);
  }

  void TearDown() override {
    kelvo_win_info* copy = fig_->undo;
    free_figure_info(fig_, false);
    free_figure_info(copy, false);
    reset_construction_state();
    reset_locale_separators();
    reset_pixels_per_unit();
    free_construct_classes();
  }

  // Builds an object of the class from the parents, computed. `nbvals` is
  // the number of values of a class whose number varies.
  object* make(construct_class& cls, int method, std::initializer_list<object*> parents, int nbvals = 0,
               valeur first = {}) {
    current_class = &cls;
    objlist_clear(fig_->inputs);
    for (object* p : parents) objlist_add(fig_->inputs, p, 0);
    variable_nb_values = static_cast<int16_t>(nbvals);
    for (valeur& r : rubber_points) r = valeur{};
    rubber_points[0] = first;
    object* o = create_object(static_cast<uint16_t>(method), nullptr, 1, 1, 1);
    EXPECT_NE(o, nullptr);
    return o;
  }

  object* point(double h, double v) {
    valeur at{};
    at.h = h;
    at.v = v;
    return make(classe_point, 0, {}, 0, at);
  }

  // The points of a regular polygon of n sides about `centre` from `vertex`,
  // stepping `index` vertices at a time (values for four sides).
  object* polygon_points(object* centre, object* vertex, int16_t n, int16_t index) {
    current_class = &classe_point_polyreg;
    objlist_clear(fig_->inputs);
    objlist_add(fig_->inputs, centre, 0);
    objlist_add(fig_->inputs, vertex, 0);
    variable_nb_values = 6;
    object* pr = create_object(1, nullptr, 0, 1, 1);
    EXPECT_NE(pr, nullptr);
    pr->math.polreg.nbsides = n;
    pr->math.polreg.index = index;
    recompute_object(pr);
    return pr;
  }

  // A free point at infinity in the direction (dh, dv).
  object* far_point(double dh, double dv) {
    object* p = point(dh, dv);
    p->valeurs[0].infini_inexist_indetermine = VAL_AT_INFINITY;
    p->state |= OBJ_AT_INFINITY;
    return p;
  }

  // A point on the carrier, placed by projecting (h, v).
  object* point_on(object* carrier, int method, double h, double v) {
    valeur at{};
    at.h = h;
    at.v = v;
    return make(classe_ptsur, method, {carrier}, 0, at);
  }

  // Moves a free point and recomputes the figure in list order.
  void move(object* p, double h, double v) {
    p->valeurs[0].h = h;
    p->valeurs[0].v = v;
    recompute_all();
  }

  void recompute_all() {
    for (object* o = fig_->first; o; o = o->next) recompute_object(o);
  }

  kelvo_win_info* fig_ = nullptr;
};

// Coordinates agree to within 1e-9.
#define EXPECT_AT(val, x, y)          \
  do {                                \
    EXPECT_NEAR((val).h, (x), 1e-9);  \
    EXPECT_NEAR((val).v, (y), 1e-9);  \
  } while (0)
