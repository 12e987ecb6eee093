#include "app/panels/dialog_icons.h"

#include <QAbstractButton>
#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

#include "app/panels/menu_cell.h"
#include "app/panels/tool_icon.h"
#include "kernel/render/colors.h"
#include "platform/kp_qt_bridge.h"

namespace {

QColor word_to_color(uint32_t word) { return QColor((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF); }

QImage icon_16(const tool_icon* icon, uint32_t background) {
  return tool_icon_image(icon, 16, back_color, background & 0xFFFFFF, kNoListArrow);
}

// An item of an icon pop-up: over light gray, and over the background
// colour under the mouse.
QIcon item_icon(const tool_icon* icon) {
  QIcon result;
  for (const bool selected : {false, true}) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    {
      QPainter p(&pixmap);
      draw_swatch_icon(p, QRect(0, 0, 16, 16), icon, selected);
    }
    if (selected) {
      result.addPixmap(pixmap, QIcon::Active);
      result.addPixmap(pixmap, QIcon::Selected);
    } else {
      result.addPixmap(pixmap, QIcon::Normal);
    }
  }
  return result;
}

}  // namespace

void set_button_icon(HWND button, const tool_icon* icon) {
  auto* b = qobject_cast<QAbstractButton*>(static_cast<QObject*>(button));
  if (!b || !icon) return;
  const QImage image = icon_16(icon, back_color);
  if (image.isNull()) return;
  b->setIcon(QPixmap::fromImage(image));
  b->setIconSize(QSize(16, 16));
  b->setText(QString());
}

void draw_swatch_icon(QPainter& painter, const QRect& rect, const tool_icon* icon, bool selected) {
  const uint32_t under = selected ? back_color : light_gray_color;
  painter.fillRect(rect, word_to_color(under));
  if (icon) painter.drawImage(rect.topLeft(), icon_16(icon, under));
}

void draw_color_swatch(QPainter& painter, const QRect& rect, uint32_t color) {
  painter.save();
  painter.fillRect(rect, word_to_color(color));
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(0, 0, -1, -1));
  painter.restore();
}

// ------------------------------------------------------------ icon pop-up

NSIconPopUpButton::NSIconPopUpButton(QWidget* parent) : QPushButton(parent), menu_(new QMenu(this)) {
  setIconSize(QSize(16, 16));
  setMenu(menu_);
}

const tool_icon* NSIconPopUpButton::itemIcon(int index) const {
  return index >= 0 && index < count() ? items_[static_cast<size_t>(index)].icon : nullptr;
}

void NSIconPopUpButton::setCurrentIndex(int index) {
  current_ = index >= 0 && index < count() ? index : -1;
  showCurrent();
}

void NSIconPopUpButton::showCurrent() {
  const tool_icon* icon = itemIcon(current_);
  if (icon) {
    set_button_icon(kp_hwnd(this), icon);
    return;
  }
  setIcon(QIcon());
  setText(current_ >= 0 ? items_[static_cast<size_t>(current_)].text : QString());
}

void NSIconPopUpButton::rebuildMenu() {
  menu_->clear();
  for (int i = 0; i < count(); ++i) {
    const Item& item = items_[static_cast<size_t>(i)];
    QAction* action = menu_->addAction(item.text);
    if (item.icon) action->setIcon(item_icon(item.icon));
    connect(action, &QAction::triggered, this, [this, i] {
      setCurrentIndex(i);
      emit activated(i);
    });
  }
}

LRESULT NSIconPopUpButton::sendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case CB_RESETCONTENT:
      items_.clear();
      current_ = -1;
      rebuildMenu();
      showCurrent();
      return 0;
    case CB_ADDSTRING:
      items_.push_back({kp_qstring(reinterpret_cast<const char*>(lparam)), nullptr});
      rebuildMenu();
      return count() - 1;
    case CB_SETITEMDATA: {
      const int index = static_cast<int>(wparam);
      if (index < 0 || index >= count()) return -1;
      items_[static_cast<size_t>(index)].icon = tool_icon_from_field(reinterpret_cast<const void*>(lparam));
      rebuildMenu();
      if (index == current_) showCurrent();
      return 0;
    }
    case CB_GETCOUNT:
      return count();
    case CB_GETCURSEL:
      return current_;
    case CB_SETCURSEL:
      setCurrentIndex(static_cast<int>(wparam));
      return current_;
    default:
      return 0;
  }
}
