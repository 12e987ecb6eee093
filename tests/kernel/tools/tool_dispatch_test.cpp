#include <cstring>

#include "kernel/macros/macro_records.h"
#include "kernel/model/object_store.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "platform/kp_menu.h"
#include "tool_fixture.h"

namespace {

struct expected_tool {
  uint16_t group, item;
  construct_class* cls;  // the current class, or null
  uint8_t state;
  uint16_t drag_or_mask;  // drag mode in state 2, attribute mask in state 6
};

}  // namespace

using ToolDispatchTest = ToolTest;

TEST_F(ToolDispatchTest, EveryToolboxEntrySetsItsToolState) {
  const expected_tool table[] = {
      {128, 1, nullptr, 2, 1}, {128, 2, nullptr, 2, 2}, {128, 3, nullptr, 2, 3}, {128, 4, nullptr, 2, 4},
      {129, 1, &classe_point, 1, 0}, {129, 2, &classe_ptsur, 1, 0}, {129, 3, &classe_interset, 1, 0},
      {130, 1, &classe_droite, 1, 0}, {130, 2, &classe_segment, 1, 0}, {130, 3, &classe_demidroite, 1, 0},
      {130, 4, &classe_vecteur, 1, 0}, {130, 5, &classe_triangle, 1, 0}, {130, 6, &classe_polygone, 1, 0},
      {130, 7, &classe_polyreg, 1, 0}, {131, 1, &classe_cercle, 1, 0}, {131, 2, &classe_arc, 1, 0},
      {131, 3, &classe_conic, 1, 0}, {132, 1, &classe_perpendiculaire, 1, 0}, {132, 2, &classe_parallele, 1, 0},
      {132, 3, &classe_milieu, 1, 0}, {132, 4, &classe_mediatrice, 1, 0}, {132, 5, &classe_bissectrice, 1, 0},
      {132, 6, optional_classes[1], 1, 0}, {132, 7, optional_classes[0], 1, 0}, {132, 8, &classe_compas3, 1, 0},
      {132, 9, &classe_locus, 1, 0}, {132, 10, &classe_redefine, 1, 0}, {133, 1, &classe_symetriquedr, 1, 0},
      {133, 2, &classe_symetrique, 1, 0}, {133, 3, &classe_translation, 1, 0}, {133, 4, &classe_rotation, 1, 0},
      {133, 5, &classe_dilatation, 1, 0}, {133, 6, &classe_inverse, 1, 0}, {134, 1, nullptr, 7, 0},
      {134, 2, nullptr, 7, 0}, {134, 3, nullptr, 2, 0}, {135, 1, &classe_alignement, 1, 0},
      {135, 2, &classe_parallelism, 1, 0}, {135, 3, &classe_perpendism, 1, 0}, {135, 4, &classe_equidistant, 1, 0},
      {135, 5, &classe_membership, 1, 0}, {136, 1, &classe_length, 1, 0}, {136, 2, &classe_aire, 1, 0},
      {136, 3, &classe_pente, 1, 0}, {136, 4, &classe_angleMes, 1, 0}, {136, 5, &classe_equation, 1, 0},
      {136, 6, &classe_calculate, 1, 0}, {136, 7, &classe_exp_num_app, 1, 0}, {136, 8, &classe_table, 1, 0},
      {137, 1, &classe_label, 1, 0}, {137, 2, &classe_text, 1, 0}, {137, 3, &classe_nombre, 1, 0},
      {137, 4, &classe_exp_num, 1, 0}, {137, 5, &classe_angle, 1, 0}, {137, 6, nullptr, 5, 0},
      {137, 7, nullptr, 3, 0}, {137, 8, nullptr, 4, 0},
      // "Multiple Animation" is also the spring class's name, and classes are looked up first.
      {137, 9, &classe_spring, 1, 0}, {138, 1, nullptr, 6, 0x8000}, {138, 2, &classe_button, 1, 0},
      {138, 3, nullptr, 6, 4}, {138, 4, nullptr, 6, 512}, {138, 5, nullptr, 6, 1024}, {138, 6, nullptr, 6, 1},
      {138, 7, nullptr, 6, 2}, {138, 8, nullptr, 6, 16504}, {138, 10, &classe_axe, 1, 0},
      {138, 11, &classe_grid, 1, 0},
  };
  for (const expected_tool& t : table) {
    SCOPED_TRACE(::testing::Message() << t.group << "," << t.item);
    select_tool(0);
    select_tool(make_tool_id(t.group, t.item));
    EXPECT_EQ(current_class, t.cls);
    EXPECT_EQ(interaction_state, t.state);
    if (t.state == 2) {
      EXPECT_EQ(drag_mode, t.group == 128 ? t.drag_or_mask : 1);
    }
    if (t.state == 6) {
      EXPECT_EQ(attribute_mask, t.drag_or_mask);
    }
    if (t.cls) {
      EXPECT_EQ(fig_->selection, fig_->inputs);  // the picked list is the selection meanwhile
      EXPECT_STREQ(current_help_page, t.cls->help_page ? t.cls->help_page : "");
    }
    EXPECT_EQ(last_toolbox_tool, t.group == 134 && t.item == 3 ? kPointerTool : make_tool_id(t.group, t.item));
  }
  EXPECT_EQ(services_seen().count("define_macro"), 1);
  EXPECT_EQ(services_seen().count("anim_panel"), 1);
  EXPECT_EQ(services_seen().count("calculator"), 1);
}

TEST_F(ToolDispatchTest, MacroListsBecomeTheSelectionUntilTheToolEnds) {
  dyn_array_object* own = fig_->selection;
  select_tool(make_tool_id(134, 1));
  EXPECT_EQ(fig_->selection, fig_->list3);
  select_tool(make_tool_id(134, 2));
  EXPECT_EQ(fig_->selection, fig_->list4);
  select_tool(0);
  EXPECT_EQ(fig_->selection, own);
  EXPECT_EQ(saved_selection, nullptr);
}

TEST_F(ToolDispatchTest, ResetSelectsThePointerInThePalette) {
  select_tool(make_tool_id(130, 2));
  services_seen().palette.clear();
  select_tool(0);
  ASSERT_EQ(services_seen().palette.size(), 1u);
  EXPECT_EQ(services_seen().palette[0], (std::pair<WPARAM, LPARAM>{102, 0x800001}));
  EXPECT_EQ(interaction_state, 2);
  EXPECT_EQ(drag_mode, 1);
  EXPECT_EQ(current_class, nullptr);
  EXPECT_EQ(last_toolbox_tool, kPointerTool);
}

TEST_F(ToolDispatchTest, UnknownToolNameFallsBackToThePointer) {
  ASSERT_TRUE(add_tool_to_toolbox(find_tool_menu(129), nullptr, "No such tool", -1, 0));
  select_tool(make_tool_id(129, 4));
  EXPECT_EQ(last_toolbox_tool, kPointerTool);
  ASSERT_EQ(services_seen().selected_items.size(), 1u);
  EXPECT_EQ(services_seen().selected_items[0], (std::pair<int16_t, int16_t>{128, 1}));
  EXPECT_EQ(interaction_state, 2);
  // An item past the end of its toolbox, or a toolbox that does not exist.
  select_tool(make_tool_id(129, 40));
  select_tool(make_tool_id(200, 1));
  EXPECT_EQ(interaction_state, 2);
  EXPECT_EQ(current_class, nullptr);
}

TEST_F(ToolDispatchTest, CopyKeepsThePicksAndSelectAllAbandonsThem) {
  object* a = shown_point(10, 10);
  select_tool(make_tool_id(130, 2));
  objlist_add(fig_->inputs, a, 0);
  a->state |= OBJ_CHOSEN;
  select_tool(make_tool_id(2, 3));
  EXPECT_EQ(services_seen().count("copy"), 1);
  EXPECT_EQ(current_class, &classe_segment);
  EXPECT_EQ(objlist_count(fig_->inputs), 1);

  select_tool(make_tool_id(2, 6));
  EXPECT_EQ(objlist_count(fig_->selection), 1);  // the point; not the origin and axes
  EXPECT_EQ(services_seen().count("check_timer"), 1);
  EXPECT_EQ(current_class, nullptr);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
  EXPECT_EQ(a->state & OBJ_CHOSEN, 0u);
}

TEST_F(ToolDispatchTest, EndingAToolDestroysWhatItsConstructionMade) {
  select_tool(make_tool_id(130, 2));
  object* made = point(5, 5);
  made->state |= OBJ_NEW;
  objlist_add(fig_->inputs, made, 0);
  const uint32_t before = fig_->nbobj;
  select_tool(0);
  EXPECT_EQ(fig_->nbobj, before - 1);
  EXPECT_EQ(last_object()->num, 2u);
}

TEST_F(ToolDispatchTest, CutAndPasteReachTheirServicesAndMarkTheDocument) {
  select_tool(make_tool_id(2, 2));
  EXPECT_EQ(services_seen().count("cut"), 1);
  EXPECT_EQ(services_seen().count("dirty"), 1);
  EXPECT_EQ(undo_state_word, 0xFFFF);  // a snapshot was taken first
  select_tool(make_tool_id(2, 4));
  EXPECT_EQ(services_seen().count("paste"), 1);
  EXPECT_EQ(services_seen().count("dirty"), 2);
  // No paste without a figure window.
  current_figure_view = nullptr;
  select_tool(make_tool_id(2, 4));
  EXPECT_EQ(services_seen().count("paste"), 1);
  // The calculator's own field takes them while it is open.
  current_figure_view = &view_token_;
  services_seen().calculator_window = true;
  calculator_active = 1;
  for (uint16_t item : {2, 3, 4}) select_tool(make_tool_id(2, item));
  calculator_active = 0;
  EXPECT_EQ(services_seen().count("cut") + services_seen().count("copy") + services_seen().count("paste"), 2);
}

TEST_F(ToolDispatchTest, EditCommandsGoToTheTextBeingEdited) {
  object* text = shown_point(0, 0);
  TErec record{};
  text->te = &record;
  fig_->cur_text = text;
  for (uint16_t item : {2, 3, 4}) select_tool(make_tool_id(2, item));
  EXPECT_EQ(services_seen().editor, (std::vector<UINT>{768, 769, 770}));
  EXPECT_EQ(services_seen().count("cut") + services_seen().count("copy") + services_seen().count("paste"), 0);
  fig_->cur_text = nullptr;
  text->te = nullptr;
}

TEST_F(ToolDispatchTest, UndoSwapsTheFigureAndTogglesTheItemText) {
  char undo_text[] = "Undo";
  char redo_text[] = "Redo";
  kernel_strings[546] = undo_text;
  kernel_strings[547] = redo_text;
  save_undo_state(0);
  shown_point(1, 1);
  save_undo_state(remembered_object_count);
  ASSERT_EQ(fig_->nbobj, 3u);
  select_tool(make_tool_id(130, 2));
  select_tool(make_tool_id(2, 1));
  EXPECT_EQ(KPGeoDocument::currentInfo()->nbobj, 2u);
  EXPECT_STREQ(undo_menu_text(), "Redo");
  EXPECT_EQ(current_class, nullptr);
  select_tool(make_tool_id(2, 1));
  EXPECT_EQ(KPGeoDocument::currentInfo()->nbobj, 3u);
  EXPECT_STREQ(undo_menu_text(), "Undo");
  kernel_strings[546] = kernel_strings[547] = nullptr;
}

TEST_F(ToolDispatchTest, ColourWithAnEmptySelectionOnlyChangesTheAttributes) {
  undo_state_word = 0;
  dispatch_tool_action(make_tool_id(1001, 1), 0x123456);
  EXPECT_EQ(current_attrs->settings.Color, 0x123456u);
  EXPECT_EQ(undo_state_word, 0);
  EXPECT_EQ(services_seen().count("dirty"), 0);
  dispatch_tool_action(make_tool_id(1002, 1), 0xABCDEF);
  EXPECT_EQ(current_attrs->settings.FillColor, 0xABCDEFu);
  dispatch_tool_action(make_tool_id(1003, 1), 0x00FF00);
  EXPECT_EQ(current_attrs->text_color, 0x00FF00u);
  EXPECT_EQ(services_seen().count("style 1003"), 1);

  objlist_add(fig_->selection, shown_point(3, 3), 0);
  services_seen().calls.clear();
  dispatch_tool_action(make_tool_id(1001, 1), 0x111111);
  EXPECT_EQ(undo_state_word, 0xFFFF);
  EXPECT_GE(services_seen().count("dirty"), 1);  // the change and the command both mark it
}

TEST_F(ToolDispatchTest, StylePopupsSetTheCurrentAttributes) {
  select_tool(make_tool_id(1005, 3));
  EXPECT_EQ(current_attrs->settings.thickness, 2);
  select_tool(make_tool_id(1006, 2));
  EXPECT_EQ(current_attrs->settings.dot_style.lg, 5);
  EXPECT_EQ(current_attrs->settings.dot_style.cycle, 8);
  select_tool(make_tool_id(1006, 9));  // no such row: unchanged
  EXPECT_EQ(current_attrs->settings.dot_style.lg, 5);
  current_attrs->angle_mark_style = 0x30;
  select_tool(make_tool_id(1008, 3));
  EXPECT_EQ(current_attrs->angle_mark_style, 0x32);
  select_tool(make_tool_id(1009, 4));
  select_tool(make_tool_id(1010, 2));
  select_tool(make_tool_id(1011, 3));
  select_tool(make_tool_id(1007, 5));
  EXPECT_EQ(current_attrs->line_style, 3);
  EXPECT_EQ(current_attrs->second_line_style, 1);
  EXPECT_EQ(current_attrs->axes_style, 2);
  EXPECT_EQ(current_attrs->point_style, 4);
  select_tool(make_tool_id(1005, 0));  // item 0 does nothing
  EXPECT_EQ(current_attrs->settings.thickness, 2);
}

TEST_F(ToolDispatchTest, TextSizeFollowsTheEntryLabelsAndNeverReachesZero) {
  current_attrs->text_size = 10;
  select_tool(make_tool_id(1004, 1));  // smaller
  EXPECT_EQ(current_attrs->text_size, 8);
  select_tool(make_tool_id(1004, 2));  // larger
  EXPECT_EQ(current_attrs->text_size, 10);
  EXPECT_EQ(last_text_size_item, 2);
  EXPECT_EQ(services_seen().count("style 1004"), 2);
  for (int i = 0; i < 20; ++i) select_tool(make_tool_id(1004, 1));
  EXPECT_EQ(current_attrs->text_size, 1);
}

TEST_F(ToolDispatchTest, EquationToolNeedsAxesOnlyWithoutASingleAxesObject) {
  auto accepts_axes = [] { return accepted_list_has(&accepted_types, TYPE_AXES); };
  select_tool(make_tool_id(136, 5));
  EXPECT_FALSE(accepts_axes());  // the figure's own axes are the only ones
  select_tool(0);
  object* o = fig_->first;
  make(&classe_axe, 0, {{o, 0}});
  select_tool(make_tool_id(136, 5));
  EXPECT_TRUE(accepts_axes());
}

TEST_F(ToolDispatchTest, HideShowWithOptionAppliesToTheSelectionAtOnce) {
  static int applied = 0;
  tool_services().apply_attributes_to_selection = [](uint8_t visible_only) { applied += visible_only; };
  objlist_add(fig_->selection, shown_point(1, 1), 0);
  services_seen().calls.clear();
  services_seen().modifiers = 1u << 8;
  select_tool(make_tool_id(138, 1));
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(services_seen().count("dirty"), 1);
  EXPECT_EQ(designation_filter, &hide_show_filter);
  services_seen().modifiers = 0;
  select_tool(make_tool_id(138, 1));
  EXPECT_EQ(applied, 1);
}

TEST_F(ToolDispatchTest, TraceSelectsTheTracedObjects) {
  object* a = shown_point(1, 1);
  object* b = shown_point(2, 2);
  b->settings.marked = 1;
  objlist_add(fig_->selection, a, 0);
  select_tool(make_tool_id(137, 7));
  ASSERT_EQ(objlist_count(fig_->selection), 1);
  EXPECT_EQ(fig_->selection->items[0], b);
  select_tool(0);
  EXPECT_EQ(objlist_count(fig_->selection), 0);
}

TEST_F(ToolDispatchTest, ShowAxesActsOnceAndRestoresThePreviousTool) {
  select_tool(make_tool_id(130, 2));
  object* axes = fig_->first->next;
  ASSERT_EQ(axes->settings.visible, 0);
  services_seen().palette.clear();
  select_tool(make_tool_id(138, 9));
  EXPECT_EQ(axes->settings.visible, 1);
  EXPECT_EQ(fig_->first->settings.visible, 1);
  EXPECT_EQ(last_toolbox_tool, make_tool_id(130, 2));
  ASSERT_EQ(services_seen().palette.size(), 2u);
  EXPECT_EQ(services_seen().palette[0], (std::pair<WPARAM, LPARAM>{102, make_tool_id(138, 9)}));
  EXPECT_EQ(services_seen().palette[1], (std::pair<WPARAM, LPARAM>{101, make_tool_id(130, 2)}));
  // The entry now offers to hide them.
  const menu* box = find_tool_menu(138);
  EXPECT_STREQ(box->names[9], show_axes_names[1]);
  EXPECT_EQ(box->icons[9], show_axes_icons[1]);
  EXPECT_STREQ(toolbar_table[ROW_SHOW_AXES - 1].name, show_axes_names[1]);
  // Only the axes change when exactly one of the two is shown.
  fig_->first->settings.visible = 0;
  select_tool(make_tool_id(138, 9));
  EXPECT_EQ(axes->settings.visible, 0);
  EXPECT_EQ(fig_->first->settings.visible, 0);
  EXPECT_STREQ(box->names[9], show_axes_names[0]);
}

TEST_F(ToolDispatchTest, AxesVariantFollowsTheFigure) {
  fig_->first->next->settings.visible = 1;
  select_axes_tool_variant();
  EXPECT_STREQ(find_tool_menu(138)->names[9], "Hide Axes");
  EXPECT_EQ(find_tool_menu(138)->icons[9], show_axes_icons[1]);
  EXPECT_EQ(find_tool_id_by_name("Hide Axes"), make_tool_id(138, 9));
  fig_->first->next->settings.visible = 0;
  select_axes_tool_variant();
  EXPECT_STREQ(find_tool_menu(138)->names[9], "Show Axes");
  EXPECT_EQ(find_toolbar_index_by_name(nullptr, make_tool_id(138, 9)), ROW_SHOW_AXES);
}

TEST_F(ToolDispatchTest, AcceptedTypesFollowTheClassAndTheMode) {
  select_tool(make_tool_id(130, 2));  // segment: two points
  EXPECT_TRUE(accepted_list_has(&accepted_types, TYPE_POINT));
  EXPECT_TRUE(accepted_list_has(&accepted_types_on_object, TYPE_CIRCLE));
  EXPECT_NE(accepted_types_intersection.entries[0].code, 0);
  select_tool(make_tool_id(136, 1));  // lengths make no points on the fly
  EXPECT_EQ(accepted_types_on_object.entries[0].code, 0);
  manage_point_on_object = 0;
  select_tool(make_tool_id(130, 2));
  EXPECT_EQ(accepted_types_on_object.entries[0].code, 0);
  manage_point_on_object = 1;

  select_tool(make_tool_id(137, 6));  // fix/free takes points only
  EXPECT_EQ(accepted_types.entries[0].code, TYPE_POINT);
  EXPECT_EQ(accepted_types.entries[1].code, 0);
  EXPECT_EQ(designation_filter, &fix_free_filter);
  select_tool(make_tool_id(128, 1));
  EXPECT_TRUE(accepted_list_has(&accepted_types, TYPE_BUTTON));
  EXPECT_TRUE(accepted_list_has(&accepted_types, TYPE_TABLE));
  select_tool(make_tool_id(134, 1));  // macro definition: no tables
  EXPECT_FALSE(accepted_list_has(&accepted_types, TYPE_TABLE));

  spring_pick_mode = 2;
  select_tool(make_tool_id(137, 9));
  EXPECT_EQ(accepted_types.entries[0].code, TYPE_SPRING);
  EXPECT_EQ(accepted_types.entries[1].code, 0);
  EXPECT_EQ(accepted_types_on_object.entries[0].code, 0);
  EXPECT_EQ(tool_cursors[0], kernel_cursors[CURSOR_ARROW]);
  spring_pick_mode = 0;
}

TEST_F(ToolDispatchTest, AcceptedTypeListsSkipMarkersAndGrow) {
  designation_list list{};
  TYPEOBJ args0[] = {ARG_REPEAT, TYPE_POINT, 0};
  TYPEOBJ args1[] = {ARG_ONE_OF + 2, TYPE_LINE, TYPE_RAY, static_cast<TYPEOBJ>(TYPE_POINT | 0x8000), TYPE_CIRCLE, 0};
  // Each entry takes the text of its own argument.
  const char* const texts0[] = {nullptr, "first", nullptr};
  const char* const texts1[] = {nullptr, "second line", "second ray", nullptr, "second circle", nullptr};
  construct_method m0{nullptr, nullptr, nullptr, nullptr, nullptr, texts0, args0, nullptr};
  construct_method m1{nullptr, nullptr, nullptr, nullptr, nullptr, texts1, args1, nullptr};
  construct_method* methods[] = {&m0, &m1, nullptr};
  construct_class cls{};
  cls.methods = methods;
  add_class_accepted_types(&list, &cls);
  ASSERT_NE(list.entries, nullptr);
  const uint16_t codes[] = {TYPE_POINT, TYPE_LINE, TYPE_RAY, TYPE_CIRCLE, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.entries[i].code, codes[i]);
  EXPECT_EQ(list.entries[0].method_index, 0u);  // the marked point code is skipped
  EXPECT_EQ(list.entries[1].method_index, 1u);
  EXPECT_STREQ(list.entries[0].text, "first");
  EXPECT_STREQ(list.entries[1].text, "second line");
  EXPECT_STREQ(list.entries[2].text, "second ray");
  EXPECT_STREQ(list.entries[3].text, "second circle");
  add_class_accepted_types(&list, &cls);  // the same codes again: no new entries
  EXPECT_EQ(list.entries[4].code, 0);

  for (uint16_t c = 100; c < 117; ++c) append_accepted_type(&list, c, 0, nullptr);
  EXPECT_EQ(list.capacity, 40);  // 21 codes need a second block of 20
  EXPECT_EQ(list.entries[20].code, 116);
  EXPECT_EQ(list.entries[21].code, 0);
  GlobalFreeAndNull(&list.entries);
}
