// What follows every language load: the kernel string table is refilled
// from the resource strings, the kernel's dependent texts are fixed up and
// the toolbar and menu bar are rebuilt in the new language.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class NSKelvoLanguageDelegate;

namespace kelvo::lang {

// The calls into subsystems that may not exist yet. An empty hook does
// nothing (and a question hook answers "no").
struct LanguageFollowUpHooks {
  // Toolbar and menu bar: only when the kernel's toolbar group list exists.
  std::function<bool()> toolbar_exists;
  // Appends the macro toolbox and writes the "Menus" image (no figure).
  std::function<QByteArray()> write_menus_image;
  // Tool names and help pages follow the new language, the description
  // after the header line rebuilds the toolbar and menu bar, the macro
  // toolbox is dropped again, the palette rebuilt and the pointer selected.
  std::function<void(const QByteArray& image, qsizetype description_offset)> read_menus_image;
  // User macros whose help text is the default one lose it before the fill
  // and get the new default after it.
  std::function<void(const char* old_default)> drop_default_macro_help;
  std::function<void(const char* new_default)> apply_default_macro_help;
  // Closes the attribute palette when it is open; answers whether it was.
  std::function<bool()> close_attrib_palette;
  std::function<void()> refresh_attrib_palette;
  std::function<void(const QString& title)> set_application_window_text;
  std::function<void()> convert_open_documents;
  std::function<void()> update_figure_description_menu;
  std::function<void()> update_attrib_palette_menu_text;
  // The panels the kernel titles itself take the new rows.
  std::function<void()> relabel_kernel_panels;
  // A message box: (text, title, mode) -> Win32 button code.
  std::function<int(const QString& text, const QString& title, int mode)> message_box;
  // A yes/no question (style 131): 1 for yes.
  std::function<int(const QString& text)> ask_yes_no;
  std::function<void(const QString& language)> store_language_preference;
  std::function<QString()> read_language_preference;
};

LanguageFollowUpHooks& follow_up_hooks();

// Runs after every language load. `inited` is false for the start-up load:
// only a change at run time asks whether to keep the new language.
// Answers false when the file's string count was refused.
bool languageLoaded(bool inited);

// The string-count error, shown through the message-box hook.
void enough_strings_message(int found);
QString enough_strings_text(int found);

// The native copy of a row that has one (null otherwise).
QString lang_native_string(int row);

// Start-up: loads `name`, or when it is empty the language of the
// preference "Language File Location" ("English US" when absent), telling
// `delegate` the outcome. False when no language could be loaded at all:
// the caller shows no_language_file_text() and exits with status 1.
bool start_language(const QString& name, NSKelvoLanguageDelegate* delegate);
QString no_language_file_text();

// Takes the language down to the state of start-up: the starter and the
// connections of its delegate, the current language and the list of
// languages, the string store and the reader's state, the native copies,
// the kernel's texts (the built-in ones again, which the names of classes,
// types and tools then point into) and the follow-up hooks (their defaults).
// start_language() may then run again.
void free_language();
QString read_language_preference();

}  // namespace kelvo::lang
