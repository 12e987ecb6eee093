#include "kernel/tools/apply_attributes.h"

#include <set>

#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/label_settings.h"
#include "tool_fixture.h"

namespace {

constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kBlue = 0xFF0000;

class ApplyAttributesTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    current_attrs = &own_;
    own_ = default_attr{};
    attribute_mask = 0;
  }
  void TearDown() override {
    current_attrs = nullptr;
    attribute_mask = 0;
    ToolTest::TearDown();
  }
  void apply(std::initializer_list<object*> objects, uint32_t mask, int code = 0, uint16_t tag = 0) {
    std::vector<object*> list(objects);
    std::vector<uint16_t> tags(list.size(), tag);
    list.push_back(nullptr);
    tags.push_back(0);
    apply_attributes_to_objects(list.data(), tags.data(), mask, code);
  }
  default_attr own_{};
};

TEST_F(ApplyAttributesTest, ASecondFillInTheSameColourTakesTheFillAway) {
  object* t = make(&classe_triangle, 0, {{point(0, 0), 0}, {point(50, 0), 0}, {point(0, 50), 0}});
  ASSERT_NE(t, nullptr);
  own_.settings.FillColor = kBlue;
  apply({t}, ATTR_FILL);
  EXPECT_EQ(object_effective_fill_color(t), kBlue);
  apply({t}, ATTR_FILL);
  EXPECT_EQ(object_effective_fill_color(t), back_color);
  apply({t}, ATTR_FILL);
  EXPECT_EQ(object_effective_fill_color(t), kBlue);
  EXPECT_GT(services_seen().count("dirty"), 0);
}

TEST_F(ApplyAttributesTest, TheToolMaskWidensEveryMaskButHideShow) {
  object* p = shown_point(3, 4);
  const uint32_t before = p->settings.Color;
  own_.settings.Color = kRed;
  own_.settings.thickness = 3;
  attribute_mask = ATTR_COLOR;
  apply({p}, kAttributeVisible);
  EXPECT_EQ(p->settings.visible, 0);
  EXPECT_EQ(p->settings.Color, before);
  apply({p}, ATTR_THICKNESS);
  EXPECT_EQ(p->settings.thickness, 3);
  EXPECT_EQ(p->settings.Color, kRed);
}

// The axes style is the display byte a coordinate system is drawn and
// measured by (cartesian, polar in degrees, grades, radians), the byte its
// keys 0 to 3 choose; grids keep theirs in the same byte.
TEST_F(ApplyAttributesTest, AxesAloneTakeOnlyTheAxesStyle) {
  object* axes = fig_->first->next;
  ASSERT_EQ(axes->otype->id, TYPE_AXES);
  const uint32_t colour = axes->settings.Color;
  const uint8_t format = axes->math.equa.format;
  axes->math.equa.typeunite = 0;
  own_.axes_style = 2;
  own_.settings.Color = kRed;
  attribute_mask = ATTR_COLOR;
  apply({axes}, ATTR_AXES_STYLE);
  EXPECT_EQ(axes->math.equa.typeunite, 2);
  EXPECT_EQ(axes->math.equa.format, format) << "another byte of the axes changed";
  EXPECT_EQ(axes->settings.Color, colour);
  EXPECT_EQ(manipulating, 0) << "the style's event left a gesture under way";
  object* grid = make(&classe_grid, 0, {{axes, 0}});
  ASSERT_NE(grid, nullptr);
  own_.axes_style = 3;
  apply({grid}, ATTR_AXES_STYLE);
  EXPECT_EQ(grid->math.equa.typeunite, 3);
  EXPECT_EQ(axes->math.equa.typeunite, 2);
  EXPECT_EQ(manipulating, 0);

  // With another object in the list both take the rest of the mask.
  object* p = shown_point(1, 1);
  own_.axes_style = 1;
  apply({axes, p}, ATTR_AXES_STYLE);
  EXPECT_EQ(axes->math.equa.typeunite, 1);
  EXPECT_EQ(p->settings.Color, kRed);
  EXPECT_EQ(manipulating, 0);
}

TEST_F(ApplyAttributesTest, StylesGoOnlyToTheTypesTheyFit) {
  object* a = shown_point(0, 0);
  object* b = shown_point(10, 0);
  object* s = make2(&classe_segment, 0, a, b);
  object* l = make2(&classe_droite, 0, a, b);
  own_.point_style = 4;
  own_.line_style = 3;
  own_.second_line_style = 1;
  const uint8_t segment_type = s->settings.graph_type;
  apply({a, s, l}, ATTR_POINT_STYLE | ATTR_LINE_STYLE | ATTR_SECOND_LINE_STYLE);
  EXPECT_EQ(a->settings.graph_type, 4);
  EXPECT_EQ(s->settings.graph_type, 3);
  EXPECT_NE(segment_type, 3);
  EXPECT_EQ(l->settings.smartline_type, 1);
  EXPECT_EQ(l->settings.graph_type, 0);
  apply({a}, 0, STYLE_TOGGLE_FIXED);
  EXPECT_EQ(a->settings.sticky, 1);
}

TEST_F(ApplyAttributesTest, AClickedLabelTakesTheColourInsteadOfItsObject) {
  object* p = shown_point(5, 5);
  p->label = get_default_font_info();
  ASSERT_NE(p->label, nullptr);
  const uint32_t colour = p->settings.Color;
  own_.settings.Color = kRed;
  own_.settings.FillColor = kBlue;
  apply({p}, ATTR_COLOR | ATTR_FILL, 0, 258);
  EXPECT_EQ(p->label->Color, kRed);
  EXPECT_EQ(p->label->FillColor, kBlue);
  EXPECT_EQ(p->settings.Color, colour);
  apply({p}, ATTR_FILL, 0, 258);
  EXPECT_EQ(p->label->FillColor, back_color);
}

TEST_F(ApplyAttributesTest, SelectionKeepsItsVisibleObjectsAndEmpties) {
  object* shown = shown_point(1, 1);
  object* hidden = shown_point(2, 2);
  hidden->settings.visible = 0;
  objlist_add(fig_->selection, shown, 0);
  objlist_add(fig_->selection, hidden, 0);
  own_.settings.Color = kRed;
  attribute_mask = ATTR_COLOR;
  interaction_state = STATE_APPEARANCE;
  apply_attributes_to_selection(1);
  EXPECT_EQ(shown->settings.Color, kRed);
  EXPECT_NE(hidden->settings.Color, kRed);
  EXPECT_EQ(objlist_count(fig_->selection), 0);
  interaction_state = STATE_POINTER;
}

TEST_F(ApplyAttributesTest, RepeatedShrinkingOfSelectedTextsStopsAtTheSmallestSize) {
  object* p = shown_point(1, 1);
  p->te = create_text_record(0, 0, 40, 20, 8);
  ASSERT_NE(p->te, nullptr);
  p->te->format.size = 12;
  objlist_add(fig_->selection, p, 0);
  interaction_state = STATE_POINTER;
  last_text_size_item = 1;
  undo_state_word = 0;
  apply_style_change(1004);
  EXPECT_EQ(p->te->format.size, 9);
  EXPECT_EQ(undo_state_word, 0xFFFF);
  for (int i = 0; i < 30; ++i) apply_style_change(1004);
  EXPECT_EQ(p->te->format.size, kSmallestTextSize);
  last_text_size_item = 2;
  apply_style_change(1004);
  EXPECT_EQ(p->te->format.size, kSmallestTextSize);  // 1.25 of 1 is still 1
  p->te->format.size = 8;
  apply_style_change(1004);
  EXPECT_EQ(p->te->format.size, 10);
  own_.text_color = kRed;
  apply_style_change(1003);
  EXPECT_EQ(p->te->format.color, kRed);
}

TEST_F(ApplyAttributesTest, UnitPopupListsItsGroupsAndALockedNumberOnlyItsOwn) {
  object number{};
  number.otype = &type_number;
  uint8_t codes[kUnitPopupMaxItems];
  const char* names[kUnitPopupMaxItems];
  ASSERT_EQ(unit_popup_entries(&number, codes, names), 12);
  const std::set<uint8_t> all(codes, codes + 12);
  EXPECT_EQ(all, (std::set<uint8_t>{0, 32, 33, 34, 35, 64, 65, 66, 67, 128, 129, 130}));
  number.settings.contraint = 1;
  number.settings.unite = 129;
  ASSERT_EQ(unit_popup_entries(&number, codes, names), 3);
  EXPECT_EQ(codes[0], 128);
  EXPECT_EQ(codes[2], 130);
  number.settings.unite = 33;
  ASSERT_EQ(unit_popup_entries(&number, codes, names), 4);
  EXPECT_EQ(codes[0], 32);
  object pt{};
  pt.otype = &type_point;
  EXPECT_EQ(unit_popup_entries(&pt, codes, names), 0);
  EXPECT_EQ(unit_popup_menu(0, 0, &pt), 255);
}

}  // namespace
