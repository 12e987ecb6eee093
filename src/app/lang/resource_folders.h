// Where the application's resources and language files lie: the installed
// (read-only) resources folder and the user's own languages folder, where
// added languages go.
#pragma once

#include <QString>
#include <QStringList>

namespace kelvo::lang {

// The installed resources folder: $KELVO_RESOURCES when set, else
// "resources" next to the executable, else ../share/kelvo-nova/resources,
// else the source tree's resources.
QString resources_folder();
// resources_folder()/languages.
QString installed_languages_folder();
// The per-user languages folder (may not exist yet).
QString user_languages_folder();
// Both folders, the user's first; tests may replace them.
QStringList language_folders();
void set_language_folders_for_testing(const QString& installed, const QString& user);

// Path of a resource file (relative to the resources folder); "" if absent.
QString resource_file(const QString& name);

}  // namespace kelvo::lang
