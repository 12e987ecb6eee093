// Qt's own texts (the buttons and labels of its file, colour, font and
// print dialogs, of its message boxes' standard buttons) follow the
// language file: the catalogue Qt ships for the file's locale code is
// installed with each load.
#pragma once

#include <QString>

namespace kelvo::lang {

// Replaces Qt's catalogue by the one of `code` ("fr_FR" finds "qt_fr");
// false, and Qt's built-in English, when there is none.
bool install_qt_translations(const QString& code);
// Qt's built-in English again.
void remove_qt_translations();
// Where the catalogues are looked for (Qt's translations folder unless a
// test gives another).
QString qt_translations_folder();
void set_qt_translations_folder_for_testing(const QString& folder);

}  // namespace kelvo::lang
