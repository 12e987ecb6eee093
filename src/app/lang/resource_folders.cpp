#include "app/lang/resource_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kelvo::lang {
namespace {
QString test_installed;
QString test_user;
bool testing = false;
}  // namespace

QString resources_folder() {
  const QString env = qEnvironmentVariable("KELVO_RESOURCES");
  if (!env.isEmpty()) return env;
  const QString app = QCoreApplication::applicationDirPath();
  for (const QString& candidate : {app + QStringLiteral("/resources"),
                                   app + QStringLiteral("/../share/kelvo-nova/resources")}) {
    if (QFileInfo(candidate).isDir()) return QDir::cleanPath(candidate);
  }
  return QStringLiteral(KELVO_SOURCE_RESOURCES);
}

QString installed_languages_folder() {
  if (testing) return test_installed;
  return resources_folder() + QStringLiteral("/languages");
}

QString user_languages_folder() {
  if (testing) return test_user;
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/languages");
}

QStringList language_folders() {
  QStringList folders;
  for (const QString& f : {user_languages_folder(), installed_languages_folder()})
    if (!f.isEmpty()) folders << f;
  return folders;
}

void set_language_folders_for_testing(const QString& installed, const QString& user) {
  testing = true;
  test_installed = installed;
  test_user = user;
}

QString resource_file(const QString& name) {
  const QString path = resources_folder() + QLatin1Char('/') + name;
  return QFileInfo(path).isFile() ? path : QString();
}

}  // namespace kelvo::lang
