// Lists the available languages, loads one by name and tells the
// application the outcome. The notifications are delivered synchronously:
// their handlers have run when the post returns.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class NSKelvoLanguageParser;
class QAbstractItemView;

// The notifications of the language machinery.
class NSKelvoLanguageCenter : public QObject {
  Q_OBJECT
 public:
  static NSKelvoLanguageCenter* defaultCenter();

 signals:
  void headerParsed(NSKelvoLanguageParser* parser);
  void languageInited();
  void languageLoaded();
  void languageError();
  // The kernel's texts are filled from a load: the interface takes its
  // texts now, before the question whether to keep the language.
  void textsFilled();
};

// What the application answers to the notifications.
class NSKelvoLanguageDelegate {
 public:
  virtual ~NSKelvoLanguageDelegate() = default;
  virtual void languageInited() {}
  virtual void languageLoaded() {}
  virtual void languageError() {}
};

class NSKelvoLanguageStarter {
 public:
  ~NSKelvoLanguageStarter();

  static QString getCurrentLanguage();
  static QString currentLanguage() { return getCurrentLanguage(); }
  // The locale code of the language loaded last ("en_US"), "" when it
  // gives none.
  static QString currentLanguageCode();
  static const QStringList& availableLanguages();

  // Creates the one starter on the first call (null when no language could
  // be loaded); every later call answers null and does nothing.
  static NSKelvoLanguageStarter* initLanguageStarter(NSKelvoLanguageDelegate* delegate, const QString& name);
  static NSKelvoLanguageStarter* sharedStarter();

  static bool scanResourcesForLanguageFiles();
  static bool loadLanguageFile(const QString& name);
  // Deletes a language the user added; the current language and the
  // installed ones are refused.
  static bool removeLanguageAtIndex(int index);
  static void setSelectTheCurrentLanguage(QAbstractItemView* table);

  // Path of the file that loading `name` reads, with the fallback to
  // "English US"; "" when neither exists.
  static QString languageFilePath(const QString& name);

  // Ends the starter and forgets the current language (tests, shutdown).
  static void release();

 private:
  NSKelvoLanguageStarter() = default;
  bool initWithLanguage(const QString& name, NSKelvoLanguageDelegate* delegate);

  std::vector<QMetaObject::Connection> connections_;
};

namespace kelvo::lang {
inline const QString kDefaultLanguage = QStringLiteral("English US");
}
