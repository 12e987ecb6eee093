#include "app/panels/panel_placement.h"

#include <QApplication>
#include <QFontMetrics>
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
  // Just after a resize the frame may still have its former size: the
  // right and bottom edges are taken at least as wide as the left one.
  auto margins_of = [](const QWidget* w) {
    const QRect frame = w->frameGeometry(), inner = w->geometry();
    const int side = std::max(0, inner.left() - frame.left());
    return QMargins(side, std::max(0, inner.top() - frame.top()), std::max(side, frame.right() - inner.right()),
                    std::max(side, frame.bottom() - inner.bottom()));
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

// Panels and dialogs: windows with a frame of their own.
bool placed_kind(const QWidget* window) {
  if (!window || !window->isWindow()) return false;
  const Qt::WindowType type = window->windowType();
  return (type == Qt::Tool || type == Qt::Dialog) && !(window->windowFlags() & Qt::FramelessWindowHint);
}

// A window narrower than its title is widened; its layout shares the room.
void keep_title_readable(QWidget* window) {
  const int needed = title_bar_width(window);
  if (window->minimumWidth() < needed && window->maximumWidth() >= needed) window->setMinimumWidth(needed);
  if (window->width() < needed && window->maximumWidth() >= needed) window->resize(needed, window->height());
}

void keep_in_free_area(QWidget* window) {
  const QMargins margins = frame_margins(window);
  const QRect frame = window->geometry().marginsAdded(margins);
  const QRect placed = clamped(frame, free_panel_area());
  if (placed != frame) move_frame_to(window, placed.topLeft(), margins);
}

}  // namespace

int title_bar_width(const QWidget* window) {
  if (!window || window->windowTitle().isEmpty()) return 0;
  // Window systems write titles in a bold face of about the interface's
  // size; beside the title the bar holds the window's icon and its buttons,
  // each about as wide as the bar is high.
  QFont font = QApplication::font();
  font.setBold(true);
  const int text = QFontMetrics(font).horizontalAdvance(window->windowTitle());
  const int bar = std::max(frame_margins(window).top(), 20);
  return text + 4 * bar + 24;
}

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
  if (!placed_kind(window)) return;
  keep_title_readable(window);
  if (window->windowType() == Qt::Dialog && !window->testAttribute(Qt::WA_Moved)) {
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

void keep_shown_window_placed(QWidget* window) {
  if (!placed_kind(window) || !window->isVisible()) return;
  keep_title_readable(window);
  // The window system may report a new size before the window's place (a
  // window restored from maximised is first said to be at the corner of
  // its frame): the place is checked once the events of the change are in.
  QTimer::singleShot(0, window, [w = QPointer<QWidget>(window)] {
    // A maximised or full-screen window has the size and place the window
    // system gave it; so has one larger than the free area (the maximised
    // size may come before the maximised state).
    if (!w || !w->isVisible() || (w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) return;
    const QRect frame = w->geometry().marginsAdded(frame_margins(w));
    const QRect area = free_panel_area();
    if (frame.width() > area.width() || frame.height() > area.height()) return;
    keep_in_free_area(w);
  });
}
