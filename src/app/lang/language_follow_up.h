// The application's part of what follows a language load: the toolbar and
// menu bar rebuilt through the "Menus" image, tool and type names taken
// again from the new rows, the default help of user macros, the attribute
// palette and the menu texts; and the user's road to a language change, a
// Language menu and the language dialog.
#pragma once

class QMenu;
class NSKelvoLanguageManager;

namespace kelvo::lang {

// Fills the follow-up hooks of every language load (kernel_string_fill.h)
// and makes the language manager of the running program.
void install_language_follow_up();

// The program's language manager (null before install_language_follow_up).
NSKelvoLanguageManager* language_manager();
// Deletes the manager and its dialog (free_language() does it): the dialog
// is a window, and must go while the application object is whole.
void free_language_manager();

// Adds to `parent` the Language submenu: one item per available language
// (the current one checked), then "Languages...", which opens the language
// dialog. The list is read again each time the submenu opens.
QMenu* add_language_menu(QMenu* parent);

}  // namespace kelvo::lang
