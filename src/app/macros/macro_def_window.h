// The macro definition window: name (existing macros and a proposal), short
// name, help, password, the save option, and the icon drawn in two zoomed
// editors with a pen chosen in a palette of the sixteen icon colours. The
// kernel keeps the working icon and decides what a click on a cell does;
// this window shows it and passes the mouse on.
#pragma once

#include <QDialog>
#include <functional>

#include "kernel/macros/macro_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

class KPMacroDefWindow : public QDialog {
  Q_OBJECT
 public:
  explicit KPMacroDefWindow(QWidget* parent = nullptr);

  QComboBox* nameBox() const { return name_; }
  QLineEdit* shortNameEdit() const { return short_name_; }
  QLineEdit* helpEdit() const { return help_; }
  QLineEdit* passwordEdit() const { return password_; }
  QCheckBox* optionBox() const { return option_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* eraseButton() const { return erase_; }
  QPushButton* duplicateButton() const { return duplicate_; }
  QWidget* iconEditor(int size) const { return size == 16 ? editor16_ : editor32_; }
  QWidget* paletteView() const { return palette_; }
  QPushButton* penButton() const { return pen_; }
  QPushButton* chooseButton() const { return choose_; }
  // The icon chooser while it is open (null otherwise).
  QDialog* chooser() const { return chooser_; }

  // The texts as the kernel wants them (Mac Roman).
  macro_dialog_texts texts() const;
  // Every icon view drawn again from the working icon.
  void refreshIcons();
  void setPenColor(int index);

  // Installs the window and the conflict alert as the kernel's dialog, and
  // the password prompt.
  static void installKernelServices();
  // Tests: acts on the window once it is shown modally (null: none); and
  // answers the conflict alert (replace enabled, add enabled) instead of it.
  static void setScript(std::function<void(KPMacroDefWindow*)> script);
  static void setConflictResponder(std::function<int(bool, bool)> responder);
  static void setPasswordResponder(std::function<bool(const char*)> responder);

 private:
  void nameChosen(int index);
  void chooseIcon();

  QComboBox* name_;
  QLineEdit* short_name_;
  QLineEdit* help_;
  QLineEdit* password_;
  QCheckBox* option_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* erase_;
  QPushButton* idea_;
  QPushButton* duplicate_;
  QPushButton* pen_;
  QPushButton* choose_;
  QDialog* chooser_ = nullptr;
  QWidget* editor16_;
  QWidget* editor32_;
  QWidget* preview16_;
  QWidget* preview32_;
  QWidget* palette_;
};
