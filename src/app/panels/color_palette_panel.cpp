#include "app/panels/color_palette_panel.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QPointer>
#include <QTimer>

#include "app/document/kp_document.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_palette.h"
#include "app/view/kp_figure_view.h"
#include "kernel/render/color_palette.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"
#include "platform/kp_types_converter.h"
#include "platform/win_constants.h"

namespace {

constexpr UINT kCommand = 273;
constexpr WPARAM kCellChosen = 1198;
constexpr int kRowBackColorTitle = 758;
constexpr int kRowOk = 342;
constexpr int kRowCancel = 344;

NSShowPalette* g_panel = nullptr;
// The painter of the cell view being painted, lent to the kernel.
QPainter* g_painting = nullptr;
std::function<int(QColorDialog*)> g_back_responder;

QColor qcolor(uint32_t word) { return NSKelvoTypesConverter::KPCOLORToNSColorV2(word); }

uint16_t menu_group(int index) { return attrib_menus[index] ? static_cast<uint16_t>(attrib_menus[index]->id) : 0; }

// The icon the tools palette shows for an attribute menu's current value.
QImage menu_icon(int index) {
  if (!NSKelvoToolsPanel::exists()) return {};
  return NSKelvoToolsPanel::sharedPanel()->getImageByID(make_tool_id(menu_group(index), 0));
}

palette_painter painter_on(QPainter* p) {
  palette_painter out;
  out.context = p;
  out.fill_polygon = [](void* c, const tagPOINT* points, int count, uint32_t color) {
    QPolygon poly;
    for (int i = 0; i < count; ++i) poly << QPoint(points[i].x, points[i].y);
    auto* q = static_cast<QPainter*>(c);
    q->setPen(Qt::NoPen);
    q->setBrush(qcolor(color));
    q->drawPolygon(poly);
  };
  out.line = [](void* c, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t color) {
    auto* q = static_cast<QPainter*>(c);
    q->setPen(qcolor(color));
    q->drawLine(x0, y0, x1, y1);
  };
  out.fill_rect = [](void* c, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t color) {
    static_cast<QPainter*>(c)->fillRect(QRect(QPoint(l, t), QPoint(r - 1, b - 1)), qcolor(color));
  };
  out.icon = [](void* c, int menu, int32_t x, int32_t y) {
    const QImage image = menu_icon(menu);
    if (image.isNull()) return;
    auto* q = static_cast<QPainter*>(c);
    q->save();
    q->setRenderHint(QPainter::SmoothPixmapTransform);
    q->drawImage(QRect(x, y, 16, 16), image);
    q->restore();
  };
  return out;
}

LPARAM packed(const QPoint& p) {
  return static_cast<LPARAM>((static_cast<uint32_t>(p.y()) & 0xFFFF) << 16 | (static_cast<uint32_t>(p.x()) & 0xFFFF));
}

void focus_figure() {
  if (KPFigureView* view = KPDocument::currentFigureView()) view->setFocus();
}

}  // namespace

void install_hexagon_ops() {
  palette_window_ops ops;
  ops.painter_for = [](HWND, palette_painter* out) {
    if (!g_painting) return false;
    *out = painter_on(g_painting);
    return true;
  };
  ops.invalidate = [](HWND window) {
    if (auto* w = qobject_cast<QWidget*>(static_cast<QObject*>(window))) w->update();
  };
  // The window that holds the cells and answers messages (the colour
  // choice dialog) gets the message once the click is over, also inside
  // its own modal loop.
  ops.post_to_parent = [](HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* w = qobject_cast<QWidget*>(static_cast<QObject*>(window));
    QWidget* parent = w ? w->parentWidget() : nullptr;
    while (parent && !dynamic_cast<KPMessageTarget*>(parent)) parent = parent->parentWidget();
    if (!parent) return;
    QPointer<QWidget> target = parent;
    QTimer::singleShot(0, parent, [target, message, wparam, lparam] {
      if (auto* t = dynamic_cast<KPMessageTarget*>(target.data())) t->sendMessage(message, wparam, lparam);
    });
  };
  ops.show_palette = [] {
    if (g_panel) g_panel->paint(nullptr);
  };
  install_palette_window_ops(ops);
}

// ------------------------------------------------------------ cell view

NSPaletteView::NSPaletteView(QWidget* parent) : QWidget(parent) {
  setFixedSize(250, 260);
  palette_wnd_proc(kp_hwnd(this), WM_CREATE, 0, 0);
  color_hexagon_wnd_proc(kp_hwnd(this), WM_CREATE, 0, 0);
}

bool NSPaletteView::isPaletteWindow() const { return color_palette_window == kp_hwnd(const_cast<NSPaletteView*>(this)); }

// The palette panel's cells are the palette window: its procedure paints
// them with the colour menu's icon and answers their clicks. The colour
// choice dialog's cells are the hexagon procedure's.
void NSPaletteView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), qcolor(back_color));
  g_painting = &p;
  if (isPaletteWindow()) palette_wnd_proc(kp_hwnd(this), WM_PAINT, 0, 0);
  else color_hexagon_wnd_proc(kp_hwnd(this), WM_PAINT, 0, 0);
  g_painting = nullptr;
}

void NSPaletteView::mousePressEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  if (isPaletteWindow()) {
    const int cell = palette_window_cell_at(at.x(), at.y());
    palette_wnd_proc(kp_hwnd(this), WM_LBUTTONDOWN, 0, packed(at));
    if (cell != 0 && func_) func_(funcWindow_, kCommand, kCellChosen, palette_color_index);
    return;
  }
  const int before = palette_hit_test(at.x(), at.y());
  color_hexagon_wnd_proc(kp_hwnd(this), WM_LBUTTONDOWN, 0, packed(at));
  if (before >= 0 && func_) func_(funcWindow_, kCommand, kCellChosen, palette_color_index);
}

void NSPaletteView::mouseReleaseEvent(QMouseEvent* e) {
  const LPARAM at = packed(e->position().toPoint());
  if (isPaletteWindow()) palette_wnd_proc(kp_hwnd(this), WM_LBUTTONUP, 0, at);
  else color_hexagon_wnd_proc(kp_hwnd(this), WM_LBUTTONUP, 0, at);
}

void NSPaletteView::mouseDoubleClickEvent(QMouseEvent* e) {
  // A quick second click on the palette is a click of its own.
  if (isPaletteWindow()) mousePressEvent(e);
  else color_hexagon_wnd_proc(kp_hwnd(this), 515, 0, packed(e->position().toPoint()));
}

// ---------------------------------------------------------------- panel

NSShowPalette* NSShowPalette::shared() {
  if (!g_panel) {
    g_panel = new NSShowPalette();
    g_panel->initViews();
  }
  return g_panel;
}

bool NSShowPalette::exists() { return g_panel != nullptr; }

void NSShowPalette::destroy() {
  delete g_panel;
  g_panel = nullptr;
  color_palette_window = nullptr;
}

NSShowPalette::NSShowPalette() : QWidget(nullptr, Qt::Tool) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setObjectName(QStringLiteral("colorPalettePanel"));
}

void NSShowPalette::initViews() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(5, 5, 5, 5);
  layout->setSpacing(2);
  auto make_close = [this](QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setFixedSize(9, 9);
    b->setFlat(true);
    connect(b, &QPushButton::clicked, this, [this, b] { closeButtonAction(b); });
    return b;
  };
  // One row per attribute menu from index 3, the last at the bottom.
  for (int i = 3; i < kAttributeMenuCount && attrib_menus[i]; ++i) {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);
    h->addWidget(make_close(row), 0, Qt::AlignTop);
    const menu* m = attrib_menus[i];
    for (int j = 1; j < m->capacity && m->names && m->names[j]; ++j) {
      auto* b = new QToolButton(row);
      b->setCheckable(true);
      b->setAutoRaise(true);
      b->setProperty("tag", static_cast<uint32_t>(make_tool_id(static_cast<uint16_t>(m->id), static_cast<uint16_t>(j))));
      b->setObjectName(QStringLiteral("attrib_%1_%2").arg(i).arg(j));
      connect(b, &QToolButton::clicked, this, [this, b] { attribButtonAction(b); });
      h->addWidget(b);
    }
    h->addStretch(1);
    settingsViews_[static_cast<size_t>(i)] = row;
    row->hide();
  }
  for (int i = kAttributeMenuCount - 1; i >= 3; --i)
    if (settingsViews_[static_cast<size_t>(i)]) layout->insertWidget(0, settingsViews_[static_cast<size_t>(i)]);

  colorPart_ = new QWidget(this);
  auto* part = new QHBoxLayout(colorPart_);
  part->setContentsMargins(0, 0, 0, 0);
  auto* side = new QVBoxLayout;
  closePaletteButton_ = make_close(colorPart_);
  iconButton_ = new QPushButton(colorPart_);
  iconButton_->setFixedSize(22, 22);
  colorWell_ = new QPushButton(colorPart_);
  colorWell_->setFixedSize(32, 32);
  colorWell_->setObjectName(QStringLiteral("colorWell"));
  side->addWidget(closePaletteButton_);
  // The cells show the colour menu's icon themselves.
  iconButton_->hide();
  side->addStretch(1);
  side->addWidget(colorWell_);
  part->addLayout(side);
  paletteView_ = new NSPaletteView(colorPart_);
  paletteView_->setPaletteFunc(&color_palette_proc, kp_hwnd(this));
  part->addWidget(paletteView_);
  layout->addWidget(colorPart_);

  // The colour well opens the full colour chooser without blocking.
  wellDialog_ = new QColorDialog(this);
  wellDialog_->setOption(QColorDialog::NoButtons, true);
  connect(colorWell_, &QPushButton::clicked, this, [this] {
    wellDialog_->setCurrentColor(color());
    wellDialog_->show();
  });
  connect(wellDialog_, &QColorDialog::currentColorChanged, this, [this](const QColor& c) {
    if (wellDialog_->isVisible()) changeColor(c);
  });
  currentColors_.fill(default_color);
}

QWidget* NSShowPalette::row(int index) const {
  return index >= 3 && index < static_cast<int>(settingsViews_.size()) ? settingsViews_[static_cast<size_t>(index)] : nullptr;
}

QToolButton* NSShowPalette::rowButton(int index, int item) const {
  QWidget* r = row(index);
  return r ? r->findChild<QToolButton*>(QStringLiteral("attrib_%1_%2").arg(index).arg(item)) : nullptr;
}

int NSShowPalette::activeColorMenu() const {
  for (int c = 0; c < 3; ++c)
    if (attrib_menu_shown[c]) return c;
  return -1;
}

void NSShowPalette::setIndexedColor(uint8_t index) {
  indexedColor_ = index;
  colorWell_->setStyleSheet(QStringLiteral("background-color: %1").arg(color().name()));
}

QColor NSShowPalette::color() const { return qcolor(color_by_index(indexedColor_)); }

void NSShowPalette::paint(const char* title) {
  const int c = activeColorMenu();
  const bool colour_shown = c >= 0;
  color_palette_window = kp_hwnd(paletteView_);
  if (colour_shown) {
    if (title) wellDialog_->setWindowTitle(QString::fromUtf8(title));
    colorWell_->setStyleSheet(
        QStringLiteral("background-color: %1").arg(qcolor(currentColors_[static_cast<size_t>(c)]).name()));
    palette_color_index = static_cast<uint8_t>(nearest_color_index(currentColors_[static_cast<size_t>(c)]));
    paletteView_->update();
  }
  if (title) setWindowTitle(QString::fromUtf8(title));
  int rows = 0;
  NSKelvoToolsPanel* tools = NSKelvoToolsPanel::exists() ? NSKelvoToolsPanel::sharedPanel() : nullptr;
  for (int i = kAttributeMenuCount - 1; i >= 3; --i) {
    QWidget* r = row(i);
    if (!r) continue;
    if (!attrib_menu_shown[i]) {
      r->hide();
      continue;
    }
    ++rows;
    const menu* m = attrib_menus[i];
    for (int j = 1; m && j < m->capacity && m->names && m->names[j]; ++j) {
      QToolButton* b = rowButton(i, j);
      if (!b) continue;
      const uint32_t tag = make_tool_id(static_cast<uint16_t>(m->id), static_cast<uint16_t>(j));
      if (tools) {
        if (!actionIsActivated_) b->setIcon(QIcon(QPixmap::fromImage(tools->getImageByID(tag))));
        b->setChecked(tools->getStateByID(tag) == 1);
      }
    }
    r->show();
  }
  colorPart_->setVisible(colour_shown);
  closePaletteButton_->setVisible(colour_shown && attrib_palette_window != nullptr);
  colorWell_->setVisible(colour_shown);
  if (!colour_shown && rows == 0) {
    QWidget::close();
    return;
  }
  if (colour_shown) iconButton_->setIcon(QIcon(QPixmap::fromImage(menu_icon(c))));
  if (!actionIsActivated_) adjustSize();
  show();
  raise();
  focus_figure();
}

void NSShowPalette::changeColor(const QColor& colour) {
  const int c = activeColorMenu();
  if (c < 0) return;
  const uint32_t word = NSKelvoTypesConverter::NSColorToKPCOLORV2(colour);
  // Kept first: the tool action shows the palette again, with this colour
  // pressed.
  currentColors_[static_cast<size_t>(c)] = word;
  palette_tool_action(make_tool_id(menu_group(c), 0), word);
  focus_figure();
}

void NSShowPalette::attribButtonAction(QToolButton* sender) {
  actionIsActivated_ = true;
  if (NSKelvoToolsPanel::exists()) NSKelvoToolsPanel::sharedPanel()->activeAttribByID(sender->property("tag").toUInt());
  paint(nullptr);
  actionIsActivated_ = false;
}

void NSShowPalette::closeButtonAction(QPushButton* sender) {
  if (sender->parentWidget() == colorPart_) {
    for (int i = 0; i < 3; ++i)
      if (attrib_menu_shown[i]) {
        attrib_menu_shown[i] = 0;
        paint(nullptr);
        return;
      }
  }
  for (int i = 3; i < kAttributeMenuCount; ++i)
    if (attrib_menu_shown[i] && row(i) == sender->parentWidget()) {
      attrib_menu_shown[i] = 0;
      paint(nullptr);
      return;
    }
}

LRESULT NSShowPalette::sendMessage(UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) QWidget::close();
  return 0;
}

void NSShowPalette::closeEvent(QCloseEvent* e) {
  // The palette window's procedure forgets which menus were shown and the
  // window; the chosen cell stays.
  wellDialog_->hide();
  palette_wnd_proc(kp_hwnd(paletteView_), WM_DESTROY, 0, 0);
  e->accept();
}

// ------------------------------------------------- colour choice dialog

namespace {
std::function<void(KPColorChoiceDialog*)> g_choice_responder;

void choice_cell_chosen(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (auto* dialog = dynamic_cast<KPColorChoiceDialog*>(static_cast<QObject*>(window)))
    dialog->sendMessage(message, wparam, lparam);
}
}  // namespace

KPColorChoiceDialog::KPColorChoiceDialog(QWidget* parent, uint8_t index) : QDialog(parent), chosen_(index) {
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  palette_ = new NSPaletteView(this);
  palette_->setPaletteFunc(&choice_cell_chosen, kp_hwnd(this));
  layout->addWidget(palette_);
  auto* buttons = new QHBoxLayout;
  auto* cancel = new QPushButton(kp_qstring(kernel_string(kRowCancel)), this);
  auto* ok = new QPushButton(kp_qstring(kernel_string(kRowOk)), this);
  ok->setDefault(true);
  kp_set_item_id(ok, IDOK);
  kp_set_item_id(cancel, IDCANCEL);
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  buttons->addWidget(ok);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] { sendMessage(WM_COMMAND, IDOK, 0); });
  connect(cancel, &QPushButton::clicked, this, [this] { sendMessage(WM_COMMAND, IDCANCEL, 0); });
  color_choice_dlgproc(kp_hwnd(this), WM_INITDIALOG, 0, 0);
}

LRESULT KPColorChoiceDialog::sendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kCommand && wparam == kCellChosen) {
    chosen_ = static_cast<uint8_t>(lparam & 0xFF);
    return 0;
  }
  if (color_choice_dlgproc(kp_hwnd(this), message, wparam, lparam) == 1)
    done((wparam & 0xFFFF) == IDOK ? QDialog::Accepted : QDialog::Rejected);
  return 0;
}

void set_color_choice_responder(std::function<void(KPColorChoiceDialog*)> responder) {
  g_choice_responder = std::move(responder);
}

bool run_color_choice(QWidget* parent, uint8_t* index) {
  const uint8_t saved = palette_color_index;
  const uint8_t start = index && *index < kPaletteCells ? *index : 40;
  palette_color_index = start;
  KPColorChoiceDialog dialog(parent, start);
  int result = QDialog::Rejected;
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    if (g_choice_responder) {
      dialog.show();
      g_choice_responder(&dialog);
      result = dialog.result();
    } else {
      result = dialog.exec();
    }
  }
  // The floating palette keeps the cell it showed.
  palette_color_index = saved;
  if (result != QDialog::Accepted) return false;
  if (index) *index = dialog.chosen();
  return true;
}

// ----------------------------------------------------------- kernel side

void show_color_palette(const char* title) { NSShowPalette::shared()->paint(title); }

void color_palette_proc(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kCommand || wparam != kCellChosen || !g_panel) return;
  g_panel->setIndexedColor(static_cast<uint8_t>(lparam & 0xFF));
  g_panel->changeColor(g_panel->color());
}

void set_palette_flags(uint16_t mask, const char* name) {
  uint8_t flags[kPaletteMenuFlags];
  palette_flags_from_mask(mask, flags);
  for (int i = 0; i < kPaletteMenuFlags && i <= kAttributeMenuCount; ++i) attrib_menu_shown[i] = flags[i];
  show_color_palette(name);
}

void set_back_color_responder(std::function<int(QColorDialog*)> responder) { g_back_responder = std::move(responder); }

int choose_back_color(uint32_t color, uint32_t, uint32_t* out) {
  QColorDialog dialog;
  dialog.setWindowTitle(kp_qstring(kernel_string(kRowBackColorTitle)));
  dialog.setCurrentColor(qcolor(color));
  dialog.setWindowModality(Qt::ApplicationModal);
  int answer = 2;
  {
    // Kernel timers and posted messages wait while the chooser runs.
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    if (g_back_responder) answer = g_back_responder(&dialog);
    else answer = dialog.exec() == QDialog::Accepted ? 1 : 2;
  }
  if (answer == 1 && out) *out = NSKelvoTypesConverter::NSColorToKPCOLORV2(dialog.currentColor());
  return answer == 1 ? 1 : 2;
}

bool choose_background_color(uint32_t* color, HWND) {
  if (!color) return false;
  uint32_t chosen = *color;
  if (choose_back_color(*color, 0, &chosen) != 1) return false;
  *color = chosen;
  return true;
}

void install_color_palette_services() {
  tool_services().set_palette_flags = &set_palette_flags;
}
