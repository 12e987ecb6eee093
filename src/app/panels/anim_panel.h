// The animation panel: a small tool window with four checkable buttons
// (Define, Delete, Animate / Stop, Go back). A click gives the focus back
// to the figure and sends the kernel's panel procedure a button-release
// message with the button's code; the Animate button starts the animation
// when off and stops it when on. The kernel sets the buttons and closes the
// panel through messages.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <functional>

#include "platform/kelvo_wrap_machine.h"

// A panel button that the kernel switches on and off; the Animate button
// also shows whether the animation runs.
class KPAnimButton : public QToolButton, public KPMessageTarget {
 public:
  KPAnimButton(int label_row, QWidget* parent);
  bool showsRunning() const { return running_; }
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  // Called when the kernel changes the image between normal and running.
  void setImageFollower(std::function<void(bool running)> follower) { follower_ = std::move(follower); }

 private:
  void showImage();
  int label_row_;
  bool running_ = false;
  std::function<void(bool)> follower_;
};

class NSAnimPanelController : public QWidget, public KPMessageTarget, public KPWindowLongHolder {
 public:
  // The application's one panel, made the first time.
  static NSAnimPanelController* shared();
  // The panel when it was made, else null.
  static NSAnimPanelController* existing();

  HWND handle() { return static_cast<void*>(static_cast<QObject*>(this)); }
  KPAnimButton* animButton() const { return anim_; }
  KPAnimButton* defineButton() const { return defini_; }
  KPAnimButton* deleteButton() const { return supprim_; }
  KPAnimButton* goBackButton() const { return revenir_; }
  // The animation was started from the panel (or by the kernel's start
  // request) and has not stopped since: the Animate button stops it.
  bool state() const { return state_; }

  // Fills the buttons in the order Define, Delete, Animate, Go back.
  void getButtonValues(HWND* define, HWND* remove, HWND* animate, HWND* go_back);

  // From the kernel: 514 with 3 clicks Animate; 16 closes the panel.
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  LONG_PTR getWindowLong(int index) override;
  void setWindowLong(int, LONG_PTR) override {}

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  NSAnimPanelController();
  void send(WPARAM code);
  void animAction();

  KPAnimButton* anim_;
  KPAnimButton* defini_;
  KPAnimButton* revenir_;
  KPAnimButton* supprim_;
  bool kernel_closing_ = false;
  bool state_ = false;
};

// Installed as the kernel's show_anim_panel.
HWND show_anim_panel_qt(HWND* define, HWND* remove, HWND* animate, HWND* go_back);
// Gives the kernel the panel and the window it refocuses.
void install_anim_panel();
