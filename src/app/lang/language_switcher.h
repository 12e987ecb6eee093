// Keeps interface texts in the current language: a control whose text is a
// label pattern (a string identifier in square brackets, optionally
// followed by a fallback text in parentheses) shows the string of that
// identifier, and is updated after every language load.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QMenuBar;

// One control text that follows the language.
class NSKelvoLanguageSwitcherPair {
 public:
  using Getter = std::function<QString()>;
  using Setter = std::function<void(const QString&)>;
  NSKelvoLanguageSwitcherPair(QObject* target, const QString& pattern, Getter get, Setter set);

  QObject* targetObject() const { return target_; }
  const QString& pattern() const { return pattern_; }
  // Expands the pattern and gives the control the result.
  void updatePair();

  // The expansion of a label pattern; text without a complete reference
  // is returned as it is. Exponent codes "\2" and "\3" become superscripts.
  static QString stringWithPatternString(const QString& pattern);

  using Pairs = std::vector<std::unique_ptr<NSKelvoLanguageSwitcherPair>>;
  // Pairs for an object and what it contains (see the .cpp for which
  // controls take part); each pair made is applied at once.
  static NSKelvoLanguageSwitcherPair* createPairWithView(QObject* object, Pairs* pairs);
  static void createPairsWithMenu(QMenu* menu, Pairs* pairs);

 private:
  QPointer<QObject> target_;
  QString pattern_;
  Getter get_;
  Setter set_;
};

// Groups controls whose texts follow the language; draws nothing.
class NSKelvoLanguageSwitcherView : public QWidget {
  Q_OBJECT
 public:
  explicit NSKelvoLanguageSwitcherView(QWidget* parent = nullptr);
  ~NSKelvoLanguageSwitcherView() override;

  // Makes pairs for every control below this view (call once its children
  // exist, as a loaded interface would).
  void awakeFromNib();
  // From here on every language load updates the pairs.
  void followLanguage();
  void addPairForView(QWidget* view);
  void addPairForMenu(QMenu* menu);
  // A menu bar's menus, their items and submenus.
  void addPairForMenuBar(QMenuBar* bar);
  // One control (as a loaded interface's would be), a window's title, or
  // any other text of a control.
  void addPairForControl(QObject* control);
  void addPairForWindowTitle(QWidget* window);
  void addPair(QObject* target, NSKelvoLanguageSwitcherPair::Getter get, NSKelvoLanguageSwitcherPair::Setter set);
  const NSKelvoLanguageSwitcherPair::Pairs& pairs() const { return pairs_; }
  // The expansion of the pattern of a control's pair; null when none.
  QString stringForView(QObject* control) const;

  // Registers a menu (the shared main menu, for one) with the shared menu
  // switcher.
  static void addMenu(QMenu* menu);
  static void addMenuBar(QMenuBar* bar);

 public slots:
  void languageLoaded();

 private:
  NSKelvoLanguageSwitcherPair::Pairs pairs_;
};

// A read-only field whose text is a label pattern; references may also be
// written "[major.minor]", and an empty reference "[]" names the numbers
// last given with setKPLReference().
class NSKelvoKPLTextField : public QLabel {
  Q_OBJECT
 public:
  explicit NSKelvoKPLTextField(const QString& pattern, QWidget* parent = nullptr);
  void setKPLReference(long major, long minor);
  void reload();
  QString stringWithPatternString();
  // Splits "a.b" into major a and minor b; one part sets only the major;
  // more than two parts change nothing.
  static void convertID(const QString& text, long* major, long* minor);

 private:
  QString patternString_;
  long major_ = 0;
  long minor_ = 0;
};
