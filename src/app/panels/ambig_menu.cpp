#include "app/panels/ambig_menu.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include "app/kernel_iface/ambiguity_menu.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/figure_events.h"
#include "kernel/text/text_record.h"
#include "platform/kp_cursor.h"
#include "platform/kp_menu.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"

namespace {

AmbigMenuHooks g_hooks;
// The panel of the list being tracked, while it is.
QWidget* g_tracking_panel = nullptr;

constexpr int kCellTextIndent = 20;
constexpr int kArrowCursor = 32512;
constexpr int kOutsideCursor = 114;

// Objects drawn as a text frame: texts, numbers and measures, property
// checks, equations and coordinates, tables, expressions and buttons.
bool drawn_as_text_frame(const object* obj) {
  if (!obj || !obj->otype) return false;
  switch (obj->otype->id) {
    case 16: case 17: case 18: case 19: case 20: case 22: case 51:
      return true;
    default:
      return false;
  }
}

}  // namespace

void install_ambig_menu_hooks(const AmbigMenuHooks& hooks) { g_hooks = hooks; }
const AmbigMenuHooks& installed_ambig_menu_hooks() { return g_hooks; }

// ------------------------------------------------------------------ panel

NSKelvoAmbigPanel::NSKelvoAmbigPanel() : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("ambiguityPopUp"));
  setMouseTracking(true);
  view_ = new NSKelvoAmbigMenuView(this);
}

// ------------------------------------------------------------------ view

NSKelvoAmbigMenuView::NSKelvoAmbigMenuView(QWidget* parent) : QWidget(parent) {
  // The panel takes every mouse event, inside or outside: the view only
  // draws and hit-tests.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  parent->installEventFilter(this);
}

void NSKelvoAmbigMenuView::prepareRefresh(QWidget* panel) {
  double widest = 0, height = 8;
  if (cells_)
    for (const auto& cell : *cells_) {
      const QSizeF size = cell->cellSize();
      widest = std::max(widest, size.width());
      height += size.height();
    }
  maxWidth_ = widest + 40;
  const QSize size(static_cast<int>(std::ceil(maxWidth_)), static_cast<int>(std::ceil(height)));
  panel->resize(size);
  setGeometry(0, 0, size.width(), size.height());
  // The first cell is the bottom line: the kernel appends its candidates
  // from the last to the first, so its first candidate is the top line.
  double y = 0;
  if (cells_)
    for (const auto& cell : *cells_) {
      const double h = cell->cellSize().height();
      cell->setRect(QRectF(0, size.height() - 4 - y - h, maxWidth_, h));
      cell->setHighlight(false);
      y += h;
    }
  hasSelection_ = false;
  update();
}

NSKelvoMenuCell* NSKelvoAmbigMenuView::cellAt(const QPointF& point) const {
  if (!cells_) return nullptr;
  for (const auto& cell : *cells_)
    if (cell->getRect().contains(point)) return cell.get();
  return nullptr;
}

void NSKelvoAmbigMenuView::setHighlight(NSKelvoMenuCell* cell, bool on, bool force) {
  if (!cell || (cell->getHighlight() == on && !force)) return;
  cell->setHighlight(on);
  update(cell->getRect().toAlignedRect());
  if (force) return;
  if (g_hooks.candidate_hovered) g_hooks.candidate_hovered((cell->tag() & 0xFFFF) - kAmbigFirstTag, on);
}

void NSKelvoAmbigMenuView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette palette = QApplication::palette();
  painter.fillRect(rect(), palette.color(QPalette::Window));
  if (!cells_) return;
  for (const auto& cell : *cells_) {
    const QRectF r = cell->getRect();
    painter.fillRect(r, cell->getHighlight() ? palette.color(QPalette::Highlight) : palette.color(QPalette::Window));
    cell->drawWithFrame(painter, r.translated(kCellTextIndent, 0));
  }
}

void NSKelvoAmbigMenuView::followMouse(const QPoint& global) {
  const QPoint local = mapFromGlobal(global);
  NSKelvoMenuCell* under = cellAt(local);
  if (cells_)
    for (const auto& cell : *cells_)
      if (cell.get() != under) setHighlight(cell.get(), false, false);
  if (under) setHighlight(under, true, false);
  hasSelection_ = under != nullptr;
  KPCursor::setCursorByID(rect().contains(local) ? kArrowCursor : kOutsideCursor);
}

void NSKelvoAmbigMenuView::finish(int answer) {
  answer_ = answer;
  tracking_ = false;
  if (loop_) loop_->quit();
}

bool NSKelvoAmbigMenuView::eventFilter(QObject* watched, QEvent* event) {
  if (watched != parent() || !tracking_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseMove: {
      followMouse(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
      return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // A press anywhere keeps the list open; its release decides.
      return true;
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return true;
      followMouse(mouse->globalPosition().toPoint());
      --releasesLeft_;
      NSKelvoMenuCell* under = cellAt(mapFromGlobal(mouse->globalPosition().toPoint()));
      if (releasesLeft_ < 2 && under) finish(under->tag());
      else if (releasesLeft_ < 1) finish(0);
      return true;
    }
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) finish(0);
      return true;
    case QEvent::Hide:
    case QEvent::Close:
      if (tracking_) finish(0);
      return false;
    default:
      return QWidget::eventFilter(watched, event);
  }
}

int NSKelvoAmbigMenuView::selItemTag() {
  QWidget* panel = window();
  if (!cells_ || cells_->empty()) return 0;
  hasSelection_ = false;
  // The press that designated the objects is usually still held: its
  // release on a line chooses at once, elsewhere it leaves the list open
  // for one more click.
  releasesLeft_ = (QGuiApplication::mouseButtons() & Qt::LeftButton) ? 2 : 1;
  answer_ = 0;
  tracking_ = true;
  panel->show();
  panel->raise();
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    QEventLoop loop;
    loop_ = &loop;
    g_tracking_panel = panel;
    if (tracking_) loop.exec();
    g_tracking_panel = nullptr;
    loop_ = nullptr;
  }
  tracking_ = false;
  panel->hide();
  return answer_;
}

void NSKelvoAmbigMenuView::prepareEnd() {
  if (cells_)
    for (const auto& cell : *cells_) cell->setHighlight(false);
}

// ------------------------------------------------------------ controller

AmbigPopupController* AmbigPopupController::shared() {
  static AmbigPopupController* controller = new AmbigPopupController;
  return controller;
}

AmbigPopupController::AmbigPopupController() : thePanel_(new NSKelvoAmbigPanel) {}

void AmbigPopupController::initMenuCells() {
  cells_.clear();
  hasCells_ = true;
  thePanel_->view()->setCells(&cells_);
}

void AmbigPopupController::appendMenulevAmb(unsigned, int tag, const char* text) {
  if (!hasCells_) initMenuCells();
  QFont font = QApplication::font();
  font.setPointSize(10);
  auto cell = std::make_unique<NSKelvoMenuCell>(kp_qstring(text ? text : ""), font, nextInsertedItemColor_);
  cell->setTag(tag);
  cells_.push_back(std::move(cell));
  nextInsertedItemColor_ = QColor();
}

void AmbigPopupController::destroyMenulevAmb() {
  thePanel_->view()->prepareEnd();
  thePanel_->view()->setCells(nullptr);
  cells_.clear();
  hasCells_ = false;
  nextInsertedItemColor_ = QColor();
}

void AmbigPopupController::setWindowPos(const QPoint& point) {
  thePanel_->view()->prepareRefresh(thePanel_);
  thePanel_->move(point);
}

int AmbigPopupController::selItemTag() { return cells_.empty() ? 0 : thePanel_->view()->selItemTag(); }

void AmbigPopupController::setNextItemColor(const object* obj) {
  if (!obj) return;
  setNextItemColorWord(drawn_as_text_frame(obj) && obj->te ? obj->te->format.color : obj->settings.Color);
}

void AmbigPopupController::setNextItemColorWord(uint32_t word) {
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const uint32_t background = fig ? fig->bgcolor : back_color;
  word = KPMenusWrapper::itemColorFor(word & 0xFFFFFF, bgr_to_rgb(background), bgr_to_rgb(default_color));
  nextInsertedItemColor_ = QColor((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF);
}

// ------------------------------------------------------- kernel entries

AmbigPopupController* ambig_popup_begin() {
  AmbigPopupController* controller = AmbigPopupController::shared();
  controller->initMenuCells();
  return controller;
}

void ambig_popup_append(AmbigPopupController* controller, unsigned flags, int tag, const char* text) {
  if (controller) controller->appendMenulevAmb(flags, tag, text);
}

int ambig_popup_track(AmbigPopupController* controller, int x, int y, void*) {
  if (!controller) return 0;
  if (g_hooks.set_menu_open) g_hooks.set_menu_open(true);
  controller->setWindowPos(QPoint(x, y));
  const int answer = controller->selItemTag();
  if (g_hooks.set_menu_open) g_hooks.set_menu_open(false);
  if (g_hooks.tracking_ended) g_hooks.tracking_ended();
  return answer;
}

void ambig_popup_close_open() {
  // Hiding the panel ends its tracking with no choice.
  if (g_tracking_panel) g_tracking_panel->hide();
}

void ambig_popup_end(AmbigPopupController* controller) {
  if (controller) controller->destroyMenulevAmb();
}

// ------------------------------------------------ the kernel's chooser

namespace {

uint16_t choose_with_popup(const NSAmbigPanelController& list, int32_t x, int32_t y) {
  QPoint at(x, y);
  if (KPFigureView* view = figure_view_of(current_figure_view)) {
    tagPOINT p{x, y};
    view->localToGlobalDDM(&p);
    at = view->mapToGlobal((QPointF(p.x, p.y) * view->scale()).toPoint());
  }
  AmbigPopupController* popup = ambig_popup_begin();
  for (const NSAmbigPanelController::item& item : list.items) {
    popup->setNextItemColorWord(item.color);
    ambig_popup_append(popup, 0, item.tag, item.text.c_str());
  }
  const int answer = ambig_popup_track(popup, at.x(), at.y(), nullptr);
  ambig_popup_end(popup);
  return static_cast<uint16_t>(answer);
}

}  // namespace

void install_ambiguity_popup() {
  install_ambiguity_chooser(&choose_with_popup);
  AmbigMenuHooks hooks;
  hooks.set_menu_open = [](bool open) { popup_tracking = open ? 1 : 0; };
  hooks.tracking_ended = [] { mouse_tracking = 0; };
  // The kernel lists the candidates of `picked` from the last to the first
  // and shows the figure's selection as a scratch list meanwhile: the
  // hovered candidate alone is selected there.
  hooks.candidate_hovered = [](int index, bool on) {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    if (!fig || !fig->selection || index < 0 || index >= objlist_count(&picked)) return;
    objlist_clear(fig->selection);
    if (on) objlist_add(fig->selection, picked.items[index], picked.tags[index]);
    if (!moving_display || !static_display) return;
    dd_copy_bitmap(moving_display, static_display, 0);
    draw_selected_list(fig->selection, 0, 1);
    // The view shows the moving device only once it is marked changed.
    figure_changed = 1;
    flush_moving_display(27);
  };
  install_ambig_menu_hooks(hooks);
}
