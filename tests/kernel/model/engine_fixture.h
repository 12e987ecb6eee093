// A registered class list and a fresh current figure, with helpers that
// build objects the way the tools do (picks in `inputs`, then create_object).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/undo.h"
#include "kernel/model/units.h"
#include "kernel/tools/tool_state.h"

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    init_construct_classes();
    // The tools' lists start empty; those a test fills go at the end.
    free_object_lists();
    baseline_ = kernel_live_blocks();
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    ASSERT_NE(fig_, nullptr);
    fig_->wflags |= WFLAG_UNDO_ENABLED;
  }

  void TearDown() override {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    kelvo_win_info* copy = fig ? fig->undo : nullptr;
    free_figure_info(fig, false);
    free_figure_info(copy, false);
    KPGeoDocument::setCurrentInfo(nullptr);
    reset_construction_state();
    free_object_lists();
    free_file_image();
    reset_pixels_per_unit();
    reset_locale_separators();
    EXPECT_EQ(kernel_live_blocks(), baseline_);
    free_construct_classes();
  }

  // Builds an object of `cls` by method `method` from the picks, at the
  // rubber-band position (x, y).
  object* make(construct_class* cls, int method, std::initializer_list<std::pair<object*, uint16_t>> picks,
               double x = 0, double y = 0, uint16_t* created_out = nullptr) {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    current_class = cls;
    objlist_clear(fig->inputs);
    for (const auto& [obj, tag] : picks) objlist_add(fig->inputs, obj, tag);
    rubber_points[0] = valeur{x, y, {}, 0};
    uint16_t created = 0;
    object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 0);
    objlist_clear(fig->inputs);
    if (created_out) *created_out = created;
    if (o) o->state &= ~OBJ_NEW;
    return o;
  }
  object* point(double x, double y) { return make(&classe_point, 0, {}, x, y); }
  object* make2(construct_class* cls, int method, object* a, object* b, uint16_t* created = nullptr) {
    return make(cls, method, {{a, 0}, {b, 0}}, 0, 0, created);
  }

  std::size_t baseline_ = 0;
  kelvo_win_info* fig_ = nullptr;
};
