#include "app/panels/dialog_icons.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPixmap>

#include "app/panels/menu_cell.h"
#include "app/panels/tool_icon.h"
#include "kernel/render/colors.h"

namespace {

QColor word_to_color(uint32_t word) { return QColor((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF); }

QImage icon_16(const tool_icon* icon, uint32_t background) {
  return tool_icon_image(icon, 16, back_color, background & 0xFFFFFF, kNoListArrow);
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
