#include "platform/kp_graf_port_simple.h"

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>

namespace {

QColor color_of(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

}  // namespace

KPGrafPortSimple::KPGrafPortSimple(QPainter* context, const tagRECT& frame) : context_(context), frame_(frame) {
  setCurrentPenAttributes();
}

std::vector<double> KPGrafPortSimple::dashPattern(int style) {
  switch (style & 0xF) {
    case 1: return {4, 6};
    case 2:
    case 8: return {1, 2};
    case 3: return {2, 3, 4, 3};
    case 4: return {2, 3, 2, 3, 4, 3};
    case 5: return {1};
    default: return {1, 0};
  }
}

uint32_t KPGrafPortSimple::setBrush(uint32_t color) {
  const uint32_t old = brush_;
  brush_ = color;
  return old;
}

KPGrafPortSimple::Pen KPGrafPortSimple::selectObject(const Pen& pen) {
  const Pen old = pen_;
  pen_ = pen;
  setCurrentPenAttributes();
  return old;
}

void KPGrafPortSimple::setCurrentPenAttributes() {
  if (!context_) return;
  QPen pen(color_of(pen_.color));
  pen.setWidth(pen_.width < 1 ? 1 : pen_.width);
  const std::vector<double> dash = dashPattern(pen_.style);
  if (dash.size() == 2 && dash[1] == 0) {
    pen.setStyle(Qt::SolidLine);
  } else {
    // Qt wants an even count of lengths; a single one repeats.
    QList<qreal> pattern(dash.begin(), dash.end());
    if (pattern.size() % 2 != 0) pattern.append(pattern);
    pen.setDashPattern(pattern);
  }
  pen.setCapStyle(Qt::FlatCap);
  context_->setPen(pen);
}

void KPGrafPortSimple::moveTo(int32_t x, int32_t y) { current_ = {x, y}; }

tagPOINT KPGrafPortSimple::moveToEx(int32_t x, int32_t y) {
  const tagPOINT old = current_;
  current_ = {x, y};
  return old;
}

void KPGrafPortSimple::lineTo(int32_t x, int32_t y) {
  if (context_) context_->drawLine(QPointF(current_.x, current_.y), QPointF(x, y));
  current_ = {x, y};
}

void KPGrafPortSimple::fillRect(const tagRECT& r) {
  if (context_) context_->fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), color_of(brush_));
}

void KPGrafPortSimple::frameRect(const tagRECT& r) {
  if (!context_) return;
  const QColor c = color_of(brush_);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  context_->fillRect(QRect(r.left, r.top, w, 1), c);
  context_->fillRect(QRect(r.left, r.bottom - 1, w, 1), c);
  context_->fillRect(QRect(r.left, r.top, 1, h), c);
  context_->fillRect(QRect(r.right - 1, r.top, 1, h), c);
}

void KPGrafPortSimple::polygon(const tagPOINT* points, int count) {
  if (!context_ || !points || count < 2) return;
  QPolygonF poly;
  for (int i = 0; i < count; ++i) poly << QPointF(points[i].x, points[i].y);
  QPainterPath path;
  path.addPolygon(poly);
  path.closeSubpath();
  path.setFillRule(poly_fill_mode_ == 1 ? Qt::OddEvenFill : Qt::WindingFill);
  context_->fillPath(path, color_of(brush_));
  context_->drawPath(path);
}

int KPGrafPortSimple::setPolyFillMode(int mode) {
  const int old = poly_fill_mode_;
  poly_fill_mode_ = mode;
  return old;
}
