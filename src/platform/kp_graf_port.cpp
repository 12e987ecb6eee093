#include "platform/kp_graf_port.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextDocument>
#include <QPainterPath>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "platform/kp_bitmap.h"
#include "platform/kp_bitmap_qt.h"
#include "platform/kp_fine_strokes.h"
#include "platform/kp_font_qt.h"
#include "platform/kp_graf_port_qt.h"
#include "platform/mac_roman_qt.h"

struct KPContext::Impl {
  QImage image;
  std::vector<uint32_t> ownPixels;
  QPainter* painter = nullptr;
  bool ownsPainter = false;
  int width = 0;
  int height = 0;
};

namespace {

// Set by every move, cleared by the first line after it.
bool fresh_move = false;

QColor color_of(uint32_t word) { return QColor(word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF); }

KPContext* make_image_context(QImage image, std::vector<uint32_t> own) {
  auto* impl = new KPContext::Impl;
  impl->ownPixels = std::move(own);
  impl->image = std::move(image);
  kp_set_device_dpi(impl->image);
  impl->width = impl->image.width();
  impl->height = impl->image.height();
  impl->painter = new QPainter(&impl->image);
  impl->ownsPainter = true;
  return new KPContext(impl);
}

}  // namespace

KPContext* KPContext::createBitmapContext(void* pixels, int width, int height, int bytesPerRow) {
  if (!pixels || width <= 0 || height <= 0 || bytesPerRow < width * 4) return nullptr;
  QImage image(static_cast<uchar*>(pixels), width, height, bytesPerRow, QImage::Format_RGB32);
  return make_image_context(std::move(image), {});
}

KPContext* KPContext::createImageContext(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  std::vector<uint32_t> own(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFFFFFFu);
  QImage image(reinterpret_cast<uchar*>(own.data()), width, height, width * 4, QImage::Format_RGB32);
  return make_image_context(std::move(image), std::move(own));
}

KPContext::KPContext(Impl* impl) : impl_(impl) {}

KPContext::~KPContext() {
  if (impl_->ownsPainter) {
    impl_->painter->end();
    delete impl_->painter;
  }
  delete impl_;
}

int KPContext::width() const { return impl_->width; }
int KPContext::height() const { return impl_->height; }
void* KPContext::pixels() const {
  return impl_->image.isNull() ? nullptr : const_cast<uchar*>(std::as_const(impl_->image).bits());
}
int KPContext::bytesPerRow() const { return impl_->image.isNull() ? 0 : static_cast<int>(impl_->image.bytesPerLine()); }

KPContext* kp_context_for_painter(QPainter* painter, int width, int height) {
  if (!painter) return nullptr;
  auto* impl = new KPContext::Impl;
  impl->painter = painter;
  impl->width = width;
  impl->height = height;
  return new KPContext(impl);
}

QImage kp_context_image(const KPContext* context) { return context ? context->impl()->image : QImage(); }
QImage kp_context_pixels(const KPContext* context) {
  if (!context) return QImage();
  const QImage& held = context->impl()->image;
  if (held.isNull()) return QImage();
  QImage pixels(std::as_const(held).bits(), held.width(), held.height(), held.bytesPerLine(), held.format());
  // The same size on the page (a scale of 1, as surfaces are made, leaves
  // the pixels where they are).
  pixels.setDevicePixelRatio(held.devicePixelRatio());
  return pixels;
}
QPainter* kp_context_painter(const KPContext* context) { return context ? context->impl()->painter : nullptr; }

// The drawing state a port keeps for its surface: colours, line width and
// dashes, set when objects are selected.
struct KPGrafPort::State {
  QColor fill = Qt::black;
  QColor stroke = Qt::black;
  double lineWidth = 1.0;
  bool noStroke = false;
  QList<qreal> dashes;  // device units; empty for a solid line
  double dashPhase = 0;
};

namespace {

KPGdiObject* stock_objects[14] = {};

}  // namespace

KPGrafPort::KPGrafPort() {
  sCurBrush_ = new KPBrush;
  currentBrush_ = sCurBrush_;
  sCurPen_ = new KPPen;
  currentPen_ = sCurPen_;
  textBrush_ = new KPBrush;
  textPen_ = new KPPen;
  state_ = new State;
}

KPGrafPort::~KPGrafPort() {
  fixContext(nullptr, {}, {});
  delete state_;
  delete sCurBrush_;
  delete sCurPen_;
  delete defaultFont_;
  delete textBrush_;
  delete textPen_;
}

KPGrafPort* KPGrafPort::createKPDC() { return new KPGrafPort; }

KPGdiObject* KPGrafPort::getStockObject(int index) {
  if (index < 0 || index >= 14) {
    KP_ASSERT(false, "unknown stock object");
    return nullptr;
  }
  KPGdiObject*& slot = stock_objects[index];
  if (slot) return slot;
  switch (index) {
    case 0: slot = KPBrush::createSolidBrush(bgr_to_rgb(back_color)); break;
    case 1: slot = KPBrush::createSolidBrush(bgr_to_rgb(palette16_color(12))); break;
    case 5: slot = new KPBrush; break;
    case 7: slot = new KPPen; break;
    case 13: slot = KPFont::systemFont(KPFont::systemFontSize()); break;
    default: KP_ASSERT(false, "unknown stock object"); return nullptr;
  }
  if (!slot) return nullptr;  // no font without the graphical interface
  slot->markStock();
  return slot;
}

namespace {
bool is_empty_brush(const KPBrush* brush) { return brush == stock_objects[5] && brush; }
}  // namespace

void KPGrafPort::allowsAntialiasing(bool allow) { antialias_ = allow; }

void KPGrafPort::drawBackground(uint32_t color) {
  if (!context_) return;
  QPainter* p = context_->impl()->painter;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_Source);
  p->fillRect(QRectF(0, 0, context_->width(), context_->height()), color_of(color));
  p->restore();
}

KPFont* KPGrafPort::textFont() const {
  if (sCurFont_) return sCurFont_;
  // The system font, made on first use so that ports that draw no text need
  // no font system.
  if (!defaultFont_) defaultFont_ = KPFont::systemFont(KPFont::systemFontSize());
  return defaultFont_;
}

long KPGrafPort::stringWidth(std::string_view text) const {
  const KPFont* font = textFont();
  if (!font) {
    KPFont::reportNoFontSystem();
    return 0;
  }
  const double w = font->widthOf(text.data(), text.size());
  const long width = static_cast<long>(w);
  return width >= 10000 ? 100 : width;
}

void KPGrafPort::currentDrawTextFont(KPFont* font) { sCurFont_ = font; }

void KPGrafPort::kelvoDrawText(const char* text, int length, tagRECT* rect, uint32_t) {
  if (!context_ || !text || !rect) return;
  if (!textFont()) {
    KPFont::reportNoFontSystem();
    return;
  }
  const std::string_view s(text, length < 0 ? std::strlen(text) : static_cast<size_t>(length));
  const QString string = unit_text_to_qstring(s);
  QPainter* p = context_->impl()->painter;
  QFont font = textFont()->impl()->font;
  if (!antialias_) font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::NoAntialias));
  const double ax = rect->left * scale_;
  const double ay = context_->height() - (portFrame_.height - rect->bottom) * scale_;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  p->setRenderHint(QPainter::Antialiasing, antialias_);
  p->setRenderHint(QPainter::TextAntialiasing, antialias_);
  p->translate(ax, ay);
  p->scale(scale_, scale_);
  p->setFont(font);
  p->setPen(currentPen_ ? color_of(currentPen_->strokeColor()) : QColor(Qt::black));
  const QFontMetricsF metrics = kp_font_metrics(font);
  p->drawText(QPointF(0, metrics.ascent()), string);
  p->restore();
  rect->right = rect->left + static_cast<int32_t>(std::ceil(metrics.horizontalAdvance(string)));
}

void KPGrafPort::drawTextDocument(const void* document, double x, double y, double scale, double width,
                                  double height, uint32_t color) {
  if (!document) return;
  drawText(
      [](void* painter, const void* text, const KPRectF* clip) {
        auto* p = static_cast<QPainter*>(painter);
        QAbstractTextDocumentLayout::PaintContext paint;
        paint.palette.setColor(QPalette::Text, p->pen().color());
        if (clip) paint.clip = QRectF(clip->x, clip->y, clip->width, clip->height);
        static_cast<const QTextDocument*>(text)->documentLayout()->draw(p, paint);
      },
      document, x, y, scale, width, height, color);
}

namespace {

// What drawing a text changes of the painter, put back as it was: the
// painter's own save and restore copy its whole state, a block of memory
// per text.
class TextPainterState {
 public:
  explicit TextPainterState(QPainter* p)
      : p_(p), transform_(p->worldTransform()), pen_(p->pen()), font_(p->font()), mode_(p->compositionMode()),
        hints_(p->renderHints()) {}
  ~TextPainterState() {
    p_->setWorldTransform(transform_);
    p_->setPen(pen_);
    if (!(p_->font() == font_)) p_->setFont(font_);
    p_->setCompositionMode(mode_);
    p_->setRenderHints(~hints_, false);
    p_->setRenderHints(hints_, true);
  }
  TextPainterState(const TextPainterState&) = delete;
  TextPainterState& operator=(const TextPainterState&) = delete;

 private:
  QPainter* p_;
  QTransform transform_;
  QPen pen_;
  QFont font_;
  QPainter::CompositionMode mode_;
  QPainter::RenderHints hints_;
};

// Room left around a text's ink, in surface pixels, for what antialiasing
// and a glyph's place between pixels spread beyond its outline's box.
constexpr double kInkRoom = 2.0;

bool ink_inside(const KPRectF& ink, double width, double height, double room) {
  if (ink.width <= 0 || ink.height <= 0) return true;
  return ink.x - room >= 0 && ink.y - room >= 0 && ink.x + ink.width + room <= width &&
         ink.y + ink.height + room <= height;
}

// The pen of a text's colour. Texts mostly share theirs: the last one is
// kept, and the painter takes the same pen again without comparing it.
const QPen& text_pen(uint32_t color) {
  static QPen& pen = *new QPen(QColor(Qt::black));
  static uint32_t made = 0;
  color &= 0xFFFFFF;
  if (color != made) {
    pen = QPen(QColor::fromRgb(static_cast<QRgb>(color)));
    made = color;
  }
  return pen;
}

bool whole(double v) { return v == std::floor(v) && std::abs(v) < 1e9; }

// The parts of `reach` outside `frame` (at most four rectangles).
int outside_parts(const QRect& reach, const QRect& frame, QRect parts[4]) {
  if (!reach.intersects(frame)) {
    parts[0] = reach;
    return 1;
  }
  const QRect in = reach & frame;
  int n = 0;
  if (reach.top() < in.top())
    parts[n++] = QRect(QPoint(reach.left(), reach.top()), QPoint(reach.right(), in.top() - 1));
  if (reach.bottom() > in.bottom())
    parts[n++] = QRect(QPoint(reach.left(), in.bottom() + 1), QPoint(reach.right(), reach.bottom()));
  if (reach.left() < in.left())
    parts[n++] = QRect(QPoint(reach.left(), in.top()), QPoint(in.left() - 1, in.bottom()));
  if (reach.right() > in.right())
    parts[n++] = QRect(QPoint(in.right() + 1, in.top()), QPoint(reach.right(), in.bottom()));
  return n;
}

// Copies the pixels of `parts` out of the image into `kept`, or back.
void move_pixels(const QImage& image, const QRect* parts, int count, std::vector<uchar>& kept, bool back) {
  auto* bits = const_cast<uchar*>(image.constBits());
  const qsizetype line = image.bytesPerLine();
  const int depth = image.depth() / 8;
  size_t at = 0;
  for (int k = 0; k < count; ++k) {
    const size_t bytes = static_cast<size_t>(parts[k].width()) * static_cast<size_t>(depth);
    for (int y = parts[k].top(); y <= parts[k].bottom(); ++y) {
      uchar* row = bits + y * line + parts[k].left() * depth;
      if (back) std::memcpy(row, kept.data() + at, bytes);
      else std::memcpy(kept.data() + at, row, bytes);
      at += bytes;
    }
  }
}

}  // namespace

void KPGrafPort::drawText(TextPainter paint, const void* text, double x, double y, double scale, double width,
                          double height, uint32_t color, const KPRectF* ink) {
  if (!context_ || !text || !paint) return;
  QPainter* p = context_->impl()->painter;
  const QImage& image = context_->impl()->image;
  const double ax = x * scale_;
  const double ay = context_->height() - (portFrame_.height - y) * scale_;
  const double s = scale_ * scale;
  KPRectF clip{0, 0, width, height};
  const bool framed = width > 0 && height > 0;
  auto set_up = [&] {
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    p->setRenderHint(QPainter::Antialiasing, antialias_);
    p->setRenderHint(QPainter::TextAntialiasing, antialias_);
    p->translate(ax, ay);
    // A scale of 1 leaves the transform as it is: the painter would work
    // its matrices out again for nothing.
    if (s != 1) p->scale(s, s);
    p->setPen(text_pen(color));
  };
  // The ink is trusted on the port's own image only, whose pixels are those
  // the text was laid out for (a printer's are not).
  if (image.isNull()) ink = nullptr;
  if (ink && (!framed || (s > 0 && ink_inside(*ink, width, height, kInkRoom / s)))) {
    const TextPainterState saved(p);
    set_up();
    paint(p, text, framed ? &clip : nullptr);
    return;
  }
  // A text on whole pixels of an image the port can read is clipped by
  // putting back, after it is drawn, the pixels it reached outside its
  // frame: the clip of the painter would cost memory in proportion to the
  // image's height at each text.
  if (ink && s == 1 && image.depth() >= 8 && whole(ax) && whole(ay) && whole(width) &&
      whole(height)) {
    const QRect frame(static_cast<int>(ax), static_cast<int>(ay), static_cast<int>(width), static_cast<int>(height));
    const QRect reach = QRectF(ax + ink->x - kInkRoom, ay + ink->y - kInkRoom, ink->width + 2 * kInkRoom,
                               ink->height + 2 * kInkRoom)
                            .toAlignedRect() &
                        image.rect();
    QRect parts[4];
    const int count = reach.isEmpty() ? 0 : outside_parts(reach, frame, parts);
    size_t bytes = 0;
    for (int k = 0; k < count; ++k)
      bytes += static_cast<size_t>(parts[k].width()) * static_cast<size_t>(parts[k].height()) * (image.depth() / 8);
    if (keptPixels_.size() < bytes) keptPixels_.resize(bytes);
    move_pixels(image, parts, count, keptPixels_, false);
    {
      const TextPainterState saved(p);
      set_up();
      paint(p, text, &clip);
    }
    move_pixels(image, parts, count, keptPixels_, true);
    return;
  }
  p->save();
  set_up();
  if (framed) p->setClipRect(QRectF(0, 0, width, height));
  paint(p, text, framed ? &clip : nullptr);
  p->restore();
}

void KPGrafPort::kelvoSimpleDrawTexString(std::string_view text, double x, double y) {
  if (!context_) return;
  if (!textFont()) {
    KPFont::reportNoFontSystem();
    return;
  }
  QPainter* p = context_->impl()->painter;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  p->setRenderHint(QPainter::TextAntialiasing, antialias_);
  p->setFont(textFont()->impl()->font);
  p->setPen(Qt::black);
  const double ay = context_->height() - (portFrame_.height - y);
  p->drawText(QPointF(x, ay + kp_font_metrics(textFont()->impl()->font).ascent()), unit_text_to_qstring(text));
  p->restore();
}

void KPGrafPort::setPrinting(bool printing) {
  printing_ = printing;
  scale_ = 1.0f;
}

void KPGrafPort::globalToLocalTextSizeDD(tagPOINT* size) const {
  size->x = static_cast<int32_t>(size->x / scale_);
  size->y = static_cast<int32_t>(size->y / scale_);
}

void KPGrafPort::localtoGlobalTextSizeDD(tagPOINT* size) const {
  size->x = static_cast<int32_t>(size->x * scale_);
  size->y = static_cast<int32_t>(size->y * scale_);
}

void KPGrafPort::localtoGlobalDD(tagPOINT* point) const {
  const double h = portFrame_.height;
  point->x = static_cast<int32_t>(point->x * scale_);
  point->y = static_cast<int32_t>((h - point->y) * scale_);
}

void KPGrafPort::globaltoLocalDD(tagPOINT* point) const {
  const double h = portFrame_.height;
  point->x = static_cast<int32_t>(point->x / scale_);
  point->y = static_cast<int32_t>((h - point->y) / scale_);
}

int KPGrafPort::setBkMode(int mode) {
  bkMode_ = mode;
  return 0;
}

int KPGrafPort::setROP2(int rop) {
  const int previous = opMode_;
  opMode_ = rop;
  return previous;
}

int KPGrafPort::setPolyFillMode(int mode) {
  const int previous = polyFillMode_;
  polyFillMode_ = mode;
  return previous;
}

namespace {

struct Painting {
  QPainter* p;
  Painting(QPainter* painter, bool antialias, int rop) : p(painter) {
    p->save();
    p->setRenderHint(QPainter::Antialiasing, antialias);
    p->setCompositionMode(rop == 9 ? QPainter::CompositionMode_Multiply : QPainter::CompositionMode_SourceOver);
  }
  ~Painting() { p->restore(); }
};

}  // namespace

void KPGrafPort::applyPen() {
  const State& st = *state_;
  QPainter* p = context_->impl()->painter;
  if (st.noStroke) {
    p->setPen(Qt::NoPen);
    return;
  }
  QPen pen(st.stroke);
  pen.setWidthF(st.lineWidth);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  if (!st.dashes.isEmpty()) {
    // Qt counts dashes in pen widths.
    const double unit = st.lineWidth > 0 ? st.lineWidth : 1.0;
    QList<qreal> pattern;
    for (qreal d : st.dashes) pattern.append(d / unit);
    if (pattern.size() % 2) pattern.append(pattern);  // an odd list repeats
    pen.setDashPattern(pattern);
    pen.setDashOffset(st.dashPhase / unit);
  }
  p->setPen(pen);
}

// Fills take the context's fill colour unless the empty brush is selected.
void KPGrafPort::applyBrush() {
  QPainter* p = context_->impl()->painter;
  if (currentBrush_ && !is_empty_brush(currentBrush_)) p->setBrush(state_->fill);
  else p->setBrush(Qt::NoBrush);
}

namespace {

// The image pixels a port's own painter draws on, when a stroke of its pen
// is the painter's antialiased stroke one pixel wide and can be written
// there directly (kp_fine_strokes.h): an opaque solid pen of a pixel (or
// of no width, which the painter draws a pixel wide too; a pen thinner
// than a pixel would be drawn fainter), laid over what is beneath, on the
// image itself, unclipped, untransformed and at full opacity.
bool fine_target(const KPContext* context, bool antialias, int rop, const QColor& stroke, double width,
                 bool dashed, KPFinePixels* out) {
  const KPContext::Impl* impl = context->impl();
  if (!impl->ownsPainter || !antialias || rop == 9 || dashed || (width != 1 && width != 0) || stroke.alpha() != 255)
    return false;
  const QImage& image = impl->image;
  if (image.isNull() ||
      (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied))
    return false;
  const QPainter* p = impl->painter;
  if (!p || !p->isActive() || p->hasClipping() || !p->worldTransform().isIdentity() || p->opacity() != 1)
    return false;
  *out = KPFinePixels{reinterpret_cast<uint32_t*>(const_cast<uchar*>(std::as_const(image).bits())), image.width(),
                      image.height(), static_cast<int>(image.bytesPerLine() / 4)};
  return true;
}

}  // namespace

bool KPGrafPort::fineStroke(KPFinePixels* target, uint32_t* color) const {
  const State& st = *state_;
  if (!context_ || st.noStroke ||
      !fine_target(context_, antialias_, opMode_, st.stroke, st.lineWidth, !st.dashes.isEmpty(), target))
    return false;
  *color = st.stroke.rgba();
  return true;
}

void KPGrafPort::strokeTo(double x0, double y0, double x1, double y1) {
  if (!context_) return;
  const double hd = context_->height();
  const double h = portFrame_.height;
  KPContext::Impl* impl = context_->impl();
  KPFinePixels fine;
  uint32_t color = 0;
  if (fineStroke(&fine, &color)) {
    kp_fine_line(fine, color, x0 * scale_, hd - (h - y0) * scale_, x1 * scale_, hd - (h - y1) * scale_);
    return;
  }
  if (!impl->ownsPainter) {
    QPainterPath path(QPointF(x0 * scale_, hd - (h - y0) * scale_));
    path.lineTo(QPointF(x1 * scale_, hd - (h - y1) * scale_));
    Painting paint(impl->painter, antialias_, opMode_);
    applyPen();
    paint.p->setBrush(Qt::NoBrush);
    paint.p->drawPath(path);
    return;
  }
  // A painter of our own: every other drawing sets what it needs, so a
  // line leaves its settings in place rather than saving and restoring the
  // painter's state, which dominates the cost of a long run of short lines
  // such as a traced curve.
  QPainter* p = impl->painter;
  if (p->testRenderHint(QPainter::Antialiasing) != antialias_) p->setRenderHint(QPainter::Antialiasing, antialias_);
  const auto mode = opMode_ == 9 ? QPainter::CompositionMode_Multiply : QPainter::CompositionMode_SourceOver;
  if (p->compositionMode() != mode) p->setCompositionMode(mode);
  applyPen();
  if (p->brush().style() != Qt::NoBrush) p->setBrush(Qt::NoBrush);
  p->drawLine(QLineF(x0 * scale_, hd - (h - y0) * scale_, x1 * scale_, hd - (h - y1) * scale_));
}

BOOL KPGrafPort::ellipse(int left, int top, int right, int bottom) {
  if (!context_) return 0;
  const double hd = context_->height();
  const double h = portFrame_.height;
  const QRectF r(left * scale_, hd - (h - bottom) * scale_ - (bottom - top) * scale_, (right - left) * scale_,
                 (bottom - top) * scale_);
  Painting paint(context_->impl()->painter, antialias_, opMode_);
  applyPen();
  applyBrush();
  paint.p->drawEllipse(r);
  return 0;
}

BOOL KPGrafPort::arc(int cx, int cy, float radius, float start, float end) {
  if (!context_) return 0;
  const double hd = context_->height();
  const double h = portFrame_.height;
  const QPointF c(cx * scale_, hd - (h - cy) * scale_);
  const double r = radius * scale_;
  constexpr double two_pi = 2 * std::numbers::pi;
  double sweep = static_cast<double>(end) - static_cast<double>(start);
  if (sweep < two_pi) {
    sweep = std::fmod(sweep, two_pi);
    if (sweep < 0) sweep += two_pi;
  } else {
    sweep = two_pi;
  }
  const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
  QPainterPath path;
  const double startDeg = start * 180.0 / std::numbers::pi;
  path.arcMoveTo(box, startDeg);
  path.arcTo(box, startDeg, sweep * 180.0 / std::numbers::pi);
  KPFinePixels fine;
  uint32_t color = 0;
  if (fineStroke(&fine, &color)) {
    kp_fine_path(fine, color, path);
    return 0;
  }
  Painting paint(context_->impl()->painter, antialias_, opMode_);
  applyPen();
  paint.p->setBrush(Qt::NoBrush);
  paint.p->drawPath(path);
  return 0;
}

// A rectangle on whole pixels, such as a point's square mark, filled and
// outlined a pixel wide: its smoothed fill covers its pixels wholly, so
// they take the fill colour, and the outline is written as any thin
// stroke is. False, having drawn nothing, for any other polygon.
bool KPGrafPort::fineRectangle(const QPainterPath& path) {
  const int n = path.elementCount();
  if (n < 4 || n > 5) return false;
  for (int i = 0; i < n; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    if (e.x != std::floor(e.x) || e.y != std::floor(e.y) || std::fabs(e.x) > 1e6 || std::fabs(e.y) > 1e6) return false;
    if (i > 0 && !e.isLineTo()) return false;
  }
  // Each side along an axis, the last one back to the first corner.
  double left = path.elementAt(0).x, right = left, top = path.elementAt(0).y, bottom = top;
  for (int i = 0; i < n; ++i) {
    const QPainterPath::Element& a = path.elementAt(i);
    const QPainterPath::Element& b = path.elementAt((i + 1) % n);
    if (a.x != b.x && a.y != b.y) return false;
    left = std::min(left, a.x), right = std::max(right, a.x);
    top = std::min(top, a.y), bottom = std::max(bottom, a.y);
  }
  const bool filled = currentBrush_ && !is_empty_brush(currentBrush_);
  if (filled && state_->fill.alpha() != 255) return false;
  KPFinePixels fine;
  uint32_t color = 0;
  if (!fineStroke(&fine, &color)) return false;
  if (filled) {
    // Within the image: the corners are whole numbers of at most a million.
    const auto from_x = static_cast<int>(std::clamp<double>(left, 0, fine.width));
    const auto to_x = static_cast<int>(std::clamp<double>(right, 0, fine.width));
    const auto from_y = static_cast<int>(std::clamp<double>(top, 0, fine.height));
    const auto to_y = static_cast<int>(std::clamp<double>(bottom, 0, fine.height));
    const uint32_t fill = state_->fill.rgba();
    for (int y = from_y; y < to_y; ++y) {
      uint32_t* row = fine.pixels + int64_t{y} * fine.pitch;
      std::fill(row + from_x, row + to_x, fill);
    }
  }
  kp_fine_path(fine, color, path);
  return true;
}

void KPGrafPort::setPixel(int x, int y, uint32_t) { strokeTo(x - 1, y, x, y); }

void KPGrafPort::lineTo(int x, int y) {
  int sx = currentPos_.x;
  int sy = currentPos_.y;
  if (fresh_move) {
    const int dx = x - sx;
    const int dy = y - sy;
    const int away_x = dx > 0 ? -1 : 1;
    const int away_y = dy > 0 ? -1 : 1;
    if (dx == 0) {
      sy += away_y;
    } else if (dy == 0) {
      sx += away_x;
    } else if (dx == dy || dx == -dy) {
      sx += away_x;
      sy += away_y;
    }
    currentPos_ = {sx, sy};
  }
  strokeTo(sx, sy, x, y);
  currentPos_ = {x, y};
  fresh_move = false;
}

void KPGrafPort::lineToFast(int x, int y) {
  strokeTo(currentPos_.x, currentPos_.y, x, y);
  currentPos_ = {x, y};
}

void KPGrafPort::moveTo(int x, int y) {
  currentPos_ = {x, y};
  fresh_move = true;
}

void KPGrafPort::moveToEx(int x, int y, tagPOINT* previous) {
  if (previous) *previous = currentPos_;
  moveTo(x, y);
}

void KPGrafPort::polygon(const tagPOINT* points, int count) {
  if (!context_ || !points || count < 2) return;
  const double hd = context_->height();
  const double h = portFrame_.height;
  QPainterPath path;
  path.setFillRule(polyFillMode_ == 1 ? Qt::OddEvenFill : Qt::WindingFill);
  path.moveTo(points[0].x * scale_, hd - (h - points[0].y) * scale_);
  for (int i = 1; i < count; ++i) path.lineTo(points[i].x * scale_, hd - (h - points[i].y) * scale_);
  if (!wide_lines_flag) path.closeSubpath();
  if (fineRectangle(path)) return;
  Painting paint(context_->impl()->painter, antialias_, opMode_);
  applyPen();
  applyBrush();
  paint.p->drawPath(path);
}

KPRectF KPGrafPort::_intToFloatRect(const tagRECT* rect) const {
  return {double(rect->left), portFrame_.height - rect->bottom, double(rect->right - rect->left),
          double(rect->bottom - rect->top)};
}

void KPGrafPort::fillRect(const tagRECT* rect) {
  if (!context_ || !rect) return;
  const KPRectF r = _intToFloatRect(rect);
  const double hd = context_->height();
  Painting paint(context_->impl()->painter, antialias_, opMode_);
  paint.p->fillRect(QRectF(r.x, hd - r.y - r.height, r.width, r.height), state_->fill);
}

void KPGrafPort::frameRect(const tagRECT* rect) {
  if (!context_ || !rect) return;
  const KPRectF r = _intToFloatRect(rect);
  const double hd = context_->height();
  Painting paint(context_->impl()->painter, antialias_, opMode_);
  applyPen();
  paint.p->setBrush(Qt::NoBrush);
  paint.p->drawRect(QRectF(r.x, hd - r.y - r.height, r.width, r.height));
}

KPGdiObject* KPGrafPort::selectObject(KPGdiObject* object) {
  if (!object) return nullptr;
  if (object == cache_) {
    // The short cut holds only while the object is still the one in use:
    // setBrush and setCurrentFont change the selection behind the cache.
    const bool current = object == currentBrush_ || object == currentPen_ || object == currentFont_ ||
                         object == bitmap_;
    if (current) return object;
  }
  cache_ = object;
  switch (object->kind()) {
    case KPObjectKind::Brush: {
      KPBrush* previous = currentBrush_;
      currentBrush_ = static_cast<KPBrush*>(object);
      SetFillColor();
      return previous;
    }
    case KPObjectKind::Pen: {
      KPPen* previous = currentPen_;
      currentPen_ = static_cast<KPPen*>(object);
      SetStrockColor();
      State& st = *state_;
      st.lineWidth = currentPen_->getSize() + ((wide_lines_flag && !printing_) ? 1.0 : 0.0);
      setCurrentPenAttributes();
      return previous;
    }
    case KPObjectKind::Font: {
      KPFont* previous = currentFont_;
      currentFont_ = static_cast<KPFont*>(object);
      return previous;
    }
    case KPObjectKind::Bitmap: {
      KPUniversalBitmap* previous = bitmap_;
      auto* bitmap = static_cast<KPUniversalBitmap*>(object);
      const tagBITMAP* record = bitmap->winBitmap();
      KPContext* surface = nullptr;
      if (record && record->bmBitsPixel == 32 && bitmap->getOriginalDataType() == 2)
        surface = KPContext::createBitmapContext(bitmap->getOriginalData(), record->bmWidth, record->bmHeight,
                                                 record->bmWidthBytes);
      fixContext(surface, {}, {});
      ownContext_ = surface;
      bitmap_ = surface ? bitmap : nullptr;
      return previous;
    }
    case KPObjectKind::Port:
      KP_ASSERT(false, "a device context cannot be selected into another");
      return nullptr;
  }
  return nullptr;
}

void KPGrafPort::SetFillColor() {
  if (!currentBrush_ || is_empty_brush(currentBrush_)) return;
  state_->fill = color_of(currentBrush_->getBrushColor());
}

void KPGrafPort::SetStrockColor() {
  if (!currentPen_) return;
  state_->stroke = color_of(currentPen_->strokeColor());
}

void KPGrafPort::setCurrentPenAttributes() {
  if (!currentPen_) return;
  State& st = *state_;
  const double phase = static_cast<double>(currentPen_->getAdvanced());
  switch (currentPen_->getStyle() & 15) {
    case 0:
    case 6: st.dashes.clear(); st.dashPhase = 0; st.noStroke = false; break;
    case 1: st.dashes = {4, 6}; st.dashPhase = phase; st.noStroke = false; break;
    case 2:
    case 8: st.dashes = {1, 2}; st.dashPhase = phase; st.noStroke = false; break;
    case 3: st.dashes = {2, 3, 4, 3}; st.dashPhase = phase; st.noStroke = false; break;
    case 4: st.dashes = {2, 3, 2, 3, 4, 3}; st.dashPhase = phase; st.noStroke = false; break;
    // The null pen draws nothing.
    case 5: st.dashes.clear(); st.dashPhase = 0; st.noStroke = true; break;
    case 7:
      KP_ASSERT(false, "user pen styles are not supported");
      st.dashes.clear();
      st.dashPhase = 0;
      st.noStroke = false;
      break;
    default: break;  // the pattern in force stays
  }
}

uint32_t KPGrafPort::setKelvoTextColor(uint32_t color) {
  const uint32_t previous = currentPen_ ? currentPen_->strokeColor() : 0;
  textBrush_->setBrushColor(color);
  textPen_->setStrokeColor(color);
  selectObject(textBrush_);
  selectObject(textPen_);
  SetFillColor();
  SetStrockColor();
  return previous;
}

void KPGrafPort::setBrush(KPBrush* brush) {
  currentBrush_ = brush;
  SetFillColor();
}

KPFont* KPGrafPort::setCurrentFont(KPFont* font) {
  KPFont* previous = currentFont_;
  currentFont_ = font;
  return previous;
}

KPGdiObject* KPGrafPort::getCurrentObject(int kind) const {
  if (kind == 7) return bitmap_;
  return nullptr;
}

void KPGrafPort::getBitmapSize(int* width, int* height) const {
  if (width) *width = context_ ? context_->width() : 0;
  if (height) *height = context_ ? context_->height() : 0;
}

void KPGrafPort::fixContext(KPContext* context, const KPRectF&, const KPRectF&) {
  if (ownContext_ && ownContext_ != context) {
    delete ownContext_;
    ownContext_ = nullptr;
    bitmap_ = nullptr;
  }
  context_ = context;
  portFrame_ = context ? KPRectF{0, 0, double(context->width()), double(context->height())} : KPRectF{};
}

void KPGrafPort::drawImageRect(const KPUniversalBitmap* bitmap, int x, int y, int width, int height, int rop) {
  if (!context_ || !bitmap) return;
  QImage image = kp_bitmap_image(bitmap);
  if (image.isNull()) return;
  if (image.format() == QImage::Format_RGB32) {
    // Pixel memory written by the kernel may leave the unused byte at 0.
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < image.height(); ++row) {
      auto* line = reinterpret_cast<uint32_t*>(image.scanLine(row));
      for (int col = 0; col < image.width(); ++col) line[col] |= 0xFF000000u;
    }
  }
  const double hd = context_->height();
  const double h = portFrame_.height;
  Painting paint(context_->impl()->painter, antialias_, rop);
  paint.p->drawImage(QRectF(x, y + (hd - h), width, height), image);
}

void KPGrafPort::drawImageTurned(const KPUniversalBitmap* bitmap, double x, double y, double scale, double angle,
                                 int rop) {
  if (!context_ || !bitmap) return;
  QImage image = kp_bitmap_image(bitmap);
  if (image.isNull()) return;
  if (image.format() == QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_ARGB32);
  for (int row = 0; row < image.height(); ++row) {
    auto* line = reinterpret_cast<uint32_t*>(image.scanLine(row));
    for (int col = 0; col < image.width(); ++col) line[col] |= 0xFF000000u;
  }
  const double offset = context_->height() - portFrame_.height;
  Painting paint(context_->impl()->painter, antialias_, rop);
  paint.p->save();
  paint.p->setRenderHint(QPainter::SmoothPixmapTransform, true);
  paint.p->translate(x, y + offset);
  paint.p->rotate(angle * 180.0 / M_PI);
  paint.p->scale(scale, scale);
  paint.p->drawImage(QRectF(0, -image.height(), image.width(), image.height()), image);
  paint.p->restore();
}

void KPGrafPort::copySurface(const KPContext* source) {
  if (!context_ || !source || source == context_) return;
  const QImage image = kp_context_pixels(source);
  if (image.isNull()) return;
  QPainter* p = context_->impl()->painter;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_Source);
  p->drawImage(QPointF(0, 0), image);
  p->restore();
}
