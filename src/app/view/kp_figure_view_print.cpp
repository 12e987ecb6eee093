// Printing of the figure view: the page drawn through the view's own port
// on the printer's painter, from the printing origin instead of the part
// shown on screen, with the optional title and date, and the on-screen
// centre put back once the print is over. A page is printed to scale: a
// centimetre of the figure's measures is a centimetre of paper, times the
// scale the page setup gives.
#include <QDate>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/document/kp_document.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/window/figure_events.h"
#include "app/panels/kp_show_view.h"
#include "app/view/kp_figure_view.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/files/session_print.h"
#include "kernel/model/figure.h"
#include "kernel/model/units.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/drawing_passes.h"
#include "platform/kp_font_qt.h"
#include "platform/kp_graf_port_qt.h"
#include "platform/kp_qt_bridge.h"

namespace {

// Pixels of the page's picture per point of paper.
constexpr double kPrintPixelsPerPoint = 4;

// The on-screen centre of the view being printed, kept for endDocument.
float g_saved_centre_x = 0;
float g_saved_centre_y = 0;

// The printed title and date use the platform's plain text attributes.
QFont page_text_font() {
  QFont font = QGuiApplication::font();
  font.setPointSizeF(12);
  return font;
}

void draw_page_text(QPainter* painter, const QString& text, double x) {
  const QFont font = page_text_font();
  painter->save();
  painter->setFont(font);
  painter->setPen(Qt::black);
  painter->drawText(QPointF(x, QFontMetricsF(font, painter->device()).ascent()), text);
  painter->restore();
}

}  // namespace

void KPFigureView::intPrintBounds(const QRectF& rect, tagRECT* bounds) const {
  if (!bounds) return;
  bounds->left = static_cast<int32_t>(centerX_ - viewOriginX_);
  bounds->top = static_cast<int32_t>(centerY_ + viewOriginY_);
  bounds->right = static_cast<int32_t>(bounds->left + rect.width());
  bounds->bottom = static_cast<int32_t>(bounds->top + rect.height());
}

void KPFigureView::setPrintingOrigin(double x, double y) { printingOrigin_ = QPointF(x, y); }

// The page's bounds are taken from the printing origin as the screen's are
// from the centre (intPrintBounds).
void KPFigureView::setPrintedPageOrigin(double x, double y) {
  printingOrigin_ = QPointF(x + viewOriginX_, y - viewOriginY_);
}

void KPFigureView::beginDocument() {
  printing_ = 1;
  g_saved_centre_x = static_cast<float>(centerX_);
  g_saved_centre_y = static_cast<float>(centerY_);
  centerX_ = static_cast<int32_t>(printingOrigin_.x());
  centerY_ = static_cast<int32_t>(printingOrigin_.y());
  // A page is drawn at one device unit per figure pixel, whatever the zoom;
  // the printer's painter puts it on paper to scale.
  if (dc_) dc_->setPrinting(true);
  if (pdd_) pdd_->ratio = 1.0;
}

void KPFigureView::endDocument() {
  centerX_ = static_cast<int32_t>(g_saved_centre_x);
  centerY_ = static_cast<int32_t>(g_saved_centre_y);
  // Back on screen at the view's zoom.
  if (dc_) {
    dc_->setPrinting(false);
    dc_->setGrafScale(scale_);
  }
  if (pdd_) pdd_->ratio = scale_;
  printing_ = 0;
  // The kernel sees the part shown on screen again, not the last page.
  intBounds(&view_rect);
  if (pdd_) intBounds(&pdd_->portRect);
  invalidateFigure();
}

bool KPFigureView::knowsPageRange(int* first, int* last) const {
  if (first) *first = 1;
  if (last) *last = session_printing ? session_print_page_count() : 1;
  return true;
}

QRectF KPFigureView::rectForPage(int) const { return {0, 0, calculatePrintWidth(), calculatePrintHeight()}; }

// The printable part of the paper in figure pixels: the figure goes on paper
// at the scale of its measures times the print's scale, so a page at 50 %
// holds twice the figure each way.
double KPFigureView::calculatePrintWidth() const {
  return printer_ ? printer_->pageLayout().paintRect(QPageLayout::Point).width() * figure_pixels_per_point() /
                        printScale_
                  : 0;
}

double KPFigureView::calculatePrintHeight() const {
  return printer_ ? printer_->pageLayout().paintRect(QPageLayout::Point).height() * figure_pixels_per_point() /
                        printScale_
                  : 0;
}

void KPFigureView::drawPrintPage(QPainter* painter, const QRectF& rect) {
  if (!printing_ || !painter || !painter->isActive() || rect.isEmpty()) return;
  if (!lockFixSaveContext()) return;
  painter->save();
  painter->setClipRect(rect);
  // The port draws the page into a picture of it, which then goes on the
  // paper: a printer's paint engine has no multiply blending, so an object
  // filled "seen through" would hide what lies beneath it.
  const int width = static_cast<int>(std::ceil(rect.width()));
  const int height = static_cast<int>(std::ceil(rect.height()));
  // As fine as four pixels a point of the painter's device.
  const QTransform device = painter->deviceTransform();
  const double fineness = kPrintPixelsPerPoint * std::max(0.25, std::hypot(device.m11(), device.m12()));
  QImage picture(static_cast<int>(std::ceil(width * fineness)), static_cast<int>(std::ceil(height * fineness)),
                 QImage::Format_RGB32);
  if (picture.isNull()) {
    painter->restore();
    unlockView();
    return;
  }
  picture.fill(Qt::white);
  // The figure's fonts are laid out at 72 dpi: a font given in points takes
  // as many of the picture's units as on screen, and the painter's scale
  // alone makes the picture finer. At the picture's true resolution a
  // point would be 4 units before that scale, and the texts drawn with a
  // selected font (a table's cells, its row numbers) 4 times too large.
  kp_set_device_dpi(picture);
  QPainter picture_painter(&picture);
  picture_painter.scale(fineness, fineness);
  // The port draws on the page for the time of this page only.
  const std::unique_ptr<KPContext> page(kp_context_for_painter(&picture_painter, width, height));
  if (dc_) dc_->fixContext(page.get(), {}, {});
  // Presentation mode is for the screen: on paper polygons close and texts
  // keep their fill.
  const wide_lines_cleared plain_lines;
  if (session_printing) {
    if (pdd_) intPrintBounds(rect, &pdd_->portRect);
    intPrintBounds(rect, &view_rect);
    session_draw_page(kp_hwnd(this));
  } else if (pdd_) {
    kelvo_win_info* previous = KPGeoDocument::currentInfo();
    intPrintBounds(rect, &pdd_->portRect);
    intPrintBounds(rect, &view_rect);
    view_rect.top -= 10;
    view_rect.right += 10;
    bind_macro_classes(static_cast<kelvo_win_info*>(pdd_->refcon));
    if (const kelvo_win_info* fig = KPGeoDocument::currentInfo()) {
      if (fig->background && fig->background->image)
        draw_background_picture(pdd_);
      else if (fig->bgcolor != back_color)
        dd_fill_background(pdd_, fig->bgcolor);
    }
    draw_figure_objects(pdd_, kLayerAll);
    bind_macro_classes(previous);
  }
  if (dc_) dc_->fixContext(fixContext_, {}, {});
  picture_painter.end();
  painter->drawImage(QRectF(rect.topLeft(), QSizeF(width, height)), picture);
  if (!session_printing && pdd_) {
    // The title and the date keep their size on paper whatever the scale.
    painter->scale(1 / printScale_, 1 / printScale_);
    if (KPShowView::addfiguretitle()) {
      const KPDocument* doc = KPDocument::FindDocumentWith_Window(figureWindow());
      if (doc) draw_page_text(painter, QFileInfo(doc->documentName()).fileName(), 0);
    }
    if (KPShowView::adddatetime()) {
      const QString date = QLocale::system().toString(QDate::currentDate(), QStringLiteral("dddd dd MMMM yyyy"));
      const QFontMetricsF metrics(page_text_font(), painter->device());
      draw_page_text(painter, date, rect.width() * printScale_ - metrics.horizontalAdvance(date));
    }
  }
  painter->restore();
  unlockView();
}

bool KPFigureView::runPrintOperation(QPrinter* printer, double scale) {
  if (!printer || printing_) return false;
  printScale_ = scale > 0 && std::isfinite(scale) ? scale : 1.0;
  // One device unit per point: the port's figure pixels and its fonts, sized
  // for a 72-dpi device, keep their proportions on paper.
  printer->setResolution(72);
  printer_ = printer;
  int first = 1;
  int last = 1;
  knowsPageRange(&first, &last);
  if (printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0) {
    first = std::max(first, printer->fromPage());
    if (printer->toPage() > 0) last = std::min(last, printer->toPage());
  }
  beginDocument();
  QPainter painter;
  bool printed = first <= last && painter.begin(printer);
  // The pages are laid out in figure pixels (rectForPage): this scale puts
  // them on paper at the lengths the figure's measures state, times the
  // print's scale.
  if (printed) painter.scale(printScale_ / figure_pixels_per_point(), printScale_ / figure_pixels_per_point());
  for (int page = first; printed && page <= last; ++page) {
    if (page > first && !printer->newPage()) printed = false;
    else drawPrintPage(&painter, rectForPage(page));
  }
  if (painter.isActive()) printed = painter.end() && printed;
  endDocument();
  printer_ = nullptr;
  printScale_ = 1.0;
  return printed;
}
