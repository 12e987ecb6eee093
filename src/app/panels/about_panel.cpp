#include "app/panels/about_panel.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QHBoxLayout>
#include <QScreen>
#include <QSysInfo>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/lang/kernel_string_fill.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/version_info.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/cursors.h"
#include "platform/kp_cursor.h"
#include "platform/kp_qt_bridge.h"

namespace {

// Each line fits a 50-byte slot.
constexpr const char* kCredits[kCreditLineCount] = {
    "Kelvo Nova",
    "Dynamic plane geometry",
    "Design: the Kelvo Nova team",
    "Geometry kernel: the Kelvo Nova developers",
    "Programming: the Kelvo Nova developers",
    "Interface: the Kelvo Nova developers",
    "Tool icons: the Kelvo Nova artists",
    "Help pages: the Kelvo Nova writers",
    "Translations: the Kelvo Nova translators",
    "Calculator exchange: the Kelvo Nova developers",
    "Testing: every Kelvo Nova tester",
    "Built with Qt 6 and C++20",
    "Thanks to the teachers who asked for it",
    "Thanks to every student who drew with it",
    "Thanks for using Kelvo Nova",
};

constexpr int kHoldMs = 3000;
constexpr int kFadeStepMs = 3;
constexpr double kFadeStep = 0.01;
constexpr int kSlideDrop = 12;

// The row of the program's web address.
constexpr int kRowWebAddress = 645;

bool open_with_desktop(const QUrl& url) { return QDesktopServices::openUrl(url); }
NSLinkTextField::Opener g_opener = &open_with_desktop;

NSAboutPanel* g_about = nullptr;
NSKelvoSplasher* g_splasher = nullptr;

bool g_inside_link = false;
KPCursor* g_cursor_on_entry = nullptr;

QColor with_alpha(QColor c, double alpha) {
  c.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
  return c;
}

void set_text_color(QLabel* field, const QColor& color) {
  QPalette palette = field->palette();
  palette.setColor(QPalette::WindowText, color);
  field->setPalette(palette);
}

bool figure_view_key(QKeyEvent* event) { return KPFigureView::keyDown(event, current_figure_view); }

bool bar_takes(const QList<QAction*>& actions, const QKeySequence& pressed) {
  for (QAction* a : actions) {
    if (!a->isEnabled()) continue;
    for (const QKeySequence& s : a->shortcuts())
      if (s.matches(pressed) == QKeySequence::ExactMatch) return true;
    if (a->menu() && bar_takes(a->menu()->actions(), pressed)) return true;
  }
  return false;
}

}  // namespace

const char* credit_line(int index) {
  return index >= 0 && index < kCreditLineCount ? kCredits[index] : "";
}

std::string about_version_line(const std::string& base, const std::optional<std::string>& source_version,
                               const std::optional<std::string>& build_version, const std::string& platform) {
  std::string line = base;
  if (source_version) line += " " + *source_version;
  if (build_version) line += " (build " + *build_version + ")";
  if (!platform.empty()) line += " " + platform;
  return line;
}

std::string running_platform_name() {
  const QString name = QSysInfo::prettyProductName();
  return (name.isEmpty() ? QSysInfo::kernelType() : name).toStdString();
}

// ---------------------------------------------------------------- about box

NSAboutPanel::NSAboutPanel(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("NSAboutPanel"));
  resize(360, 200);
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("<b>Kelvo Nova</b>"), this);
  title->setAlignment(Qt::AlignCenter);
  layout->addWidget(title);
  version_ = new QLabel(this);
  version_->setAlignment(Qt::AlignCenter);
  version_->setProperty("tag", kVersionTag);
  layout->addWidget(version_);
  link_ = new NSLinkTextField(QString(), this);
  link_->setAlignment(Qt::AlignCenter);
  // It reads as a link: the link colour, underlined.
  QPalette link_colors = link_->palette();
  link_colors.setColor(QPalette::WindowText, link_colors.color(QPalette::Link));
  link_->setPalette(link_colors);
  QFont link_font = link_->font();
  link_font.setUnderline(true);
  link_->setFont(link_font);
  layout->addWidget(link_, 0, Qt::AlignHCenter);
  layout->addStretch(1);
  // The credit lines sit on top of each other in a band of their own; the
  // current one slides down out of it while the next fades in.
  band_ = new QWidget(this);
  band_->setMinimumHeight(48);
  layout->addWidget(band_);
  current_field_ = new QLabel(band_);
  next_field_ = new QLabel(band_);
  for (QLabel* f : {current_field_, next_field_}) {
    f->setAlignment(Qt::AlignCenter);
    f->setGeometry(0, 8, 340, 24);
  }
  // A box without a title bar says how it closes: its OK button (or a
  // click anywhere on it, or Escape).
  auto* ok = new QPushButton(this);
  const QString ok_title = kelvo::lang::lang_native_string(lang_row::ok_button);
  ok->setText(ok_title.isEmpty() ? QStringLiteral("OK") : ok_title);
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, this, [this] { closeBox(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  layout->addLayout(buttons);
  setFrameLook();
  current_field_->setProperty("tag", kCurrentLineTag);
  next_field_->setProperty("tag", kNextLineTag);
  text_color_ = current_field_->palette().color(QPalette::WindowText);
  hold_.setSingleShot(true);
  hold_.setInterval(kHoldMs);
  QObject::connect(&hold_, &QTimer::timeout, this, [this] { startFade(); });
  fadeTimer_.setInterval(kFadeStepMs);
  QObject::connect(&fadeTimer_, &QTimer::timeout, this, [this] { fade(); });
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect visible = screen->availableGeometry();
    move(visible.x() + (visible.width() - width()) / 2, visible.y() + (visible.height() - height()) / 2);
  }
  awakeFromNib();
}

NSAboutPanel::~NSAboutPanel() {
  if (g_about == this) g_about = nullptr;
}

NSAboutPanel* NSAboutPanel::shared() {
  if (!g_about) g_about = new NSAboutPanel;
  return g_about;
}

NSAboutPanel* NSAboutPanel::existing() { return g_about; }

QLabel* NSAboutPanel::fieldWithTag(int tag) const {
  switch (tag) {
    case kCurrentLineTag:
      return current_field_;
    case kNextLineTag:
      return next_field_;
    case kVersionTag:
      return version_;
    default:
      return nullptr;
  }
}

void NSAboutPanel::awakeFromNib() {
  const std::string line = about_version_line(kernel_string(3), get_version_plist_value("SourceVersion"),
                                              get_version_plist_value("BuildVersion"), running_platform_name());
  // The row is a kernel text: Mac Roman.
  version_->setText(kp_qstring(line.c_str()));
  const QString address = kp_qstring(kernel_string(kRowWebAddress)).trimmed();
  link_->setText(address);
  link_->setVisible(link_->address().isValid());
}

void NSAboutPanel::display() {
  initSlider();
  show();
  raise();
}

void NSAboutPanel::initSlider() {
  stopTimers();
  // The lines are centred across the band, as wide as the box has grown.
  layout()->activate();
  for (QLabel* f : {current_field_, next_field_}) f->resize(std::max(band_->width(), 340), f->height());
  current_ = 0;
  next_ = 1;
  rest_ = current_field_->y();
  initSlide();
}

void NSAboutPanel::initSlide() {
  current_field_->setText(kp_qstring(credit_line(current_)));
  next_field_->setText(kp_qstring(credit_line(next_)));
  t_ = 0;
  updateFieldColors();
  hold_.start();
}

void NSAboutPanel::startFade() {
  hold_.stop();
  fadeTimer_.start();
}

void NSAboutPanel::fade() {
  updateFieldColors();
  t_ += kFadeStep;
  if (t_ > 1) {
    fadeTimer_.stop();
    slide();
  }
}

void NSAboutPanel::slide() {
  current_ = (current_ + 1) % kCreditLineCount;
  next_ = (current_ + 1) % kCreditLineCount;
  initSlide();
}

void NSAboutPanel::updateFieldColors() {
  set_text_color(current_field_, with_alpha(text_color_, 1 - 2 * t_));
  set_text_color(next_field_, with_alpha(text_color_, t_));
  current_field_->move(current_field_->x(), rest_ + static_cast<int>(kSlideDrop * t_));
  current_field_->update();
  next_field_->update();
}

void NSAboutPanel::stopTimers() {
  hold_.stop();
  fadeTimer_.stop();
  t_ = 0;
  if (current_field_) current_field_->move(current_field_->x(), rest_ ? rest_ : current_field_->y());
}

void NSAboutPanel::closeEvent(QCloseEvent* event) {
  stopTimers();
  QDialog::closeEvent(event);
}

void NSAboutPanel::mousePressEvent(QMouseEvent*) {
  // A click anywhere on the borderless box closes it (and the splash).
  closeBox();
}

void NSAboutPanel::closeBox() {
  if (g_splasher && g_splasher->splashWindow() == this && g_splasher->splashing())
    g_splasher->closeSplash();
  else
    close();
}

// Escape, and a close asked of the dialog: as a click, without closing
// twice.
void NSAboutPanel::reject() {
  if (g_splasher && g_splasher->splashWindow() == this && g_splasher->splashing()) g_splasher->closeSplash();
  QDialog::reject();
}

void NSAboutPanel::setFrameLook() {
  // Without the window manager's frame the box draws its own edge.
  setObjectName(QStringLiteral("NSAboutPanel"));
  setStyleSheet(QStringLiteral("#NSAboutPanel { border: 1px solid palette(dark); }"));
}

// ---------------------------------------------------------------- splash

NSKelvoSplasher::NSKelvoSplasher(NSAboutPanel* window, std::function<bool()> may_show, int duration_ms)
    : window_(window), mayShow_(std::move(may_show)), duration_(duration_ms) {
  g_splasher = this;
  NSKelvoWrapMachine::cwmPostMessage(kp_hwnd(this), 15, 0, 0);
}

NSKelvoSplasher::~NSKelvoSplasher() {
  if (g_splasher == this) g_splasher = nullptr;
  if (splashing_ && window_) window_->close();
}

LRESULT NSKelvoSplasher::sendMessage(UINT message, WPARAM, LPARAM) {
  if (message == 15 && (!mayShow_ || mayShow_())) startTimers();
  return 0;
}

void NSKelvoSplasher::startTimers() {
  if (!window_) return;
  window_->display();
  splashing_ = true;
  if (!timer_) {
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { closeSplash(); });
  }
  timer_->start(duration_);
  KPCursor::setCursorByName("AppStarting");
}

void NSKelvoSplasher::closeSplash() {
  if (!splashing_) return;
  splashing_ = false;
  if (timer_) timer_->stop();
  if (window_) window_->close();
  KPCursor::setCursorByName("Arrow");
}

bool splash_on_show() { return g_splasher && g_splasher->splashing(); }

// ---------------------------------------------------------------- link field

NSLinkTextField::NSLinkTextField(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
}

bool NSLinkTextField::inside() { return g_inside_link; }

QUrl NSLinkTextField::address() const {
  const QString t = text().trimmed();
  if (t.isEmpty() || t.contains(QLatin1Char(' '))) return {};
  QUrl url(QStringLiteral("http://") + t, QUrl::StrictMode);
  return url.isValid() && !url.host().isEmpty() ? url : QUrl();
}

void NSLinkTextField::setOpener(Opener opener) { g_opener = opener ? opener : &open_with_desktop; }

void NSLinkTextField::enterEvent(QEnterEvent* event) {
  g_cursor_on_entry = KPCursor::lastSet();
  // The hand, shown as the busy cursor of the splash is: the field lies
  // outside the figure windows.
  if (KPCursor* hand = KPCursor::loadCursor(kCursorHand)) KPCursor::setCursorByName(hand->name().c_str());
  g_inside_link = true;
  QLabel::enterEvent(event);
}

void NSLinkTextField::leaveEvent(QEvent* event) {
  g_inside_link = false;
  // The busy cursor is for the splash only: elsewhere the cursor from
  // before comes back.
  if (splash_on_show())
    KPCursor::setCursorByName("AppStarting");
  else
    KPCursor::setCursor(g_cursor_on_entry);
  g_cursor_on_entry = nullptr;
  QLabel::leaveEvent(event);
}

void NSLinkTextField::mousePressEvent(QMouseEvent* event) {
  // The press is the field's: the box around it does not close.
  event->accept();
}

void NSLinkTextField::mouseReleaseEvent(QMouseEvent* event) {
  // A click: the press and the release on the field. A text that makes no
  // address is ignored.
  event->accept();
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
  const QUrl url = address();
  if (url.isValid()) g_opener(url);
}

// ---------------------------------------------------------------- tinting

QImage tinted_image_with_color(const QImage& image, const QColor& color, QPainter::CompositionMode mode) {
  QImage out(image.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter p(&out);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.drawImage(0, 0, image);
  p.setCompositionMode(mode);
  p.fillRect(out.rect(), color);
  p.end();
  return out;
}

// ---------------------------------------------------------------- key equivalents

bool (*KPGeoMenu::figure_key_handler)(QKeyEvent* event) = &figure_view_key;

bool KPGeoMenu::performKeyEquivalent(QMenuBar* bar, QKeyEvent* event) {
  if (!event) return false;
  const QKeySequence pressed(event->keyCombination());
  if (bar && bar_takes(bar->actions(), pressed)) return false;
  return figure_key_handler && figure_key_handler(event);
}
