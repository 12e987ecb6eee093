#include "app/panels/panel_placement.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "app/document/kp_document.h"
#include "app/panels/tools_palette.h"
#include "app/shell/figure_window.h"

namespace {

constexpr char kPlacedProperty[] = "kelvoPanelPlaced";
constexpr int kGap = 8;

// The frame the window system adds around a window: the window's own once
// it has been shown, else that of a figure window, else a usual title bar.
QMargins frame_margins(const QWidget* window) {
  auto margins_of = [](const QWidget* w) {
    const QRect frame = w->frameGeometry(), inner = w->geometry();
    return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                    frame.bottom() - inner.bottom());
  };
  const QMargins own = margins_of(window);
  if (!own.isNull()) return own;
  if (KPDocument* doc = KPDocument::currentDocument())
    if (const QWidget* figure = doc->figureWindow(); figure && figure->isVisible()) {
      const QMargins theirs = margins_of(figure);
      if (!theirs.isNull()) return theirs;
    }
  return QMargins(4, 24, 4, 4);
}

// Moves `frame` as little as needed to lie inside `area`; a frame larger
// than the area keeps its top-left corner in it.
QRect clamped(QRect frame, const QRect& area) {
  const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
  const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
  frame.moveTopLeft(QPoint(x, y));
  return frame;
}

// Puts the top-left corner of the window's frame at `corner`. A window made
// but never shown takes a move as the place of its inside (its frame is not
// known yet); one never made, as that of its frame.
void move_frame_to(QWidget* window, QPoint corner, const QMargins& margins) {
  if (window->testAttribute(Qt::WA_WState_Created)) {
    const QPoint inside = corner + QPoint(margins.left(), margins.top());
    window->move(inside - (window->geometry().topLeft() - window->pos()));
  } else {
    window->move(corner);
  }
}

void keep_in_free_area(QWidget* window) {
  const QMargins margins = frame_margins(window);
  const QRect frame = window->geometry().marginsAdded(margins);
  const QRect placed = clamped(frame, free_panel_area());
  if (placed != frame) move_frame_to(window, placed.topLeft(), margins);
}

}  // namespace

QRect free_panel_area() {
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  if (!NSKelvoToolsPanel::exists()) return area;
  const NSKelvoToolsPanelView* bars = NSKelvoToolsPanel::sharedPanel()->view();
  if (!bars || !bars->window()->isVisible()) return area;
  const QRect top(bars->mapToGlobal(bars->topRect().topLeft()), bars->topRect().size());
  area.setTop(std::max(area.top(), top.bottom() + 1));
  if (bars->sideBarVisible()) {
    const QRect side(bars->mapToGlobal(bars->sideRect().topLeft()), bars->sideRect().size());
    area.setLeft(std::max(area.left(), side.right() + 1));
  }
  return area;
}

void place_shown_window(QWidget* window) {
  if (!window || !window->isWindow()) return;
  const Qt::WindowFlags flags = window->windowFlags();
  const Qt::WindowType type = window->windowType();
  if ((type != Qt::Tool && type != Qt::Dialog) || (flags & Qt::FramelessWindowHint)) return;
  if (type == Qt::Dialog && !window->testAttribute(Qt::WA_Moved)) {
    // A dialog places itself (over its parent, or in the middle of the
    // screen) as it shows: it is kept clear of the palette once it has.
    QTimer::singleShot(0, window, [w = QPointer<QWidget>(window)] {
      if (w && w->isVisible()) keep_in_free_area(w);
    });
    return;
  }
  // A panel first shown opens beside the figure it works on, its top level
  // with the figure window's.
  const QMargins margins = frame_margins(window);
  QRect frame = window->geometry().marginsAdded(margins);
  const bool first = !window->property(kPlacedProperty).toBool();
  window->setProperty(kPlacedProperty, true);
  if (first)
    if (KPDocument* doc = KPDocument::currentDocument())
      if (const QWidget* figure = doc->figureWindow(); figure && figure->isVisible())
        frame.moveTopLeft(figure->frameGeometry().topRight() + QPoint(kGap + 1, 0));
  const QRect placed = clamped(frame, free_panel_area());
  if (first || placed != frame) move_frame_to(window, placed.topLeft(), margins);
}
