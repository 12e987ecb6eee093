#include "app/panels/tools_pull_down.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QTimer>
#include <cmath>

#include "kernel/window/figure_events.h"
#include "app/panels/tools_palette.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"
#include "platform/kp_qt_bridge.h"

namespace {
constexpr int kTextIndent = 20;
constexpr int kLeaveCheckMs = 50;
constexpr int kRecheckMs = 100;
}  // namespace

// ------------------------------------------------------------------- view

NSGeoToolsPullDown::NSGeoToolsPullDown(NSGeoToolsPullDownController* controller)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      panel_(controller),
      defaultHighLightTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("toolsPullDown"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setMouseTracking(true);
  defaultHighLightTimer_->setSingleShot(true);
  connect(defaultHighLightTimer_, &QTimer::timeout, this, [this] { setDefaultHighLight(); });
}

void NSGeoToolsPullDown::setCells(std::vector<std::unique_ptr<NSKelvoMenuCell>>* cells, NSGeoToolsMenu* owner) {
  cells_ = cells;
  owner_ = owner;
  lastMouseIn_ = nullptr;
}

bool NSGeoToolsPullDown::isAttributeList() const { return owner_ && owner_->isSettingMenu(); }

void NSGeoToolsPullDown::setDefCel(int index) {
  defaultCel_ = index;
  highLightDef();
}

void NSGeoToolsPullDown::prepareRefresh() {
  if (!cells_) return;
  const int s = tools_palette_icon_size();
  double width = 0, height = 0;
  if (isAttributeList()) {
    width = 4;
    for (const auto& c : *cells_) width += c->cellSize().width() + 4 + c->offset();
    height = s + 8;
    double x = 0;
    for (const auto& c : *cells_) {
      const QSizeF size = c->cellSize();
      x += c->offset();
      c->setRect(QRectF(x, height - size.height(), size.width(), size.height()));
      x += size.width() + 4;
    }
  } else {
    double widest = 0;
    height = 8;
    for (const auto& c : *cells_) {
      widest = std::max(widest, c->cellSize().width());
      height += c->cellSize().height() + c->offset();
    }
    width = widest + 40;
    double a = 0;
    for (const auto& c : *cells_) {
      const double h = c->cellSize().height();
      c->setRect(QRectF(0, 4 + a, width, h));
      a += h + c->offset();
    }
  }
  for (const auto& c : *cells_) c->setHighlight(false);
  resize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height)));
  update();
}

void NSGeoToolsPullDown::setHighlight(NSKelvoMenuCell* cell, bool on, bool redraw_only) {
  if (!cell) return;
  if (cell->getHighlight() == on && !redraw_only) return;
  cell->setHighlight(on);
  update();
  // The palette button previews the tool under the mouse.
  if (!redraw_only && on && owner_) owner_->changeState(cell->tag());
}

void NSGeoToolsPullDown::highLightDef() {
  if (!cells_ || cells_->empty()) return;
  for (const auto& c : *cells_)
    if (c->getHighlight()) return;
  const int index = std::clamp(defaultCel_, 0, static_cast<int>(cells_->size()) - 1);
  setHighlight((*cells_)[index].get(), true, false);
}

NSKelvoMenuCell* NSGeoToolsPullDown::cellAtGlobal(const QPoint& global) const {
  if (!cells_ || !isVisible()) return nullptr;
  const QPoint local = mapFromGlobal(global);
  for (const auto& c : *cells_)
    if (c->getRect().contains(local)) return c.get();
  return nullptr;
}

void NSGeoToolsPullDown::followMouse(const QPoint& global, bool clear_between) {
  if (!cells_) return;
  NSKelvoMenuCell* under = cellAtGlobal(global);
  if (!under && !clear_between) return;
  defaultHighLightTimer_->stop();
  lastMouseIn_ = under;
  for (const auto& c : *cells_) setHighlight(c.get(), c.get() == under, false);
}

void NSGeoToolsPullDown::setDefaultHighLight() {
  if (!rect().contains(mapFromGlobal(QCursor::pos()))) {
    lastMouseIn_ = nullptr;
    highLightDef();
  } else {
    defaultHighLightTimer_->start(kRecheckMs);
  }
}

void NSGeoToolsPullDown::chooseAndClose() {
  defaultHighLightTimer_->stop();
  if (owner_) {
    if (lastMouseIn_) owner_->doSelect(lastMouseIn_->tag(), true);
    else owner_->doSelect(defaultCel_ + 1, false);
  }
  panel_->destroyPullDownMenu();
}

void NSGeoToolsPullDown::prepareEnd() {
  defaultHighLightTimer_->stop();
  lastMouseIn_ = nullptr;
}

void NSGeoToolsPullDown::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette palette = QApplication::palette();
  painter.fillRect(rect(), palette.color(QPalette::Button));
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (!cells_) return;
  const bool attribute = isAttributeList();
  for (const auto& c : *cells_) {
    const QRectF r = c->getRect();
    if (attribute) {
      c->drawWithFrame(painter, r.translated(4, -4));
    } else {
      painter.fillRect(r, c->getHighlight() ? palette.color(QPalette::Highlight) : palette.color(QPalette::Button));
      c->drawWithFrame(painter, r.translated(kTextIndent, 0));
    }
  }
}

namespace {
// The palette view of the listed toolbox while it drags a tool.
NSKelvoToolsPanelView* dragging_palette(NSGeoToolsMenu* owner) {
  auto* view = owner ? qobject_cast<NSKelvoToolsPanelView*>(owner->parentWidget()) : nullptr;
  return view && view->toolDragActive() ? view : nullptr;
}
}  // namespace

void NSGeoToolsPullDown::mouseMoveEvent(QMouseEvent* event) {
  if (NSKelvoToolsPanelView* palette = dragging_palette(owner_)) {
    palette->toolDraggedTo(event->globalPosition().toPoint());
    return;
  }
  followMouse(event->globalPosition().toPoint(), true);
}

void NSGeoToolsPullDown::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (NSKelvoToolsPanelView* palette = dragging_palette(owner_)) {
    palette->toolDroppedAt(event->globalPosition().toPoint());
    return;
  }
  followMouse(event->globalPosition().toPoint(), true);
  chooseAndClose();
}

// In the configuration mode a press on an item of a toolbox list drags that
// tool; otherwise a press does nothing and the release chooses.
void NSGeoToolsPullDown::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (!config_mode || event->button() != Qt::LeftButton || !owner_ || owner_->isSettingMenu() || !cells_) return;
  NSKelvoMenuCell* cell = cellAtGlobal(event->globalPosition().toPoint());
  if (!cell) cell = lastMouseIn_;
  if (!cell) return;
  int position = 0;
  while (position < static_cast<int>(cells_->size()) && (*cells_)[position].get() != cell) ++position;
  defaultHighLightTimer_->stop();
  lastMouseIn_ = nullptr;
  if (auto* view = qobject_cast<NSKelvoToolsPanelView*>(owner_->parentWidget())) view->goToEdition(owner_, position);
}

void NSGeoToolsPullDown::leaveEvent(QEvent*) {
  if (lastMouseIn_) setHighlight(lastMouseIn_, false, false);
  defaultHighLightTimer_->start(kLeaveCheckMs);
}

// ------------------------------------------------------------- controller

NSGeoToolsPullDownController* NSGeoToolsPullDownController::getPullDownMenu() {
  static NSGeoToolsPullDownController* controller = new NSGeoToolsPullDownController;
  return controller;
}

NSGeoToolsPullDownController::NSGeoToolsPullDownController() : view_(new NSGeoToolsPullDown(this)) {}

NSGeoToolsPullDownController::~NSGeoToolsPullDownController() { delete view_; }

NSGeoToolsPullDownController* NSGeoToolsPullDownController::openPullDown() {
  return open_pull_down ? getPullDownMenu() : nullptr;
}

NSGeoToolsPullDownController* NSGeoToolsPullDownController::createPullDownMenu(NSGeoToolsMenu* button) {
  NSGeoToolsPullDownController* c = getPullDownMenu();
  c->destroyPullDownMenu();
  c->initMenuCells(button);
  return c;
}

NSGeoToolsMenu* NSGeoToolsPullDownController::getOwner() const { return owner_; }

void NSGeoToolsPullDownController::destroyPullDown() { getPullDownMenu()->destroyPullDownMenu(); }

void NSGeoToolsPullDownController::initMenuCells(NSGeoToolsMenu* button) {
  cells_.clear();
  owner_ = button;
  view_->setCells(&cells_, button);
}

void NSGeoToolsPullDownController::appendPullDownMenu(int item, const char* name, const tool_icon* icon, int offset) {
  std::unique_ptr<NSKelvoMenuCell> cell;
  if (name) cell = std::make_unique<NSKelvoMenuCell>(kp_qstring(name), QApplication::font());
  else cell = std::make_unique<NSKelvoMenuCell>(icon);
  cell->setTag(item);
  cell->setOffset(offset);
  cells_.push_back(std::move(cell));
}

void NSGeoToolsPullDownController::pullDown(QPoint point, int current_index) {
  popup_tracking = 1;
  view_->prepareRefresh();
  const QRect desktop = NSKelvoToolsPanelView::getDesktopRect();
  if (point.x() + view_->width() > desktop.width()) point.setX(desktop.width() - view_->width());
  view_->move(point);
  view_->show();
  view_->raise();
  view_->setDefCel(current_index);
  open_pull_down = kp_hwnd(this);
}

void NSGeoToolsPullDownController::destroyPullDownMenu() {
  if (owner_) owner_->exitPopup();
  view_->hide();
  view_->prepareEnd();
  view_->setCells(nullptr, nullptr);
  cells_.clear();
  owner_ = nullptr;
  popup_tracking = 0;
  open_pull_down = nullptr;
}

void NSGeoToolsPullDownController::mouseUp(const QPoint& global) {
  view_->followMouse(global, true);
  view_->chooseAndClose();
}

void NSGeoToolsPullDownController::mouseDragged(const QPoint& global) { view_->followMouse(global, false); }

void NSGeoToolsPullDownController::resetOwnerMenu() {
  if (owner_) owner_->resetMenu();
}

uint32_t NSGeoToolsPullDownController::takeCurrentEntry() {
  if (!owner_ || owner_->isSettingMenu() || !owner_->kelvoMenu()) return 0;
  view_->forgetMouseIn();
  return make_tool_id(static_cast<uint16_t>(owner_->kelvoMenu()->id), static_cast<uint16_t>(view_->defaultCel() + 1));
}

LRESULT NSGeoToolsPullDownController::sendMessage(UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) {
    resetOwnerMenu();
    destroyPullDownMenu();
  }
  return 0;
}
