#include "kernel/prefs/default_attrs.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "kernel/render/drawing_passes.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/version_info.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/model/geometry_fixture.h"

namespace {

class DefaultAttrs : public GeometryTest {
 protected:
  void SetUp() override {
    store().clear();
    init_color_table();
    GeometryTest::SetUp();
  }
  void TearDown() override {
    GeometryTest::TearDown();
    store().clear();
    install_attribute_menu_ops({});
  }
  static QSettings store() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova"); }
  static void set(const char* key, const char* value) {
    QSettings s = store();
    s.setValue(key, value);
    s.sync();
  }
  // An object of the type and class given its defaults, without parents.
  static object fresh(type* t, construct_class* cls) {
    object o{};
    o.otype = t;
    o.classe = cls;
    apply_default_attrs_to_object(&o);
    return o;
  }
};

TEST_F(DefaultAttrs, EmptyStoreSegmentAndMeasures) {
  object* seg = make(classe_segment, 0, {point(10, 20), point(30, 40)});
  EXPECT_EQ(seg->settings.Color, color_by_name("Lime"));
  EXPECT_EQ(seg->settings.thickness, 0);
  EXPECT_EQ(seg->settings.dot_style.lg, 1);
  EXPECT_EQ(seg->settings.dot_style.cycle, 1);
  EXPECT_EQ(seg->settings.visible, 1);
  EXPECT_EQ(seg->settings.FillColor, back_color);

  const object area = fresh(&type_number, &classe_aire);
  EXPECT_EQ(area.settings.nbre_decimales, prefs.other_decimals);
  EXPECT_EQ(area.settings.unite, prefs.length_unit + 64);
  EXPECT_EQ(area.settings.contraint, 1);
  const object angle = fresh(&type_number, &classe_angleMes);
  EXPECT_EQ(angle.settings.nbre_decimales, prefs.angle_decimals | 128);
  EXPECT_EQ(angle.settings.unite, prefs.angle_unit + 128);
  const object slope = fresh(&type_number, &classe_pente);
  EXPECT_EQ(slope.settings.contraint, 1);
  EXPECT_EQ(fresh(&type_text, &classe_text).settings.Color, fig_->bgcolor) << "text frames take the sheet";

  object spring = fresh(&type_spring, nullptr);
  EXPECT_EQ(spring.settings.Color, color_by_name("Black"));
  type six{};
  six.id = 6;
  const object odd = fresh(&six, nullptr);
  EXPECT_EQ(odd.settings.thickness, 1);
  EXPECT_EQ(odd.settings.dot_style.lg, 5);
  EXPECT_EQ(odd.settings.dot_style.cycle, 8);
  EXPECT_EQ(get_default_attrs(6, nullptr), &kernel_default_attrs);
  EXPECT_EQ(get_default_attrs(60, nullptr), &kernel_default_attrs);
}

TEST_F(DefaultAttrs, EquationsKeepAtLeastTwoDecimals) {
  for (const char* decimals : {"0", "1", "2", "5"}) {
    SCOPED_TRACE(decimals);
    set("OtherNbreDec", decimals);
    init_default_attrs(nullptr);
    const int expected = std::max(2, std::atoi(decimals));
    EXPECT_EQ(fresh(&type_equation, &classe_equation).settings.nbre_decimales, expected);
    EXPECT_EQ(fresh(&type_number, &classe_aire).settings.nbre_decimales, std::atoi(decimals));
  }
}

TEST_F(DefaultAttrs, StoreDrivesRecordsSwitchesAndTolerance) {
  set("Lines Color", "Red");
  set("Lines Thick", "2");
  set("Circles Dotted", "2");
  set("Points Graph Type", "3");
  set("Angle Marks Graph Type", "5");
  set("ManageInfinityOn", "FALSE");
  set("CoordSysts", "2");
  set("LinkPointOn", "FALSE");
  set("NbLocusObject", "120");
  set("EquationType", "5");
  set("Tolerance", "4");
  init_default_attrs(nullptr);
  EXPECT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Red"));
  EXPECT_EQ(default_attrs[ATTRS_LINE].settings.thickness, 2);
  EXPECT_EQ(default_attrs[ATTRS_CIRCLE_CONIC].settings.dot_style.lg, 8);
  EXPECT_EQ(default_attrs[ATTRS_CIRCLE_CONIC].settings.dot_style.cycle, 14);
  EXPECT_EQ(default_attrs[ATTRS_POINT].point_style, 3);
  EXPECT_EQ(default_attrs[ATTRS_ANGLE].angle_mark_style, 16 | 5);
  EXPECT_EQ(default_attrs[ATTRS_AXES].math.side.index2, 2);
  EXPECT_EQ(default_attrs[ATTRS_LOCUS].math.locus.lkpt, 0);
  EXPECT_EQ(default_attrs[ATTRS_LOCUS].math.locus.nb_pts, 120);
  EXPECT_EQ(manage_infinity, 0);
  EXPECT_EQ(pick_tolerance, static_cast<int>(4 * screen_pixels_per_cm / 10));

  object* p = point(5, 5);
  EXPECT_EQ(p->settings.graph_type, 3);
  object* seg = make(classe_segment, 0, {p, point(30, 40)});
  EXPECT_EQ(seg->settings.Color, color_by_name("Red"));

  // An equation takes the form bit of its object's kind.
  object* line = make(classe_droite, 1, {p, point(40, 5)});
  object eq{};
  eq.otype = &type_equation;
  eq.classe = &classe_equation;
  object* parents[1] = {line};
  eq.parents = parents;
  eq.nbparents = 1;
  apply_default_attrs_to_object(&eq);
  EXPECT_EQ(eq.math.equa.format, 1);
  EXPECT_EQ(fresh(&type_expression, &classe_exp_num).math.bitsfield, 0u);
}

// Figure and macro files are read with the preferences of the moment.
TEST_F(DefaultAttrs, FileReadersReadTheStoreFirst) {
  set_resource_folder(KELVO_TEST_DATA "/../../resources");
  init_version_info();
  for (int kind : {FILE_KIND_FIGURE, FILE_KIND_MACRO}) {
    SCOPED_TRACE(kind);
    set("Lines Color", "Lime");
    init_default_attrs(nullptr);
    set("Lines Color", "Red");
    const std::string text =
        std::string(kind == FILE_KIND_FIGURE ? "Figure" : "Macro") + " Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n";
    if (kind == FILE_KIND_FIGURE) read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "a.fig");
    else txt_read_macro_file(text.data(), static_cast<uint32_t>(text.size()));
    EXPECT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Red"));
  }
}

TEST_F(DefaultAttrs, PickToleranceTruncates) {
  const double saved = screen_pixels_per_cm;
  screen_pixels_per_cm = 38;
  init_default_attrs(nullptr);
  EXPECT_EQ(pick_tolerance, 7) << "2 x 38 / 10 = 7.6, truncated";
  screen_pixels_per_cm = saved;
  init_default_attrs(nullptr);
}

TEST_F(DefaultAttrs, UnsetMarksAndDefaultComparison) {
  object_settings s = default_attrs[ATTRS_LINE].settings;
  object* seg = make(classe_segment, 0, {point(10, 20), point(30, 40)});
  EXPECT_TRUE(attrs_equal_default(&s, seg));
  s.thickness = 1;
  EXPECT_FALSE(attrs_equal_default(&s, seg));

  EXPECT_FALSE(attrs_are_unset(&s));
  set_attrs_unset(&s);
  EXPECT_TRUE(attrs_are_unset(&s));
  s.visible = 0;
  EXPECT_TRUE(attrs_are_unset(&s)) << "visibility is not one of the four";
  s.graph_type = 0;
  EXPECT_FALSE(attrs_are_unset(&s));
}

TEST_F(DefaultAttrs, RecordShownInTheAttributeMenus) {
  static std::vector<std::pair<int, uint32_t>> shown;
  static std::vector<int> active;
  shown.clear();
  attribute_menu_ops ops;
  ops.show = [](int menu, uint32_t value) { shown.emplace_back(menu, value); };
  ops.active = [](int menu) { return std::find(active.begin(), active.end(), menu) != active.end(); };
  install_attribute_menu_ops(ops);

  default_attr a = default_attrs[ATTRS_LINE];
  a.settings.dot_style = dash_table[2];
  a.point_style = 4;
  active = {4, 0, 5};
  load_attrs_into_menus(&a);
  const std::vector<std::pair<int, uint32_t>> expected = {
      {0, a.settings.Color}, {1, a.settings.FillColor}, {2, a.text_color}, {4, 1}, {5, 3},
      {6, 5}, {7, 1}, {8, 1}, {9, 1}, {10, 1}};
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(attribute_mask, ATTR_COLOR | ATTR_THICKNESS | ATTR_DOT_STYLE);

  // A dash outside the table leaves the dash menu as it is.
  shown.clear();
  a.settings.dot_style = dot{3, 9};
  active = {1};
  load_attrs_into_menus(&a);
  for (const auto& [menu, value] : shown) EXPECT_NE(menu, 5);
  EXPECT_EQ(attribute_mask, ATTR_FILL);

  shown.clear();
  attribute_mask = ATTR_HIDE_SHOW;
  active = {};
  load_attrs_into_menus(&a);
  EXPECT_TRUE(shown.empty()) << "the hide/show tool shows nothing";
  attribute_mask = 0;
}

}  // namespace
