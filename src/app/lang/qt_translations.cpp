#include "app/lang/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace kelvo::lang {
namespace {

std::unique_ptr<QTranslator>& installed() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

QString& folder_for_testing() {
  static QString folder;
  return folder;
}

}  // namespace

QString qt_translations_folder() {
  if (!folder_for_testing().isEmpty()) return folder_for_testing();
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

void set_qt_translations_folder_for_testing(const QString& folder) { folder_for_testing() = folder; }

void remove_qt_translations() {
  if (!installed()) return;
  if (QCoreApplication::instance()) QCoreApplication::removeTranslator(installed().get());
  installed().reset();
}

bool install_qt_translations(const QString& code) {
  remove_qt_translations();
  if (code.isEmpty() || !QCoreApplication::instance()) return false;
  auto translator = std::make_unique<QTranslator>();
  // "qt_fr_FR", then "qt_fr": the catalogue of the language, whatever its
  // country.
  if (!translator->load(QLocale(code), QStringLiteral("qt"), QStringLiteral("_"), qt_translations_folder()))
    return false;
  if (!QCoreApplication::installTranslator(translator.get())) return false;
  installed() = std::move(translator);
  return true;
}

}  // namespace kelvo::lang
