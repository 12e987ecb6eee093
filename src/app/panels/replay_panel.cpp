#include "app/panels/replay_panel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/kp_qt_bridge.h"
#include "platform/win_constants.h"

namespace {
QPointer<NSReplayConstrController> g_running;
}

NSReplayConstrController::NSReplayConstrController(WNDPROC procedure, QWidget* parent)
    : KPDialogPanel(procedure, parent) {
  setWindowFlag(Qt::Tool);
  auto* layout = new QVBoxLayout(this);
  auto* steps = new QHBoxLayout;
  // Step buttons: first, previous, next, last.
  const struct {
    const char* title;
    int id;
  } kSteps[] = {{"|<", 1065}, {"<", 1062}, {">", 1063}, {">|", 1064}};
  for (const auto& s : kSteps) {
    auto* b = new QPushButton(QString::fromLatin1(s.title), this);
    b->setAutoDefault(false);
    bindButton(b, s.id);
    steps->addWidget(b);
  }
  layout->addLayout(steps);
  step_ = new QLabel(this);
  step_->setMinimumWidth(280);
  kp_set_item_id(step_, 1102);
  layout->addWidget(step_);
  interim_ = new QCheckBox(this);
  kp_set_item_id(interim_, 1188);
  connect(interim_, &QCheckBox::clicked, this, [this] { sendMessage(WM_COMMAND, 1188, 0); });
  layout->addWidget(interim_);
  auto* buttons = new QHBoxLayout;
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  cancel->setAutoDefault(false);
  bindButton(cancel, IDCANCEL);
  bindButton(ok, IDOK);
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  buttons->addWidget(ok);
  layout->addLayout(buttons);
}

QPushButton* NSReplayConstrController::button(int id) const {
  for (QPushButton* b : findChildren<QPushButton*>()) {
    int item = 0;
    if (kp_item_id(b, &item) && item == id) return b;
  }
  return nullptr;
}

NSReplayConstrController* NSReplayConstrController::running() { return g_running; }

void NSReplayConstrController::reject() {
  // Escape and the close box end the replay as Cancel does.
  if (!isVisible() || result() != 0) return KPDialogPanel::reject();
  sendMessage(WM_COMMAND, IDCANCEL, 0);
  done(IDCANCEL);
}

int run_replay_construction_panel_qt(HWND, const char*, HWND figure_window, WNDPROC procedure) {
  auto* parent = qobject_cast<QWidget*>(kp_qobject(figure_window));
  NSReplayConstrController panel(procedure, parent);
  g_running = &panel;
  panel.runModal();
  g_running = nullptr;
  return 1;
}
