#include "app/lang/language_starter.h"

#include <QAbstractItemView>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>

#include "app/lang/language_parser.h"
#include "app/lang/resource_folders.h"
#include "app/lang/resource_string.h"

namespace {
QString current_language;
QStringList available;
std::unique_ptr<NSKelvoLanguageParser> last_parser;
NSKelvoLanguageStarter* the_starter = nullptr;
bool starter_made = false;

// A language name never leaves the languages folders.
bool is_safe_name(const QString& name) {
  if (name.isEmpty() || QDir::isAbsolutePath(name)) return false;
  for (const QString& part : name.split(QLatin1Char('/')))
    if (part == QLatin1String("..")) return false;
  return true;
}

QString find_language_file(const QString& name) {
  if (!is_safe_name(name)) return QString();
  for (const QString& folder : kelvo::lang::language_folders()) {
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".xcl");
    if (QFileInfo(path).isFile()) return path;
  }
  return QString();
}
}  // namespace

NSKelvoLanguageCenter* NSKelvoLanguageCenter::defaultCenter() {
  static NSKelvoLanguageCenter center;
  return &center;
}

NSKelvoLanguageStarter::~NSKelvoLanguageStarter() {
  for (auto& c : connections_) QObject::disconnect(c);
  current_language = QString();
  last_parser.reset();
  available.clear();
}

QString NSKelvoLanguageStarter::getCurrentLanguage() { return current_language; }
QString NSKelvoLanguageStarter::currentLanguageCode() { return last_parser ? last_parser->languageCode() : QString(); }
const QStringList& NSKelvoLanguageStarter::availableLanguages() { return available; }
NSKelvoLanguageStarter* NSKelvoLanguageStarter::sharedStarter() { return the_starter; }

NSKelvoLanguageStarter* NSKelvoLanguageStarter::initLanguageStarter(NSKelvoLanguageDelegate* delegate,
                                                                    const QString& name) {
  if (starter_made) return nullptr;
  starter_made = true;
  auto* starter = new NSKelvoLanguageStarter;
  if (!starter->initWithLanguage(name, delegate)) {
    delete starter;
    return nullptr;
  }
  the_starter = starter;
  return starter;
}

bool NSKelvoLanguageStarter::initWithLanguage(const QString& name, NSKelvoLanguageDelegate* delegate) {
  current_language = QString();
  NSKelvoLanguageCenter* center = NSKelvoLanguageCenter::defaultCenter();
  if (delegate != nullptr) {
    connections_.push_back(QObject::connect(center, &NSKelvoLanguageCenter::languageInited, center,
                                            [delegate] { delegate->languageInited(); }, Qt::DirectConnection));
    connections_.push_back(QObject::connect(center, &NSKelvoLanguageCenter::languageLoaded, center,
                                            [delegate] { delegate->languageLoaded(); }, Qt::DirectConnection));
    connections_.push_back(QObject::connect(center, &NSKelvoLanguageCenter::languageError, center,
                                            [delegate] { delegate->languageError(); }, Qt::DirectConnection));
  }
  if (!scanResourcesForLanguageFiles()) {
    emit center->languageError();
    return false;
  }
  emit center->languageInited();
  return loadLanguageFile(name);
}

bool NSKelvoLanguageStarter::scanResourcesForLanguageFiles() {
  available.clear();
  for (const QString& folder : kelvo::lang::language_folders()) {
    const QDir root(folder);
    QStringList found;
    QDirIterator it(folder, {QStringLiteral("*.xcl")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString rel = root.relativeFilePath(it.next());
      found << rel.left(rel.size() - 4);
    }
    found.sort();
    for (const QString& name : found)
      if (!available.contains(name)) available << name;
  }
  return !available.isEmpty();
}

QString NSKelvoLanguageStarter::languageFilePath(const QString& name) {
  QString path = find_language_file(name);
  if (path.isEmpty()) path = find_language_file(kelvo::lang::kDefaultLanguage);
  return path;
}

bool NSKelvoLanguageStarter::loadLanguageFile(const QString& name) {
  if (!current_language.isNull() && name == current_language) return true;
  current_language = name;
  NSKelvoLanguageCenter* center = NSKelvoLanguageCenter::defaultCenter();
  const QString path = languageFilePath(name);
  if (path.isEmpty()) {
    emit center->languageError();
    return false;
  }
  NSKelvoResourceString::resetCounter();
  last_parser = NSKelvoLanguageParser::initWithFile(path, false);
  if (!last_parser) {
    emit center->languageError();
    return false;
  }
  emit center->languageLoaded();
  return true;
}

bool NSKelvoLanguageStarter::removeLanguageAtIndex(int index) {
  if (index < 0 || index >= available.size()) return false;
  const QString name = available.at(index);
  if (name == current_language || !is_safe_name(name)) return false;
  // Installed languages are read-only: only the user's own can go.
  const QString base = kelvo::lang::user_languages_folder() + QLatin1Char('/') + name;
  if (!QFileInfo(base + QStringLiteral(".xcl")).isFile()) return false;
  const bool removed = QFile::remove(base + QStringLiteral(".xcl"));
  QFile::remove(base + QStringLiteral(".tif"));
  QFile::remove(base + QStringLiteral(".png"));
  if (removed) available.removeAt(index);
  return removed;
}

void NSKelvoLanguageStarter::setSelectTheCurrentLanguage(QAbstractItemView* table) {
  if (table == nullptr || table->model() == nullptr) return;
  const int row = available.indexOf(current_language);
  if (row < 0 || row >= table->model()->rowCount()) return;
  table->selectionModel()->select(table->model()->index(row, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void NSKelvoLanguageStarter::release() {
  delete the_starter;
  the_starter = nullptr;
  starter_made = false;
  current_language = QString();
  last_parser.reset();
  available.clear();
}
