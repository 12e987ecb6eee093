#include "app/panels/anim_panel.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QPointer>
#include <QStyle>
#include <QTimer>

#include "app/document/kp_document.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "app/view/kp_figure_view.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/window/anim_panel.h"
#include "platform/kp_qt_bridge.h"

namespace {

QPointer<NSAnimPanelController>& panel_slot() {
  static QPointer<NSAnimPanelController> panel;
  return panel;
}

void focus_figure() {
  if (current_figure_view) NSKelvoWrapMachine::setFocus(current_figure_view);
}

}  // namespace

KPAnimButton::KPAnimButton(int label_row, QWidget* parent) : QToolButton(parent), label_row_(label_row) {
  setCheckable(true);
  setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  setMinimumSize(64, 48);
  showImage();
}

void KPAnimButton::showImage() {
  setText(kp_qstring(kernel_string(label_row_)));
  if (label_row_ == kAnimLabelRows[kAnimAnimate])
    setIcon(style()->standardIcon(running_ ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
}

LRESULT KPAnimButton::sendMessage(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case BM_SETCHECK:
      setChecked(wparam != 0);
      return 0;
    case BM_GETCHECK:
      return isChecked() ? 1 : 0;
    case kAnimButtonImage:
      running_ = wparam != 0;
      showImage();
      if (follower_) follower_(running_);
      return 0;
    default:
      return 0;
  }
}

NSAnimPanelController::NSAnimPanelController() : QWidget(nullptr, Qt::Tool | Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  // A palette beside the figure: the figure window stays the active one
  // (its figure is the one the kernel works in), even when the panel is
  // shown or another window closes.
  setAttribute(Qt::WA_ShowWithoutActivating);
  anim_ = new KPAnimButton(kAnimLabelRows[kAnimAnimate], this);
  defini_ = new KPAnimButton(kAnimLabelRows[kAnimDefine], this);
  supprim_ = new KPAnimButton(kAnimLabelRows[kAnimDelete], this);
  revenir_ = new KPAnimButton(kAnimLabelRows[kAnimGoBack], this);
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(3, 3, 3, 3);
  grid->setSpacing(3);
  grid->addWidget(defini_, 0, 0);
  grid->addWidget(supprim_, 0, 1);
  grid->addWidget(anim_, 1, 0);
  grid->addWidget(revenir_, 1, 1);
  // The kernel shows the Animate button running when an animation starts
  // and normal once it has stopped, however that came about.
  anim_->setImageFollower([this](bool running) { state_ = running; });
  connect(anim_, &QAbstractButton::clicked, this, [this] { animAction(); });
  connect(defini_, &QAbstractButton::clicked, this, [this] { send(kAnimCodeDefine); });
  connect(supprim_, &QAbstractButton::clicked, this, [this] { send(kAnimCodeDelete); });
  connect(revenir_, &QAbstractButton::clicked, this, [this] { send(kAnimCodeGoBack); });
  anim_panel_proc(handle(), WM_CREATE, 0, 0);
}

NSAnimPanelController* NSAnimPanelController::shared() {
  if (!panel_slot()) panel_slot() = new NSAnimPanelController();
  return panel_slot();
}

NSAnimPanelController* NSAnimPanelController::existing() { return panel_slot(); }

void NSAnimPanelController::getButtonValues(HWND* define, HWND* remove, HWND* animate, HWND* go_back) {
  if (define) *define = kp_hwnd(defini_);
  if (remove) *remove = kp_hwnd(supprim_);
  if (animate) *animate = kp_hwnd(anim_);
  if (go_back) *go_back = kp_hwnd(revenir_);
}

void NSAnimPanelController::send(WPARAM code) {
  focus_figure();
  anim_panel_proc(handle(), WM_LBUTTONUP, code, 0);
}

void NSAnimPanelController::animAction() {
  // The button stops what it started, and whatever moves: an animation
  // started otherwise, or one that runs on while the start it was asked
  // for found nothing to start (a spring half defined).
  const bool stop = state_ || animation_running || manipulating;
  state_ = !stop;
  send(stop ? kAnimCodeStop : kAnimCodeStart);
  if (KPFigureView* view = figure_view_of(current_figure_view)) view->CheckFigureTimer();
}

LRESULT NSAnimPanelController::sendMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_LBUTTONUP && wparam == kAnimCodeStart) {
    anim_->click();
  } else if (message == WM_CLOSE) {
    kernel_closing_ = true;
    close();
    kernel_closing_ = false;
    anim_panel_proc(handle(), WM_DESTROY, 0, 0);
  }
  return 0;
}

LONG_PTR NSAnimPanelController::getWindowLong(int) { return reinterpret_cast<LONG_PTR>(&anim_panel_proc); }

bool NSAnimPanelController::event(QEvent* event) {
  // Where the window system activates the panel anyway, the figure gets
  // the activation back at once.
  if (event->type() == QEvent::WindowActivate) QTimer::singleShot(0, this, [] { focus_figure(); });
  return QWidget::event(event);
}

void NSAnimPanelController::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  // Closed by the user: the panel procedure hears it now; closed by the
  // kernel, once the window is gone.
  if (!kernel_closing_) anim_panel_proc(handle(), WM_DESTROY, 0, 0);
}

HWND show_anim_panel_qt(HWND* define, HWND* remove, HWND* animate, HWND* go_back) {
  NSAnimPanelController* panel = NSAnimPanelController::shared();
  panel->getButtonValues(define, remove, animate, go_back);
  panel->show();
  panel->raise();
  focus_figure();
  return panel->handle();
}

void install_anim_panel() {
  anim_panel_services& h = anim_panel_hooks();
  h.show_anim_panel = &show_anim_panel_qt;
  h.make_main_window = [](HWND window) { make_main_window(kp_qobject(window)); };
}
