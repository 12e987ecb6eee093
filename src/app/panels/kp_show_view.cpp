#include "app/panels/kp_show_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QHBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/units.h"
#include "kernel/render/page_image.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/window/figure_scroll.h"
#include "platform/kp_qt_bridge.h"

namespace {

bool g_figure_title = false;
bool g_date_time = false;

std::function<int(NSShowPageController*)>& sheet_responder() {
  static std::function<int(NSShowPageController*)> responder;
  return responder;
}

QString lang(int row) { return kp_qstring(kernel_string(row)); }

constexpr int kControlsWidth = 230;

}  // namespace

bool KPShowView::addfiguretitle() { return g_figure_title; }
bool KPShowView::adddatetime() { return g_date_time; }
void KPShowView::addfiletitleAction(int value) { g_figure_title = value != 0; }
void KPShowView::adddatetimeAction(int value) { g_date_time = value != 0; }

KPShowView::KPShowView(QWidget* parent) : QWidget(parent) { setMouseTracking(false); }

void KPShowView::setDocument(KPDocument* document, bool show_mode) {
  document_ = document;
  figureView_ = document ? document->figureView() : nullptr;
  isInShowViewMode_ = show_mode;
  printScaleValue_ = document && !show_mode ? document->printScalingFactor() : 1.0;
  if (!(printScaleValue_ > 0) || !std::isfinite(printScaleValue_)) printScaleValue_ = 1.0;
  int32_t image_width = 0;
  int32_t image_height = 0;
  double scale = 0;
  const page_image image = make_figure_page_image(printScaleValue_, &image_width, &image_height, &scale);
  figureShow_ = image.pixels ? QImage(reinterpret_cast<const uchar*>(image.pixels), image.width, image.height,
                                      static_cast<qsizetype>(image.pitch) * 4, QImage::Format_RGB32)
                                   .copy()
                             : QImage();
  largeur_ = image_width;
  hauteur_ = image_height;
  rapport_ = scale;
  firstDrawRect_ = true;
  if (QPrinter* printer = document ? document->printInfo() : nullptr)
    orientation_ = printer->pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0;
  setFixedSize(kControlsWidth + std::max(largeur_, 300), std::max(hauteur_, 300) + 20);
  fugureRect_ = QRectF(width() - largeur_, height() - hauteur_, largeur_, hauteur_);
}

void KPShowView::createInterface(bool show_mode) {
  isInShowViewMode_ = show_mode;
  if (!interfaceCreated_) {
    auto* container = new QWidget(this);
    container->setGeometry(0, 0, 225, height());
    // The frames count from the bottom of the view.
    const int h = height();
    filetitle_ = new QCheckBox(lang(688), container);
    filetitle_->setGeometry(0, h - 30, 225, 30);
    filetitle_->setChecked(g_figure_title);
    connect(filetitle_, &QCheckBox::toggled, this, [](bool on) { addfiletitleAction(on ? 1 : 0); });
    datetime_ = new QCheckBox(lang(689), container);
    datetime_->setGeometry(0, h - 60, 225, 30);
    datetime_->setChecked(g_date_time);
    connect(datetime_, &QCheckBox::toggled, this, [](bool on) { adddatetimeAction(on ? 1 : 0); });
    changeOriantation_ = new QCheckBox(lang(563), container);
    changeOriantation_->setGeometry(0, h - 95, 150, 30);
    changeOriantation_->setChecked(orientation_ == 1);
    connect(changeOriantation_, &QCheckBox::toggled, this, [this](bool on) { changeOriantationAction(on ? 1 : 0); });
    showPageStr_ = new QLabel(container);
    showPageStr_->setGeometry(0, 5, 200, 220);
    showPageStr_->setWordWrap(true);
    showPageStr_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    interfaceCreated_ = true;
  }
  for (QCheckBox* box : {filetitle_, datetime_, changeOriantation_}) box->setVisible(!show_mode);
  showPageStr_->setText(lang(559) + ' ' + lang(show_mode ? 562 : 561) + ' ' + lang(560));
  placePageRect();
}

void KPShowView::changeOriantationAction(int value) {
  orientation_ = value ? 1 : 0;
  if (document_) document_->setPageOrientation(orientation_ == 1);
  forceFirstDrawRect_ = true;
  placePageRect();
  update();
}

void KPShowView::readPageGeometry() {
  margins_ = QMarginsF();
  printSize_ = QSizeF();
  if (isInShowViewMode_) {
    if (!figureView_) return;
    tagRECT b{};
    figureView_->intBounds(&b);
    printSize_ = QSizeF(b.right - b.left, b.bottom - b.top);
    return;
  }
  QPrinter* printer = document_ ? document_->printInfo() : nullptr;
  if (!printer) return;
  // The paper in figure pixels at the scale the page is printed at.
  const double k = figure_pixels_per_point() / printScaleValue_;
  const QPageLayout layout = printer->pageLayout();
  const QRectF full = layout.fullRect(QPageLayout::Point);
  printSize_ = QSizeF(std::floor(full.width() * k), std::floor(full.height() * k));
  margins_ = layout.margins(QPageLayout::Point) * k;
}

void KPShowView::placePageRect() {
  readPageGeometry();
  if (!figureView_ || rapport_ <= 0) return;
  tagRECT b{};
  figureView_->intBounds(&b);
  const int32_t w = static_cast<int32_t>(printSize_.width());
  const int32_t h = static_cast<int32_t>(printSize_.height());
  const bool centre = forceFirstDrawRect_ ||
                      (firstDrawRect_ && (isInShowViewMode_ || !document_ || document_->printRect().isNull()));
  if (centre) {
    // The page centred on the part of the figure the window shows.
    const int32_t page_x = b.left + (b.right - b.left) / 2 - w / 2;
    const int32_t page_y = b.top + (b.bottom - b.top) / 2 - h / 2;
    const double r = rapport_ * printScaleValue_;
    printRect_ = QRectF(thumbnailPoint(page_x, page_y), QSizeF(w * r, h * r));
    firstDrawRect_ = forceFirstDrawRect_ = false;
  } else if (firstDrawRect_) {
    printRect_ = document_->printRect();
    printRect_.setSize(QSizeF(w * rapport_ * printScaleValue_, h * rapport_ * printScaleValue_));
    firstDrawRect_ = false;
  }
  originFromRect();
}

// The thumbnail shows the drawing page at rapport_, the figure on it at
// rapport_ times the print scale (about the figure's origin).
QPointF KPShowView::thumbnailPoint(double x, double y) const {
  return {fugureRect_.x() + (x * printScaleValue_ - drawing_page.left) * rapport_,
          fugureRect_.y() + (y * printScaleValue_ - drawing_page.top) * rapport_};
}

QPointF KPShowView::figurePoint(QPointF thumbnail) const {
  return {(drawing_page.left + (thumbnail.x() - fugureRect_.x()) / rapport_) / printScaleValue_,
          (drawing_page.top + (thumbnail.y() - fugureRect_.y()) / rapport_) / printScaleValue_};
}

// The figure point of the printable area's corner follows the rectangle.
void KPShowView::originFromRect() {
  if (rapport_ <= 0) return;
  const QPointF page = figurePoint(printRect_.topLeft());
  printingOrigin_ = QPointF(std::trunc(page.x() + margins_.left()), std::trunc(page.y() + margins_.top()));
}

QRectF KPShowView::clampedRect(QPointF top_left) const {
  QRectF r(top_left, printRect_.size());
  // Not past the thumbnail's left and bottom edges; one pixel inside its
  // right and top edges.
  if (r.x() < fugureRect_.x()) r.moveLeft(fugureRect_.x());
  if (r.bottom() > fugureRect_.bottom()) r.moveBottom(fugureRect_.bottom());
  if (r.x() + r.width() >= fugureRect_.x() + fugureRect_.width())
    r.moveLeft(fugureRect_.x() + fugureRect_.width() - 1 - r.width());
  if (r.y() <= fugureRect_.y()) r.moveTop(fugureRect_.y() + 1);
  return r;
}

void KPShowView::sendViewOrigin() {
  if (figureView_)
    set_figure_window_origin(kp_hwnd(figureView_.data()), static_cast<int32_t>(printingOrigin_.x()),
                             static_cast<int32_t>(printingOrigin_.y()));
}

void KPShowView::sendPrintingOrigin() {
  if (figureView_) figureView_->setPrintedPageOrigin(printingOrigin_.x(), printingOrigin_.y());
}

void KPShowView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!figureShow_.isNull()) painter.drawImage(fugureRect_.topLeft(), figureShow_);
  if (printRect_.isEmpty()) return;
  const double r = rapport_ * printScaleValue_;
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_Multiply);
  const QColor grey = QColor::fromRgbF(0.8f, 0.8f, 0.8f);
  const QRectF p = printRect_;
  if (margins_.left() * r >= 1) painter.fillRect(QRectF(p.left(), p.top(), margins_.left() * r, p.height()), grey);
  if (margins_.bottom() * r >= 1)
    painter.fillRect(QRectF(p.left(), p.bottom() - margins_.bottom() * r, p.width(), margins_.bottom() * r), grey);
  if (margins_.top() * r >= 1) painter.fillRect(QRectF(p.left(), p.top(), p.width(), margins_.top() * r), grey);
  if (margins_.right() * r >= 1)
    painter.fillRect(QRectF(p.right() - margins_.right() * r, p.top(), margins_.right() * r, p.height()), grey);
  painter.restore();
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(p.adjusted(margins_.left() * r, margins_.top() * r, -margins_.right() * r, -margins_.bottom() * r));
}

void KPShowView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !printRect_.contains(event->position())) return;
  dragging_ = true;
  dragOffset_ = event->position() - printRect_.topLeft();
  setCursor(Qt::ClosedHandCursor);
}

void KPShowView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  printRect_ = clampedRect(event->position() - dragOffset_);
  originFromRect();
  update();
}

void KPShowView::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_) return;
  mouseMoveEvent(event);
  dragging_ = false;
  unsetCursor();
}

// ------------------------------------------------------------ the sheet

NSShowPageController::NSShowPageController(QWidget* parent) : KPDialogPanel(nullptr, parent) {
  setWindowModality(Qt::WindowModal);
  auto* layout = new QVBoxLayout(this);
  theShowView_ = new KPShowView(this);
  layout->addWidget(theShowView_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* cancel = new QPushButton(lang(344), this);
  okButton_ = new QPushButton(this);
  okButton_->setDefault(true);
  buttons->addWidget(cancel);
  buttons->addWidget(okButton_);
  layout->addLayout(buttons);
  bindButton(okButton_, 1);
  bindButton(cancel, 2);
}

void NSShowPageController::setSheetResponder(std::function<int(NSShowPageController*)> responder) {
  sheet_responder() = std::move(responder);
}

bool NSShowPageController::doDisplaySheet(KPDocument* document) {
  theShowView_->setDocument(document, isShowViewMode_);
  theShowView_->createInterface(isShowViewMode_);
  adjustSize();
  return (sheet_responder() ? sheet_responder()(this) : runModal()) == 1;
}

bool NSShowPageController::DoShowWindow(KPDocument* document) {
  if (!document) document = KPDocument::currentDocument();
  if (!document || !document->figureView()) return false;
  // The thumbnail is drawn from the current figure.
  if (KPDocument::currentDocument() != document) document->myMakeMainWindow();
  NSShowPageController sheet(document->figureWindow());
  sheet.isShowViewMode_ = true;
  sheet.okButton_->setText(lang(342));
  if (!sheet.doDisplaySheet(document)) return false;
  sheet.theShowView_->sendViewOrigin();
  return true;
}

bool NSShowPageController::DoPrintWindow(KPDocument* document) {
  if (!document) document = KPDocument::currentDocument();
  if (!document || !document->figureView()) return false;
  // The thumbnail is drawn from the current figure.
  if (KPDocument::currentDocument() != document) document->myMakeMainWindow();
  NSShowPageController sheet(document->figureWindow());
  sheet.isShowViewMode_ = false;
  sheet.okButton_->setText(lang(515));
  if (!sheet.doDisplaySheet(document)) return false;
  sheet.theShowView_->sendPrintingOrigin();
  document->setPrintRect(sheet.theShowView_->printRect());
  sheet.hide();
  return document->printDocument();
}
