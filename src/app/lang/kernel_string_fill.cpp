#include "app/lang/kernel_string_fill.h"

#include <QApplication>
#include <QMessageBox>
#include "platform/kernel_services.h"
#include "platform/kp_settings.h"
#include <cstdio>
#include <vector>

#include "app/document/kp_document.h"
#include "app/view/kp_figure_view.h"
#include "app/lang/language_follow_up.h"
#include "app/lang/language_parser.h"
#include "app/lang/language_starter.h"
#include "app/lang/mac_roman_text.h"
#include "app/lang/qt_translations.h"
#include "app/lang/resource_string.h"
#include "kernel/model/figure.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace kelvo::lang {
namespace {

QString native_strings[kKernelStringCount];

constexpr const char* kPreferenceKey = "Language File Location";
constexpr const char* kPreferenceFile = "WKelvo2.ini";

int default_message_box(const QString& text, const QString& title, int) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr && !QApplication::platformName().isEmpty()) {
    QMessageBox::critical(nullptr, title, text);
  } else {
    std::fprintf(stderr, "%s\n%s\n", qUtf8Printable(title), qUtf8Printable(text));
  }
  return 1;
}

// The kernel's yes/no question (style 131), titled with the program's name.
int default_ask_yes_no(const QString& text) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return 0;
  message_compose(to_mac_roman(text).constData(), "", "", "");
  return message_show(131);
}

// The menus image, kept in memory between writing it and reading it back.
QByteArray pending_menus;

void write_menu_file(LanguageFollowUpHooks& h) {
  pending_menus.clear();
  if (!h.toolbar_exists || !h.toolbar_exists() || !h.write_menus_image) return;
  pending_menus = h.write_menus_image();
}

void read_menu_file(LanguageFollowUpHooks& h) {
  if (!h.toolbar_exists || !h.toolbar_exists() || !h.read_menus_image) return;
  // Nothing was written (or it was empty): the toolbar is left as it is.
  if (pending_menus.isEmpty()) return;
  qsizetype i = 0;
  while (i < pending_menus.size() && pending_menus[i] != '\r' && pending_menus[i] != '\n') ++i;
  while (i < pending_menus.size() && (pending_menus[i] == '\r' || pending_menus[i] == '\n')) ++i;
  const QByteArray image = std::exchange(pending_menus, QByteArray());
  h.read_menus_image(image, i);
}

// The hooks of start-up: messages and the language preference only.
LanguageFollowUpHooks default_hooks() {
  LanguageFollowUpHooks h;
  h.message_box = default_message_box;
  h.ask_yes_no = default_ask_yes_no;
  h.store_language_preference = [](const QString& language) {
    KPPreferencesWrapper::SetUserDefault(kPreferenceKey, to_mac_roman(language).constData(), kPreferenceFile);
  };
  h.read_language_preference = [] {
    char value[1024] = {};
    if (!KPPreferencesWrapper::GetUserDefault(kPreferenceKey, value, sizeof value, nullptr, kPreferenceFile))
      return QString();
    return from_mac_roman(value);
  };
  return h;
}

// The open figures and their undo copies let go of the rows about to be
// freed.
void forget_rows_in_open_figures() {
  for (KPDocument* doc : KPDocument::liveDocuments()) {
    kelvo_win_info* fig = doc->figureView() ? doc->figureView()->info() : nullptr;
    forget_kernel_string_uses(fig);
    if (fig) forget_kernel_string_uses(fig->undo);
  }
}

}  // namespace

LanguageFollowUpHooks& follow_up_hooks() {
  static LanguageFollowUpHooks hooks = default_hooks();
  return hooks;
}

QString enough_strings_text(int found) {
  return QStringLiteral("There are not enough strings in this language file.\nExpecting %1 strings, found %2.")
      .arg(kKernelStringCount)
      .arg(found);
}

void enough_strings_message(int found) {
  LanguageFollowUpHooks& h = follow_up_hooks();
  if (h.message_box) h.message_box(enough_strings_text(found), QStringLiteral("Error in Kelvo Nova language file"), 2);
}

QString lang_native_string(int row) {
  if (row < 0 || row >= kKernelStringCount) return QString();
  return native_strings[row];
}

bool languageLoaded(bool inited) {
  LanguageFollowUpHooks& h = follow_up_hooks();
  write_menu_file(h);

  // The rows are taken by position from the store; a file whose count is
  // off (or whose identifiers repeat, leaving rows without a string) is
  // refused as a whole and the previous texts stay in force.
  const int count = NSKelvoResourceString::counter();
  const long entries = NSKelvoResourceString::numEntries();
  if (count != kKernelStringCount || entries < kKernelStringCount) {
    pending_menus.clear();
    enough_strings_message(count != kKernelStringCount ? count : static_cast<int>(entries));
    return false;
  }

  if (h.drop_default_macro_help) h.drop_default_macro_help(kernel_string(lang_row::default_macro_help));
  forget_rows_in_open_figures();

  std::vector<QByteArray> bytes(kKernelStringCount);
  std::vector<const char*> texts(kKernelStringCount);
  for (int row = 0; row < kKernelStringCount; ++row) {
    const NSKelvoResourceString* entry = NSKelvoResourceString::resourceStringAtIndex(static_cast<unsigned>(row));
    bytes[row] = entry->cStringWithEncoding();
    texts[row] = bytes[row].constData();
    if (lang_string_table[row].nsvar) native_strings[row] = entry->nsString();
  }
  lang_fill_kernel_strings(texts.data(), kKernelStringCount);
  // The names and help texts of the classes, the types and the class-less
  // tools point into the new rows, whether or not a toolbar exists yet.
  init_tool_names_and_help();

  if (h.apply_default_macro_help) h.apply_default_macro_help(kernel_string(lang_row::default_macro_help));
  const bool palette_closed = h.close_attrib_palette && h.close_attrib_palette();
  if (h.set_application_window_text) h.set_application_window_text(native_strings[lang_row::app_title]);
  if (h.convert_open_documents) h.convert_open_documents();
  read_menu_file(h);
  if (h.relabel_kernel_panels) h.relabel_kernel_panels();
  // The palette and the windows' texts are back, in the new language,
  // before the question: the user sees the program whole while answering.
  if (palette_closed && h.refresh_attrib_palette) h.refresh_attrib_palette();
  // Qt's own dialogs and buttons speak the language too.
  install_qt_translations(NSKelvoLanguageStarter::currentLanguageCode());
  emit NSKelvoLanguageCenter::defaultCenter()->textsFilled();

  if (inited && h.ask_yes_no) {
    if (h.ask_yes_no(from_mac_roman(kernel_string(lang_row::language_question))) == 1 && h.store_language_preference)
      h.store_language_preference(NSKelvoLanguageStarter::currentLanguage());
  }
  if (h.update_figure_description_menu) h.update_figure_description_menu();
  if (h.update_attrib_palette_menu_text) h.update_attrib_palette_menu_text();
  return true;
}

QString read_language_preference() {
  LanguageFollowUpHooks& h = follow_up_hooks();
  return h.read_language_preference ? h.read_language_preference() : QString();
}

bool start_language(const QString& name, NSKelvoLanguageDelegate* delegate) {
  QString chosen = name;
  if (chosen.isEmpty()) chosen = read_language_preference();
  if (chosen.isEmpty()) chosen = kDefaultLanguage;
  return NSKelvoLanguageStarter::initLanguageStarter(delegate, chosen) != nullptr;
}

void free_language() {
  free_language_manager();
  NSKelvoLanguageStarter::release();
  NSKelvoResourceString::freeStrings();
  NSKelvoLanguageParser::resetSharedState();
  for (QString& s : native_strings) s = QString();
  pending_menus.clear();
  forget_rows_in_open_figures();
  lang_reset_kernel_strings();
  init_tool_names_and_help();
  follow_up_hooks() = default_hooks();
  remove_qt_translations();
}

QString no_language_file_text() {
  return QStringLiteral("Kelvo Nova cannot locate any language file!\rKelvo Nova ne trouve pas de  fichier de langue !");
}

}  // namespace kelvo::lang
