#include "app/lang/language_follow_up.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <cstring>
#include <utility>
#include <vector>

#include "app/document/kp_document.h"
#include "app/lang/kernel_string_fill.h"
#include "app/lang/language_manager.h"
#include "app/lang/language_starter.h"
#include "app/lang/language_switcher.h"
#include "app/lang/mac_roman_text.h"
#include "app/lang/resource_string.h"
#include "app/panels/tool_menu_services.h"
#include "app/shell/figure_window.h"
#include "kernel/files/menus_file.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"
#include "kernel/window/window_hooks.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_menu.h"
#include "platform/kp_qt_bridge.h"
#include "platform/ns_kelvo_text_editor.h"

extern HWND application_window;

namespace kelvo::lang {
namespace {

NSKelvoLanguageManager* g_manager = nullptr;

// The two rows of the native interface that title the Language menu and
// its dialog item.
constexpr int kRowLanguageMenu = 931;
constexpr int kRowLanguagesItem = 932;
constexpr unsigned kFigureDescriptionItem = 40038;

int toolbox_count() {
  int n = 0;
  while (tool_menus && tool_menus[n]) ++n;
  return n;
}

// The classes the menus image names by their shown name, having no English
// one (the pre-built vector sum and compass), with the name they had when
// it was written: the load changes that name, and the reader, meeting a
// name it does not know, would drop that tool and every one after it.
std::vector<std::pair<QByteArray, construct_class*>> shown_names_written;

// The image with each such class's line naming it as it is now called.
QByteArray with_current_shown_names(const QByteArray& description) {
  QList<QByteArray> lines = description.split('\n');
  for (QByteArray& line : lines) {
    const bool cr = line.endsWith('\r');
    qsizetype start = 0;
    while (start < line.size() && line[start] == ' ') ++start;
    const QByteArray name = line.mid(start, line.size() - start - (cr ? 1 : 0));
    for (const auto& [written, cls] : shown_names_written)
      if (name == written && cls->name) {
        line = line.left(start) + QByteArray(cls->name) + (cr ? "\r" : "");
        break;
      }
  }
  return lines.join('\n');
}

// The menus image is written with the Trash, the toolbox of the tools left
// out, as its last group, and the Trash comes off the list again at once:
// the list the toolbar is read back into is the one the user had.
QByteArray write_menus_image() {
  shown_names_written.clear();
  for (int i = 0; class_list && class_list[i]; ++i)
    if (class_list[i]->name && !class_list[i]->english_name)
      shown_names_written.emplace_back(QByteArray(class_list[i]->name), class_list[i]);
  const int before = toolbox_count();
  const bool appended = trash_toolbox && (before == 0 || tool_menus[before - 1] != trash_toolbox);
  if (appended) append_toolbox(trash_toolbox);
  txt_write_menus_file(0);
  QByteArray image;
  if (file_buffer) image = QByteArray(file_buffer, static_cast<qsizetype>(file_buffer_len));
  free_file_image();
  if (appended) {
    const int n = toolbox_count();
    if (n > 0 && tool_menus[n - 1] == trash_toolbox) tool_menus[n - 1] = nullptr;
  }
  return image;
}

void read_menus_image(const QByteArray& image, qsizetype offset) {
  // Names and help of tools, classes and types point into the new rows
  // from here on.
  fill_help_page_table();
  init_tool_names_and_help();
  if (offset < image.size()) {
    const QByteArray description = with_current_shown_names(image.mid(offset));
    shown_names_written.clear();
    txt_read_menu_description(description.constData(), static_cast<uint32_t>(description.size()), 0);
  }
  const int n = toolbox_count();
  if (n > 0 && tool_menus[n - 1] == trash_toolbox) tool_menus[n - 1] = nullptr;
  // The palette's remembered group of the current tool was a record of the
  // old toolbar.
  current_toolbar_menu = nullptr;
  current_toolbar_item = 0;
  rebuild_tools_panel();
  select_tool(0);
}

char* kernel_copy(const char* text) {
  const size_t n = std::strlen(text);
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(n + 1)));
  if (block) std::memcpy(block, text, n);
  return block;
}

void drop_default_macro_help(const char* old_default) {
  for (int i = 0; class_list && class_list[i]; ++i) {
    construct_class* cls = class_list[i];
    if (!is_macro_class(cls) || !cls->help_text || std::strcmp(cls->help_text, old_default ? old_default : "") != 0)
      continue;
    char* help = const_cast<char*>(cls->help_text);
    GlobalFreeAndNull(&help);
    cls->help_text = nullptr;
  }
}

void apply_default_macro_help(const char* new_default) {
  for (int i = 0; class_list && class_list[i]; ++i) {
    construct_class* cls = class_list[i];
    if (is_macro_class(cls) && !cls->help_text) cls->help_text = kernel_copy(new_default ? new_default : "");
  }
}

void update_figure_description_menu() {
  KPDocument* doc = KPDocument::currentDocument();
  KPFigureWindow* window = doc ? doc->figureWindow() : nullptr;
  const auto visible = window_services().is_figure_description_visible;
  const bool shown = window && visible && visible(kp_hwnd(window));
  KPMenusWrapper::modifyMenu(KPMenusWrapper::mainMenu(), kFigureDescriptionItem, 0, kFigureDescriptionItem,
                             kernel_string(shown ? lang_row::description_shown : lang_row::description_hidden));
}

void fill_language_menu(QMenu* menu) {
  // The items of the last opening leave the menu now but are deleted only
  // once this opening has returned: Qt's menus keep some of their items by
  // plain pointer from one opening to the next (the item last under the
  // mouse), and the item chosen last may still be in its own activation,
  // whose dialog loads a language and ends in nested event loops.
  for (QAction* item : menu->actions()) {
    menu->removeAction(item);
    if (item->parent() == menu) item->deleteLater();
  }
  for (QActionGroup* old : menu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)) old->deleteLater();
  // A language added since the last time is offered too.
  NSKelvoLanguageStarter::scanResourcesForLanguageFiles();
  auto* group = new QActionGroup(menu);
  NSKelvoLanguageManager* manager = language_manager();
  if (manager) manager->populateLanguagesMenu(menu);
  for (QAction* item : menu->actions()) {
    item->setCheckable(true);
    item->setChecked(item->text() == NSKelvoLanguageStarter::currentLanguage());
    group->addAction(item);
  }
  menu->addSeparator();
  // A row of the native interface: the resource string, not a kernel text.
  QString dialog_title = NSKelvoResourceString::nsStringByID(QString::number(kRowLanguagesItem));
  if (dialog_title.isEmpty()) dialog_title = QStringLiteral("Languages...");
  menu->addAction(dialog_title, [dialog_title] {
    NSKelvoLanguageManager* m = language_manager();
    if (!m) return;
    QString title = dialog_title;
    while (title.endsWith(QLatin1Char('.'))) title.chop(1);
    m->languagesPanel()->setWindowTitle(title);
    m->openLanguageFileDialog();
  });
}

}  // namespace

NSKelvoLanguageManager* language_manager() { return g_manager; }

void free_language_manager() {
  delete g_manager;
  g_manager = nullptr;
}

void install_language_follow_up() {
  LanguageFollowUpHooks& h = follow_up_hooks();
  h.toolbar_exists = [] { return tool_menus != nullptr && tool_menus[0] != nullptr; };
  h.write_menus_image = &write_menus_image;
  h.read_menus_image = &read_menus_image;
  h.drop_default_macro_help = &drop_default_macro_help;
  h.apply_default_macro_help = &apply_default_macro_help;
  h.close_attrib_palette = [] { return close_attrib_palette(); };
  h.refresh_attrib_palette = [] {
    if (tool_services().refresh_attrib_palette) tool_services().refresh_attrib_palette();
  };
  h.set_application_window_text = [](const QString& title) {
    if (application_window) NSKelvoWrapMachine::setWindowText(application_window, to_mac_roman(title).constData());
  };
  // The number texts of every open figure follow the new decimal separator.
  h.convert_open_documents = [] {
    for (KPDocument* doc : KPDocument::liveDocuments()) doc->convertUSproc();
  };
  h.update_figure_description_menu = &update_figure_description_menu;
  h.update_attrib_palette_menu_text = [] { update_attrib_palette_menu_text(); };
  // The kernel titles the calculator's panel: an open one takes the new
  // texts at once.
  h.relabel_kernel_panels = [] {
    calculator_set_labels(calculator_window);
    NSKelvoTextEditor::relabelFontPanelAccessories();
  };
  if (!g_manager) {
    // Not a child of the application: its dialog, a window, would then be
    // deleted once the application's own tear-down had run.
    g_manager = new NSKelvoLanguageManager;
    g_manager->select_pointer_tool = [] { select_tool(0); };
  }
}

QMenu* add_language_menu(QMenu* parent) {
  // Its title follows the language with the other texts of its window.
  QMenu* menu = parent->addMenu(QStringLiteral("[%1](Language)").arg(kRowLanguageMenu));
  QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] { fill_language_menu(menu); });
  // A menu that has never been opened still shows its arrow.
  fill_language_menu(menu);
  return menu;
}

}  // namespace kelvo::lang
