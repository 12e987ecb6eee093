#include <cstring>
#include <string>

#include "kernel/macros/macro_records.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kp_menu.h"
#include "tool_fixture.h"

using ToolboxTest = ToolTest;

TEST_F(ToolboxTest, BuiltInToolboxesHoldTheRegisteredClassesInTheirGroups) {
  const int sizes[] = {4, 3, 7, 3, 10, 6, 3, 5, 8, 9, 11};
  int classes = 0;
  for (int b = 0; b < 11; ++b) {
    const menu* m = tool_menus[b];
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->id, 128 + b);
    EXPECT_EQ(menu_entry_count(m), sizes[b]) << m->id;
    EXPECT_STREQ(m->names[0], m->names[1]);  // the face is a copy of the first tool
    for (int i = 1; i <= menu_entry_count(m); ++i) {
      const uint32_t id = make_tool_id(static_cast<uint16_t>(m->id), static_cast<uint16_t>(i));
      classes += find_class_by_name(nullptr, id) != nullptr;
      EXPECT_TRUE(find_class_by_name(nullptr, id) || find_toolbar_index_by_name(nullptr, id)) << m->names[i];
    }
  }
  EXPECT_EQ(tool_menus[11], nullptr);
  EXPECT_EQ(classes, 51);  // with the two pre-built macros and Multiple Animation, the spring class
  // Gaps: toolbox 129 starts with one, toolbox 128 has one before Rotate.
  EXPECT_EQ(tool_menus[1]->gap, 2);
  ASSERT_NE(tool_menus[0]->item_flags, nullptr);
  EXPECT_EQ(tool_menus[0]->item_flags[2], 2);
  EXPECT_EQ(tool_menus[0]->item_flags[3], 0);
  EXPECT_STREQ(find_tool_menu(132)->names[6], optional_classes[1]->name);
  EXPECT_STREQ(find_tool_menu(132)->names[7], optional_classes[0]->name);
  // Layout: the column of toolboxes, each below the previous one.
  EXPECT_EQ(toolbox_layout.row_step, 40);
  EXPECT_EQ(tool_menus[1]->pos_a, tool_menus[0]->pos_a + 2 * 5 + 40);
  EXPECT_EQ(trash_toolbox->id, 999);
  EXPECT_STREQ(trash_toolbox->names[0], "Trash");
  EXPECT_EQ(trash_toolbox->pos_a, 640 - 3 - 2 * 36);
}

TEST_F(ToolboxTest, AttributePopupsHaveTheirEntries) {
  const int entries[] = {0, 0, 0, 2, 3, 3, 5, 6, 4, 3, 4};
  for (int k = 0; k < kAttributeMenuCount; ++k) {
    const menu* m = attrib_menus[k];
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->id, 1001 + k);
    EXPECT_EQ(m->kind, k < 3 ? MENU_COLOR_POPUP : MENU_ICON_POPUP);
    EXPECT_EQ(menu_entry_count(m), entries[k]);
    if (k < 3) {
      EXPECT_EQ(m->icons, kColorPopupIcons);
      EXPECT_NE(m->single_icon, nullptr);
    }
    if (k > 0) {
      EXPECT_EQ(m->pos_b, attrib_menus[k - 1]->pos_b + 36);
    }
  }
  // The 28 icons are shared out in turn; a pop-up's face is its first icon.
  EXPECT_EQ(attrib_menus[4]->icons[0], attribute_icon_table[0]);
  EXPECT_EQ(attrib_menus[10]->icons[4], attribute_icon_table[27]);
  EXPECT_EQ(find_tool_menu(1007), attrib_menus[6]);
}

TEST_F(ToolboxTest, EntriesGrowInsertAndRemoveWithTheirFlags) {
  menu* m = new_tool_record(300, nullptr, "face", 0, 0, MENU_TOOLBOX);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->capacity, 2);
  ASSERT_TRUE(add_tool_to_toolbox(m, nullptr, "a", -1, 0));
  ASSERT_TRUE(add_tool_to_toolbox(m, nullptr, "b", -1, 2));
  ASSERT_TRUE(add_tool_to_toolbox(m, nullptr, "c", -1, 0));
  ASSERT_TRUE(add_tool_to_toolbox(m, nullptr, "d", -1, 3));
  EXPECT_EQ(m->capacity, 7);
  ASSERT_TRUE(add_tool_to_toolbox(m, nullptr, "first", 0, 0));
  ASSERT_TRUE(add_tool_to_toolbox(m, nullptr, "after b", 3, 0));
  ASSERT_TRUE(add_tool_to_toolbox(m, nullptr, "last", 99, 0));
  const char* order[] = {"face", "first", "a", "b", "after b", "c", "d", "last"};
  const uint8_t flags[] = {0, 0, 0, 2, 0, 0, 3, 0};
  ASSERT_EQ(menu_entry_count(m), 7);
  for (int i = 0; i < 8; ++i) {
    EXPECT_STREQ(m->names[i], order[i]);
    EXPECT_EQ(m->item_flags[i], flags[i]) << i;
  }
  remove_toolbox_tool_at(m, 0);  // the face stays
  remove_toolbox_tool_at(m, 8);  // no such entry
  EXPECT_EQ(menu_entry_count(m), 7);
  remove_toolbox_tool_at(m, 2);  // "a": the later flags move down with their entries
  EXPECT_STREQ(m->names[2], "b");
  EXPECT_EQ(m->item_flags[2], 2);
  EXPECT_EQ(m->item_flags[5], 3);
  EXPECT_EQ(m->names[7], nullptr);
  free_tool_record(&m);
  EXPECT_EQ(m, nullptr);
}

TEST_F(ToolboxTest, TheListOfToolboxesGrowsByFive) {
  free_all_toolboxes();
  for (int i = 0; i < 6; ++i) {
    append_toolbox(new_tool_record(static_cast<int16_t>(400 + i), nullptr, "x", 0, 0, MENU_TOOLBOX));
    EXPECT_EQ(tool_menus_capacity, i < 5 ? 5 : 10);
  }
  EXPECT_EQ(tool_menus[5]->id, 405);
  EXPECT_EQ(tool_menus[6], nullptr);
}

TEST_F(ToolboxTest, LookupsByNameTakeTheFirstMatch) {
  EXPECT_EQ(find_tool_id_by_name("Segment"), make_tool_id(130, 2));
  EXPECT_EQ(find_tool_id_by_name("Line"), make_tool_id(130, 1));  // never the face, entry 0
  EXPECT_EQ(find_tool_id_by_name("Nothing"), 0u);
  EXPECT_EQ(find_tool_id_by_name(nullptr), 0u);
  EXPECT_EQ(find_class_by_name("Circle", 0), &classe_cercle);
  EXPECT_EQ(find_class_by_name(nullptr, make_tool_id(250, 1)), nullptr);
  EXPECT_EQ(find_toolbar_index_by_name(nullptr, make_tool_id(250, 1)), 0);
  EXPECT_EQ(find_class_by_second_name("Distance & Length"), &classe_length);
  EXPECT_EQ(find_class_by_second_name(nullptr), nullptr);
  EXPECT_EQ(find_toolbar_index_by_key("Fix / Free"), ROW_FIX_FREE);
  EXPECT_EQ(find_toolbar_index_by_key("Trash"), 0);
  // A second toolbox with the same name comes later in the palette.
  ASSERT_TRUE(add_tool_to_toolbox(find_tool_menu(131), nullptr, "Segment", -1, 0));
  EXPECT_EQ(find_tool_id_by_name("Segment"), make_tool_id(130, 2));
  ASSERT_TRUE(add_tool_to_toolbox(find_tool_menu(128), nullptr, "Segment", -1, 0));
  EXPECT_EQ(find_tool_id_by_name("Segment"), make_tool_id(128, 5));
  free_all_toolboxes();
  EXPECT_EQ(find_tool_id_by_name("Segment"), 0u);
  EXPECT_EQ(find_class_by_name(nullptr, make_tool_id(130, 2)), nullptr);
}

TEST_F(ToolboxTest, LocalisedNamesComeFromTheLanguageRows) {
  char segment[] = "Segmento";
  char pointer[] = "Puntero";
  char hide_axes[] = "Ocultar ejes";
  kernel_strings[358] = segment;  // class names follow the English-name order from row 353
  kernel_strings[459] = pointer;  // the class-less tools from row 459
  kernel_strings[478] = hide_axes;
  init_tool_names_and_help();
  EXPECT_STREQ(classe_segment.name, "Segmento");
  EXPECT_STREQ(classe_segment.english_name, "Segment");
  EXPECT_EQ(find_class_by_second_name("Segment"), &classe_segment);
  EXPECT_EQ(find_class_by_name("Segmento", 0), &classe_segment);
  EXPECT_STREQ(toolbar_table[0].name, "Puntero");
  EXPECT_EQ(find_toolbar_index_by_key("Pointer"), 1);
  EXPECT_STREQ(show_axes_names[1], "Ocultar ejes");
  EXPECT_STREQ(classe_droite.name, "Line");  // an empty row keeps the English name
  // Toolboxes built now show the new names, and a click finds the class.
  free_all_toolboxes();
  build_all_toolboxes();
  select_tool(make_tool_id(130, 2));
  EXPECT_EQ(current_class, &classe_segment);
  kernel_strings[358] = kernel_strings[459] = kernel_strings[478] = nullptr;
  init_tool_names_and_help();
}

TEST_F(ToolboxTest, MenuItemsFollowTheSelectionAndTheFigure) {
  HMENU bar = KPApplication::mainMenu();
  refresh_tool_menus();
  EXPECT_FALSE(menu_item_enabled(bar, 109));
  EXPECT_FALSE(menu_item_enabled(bar, 111));
  EXPECT_TRUE(menu_item_enabled(bar, 114));
  EXPECT_FALSE(menu_item_enabled(bar, 113));
  EXPECT_FALSE(menu_item_enabled(bar, 40029));
  objlist_add(fig_->selection, shown_point(1, 1), 0);
  tool_services().view_has_display_device = [] { return true; };
  refresh_tool_menus();
  EXPECT_TRUE(menu_item_enabled(bar, 109));
  EXPECT_TRUE(menu_item_enabled(bar, 111));
  EXPECT_TRUE(menu_item_enabled(bar, 113));
  kelvo_win_info* fig = fig_;
  KPGeoDocument::setCurrentInfo(nullptr);
  refresh_tool_menus();
  KPGeoDocument::setCurrentInfo(fig);
  for (unsigned item : {115u, 116u, 114u, 110u, 109u, 111u, 40038u, 40023u, 40032u, 40029u})
    EXPECT_FALSE(menu_item_enabled(bar, item)) << item;
  services_seen().calls.clear();
  set_document_dirty();
  EXPECT_TRUE(menu_item_enabled(bar, 110));
  EXPECT_EQ(services_seen().count("dirty"), 1);
}
