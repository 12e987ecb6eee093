#include "app/panels/calculator_panel.h"

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <vector>

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/text/text_view.h"
#include "platform/kp_qt_bridge.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

KPCalculatorPanel* g_panel = nullptr;
constexpr UINT kActivate = 6;
constexpr UINT kMouseMoved = 512;
constexpr UINT kButtonDown = 513;

// The result text: UTF-8 infinity signs, every other byte a kernel byte.
// The exponents of a unit (the kernel's bytes 0xB2 and 0xB3, and the
// exponent bytes 1 and 2) are written as the escapes "\2 " and "\3 ",
// which the text view raises.
QString result_qstring(const std::string& text) {
  static const std::string infinity = "\xE2\x88\x9E";
  std::string bytes;
  for (char c : text) {
    if (c == '\xB2') bytes += '\x01';
    else if (c == '\xB3') bytes += '\x02';
    else bytes += c;
  }
  const std::vector<char> escaped = prepare_replace_exponents(bytes.c_str());
  const std::string plain(escaped.data());
  QString out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = plain.find(infinity, start);
    out += kp_qstring(plain.substr(start, at == std::string::npos ? std::string::npos : at - start).c_str());
    if (at == std::string::npos) return out;
    out += QChar(0x221E);
    start = at + infinity.size();
  }
}

}  // namespace

KPResultTextField::KPResultTextField(QWidget* parent) : QWidget(parent) {
  kp_set_item_id(this, kCalcResult);
  setMinimumHeight(24);
  setMouseTracking(true);
}

QSize KPResultTextField::sizeHint() const { return {160, 24}; }

void KPResultTextField::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(QColor::fromRgbF(0.5, 0.5, 0.5));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  if (calculator.result.empty()) return;
  QTextDocument text;
  text.setDocumentMargin(0);
  text.setDefaultFont(font());
  text.setPlainText(result_qstring(calculator.result));
  NSKelvoTextView::replaceExponents(&text);
  const QSizeF size = text.size();
  painter.translate(4, std::max(0.0, (height() - size.height()) / 2));
  QAbstractTextDocumentLayout::PaintContext context;
  context.palette.setColor(QPalette::Text, Qt::black);
  text.documentLayout()->draw(&painter, context);
}

void KPResultTextField::mouseMoveEvent(QMouseEvent*) {
  calculator_result_field(kMouseMoved);
  // A shown result is picked up with a click and dropped into the figure.
  if (calculator.result_cursor) setCursor(Qt::OpenHandCursor);
  else unsetCursor();
}

void KPResultTextField::mousePressEvent(QMouseEvent*) {
  calculator_result_field(kButtonDown);
  if (auto* view = qobject_cast<QWidget*>(kp_qobject(current_figure_view))) {
    view->window()->raise();
    view->window()->activateWindow();
  }
}

KPCalculatorPanel::KPCalculatorPanel(WNDPROC procedure) : procedure_(procedure) {
  setWindowFlag(Qt::Tool);
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* layout = new QVBoxLayout(this);
  formula_ = new QLineEdit(this);
  formula_->setMaxLength(static_cast<int>(kFormulaLimit));
  kp_set_item_id(formula_, kCalcFormula);
  connect(formula_, &QLineEdit::textChanged, this, [this] { command(kCalcFormula, kCalcTextChanged); });
  connect(formula_, &QLineEdit::returnPressed, this, [this] { command(kCalcEvaluate); });
  layout->addWidget(formula_);
  auto* grid = new QGridLayout;
  struct button {
    const char* label;
    int id;
  };
  static const button buttons[] = {
      {"inv", kCalcInverse}, {"sin", kCalcSin},   {"cos", kCalcCos},   {"tan", kCalcTan},
      {"sqrt", kCalcSqrt},   {"^", kCalcPower},   {"ln", kCalcLn},     {"log", kCalcLog},
      {"abs", kCalcAbs},     {"pi", kCalcPi},     {"(", kCalcOpen},    {")", kCalcCloseParen},
      {"+", kCalcPlus},      {"-", kCalcMinus},   {"*", kCalcTimes},   {"/", kCalcOver},
      {"C", kCalcClear},     {"=", kCalcEvaluateButton},
  };
  int at = 0;
  for (const button& b : buttons) {
    auto* push = new QPushButton(QString::fromLatin1(b.label), this);
    push->setAutoDefault(false);
    push->setFocusPolicy(Qt::NoFocus);
    kp_set_item_id(push, b.id);
    const int id = b.id;
    connect(push, &QPushButton::clicked, this, [this, id] { command(id); });
    grid->addWidget(push, at / 4, at % 4);
    ++at;
  }
  layout->addLayout(grid);
  result_ = new KPResultTextField(this);
  layout->addWidget(result_);
}

LRESULT KPCalculatorPanel::command(int id, int note) {
  return sendMessage(WM_COMMAND, static_cast<WPARAM>(note) << 16 | static_cast<WPARAM>(id), 0);
}

LRESULT KPCalculatorPanel::sendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return procedure_ ? procedure_(handle(), message, wparam, lparam) : 0;
}

void KPCalculatorPanel::closeEvent(QCloseEvent* event) {
  // The kernel hears the close while the panel is still shown, once.
  if (isVisible()) command(kCalcClose);
  QDialog::closeEvent(event);
}

void KPCalculatorPanel::keepAboveFigure() {
  auto* view = qobject_cast<QWidget*>(kp_qobject(current_figure_view));
  QWidget* figure = view ? view->window() : nullptr;
  if (!figure || figure == this) return;
  // A transient window stays above the window it belongs to; it is not
  // owned by it, so closing the figure leaves the panel alone. The window
  // system reads the owner when the panel is shown.
  figure->winId();
  winId();
  QWindow* owner = figure->windowHandle();
  if (!windowHandle() || !owner || windowHandle()->transientParent() == owner) return;
  windowHandle()->setTransientParent(owner);
  if (isVisible()) {
    hide();
    show();
  }
}

void KPCalculatorPanel::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // A click on the close box may activate the panel after it closed: a
  // panel no longer shown does not bring calculator mode back.
  if (event->type() == QEvent::ActivationChange && isVisible() && isActiveWindow()) sendMessage(kActivate, 2, 0);
}

HWND open_calculator_panel(const char*, WNDPROC procedure) {
  if (!g_panel) g_panel = new KPCalculatorPanel(procedure);
  g_panel->keepAboveFigure();
  g_panel->show();
  g_panel->raise();
  HWND handle = g_panel->handle();
  g_panel->sendMessage(WM_INITDIALOG, 0, 0);
  g_panel->sendMessage(kActivate, 2, 0);
  return handle;
}

KPCalculatorPanel* calculator_panel() { return g_panel; }

void free_calculator_panel() {
  if (!g_panel) return;
  g_panel->close();
  // A hidden panel hears no close: the kernel is told here.
  if (calculator_window == g_panel->handle()) g_panel->sendMessage(WM_COMMAND, kCalcClose, 0);
  delete g_panel;
  g_panel = nullptr;
}
