// The toolbox configuration window. While it is open the palette runs in
// configuration mode (config_mode): tools move between toolboxes and into
// or out of the Trash, shown only then. OK keeps the new arrangement (and
// may save it as a tool-menu file), Cancel puts the toolboxes back as they
// were at entry, Revert does so and stays in the mode. A password set here
// protects entering the mode for as long as the program runs; it is never
// written anywhere.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

class NSToolsWindowController : public QDialog {
  Q_OBJECT
 public:
  // Control tags.
  enum : int {
    kOk = 1,
    kCancel = 2,
    kSaveConfig = 21,
    kRevert = 30,
    kPasswordOk = 100,
    kPasswordCancel = 101,
  };

  static NSToolsWindowController* shared();
  static void destroy();

  void enterReorganizeIcons();
  void exitReorganizeIcons();
  void iconOrganizerCommand(int tag);
  void resetConfiguration(bool cancel);

  bool passwordProtection() const { return passwordProtection_; }
  QLineEdit* definePassword() const { return definePassword_; }
  QLineEdit* enterPassword() const { return enterPassword_; }
  QDialog* passwordSheet() const { return passwordSheet_; }
  QCheckBox* saveBox() const { return saveBox_; }
  QPushButton* button(int tag) const;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void reject() override;

 private:
  NSToolsWindowController();
  bool checkPassword();
  void activateToolsDialog();
  void setPassword();
  void placeTrash();
  void enableMainMenus(bool enable);

  QLineEdit* definePassword_ = nullptr;
  QLineEdit* enterPassword_ = nullptr;
  QDialog* passwordSheet_ = nullptr;
  QCheckBox* saveBox_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* revert_ = nullptr;
  QPushButton* passwordOk_ = nullptr;
  QPushButton* passwordCancel_ = nullptr;
  bool passwordProtection_ = false;
  bool hasPassword_ = false;
  QString password_;
  bool saveConfig_ = false;
  bool restoreAttributeWindow_ = false;
  bool leaving_ = false;
  // The arrangement at entry, owned here so that nothing else that uses the
  // kernel's file image can replace it while the mode lasts.
  std::string backup_;
};

// Set on OK from the save box: the arrangement is then saved as a file.
extern uint8_t config_save_on_exit;
