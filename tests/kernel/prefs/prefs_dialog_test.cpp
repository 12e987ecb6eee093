#include "kernel/prefs/prefs_dialog.h"

#include <gtest/gtest.h>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/prefs/default_attrs.h"

namespace {

// A figure whose selection holds the given objects.
class PrefsLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    set_preference_store(&store);
    init_default_attrs(nullptr);
    KPGeoDocument::setCurrentInfo(&fig);
  }
  void TearDown() override {
    KPGeoDocument::setCurrentInfo(nullptr);
    set_preference_store(nullptr);
  }
  void select(std::initializer_list<object*> objects) {
    int n = 0;
    for (object* o : objects) items[n++] = o;
    items[n] = nullptr;
    list.items = items;
    list.capacity = 8;
    fig.selection = &list;
  }
  static object locus(int16_t count, int8_t link) {
    object o{};
    o.otype = &type_locus;
    o.math.locus.nb_pts = count;
    o.math.locus.lkpt = link;
    return o;
  }
  static object number(construct_class* cls, uint8_t decimals) {
    object o{};
    o.otype = &type_number;
    o.classe = cls;
    o.settings.nbre_decimales = decimals;
    return o;
  }
  MemoryPreferenceStore store;
  kelvo_win_info fig{};
  dyn_array_object list{};
  object* items[8] = {};
};

TEST_F(PrefsLoading, NothingSelectedShowsTheDefaultRecords) {
  default_attrs[ATTRS_LENGTH].settings.nbre_decimales = 4;
  default_attrs[ATTRS_ANGLE_MEASURE].settings.nbre_decimales = 128 | 3;
  default_attrs[ATTRS_LOCUS].math.locus.nb_pts = 70;
  default_attrs[ATTRS_LINE].settings.dot_style = dash_table[2];
  prefs_from_current_state();
  EXPECT_TRUE(prefs_dialog.no_selection);
  EXPECT_EQ(prefs.length_decimals, 4);
  EXPECT_EQ(prefs.angle_decimals, 3);
  EXPECT_EQ(prefs.locus_points, 70);
  EXPECT_EQ(prefs.kinds[ATTRS_LINE].dotted, 2);
}

TEST_F(PrefsLoading, LociGiveTheirSharedValuesElseTheRecords) {
  default_attrs[ATTRS_LOCUS].math.locus.nb_pts = 70;
  object a = locus(100, 1), b = locus(200, 1), c = locus(100, 1);
  select({&a});
  prefs_from_current_state();
  EXPECT_FALSE(prefs_dialog.no_selection);
  EXPECT_TRUE(prefs_dialog.has_loci);
  EXPECT_EQ(prefs.locus_points, 100);
  EXPECT_EQ(prefs.link_points, 1);
  select({&a, &c});
  prefs_from_current_state();
  EXPECT_EQ(prefs.locus_points, 100);
  select({&a, &b});
  prefs_from_current_state();
  EXPECT_EQ(prefs.locus_points, 70);
}

TEST_F(PrefsLoading, NumbersGiveTheirDecimalsUnlessTheyDisagree) {
  default_attrs[ATTRS_LENGTH].settings.nbre_decimales = 2;
  object l1 = number(&classe_length, 5), l2 = number(&classe_length, 5), l3 = number(&classe_length, 1);
  object editable = number(&classe_nombre, 4);
  select({&editable});
  prefs_from_current_state();
  EXPECT_FALSE(prefs_dialog.has_numbers);  // an editable number is no measure
  select({&l1, &l2});
  prefs_from_current_state();
  EXPECT_TRUE(prefs_dialog.has_numbers);
  EXPECT_EQ(prefs.length_decimals, 5);
  select({&l1, &l3});
  prefs_from_current_state();
  EXPECT_EQ(prefs.length_decimals, 2);
}

}  // namespace
