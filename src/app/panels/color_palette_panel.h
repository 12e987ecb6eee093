// The colour palette panel: a floating tool window that shows, for the
// attribute menus that are shown (attrib_menu_shown), the hexagon of the 41
// named colours with a colour well for any colour (for the pen, fill or
// text colour menu, whichever is active) and one row of buttons for each
// other shown attribute menu. A choice becomes a tool action of the current
// figure view, as a click on the attribute bar of the tools palette does.
// The hexagon is laid out, hit-tested and painted by the kernel.
//
// Also the background colour chooser: a modal colour dialog.
#pragma once

#include <QColor>
#include <QDialog>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "kernel/tools/toolbox.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/win_types.h"

class QPushButton;
class QToolButton;
class QColorDialog;

// Gives the kernel's hexagon procedure its painting, redisplay and the
// message to the window holding the cells; done once at start-up.
void install_hexagon_ops();

// The view of the 41 cells; its clicks go to the kernel's hexagon procedure.
class NSPaletteView : public QWidget {
  Q_OBJECT
 public:
  using PaletteFunc = void (*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  explicit NSPaletteView(QWidget* parent);
  void setPaletteFunc(PaletteFunc func, HWND window) {
    func_ = func;
    funcWindow_ = window;
  }
  QSize sizeHint() const override { return {250, 260}; }
  // The palette panel's cells (the kernel's color_palette_window), as
  // opposed to the colour choice dialog's.
  bool isPaletteWindow() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  PaletteFunc func_ = nullptr;
  HWND funcWindow_ = nullptr;
};

class NSShowPalette : public QWidget, public KPMessageTarget {
  Q_OBJECT
 public:
  // The panel, made on first use.
  static NSShowPalette* shared();
  static bool exists();
  // Deletes the panel (the next use makes a new one).
  static void destroy();

  // Shows what the shown attribute menus ask for, closes the panel when
  // nothing is to be shown. A null title keeps the titles.
  void paint(const char* title);
  void setIndexedColor(uint8_t index);
  QColor color() const;
  // The sender's colour becomes the active colour menu's tool action.
  void changeColor(const QColor& color);
  // 16 (close) closes the panel: the colour chooser goes and the kernel's
  // palette window procedure gets 2 (destroy).
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

  NSPaletteView* paletteView() const { return paletteView_; }
  QPushButton* colorWell() const { return colorWell_; }
  QPushButton* iconButton() const { return iconButton_; }
  QPushButton* closePaletteButton() const { return closePaletteButton_; }
  // The row of attribute menu i (3 and up), or null.
  QWidget* row(int index) const;
  // The button of item j of attribute menu i.
  QToolButton* rowButton(int index, int item) const;
  QColorDialog* wellDialog() const { return wellDialog_; }
  uint32_t currentColor(int menu) const { return currentColors_[static_cast<size_t>(menu)]; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  NSShowPalette();
  void initViews();
  void attribButtonAction(QToolButton* sender);
  void closeButtonAction(QPushButton* sender);
  int activeColorMenu() const;

  NSPaletteView* paletteView_ = nullptr;
  QWidget* colorPart_ = nullptr;
  QPushButton* colorWell_ = nullptr;
  QPushButton* iconButton_ = nullptr;
  QPushButton* closePaletteButton_ = nullptr;
  QColorDialog* wellDialog_ = nullptr;
  std::array<QWidget*, 12> settingsViews_{};
  std::array<uint32_t, 3> currentColors_{};
  uint8_t indexedColor_ = 40;
  bool actionIsActivated_ = false;
};

// The colour choice dialog: the 41 cells, OK and Cancel, run modally by
// the kernel's colour choice procedure. A click chooses a cell, a double
// click chooses it and answers OK.
class KPColorChoiceDialog : public QDialog, public KPMessageTarget {
  Q_OBJECT
 public:
  // The cell shown chosen at first (0 to 40).
  KPColorChoiceDialog(QWidget* parent, uint8_t index);
  // 273 with OK or Cancel ends the dialog; 273 with 1198 takes the cell in
  // the low byte of lparam.
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  uint8_t chosen() const { return chosen_; }
  NSPaletteView* paletteView() const { return palette_; }

 private:
  NSPaletteView* palette_ = nullptr;
  uint8_t chosen_ = 40;
};
// Runs the dialog: true and the chosen cell in *index on OK.
bool run_color_choice(QWidget* parent, uint8_t* index);
// Tests answer in place of the user: the dialog is shown and given to the
// responder, which clicks in it; its result ends the run.
void set_color_choice_responder(std::function<void(KPColorChoiceDialog*)> responder);

// For the kernel: sets the palette up on first use and paints it.
void show_color_palette(const char* title);
// The palette view's callback: 273 with control 1198 applies the cell index
// in the low byte of lparam.
void color_palette_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The appearance tools' flags: which attribute menus the palette shows.
void set_palette_flags(uint16_t mask, const char* name);

// The background colour chooser, run modally: 1 OK (the colour stored
// through `out`), 2 Cancel (nothing stored).
int choose_back_color(uint32_t color, uint32_t ignored, uint32_t* out);
// The kernel's entry: true and the colour changed when the user chose one.
bool choose_background_color(uint32_t* color, HWND owner);
// Tests answer the chooser instead of the user: the dialog is given, the
// answer returned (1 or 2).
void set_back_color_responder(std::function<int(QColorDialog*)> responder);

// Installs the palette's services (the kernel's palette flags and the
// tools palette's repaint of the colour panel).
void install_color_palette_services();
