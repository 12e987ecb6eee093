// The accessory views of the file panels. The figure save panel carries the
// save options (password protection, opening animation, picture paths, the
// older text format, PC compatibility) and a pop-up of the file kinds; the
// kernel's own open and save panels carry a pop-up of their kinds when they
// offer more than one. A panel here is what the accessories act on: the
// file types it accepts, its accessory view and the delegate told of the
// confirmed name. A real dialog (a non-native QFileDialog) shows it; a
// chooser installed by tests works it through the same controls.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/kelvo_wrap_machine.h"
#include "platform/win_types.h"

class QComboBox;
class QFileDialog;
class NSAccessorySaveOptions;

using KPDialogProcedure = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

class KPFilePanel {
 public:
  KPFilePanel() = default;
  ~KPFilePanel();
  KPFilePanel(const KPFilePanel&) = delete;
  KPFilePanel& operator=(const KPFilePanel&) = delete;

  // The extensions the panel accepts (without dots); empty: every file.
  const std::vector<std::string>& allowedFileTypes() const { return types_; }
  void setAllowedFileTypes(std::vector<std::string> types);
  // The panel owns its accessory view.
  QWidget* accessoryView() const { return accessory_; }
  void setAccessoryView(QWidget* view);
  void setDelegate(NSAccessorySaveOptions* delegate) { delegate_ = delegate; }
  // The user confirmed (or only entered) a name: the delegate is told when
  // confirmed; the name comes back unchanged.
  std::string userEnteredFilename(const std::string& name, bool confirmed);

  // A dialog shows the panel for the time it runs: the accessory goes into
  // it and its name filter follows the allowed types.
  void attach(QFileDialog* dialog);
  void detach();
  // The Qt name filter of the allowed types ("*.fig *.env"); "*" for all.
  QString nameFilter() const;

 private:
  std::vector<std::string> types_;
  QPointer<QWidget> accessory_;
  QPointer<NSAccessorySaveOptions> delegate_;
  QPointer<QFileDialog> dialog_;
};

// The password field: every change reaches the newest save accessory. It is
// really disabled with its box (its text stays).
class NSAccessorySaveTextField : public QLineEdit, public KPEnableTarget {
 public:
  explicit NSAccessorySaveTextField(QWidget* parent);
  void textDidChange();
  int enableWindow(bool enable) override;
};

class NSAccessorySaveOptions : public QWidget {
 public:
  // Builds the controls in a 500 x 60 view; the procedure is the kernel's
  // save-options dialog procedure, which gives them their texts and roles.
  NSAccessorySaveOptions(const QRect& frame, KPFilePanel* panel, const std::vector<std::string>& titles,
                         const std::vector<std::string>& extensions, KPDialogProcedure procedure);

  // The procedure hears 273 (check boxes that change the panel), or 78 (the
  // options copied into the figure), with the control's tag and value.
  void saveOptionSelector(QObject* sender);
  void saveOptionSelector2(QObject* sender);
  // 78 addressed to the newest save accessory.
  static void saveOptionSelectorToNewest(QObject* sender);
  // The pop-up: the panel accepts the one kind chosen.
  void saveTypeSelector(int index);
  std::string panelUserEnteredFilename(const std::string& name, bool confirmed);
  LRESULT send(UINT message, WPARAM wparam, LPARAM lparam);
  QComboBox* typePopUp() const { return popup_; }

 protected:
  // The texts the kernel gave are fitted into the controls' frames.
  void showEvent(QShowEvent* event) override;

 private:
  KPFilePanel* sp_;
  std::vector<std::string> filters_;
  KPDialogProcedure procedure_;
  QComboBox* popup_ = nullptr;
};

// The newest save accessory (null once it is gone).
NSAccessorySaveOptions* save_accessory();

class NSAccessoryOpenSaveFilter : public QWidget {
 public:
  NSAccessoryOpenSaveFilter(const QRect& frame, KPFilePanel* panel, const std::vector<std::string>& titles,
                            const std::vector<std::string>& extensions, OPENFILENAME* record);
  // The pop-up: the panel accepts the chosen kind, and the record's filter
  // index (from 1) says which.
  void saveOptionSelector(int index);
  QComboBox* popUp() const { return popup_; }

 private:
  OPENFILENAME* OpenFileName_;
  KPFilePanel* sp_;
  std::vector<std::string> filters_;
  QComboBox* popup_ = nullptr;
};

// Makes the accessory, installs it as the panel's accessory and delegate
// and initialises it through the procedure (272).
NSAccessorySaveOptions* add_save_accessory(KPFilePanel* panel, const std::vector<std::string>& titles,
                                           const std::vector<std::string>& extensions,
                                           KPDialogProcedure procedure);
// The kinds' pop-up: the record's filter index becomes 1 and the panel
// accepts the first kind only until another is chosen.
NSAccessoryOpenSaveFilter* add_open_accessory(KPFilePanel* panel, OPENFILENAME* record,
                                              const std::vector<std::string>& titles,
                                              const std::vector<std::string>& extensions);
