#include "app/panels/menu_cell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <cmath>

#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"

int tools_palette_icon_size() { return toolbar_icon_size == 16 ? 16 : 32; }
void set_tools_palette_icon_size(int size) { toolbar_icon_size = size == 16 ? 16 : 32; }

QImage tool_icon_image(const tool_icon* icon, int size, uint32_t key, uint32_t replacement, int arrow) {
  std::vector<uint32_t> argb = tool_icon_argb(icon, size, key, replacement, arrow);
  if (argb.empty()) return {};
  QImage image(size, size, QImage::Format_ARGB32);
  for (int y = 0; y < size; ++y)
    std::copy(argb.begin() + y * size, argb.begin() + (y + 1) * size, reinterpret_cast<uint32_t*>(image.scanLine(y)));
  return image;
}

NSKelvoMenuCell::NSKelvoMenuCell(const QString& text, const QFont& font, const QColor& color)
    : string_(text), font_(font), color_(color) {}

NSKelvoMenuCell::NSKelvoMenuCell(const tool_icon* icon) : image_(icon) {}

QSizeF NSKelvoMenuCell::cellSize() const {
  if (!image_ && string_.isNull()) return {};
  if (image_) {
    const int s = tools_palette_icon_size();
    return QSizeF(s, s);
  }
  QFontMetricsF metrics(font_);
  // Whole points, so that lines stack without gaps or overlaps.
  return QSizeF(std::ceil(metrics.horizontalAdvance(string_)), std::ceil(metrics.height()));
}

void NSKelvoMenuCell::drawWithFrame(QPainter& painter, const QRectF& frame) const {
  const QPalette palette = QApplication::palette();
  if (image_) {
    const int s = tools_palette_icon_size();
    const uint32_t key = back_color;
    const uint32_t replacement = highLight_ ? back_color : light_gray_color;
    painter.drawImage(frame.topLeft(), tool_icon_image(image_, s, key, replacement, kNoListArrow));
    return;
  }
  painter.save();
  painter.setFont(font_);
  QColor pen = color_.isValid() ? color_ : palette.color(QPalette::Text);
  if (highLight_) pen = palette.color(QPalette::HighlightedText);
  painter.setPen(pen);
  painter.drawText(frame, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, string_);
  painter.restore();
}
