// Choosing, adding and removing languages: the language menu and the
// language dialog.
#pragma once

#include <QDialog>
#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QPushButton;
class QTableWidget;

// The language dialog: flag and name of every available language.
class NSKelvoLanguagesPanel : public QDialog {
  Q_OBJECT
 public:
  explicit NSKelvoLanguagesPanel(QWidget* parent = nullptr);
  QTableWidget* languageList() const { return languageList_; }
  QPushButton* minusButton() const { return minusButton_; }
  QPushButton* plusButton() const { return plusButton_; }
  QPushButton* chooseButton() const { return chooseButton_; }
  // Rescans the folders and reloads the table.
  void update2();

 signals:
  void selectLanguageFileInDialog();

 private:
  QTableWidget* languageList_;
  QPushButton* plusButton_;
  QPushButton* minusButton_;
  QPushButton* chooseButton_;
  QPushButton* cancelButton_;
};

class NSKelvoLanguageManager : public QObject {
  Q_OBJECT
 public:
  explicit NSKelvoLanguageManager(QObject* parent = nullptr);
  ~NSKelvoLanguageManager() override;
  static NSKelvoLanguageManager* defaultManager();

  // One item per available language; false when the menu is null or no
  // language is available.
  bool populateLanguagesMenu(QMenu* menu);
  bool selectLanguageFileByName(const QString& name);
  void languageMenuItemSelected(QAction* item);

  NSKelvoLanguagesPanel* languagesPanel();
  // Makes the pointer tool current, then runs the dialog modally.
  void openLanguageFileDialog();
  void selectLanguageFileInDialog();
  void exitLanguageFileDialog();
  void tableViewSelectionDidChange();
  void minusButtonAction();
  void plusButtonAction();
  // Copies a language file into the user's languages folder; on failure
  // shows the destination and the write-error text. Answers success.
  bool addLanguageFile(const QString& source);

  // The pointer tool (the kernel's select_tool(0)); empty until the tools exist.
  std::function<void()> select_pointer_tool;
  // Picks a file to add; defaults to an open-file dialog.
  std::function<QString()> choose_language_file;

 private:
  NSKelvoLanguagesPanel* panel_ = nullptr;
};
