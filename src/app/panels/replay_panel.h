// The construction replay panel: step buttons, the step's description, the
// intermediate-objects box, OK and Cancel, driven by the kernel's replay
// procedure. Closing the panel or Escape is Cancel.
#pragma once

#include "platform/kp_dialog_panel.h"

class QLabel;
class QPushButton;
class QCheckBox;

class NSReplayConstrController : public KPDialogPanel {
 public:
  NSReplayConstrController(WNDPROC procedure, QWidget* parent);
  QPushButton* button(int id) const;
  QCheckBox* interimBox() const { return interim_; }
  QLabel* stepText() const { return step_; }
  // The panel up now, or null.
  static NSReplayConstrController* running();

 public:
  void reject() override;

 private:
  QLabel* step_;
  QCheckBox* interim_;
};

// Runs the replay panel over the figure window, modal; installed as the
// kernel's `run_replay_construction_panel`.
int run_replay_construction_panel_qt(HWND parent, const char* name, HWND figure_window, WNDPROC procedure);
