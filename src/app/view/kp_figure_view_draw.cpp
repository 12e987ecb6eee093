// Drawing of the figure view: the drawing lock, the shared static and
// moving layers, coordinate conversions and the composited paint event.
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <QPaintEvent>

#include "kernel/window/figure_scroll.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/draw_object.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/window/figure_events.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/figure.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/still_layer.h"
#include "platform/kp_graf_port_qt.h"
#include "platform/kp_qt_bridge.h"

namespace {
KPContext* g_static_layer_ref = nullptr;
KPContext* g_moving_layer_ref = nullptr;
QSize g_layers_size;
// At zoom 1 each layer is the pixel bitmap of its shared device: the
// kernel's pixel pen writes into it and the device's port draws on the same
// memory, so the layer is the picture with no copy between the two. At any
// other zoom the layers are surfaces only the ports draw on.
bool g_pixel_layers = false;
// Whether the layers were made for zoom 1 (pixel bitmaps unless none could
// be had).
bool g_layers_for_zoom_one = false;

// The surfaces and layers hold device pixels: the view's own size.
KPRectF bounds_of(const KPFigureView* v) { return {0, 0, double(v->width()), double(v->height())}; }

KPContext* context_of(DisplayDevice* device) {
  if (!device) return nullptr;
  if (device->viewLayer) return static_cast<KPContext*>(device->viewLayer);
  return device->dc ? device->dc->getContext() : nullptr;
}
}  // namespace

KPContext* shared_static_layer() { return g_static_layer_ref; }
KPContext* shared_moving_layer() { return g_moving_layer_ref; }

int KPFigureView::sheetWidth() const { return static_cast<int>(std::ceil(width() / scale_)); }
int KPFigureView::sheetHeight() const { return static_cast<int>(std::ceil(height() / scale_)); }

void KPFigureView::ensureSurface() {
  if (surface_ && surface_->width() == width() && surface_->height() == height()) return;
  KPContext* old = surface_;
  surface_ = KPContext::createImageContext(width(), height());
  // A new surface is blank: the next paint draws the figure on it, also one
  // that would have shown the surface as the kernel left the old one.
  figurePaintPending_ = true;
  if (dc_ && (dc_->getContext() == old || !dc_->getContext())) dc_->fixContext(surface_, bounds_of(this), bounds_of(this));
  delete old;
}

KPContext* KPFigureView::lockFixSaveContext() {
  if (isDeleting_) return nullptr;
  setGlobalDrowingWindow();
  if (locked_ > 0) {
    // Another view may have drawn since the outer lock (a window repainted
    // while a dialog ran): the shared layers come back to this view.
    if (const DisplayDevice* shared = getStaticDisplayDevice(); shared && shared->FigureView != this)
      if (InitViewLayers()) redrawLayers();
    ++locked_;
    return fixContext_;
  }
  // The view can draw once it has an area: its surface is off-screen.
  if (width() <= 0 || height() <= 0) return nullptr;
  ensureSurface();
  fixContext_ = surface_;
  if (dc_) dc_->fixContext(fixContext_, bounds_of(this), bounds_of(this));
  const bool foreign = InitViewLayers();
  locked_ = 1;
  if (foreign) redrawLayers();
  return fixContext_;
}

// The layers hold another view's picture, or none: the kernel copies them
// into this view without drawing them first (a click, a step of the view's
// timer), so they get this view's figure back at once. A view whose figure
// is not current draws it itself once locked (paintEvent).
void KPFigureView::redrawLayers() {
  if (!info_ || KPGeoDocument::currentInfo() != info_ || !originSet_ || !pdd_ || !pdd_->win || printing_) return;
  redraw_figure(2);
}

void KPFigureView::unlockView() {
  if (locked_ > 0) --locked_;
}

namespace {

// The shared devices leave their layers: a pixel bitmap goes with its memory,
// a surface of their own is deleted.
void drop_view_layers() {
  for (DisplayDevice* shared : {KPFigureView::getStaticDisplayDevice(), KPFigureView::getMovingDisplayDevice()}) {
    if (!shared) continue;
    shared->viewLayer = nullptr;
    if (shared->bm) dd_unselect_bitmap(shared);
    else if (shared->dc) shared->dc->fixContext(nullptr, {}, {});
  }
  if (!g_pixel_layers) {
    delete g_static_layer_ref;
    delete g_moving_layer_ref;
  }
  g_static_layer_ref = g_moving_layer_ref = nullptr;
  g_pixel_layers = false;
}

// A white pixel bitmap of the size selected into the device; its port then
// draws on the bitmap's memory, which is the layer. Null when none can be had.
KPContext* pixel_layer(DisplayDevice* device, const QSize& size) {
  if (!device || !device->dc) return nullptr;
  dd_select_bitmap(device, create_dib_record(device, size.width(), size.height()));
  if (!device->bm || !device->bm->pixels) return nullptr;
  std::fill_n(device->bm->pixels, size_t(device->bm->pitch) * size_t(device->bm->height), 0xFFFFFFFFu);
  return device->dc->getContext();
}

void make_view_layers(const QSize& size, bool pixels) {
  DisplayDevice* shared_static = KPFigureView::getStaticDisplayDevice();
  DisplayDevice* shared_moving = KPFigureView::getMovingDisplayDevice();
  if (pixels) {
    g_static_layer_ref = pixel_layer(shared_static, size);
    g_moving_layer_ref = pixel_layer(shared_moving, size);
    g_pixel_layers = true;
    if (g_static_layer_ref && g_moving_layer_ref) return;
    drop_view_layers();
  }
  g_static_layer_ref = KPContext::createImageContext(size.width(), size.height());
  g_moving_layer_ref = KPContext::createImageContext(size.width(), size.height());
}

}  // namespace

bool KPFigureView::InitViewLayers() {
  const QSize size(width(), height());
  // The pixel route draws one device pixel per figure pixel: zoom 1 only.
  const bool pixels = scale_ == 1.0f;
  const DisplayDevice* shared_static = getStaticDisplayDevice();
  bool foreign = shared_static && shared_static->FigureView != this;
  if (!g_static_layer_ref || g_layers_size != size || g_layers_for_zoom_one != pixels) {
    foreign = true;
    drop_view_layers();
    make_view_layers(size, pixels);
    g_layers_size = size;
    g_layers_for_zoom_one = pixels;
    if (pdd_) {
      create_view_bitmap_context(pdd_);
      // The view's port draws on the view's surface, not on that copy.
      if (dc_) dc_->fixContext(fixContext_ ? fixContext_ : surface_, bounds_of(this), bounds_of(this));
    }
  }
  const std::pair<DisplayDevice*, KPContext*> pairs[] = {{getStaticDisplayDevice(), g_static_layer_ref},
                                                          {getMovingDisplayDevice(), g_moving_layer_ref}};
  for (const auto& [device, layer] : pairs) {
    if (!device) continue;
    device->viewLayer = layer;
    device->FigureView = this;
    // The shared devices draw at the zoom of the view they draw for.
    device->ratio = scale_;
    if (layer && device->dc) device->dc->fixContext(layer, bounds_of(this), bounds_of(this));
    intBounds(&device->portRect);
  }
  // The pictures a drag's still layer is drawn on come with the layers,
  // not with the first press.
  prepare_still_layer(getMovingDisplayDevice());
  return foreign;
}

void KPFigureView::setGlobalDrowingWindow() {
  static_display = getStaticDisplayDevice();
  moving_display = getMovingDisplayDevice();
  for (DisplayDevice* shared : {static_display, moving_display}) {
    if (!shared) continue;
    shared->win = nullptr;
    shared->refcon = info_;
  }
}

void KPFigureView::intBounds(tagRECT* rect) const {
  if (!rect) return;
  rect->left = centerX_;
  rect->top = centerY_;
  rect->right = rect->left + sheetWidth();
  rect->bottom = rect->top + sheetHeight();
}

// Sheet points have y down; the figure point follows from the part of the
// figure the view shows.
void KPFigureView::globalToLocalDDM(tagPOINT* point) const {
  if (!point || !pdd_) return;
  point->x += pdd_->portRect.left;
  point->y += pdd_->portRect.top;
}

void KPFigureView::localToGlobalDDM(tagPOINT* point) const {
  if (!point || !pdd_) return;
  point->x -= pdd_->portRect.left;
  point->y -= pdd_->portRect.top;
}

void KPFigureView::setOrigin(double x, double y) {
  viewOriginX_ = x;
  viewOriginY_ = y;
  originSet_ = true;
}

// The sheet's origin goes to the middle of the view at the size it has now
// (a window opened on a file is laid out only after the figure was read).
void KPFigureView::centre() {
  if (sheetWidth() > 0 && sheetHeight() > 0) window_centre = {-(sheetWidth() / 2), -(sheetHeight() / 2)};
  centerX_ = window_centre.x;
  centerY_ = window_centre.y;
  printingOrigin_ = QPointF(window_centre.x, window_centre.y);
}

void KPFigureView::figureCopyBitmapDD(DisplayDevice* destination, DisplayDevice* source) {
  if (!destination || !source || !destination->dc) return;
  const bool shared = destination == getStaticDisplayDevice() || destination == getMovingDisplayDevice();
  if (!shared) {
    // While a page is printed the view's port draws on the paper: a snapshot
    // shown between two cells must not land there. The screen is brought
    // back once the print is over.
    if (destination == pdd_ && printing_) return;
    destination->dc->copySurface(context_of(source));
    if (destination == pdd_) {
      showSurfaceOnly_ = true;
      update();
    }
    return;
  }
  kelvo_win_info* fig = static_cast<kelvo_win_info*>(destination->refcon);
  if (fig && fig->dd == source && source->bitmapContext)
    destination->dc->copySurface(source->bitmapContext);
  else
    destination->dc->copySurface(context_of(source));
}

QImage KPFigureView::viewImage() const { return surface_ ? kp_context_image(surface_).copy() : QImage(); }

void KPFigureView::invalidateFigure() {
  figurePaintPending_ = true;
  update();
}

void KPFigureView::invalidateFigure(const QRect& rect) {
  figurePaintPending_ = true;
  update(QRectF(QPointF(rect.topLeft()) * scale_, QSizeF(rect.size()) * scale_).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void KPFigureView::paintEvent(QPaintEvent* event) {
  // A paint that only follows a layer copied into the surface shows it as
  // it is: drawing the figure again would wipe what the kernel put on top
  // (a rubber band, the selection marks, a drag in progress).
  const bool surface_only = showSurfaceOnly_ && !figurePaintPending_ && surface_ &&
                            surface_->width() == width() && surface_->height() == height();
  showSurfaceOnly_ = false;
  figurePaintPending_ = false;
  if (finishingScroll_) {
    finishingScroll_ = 0;
  } else if (surface_only) {
  } else if (lockFixSaveContext()) {
    const QRectF painted = QRectF(event->rect());
    invalidateRect_ = QRectF(painted.topLeft() / scale_, painted.size() / scale_).toAlignedRect();
    if (recentre_pending && pdd_) {
      centre();
      recentre_pending = 0;
      putKnobsAtOrigin();
    }
    intBounds(&view_rect);
    if (pdd_) {
      intBounds(&pdd_->portRect);
      setGlobalDrowingWindow();
      if (firstTime_ && dc_) {
        dc_->selectObject(KPGrafPort::getStockObject(5));
        dc_->setROP2(13);
        dc_->setPolyFillMode(2);
        firstTime_ = 0;
      }
      // The figure is brought in once the scroll bars have placed the view.
      if (originSet_ && pdd_->win) {
        if ((interaction_state == STATE_ANIMATION || interaction_state == STATE_MULTI_ANIMATION) &&
            moving_display) {
          int32_t left = 0;
          int32_t top = 0;
          dd_get_origin(pdd_, &left, &top);
          dd_shift_origins(left, top);
          redraw_figure(2);
          draw_figure_objects(moving_display, kLayerMoving);
          figure_changed = 1;
          flush_moving_display(24);
        } else if (current_figure_view != kp_hwnd(this) && !manipulating && static_display) {
          // A view that is not current shows its own figure: current for the
          // time of the copy only.
          kelvo_win_info* current = KPGeoDocument::currentInfo();
          KPGeoDocument::setCurrentInfo(info_);
          static_display->needToBeCleared = 1;
          redraw_figure(2);
          dd_copy_bitmap(pdd_, static_display, 17);
          KPGeoDocument::setCurrentInfo(current);
        } else {
          figure_paint(kp_hwnd(this));
        }
      }
    }
    unlockView();
  }
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  // The kernel drew the surface at the view's zoom, pixel for pixel; its
  // pixels are read where they are.
  if (surface_) painter.drawImage(QPoint(0, 0), kp_context_pixels(surface_));
  drawRectTextEditor(painter);
}

namespace {

// The left side, the bottom and the right side of a rectangle, the sides
// stopping `gap` below its top.
void stroke_open_frame(QPainter& painter, const QRectF& r, double gap) {
  const QPointF points[] = {QPointF(r.left(), r.top() + gap), r.bottomLeft(), r.bottomRight(),
                            QPointF(r.right(), r.top() + gap)};
  painter.drawPolyline(points, 4);
}

}  // namespace

void KPFigureView::drawRectTextEditor(QPainter& painter) {
  if (!textEditor_ || textEditor_->isHidden()) return;
  textEditor_->placeOverFrame();
  const QRectF r = QRectF(textEditor_->geometry());
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  static constexpr struct {
    double d, grey, gap;
  } kShadow[] = {{8, 0.95, 14},  {7, 0.94, 10.5}, {6, 0.925, 8.5}, {5, 0.9, 6.5},
                 {4, 0.875, 5},  {3, 0.82, 3.5},  {2, 0.73, 2.2},  {1, 0.55, 1.1}};
  for (const auto& s : kShadow) {
    painter.setPen(QPen(QColor::fromRgbF(s.grey, s.grey, s.grey), 1));
    stroke_open_frame(painter, r.adjusted(-s.d, -s.d, s.d, s.d), s.gap);
  }
  painter.setPen(QPen(QColor::fromRgbF(0.4, 0.4, 0.4), 0.5));
  painter.drawRect(r.adjusted(-0.5, -0.5, 0.5, 0.5));
  painter.setPen(QPen(QColor::fromRgbF(0.45, 0.45, 0.45), 0.5));
  const QRectF g = r.adjusted(-8, -8, 8, 8);
  const double mx = g.center().x() - 3.5, my = g.center().y() - 3.5;
  const QPointF handles[] = {g.topLeft(),
                             QPointF(mx, g.top()),
                             QPointF(g.right() - 7, g.top()),
                             QPointF(g.right() - 7, my),
                             QPointF(g.right() - 7, g.bottom() - 7),
                             QPointF(mx, g.bottom() - 7),
                             QPointF(g.left(), g.bottom() - 7),
                             QPointF(g.left(), my)};
  for (const QPointF& h : handles) painter.drawRect(QRectF(h, QSizeF(7, 7)));
  painter.restore();
}
