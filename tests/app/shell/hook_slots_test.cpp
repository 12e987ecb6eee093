// Every hook slot the kernel calls through, looked at once the application
// has started and opened its first figure: each table is printed slot by
// slot, and a slot left empty fails the test unless it is listed below with
// the reason it may stay empty. The slot names are read from the table's
// own header, so a slot added later is audited without touching this file.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "app/lang/kernel_string_fill.h"
#include "app/panels/ambig_menu.h"
#include "app/panels/tool_menu_services.h"
#include "app/support/figure_test.h"
#include "kernel/files/file_services.h"
#include "kernel/files/session_print.h"
#include "kernel/files/work_session.h"
#include "kernel/macros/macro_dialog.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/color_palette.h"
#include "kernel/render/display_device.h"
#include "kernel/text/text_editing.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/designation_filters.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/window/anim_panel.h"
#include "kernel/window/figure_popup.h"
#include "kernel/window/main_commands.h"
#include "kernel/window/object_events.h"
#include "kernel/window/window_hooks.h"

namespace {

// Slots that stay empty in the running application, "table.slot" with why.
const std::map<std::string, std::string> kEmptyByDesign = {
    {"window_hooks.tick_count", "the platform's tick count is the kernel's clock"},
    {"file_services.classify_file_access", "the platform answers for the file"},
    {"DisplayDeviceHooks.destroy_window", "a view outlives the device it draws with"},
};

// Slots that nothing fills yet. Each is removed from here when its slot is
// filled: the test fails on a listed slot that is no longer empty, so the
// list only shrinks.
const std::map<std::string, std::string> kNotYetFilled = {
};

struct table {
  const char* name;    // the struct's name in its header
  const char* header;  // relative to the source folder
  const void* instance;
  size_t size;
};

template <typename T>
table entry(const char* name, const char* header, const T& instance) {
  return {name, header, &instance, sizeof(T)};
}

// The function-pointer members of `struct name {...}` in the header, in
// declaration order.
std::vector<std::string> slot_names(const table& t) {
  QFile file(QStringLiteral(KELVO_TEST_DATA "/../../") + QString::fromLatin1(t.header));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QString text = QString::fromUtf8(file.readAll());
  const QRegularExpression head(QStringLiteral("struct\\s+%1\\s*\\{").arg(QString::fromLatin1(t.name)));
  const QRegularExpressionMatch start = head.match(text);
  if (!start.hasMatch()) return {};
  const qsizetype end = text.indexOf(QStringLiteral("\n};"), start.capturedEnd());
  QString body = text.mid(start.capturedEnd(), end - start.capturedEnd());
  body.remove(QRegularExpression(QStringLiteral("//[^\n]*")));
  // One member per declaration: its first "(*name)(" (later ones are the
  // parameters of a function-pointer parameter), or a std::function's name.
  std::vector<std::string> names;
  const QRegularExpression slot(QStringLiteral("\\(\\s*\\*\\s*(\\w+)\\s*\\)\\s*\\("));
  const QRegularExpression function(QStringLiteral("std::function<.*>\\s+(\\w+)\\s*$"));
  for (const QString& declaration : body.split(QLatin1Char(';'))) {
    QRegularExpressionMatch m = slot.match(declaration);
    if (!m.hasMatch()) m = function.match(declaration.trimmed());
    if (m.hasMatch()) names.push_back(m.captured(1).toStdString());
  }
  return names;
}

class HookSlots : public FigureTest {};

}  // namespace

TEST_F(HookSlots, EverySlotIsFilledAfterStartUpOrSaysWhyNot) {
  ASSERT_NE(openView(), nullptr);
  const table tables[] = {
      entry("tool_hooks", "src/kernel/tools/tool_hooks.h", tool_services()),
      entry("window_hooks", "src/kernel/window/window_hooks.h", window_services()),
      entry("main_command_hooks", "src/kernel/window/main_commands.h", main_command_services()),
      entry("designation_services", "src/kernel/tools/designation.h", designation_hooks()),
      entry("file_services", "src/kernel/files/file_services.h", files_services()),
      entry("FigureViewHooks", "src/app/kernel_iface/kp_figure_view.h", figure_view_hooks()),
      entry("InvalidateHook", "src/app/kernel_iface/kp_figure_view.h", installed_invalidate_hook()),
      entry("Hooks", "src/app/kernel_iface/kp_geo_document.h", KPGeoDocument::installedHooks()),
      entry("drag_services", "src/kernel/tools/drag_start.h", drag_hooks()),
      entry("TextHandleOps", "src/kernel/text/text_record.h", text_handle_ops()),
      entry("TextEditorOps", "src/kernel/text/text_editing.h", text_editor_ops()),
      entry("object_event_services", "src/kernel/window/object_events.h", object_event_hooks()),
      entry("DisplayDeviceHooks", "src/kernel/render/display_device.h", display_device_hooks),
      entry("palette_window_ops", "src/kernel/render/color_palette.h", installed_palette_window_ops()),
      entry("filter_services", "src/kernel/tools/designation_filters.h", installed_filter_services()),
      entry("session_print_hooks", "src/kernel/files/session_print.h", session_print_services()),
      entry("session_hooks", "src/kernel/files/work_session.h", session_services()),
      entry("ToolsPaletteHooks", "src/app/panels/tool_menu_services.h", installed_tools_palette_hooks()),
      entry("AmbigMenuHooks", "src/app/panels/ambig_menu.h", installed_ambig_menu_hooks()),
      entry("cursor_environment", "src/kernel/tools/cursors.h", installed_cursor_environment()),
      entry("figure_popup_services", "src/kernel/window/figure_popup.h", figure_popup_hooks()),
      entry("anim_panel_services", "src/kernel/window/anim_panel.h", anim_panel_hooks()),
      entry("attribute_menu_ops", "src/kernel/prefs/default_attrs.h", installed_attribute_menu_ops()),
      entry("macro_dialog_hooks", "src/kernel/macros/macro_dialog.h", macro_dialog_services()),
  };
  std::set<std::string> empty;
  int count = 0;
  for (const table& t : tables) {
    const std::vector<std::string> names = slot_names(t);
    // A table is a row of function pointers and nothing else, so the i-th
    // slot lies i pointers into it.
    ASSERT_FALSE(names.empty()) << t.name << " not found in " << t.header;
    ASSERT_EQ(names.size() * sizeof(void*), t.size) << t.name << " holds more than function pointers";
    for (size_t i = 0; i < names.size(); ++i) {
      void* slot = nullptr;
      std::memcpy(&slot, static_cast<const char*>(t.instance) + i * sizeof(void*), sizeof slot);
      const std::string key = std::string(t.name) + "." + names[i];
      std::printf("%-58s %s\n", key.c_str(), slot ? "filled" : "EMPTY");
      ++count;
      if (!slot) empty.insert(key);
    }
  }
  // The language follow-up steps are functions with state (std::function).
  const kelvo::lang::LanguageFollowUpHooks& follow = kelvo::lang::follow_up_hooks();
  const std::pair<const char*, bool> follow_ups[] = {
      {"toolbar_exists", bool(follow.toolbar_exists)},
      {"write_menus_image", bool(follow.write_menus_image)},
      {"read_menus_image", bool(follow.read_menus_image)},
      {"drop_default_macro_help", bool(follow.drop_default_macro_help)},
      {"apply_default_macro_help", bool(follow.apply_default_macro_help)},
      {"close_attrib_palette", bool(follow.close_attrib_palette)},
      {"refresh_attrib_palette", bool(follow.refresh_attrib_palette)},
      {"set_application_window_text", bool(follow.set_application_window_text)},
      {"convert_open_documents", bool(follow.convert_open_documents)},
      {"update_figure_description_menu", bool(follow.update_figure_description_menu)},
      {"update_attrib_palette_menu_text", bool(follow.update_attrib_palette_menu_text)},
      {"relabel_kernel_panels", bool(follow.relabel_kernel_panels)},
      {"message_box", bool(follow.message_box)},
      {"ask_yes_no", bool(follow.ask_yes_no)},
      {"store_language_preference", bool(follow.store_language_preference)},
      {"read_language_preference", bool(follow.read_language_preference)},
  };
  const table follow_table{"LanguageFollowUpHooks", "src/app/lang/kernel_string_fill.h", &follow, sizeof follow};
  EXPECT_EQ(slot_names(follow_table).size(), std::size(follow_ups)) << "a follow-up step is missing here";
  for (const auto& [name, filled] : follow_ups) {
    const std::string key = std::string("LanguageFollowUpHooks.") + name;
    std::printf("%-58s %s\n", key.c_str(), filled ? "filled" : "EMPTY");
    ++count;
    if (!filled) empty.insert(key);
  }
  std::printf("%d slots, %zu empty\n", count, empty.size());

  for (const std::string& key : empty)
    EXPECT_TRUE(kEmptyByDesign.count(key) || kNotYetFilled.count(key)) << key << " is empty after start-up";
  for (const auto* listed : {&kEmptyByDesign, &kNotYetFilled})
    for (const auto& [key, why] : *listed)
      EXPECT_TRUE(empty.count(key)) << key << " is filled now: take it off the list (" << why << ")";
}
