#include "app/panels/tools_palette.h"

#include "app/panels/about_panel.h"
#include "app/panels/color_palette_panel.h"
#include "app/panels/help_pages.h"

#include <QApplication>
#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/document/kp_document.h"
#include "kernel/window/figure_events.h"
#include "app/panels/menu_cell.h"
#include "app/panels/tool_icon.h"
#include "app/panels/tool_icon_art.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_config_window.h"
#include "app/panels/tools_pull_down.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"
#include "platform/kernel_services.h"
#include "platform/kp_cursor.h"
#include "platform/kp_menu.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_settings.h"

QPointer<NSGeoToolsMenu> last_tool_button;
int last_tool_item = 0;

namespace {

ToolActionSink g_sink = nullptr;
int (*g_icon_size_responder)() = nullptr;
NSKelvoToolsPanel* g_panel = nullptr;
QPointer<QColorDialog> g_color_well;
bool g_mouse_down = false;
QTimer* g_hold_timer = nullptr;

constexpr int kIconSize16Item = 50000;
constexpr int kIconSize32Item = 50001;
constexpr int kRowIcons16 = 777;
constexpr int kRowIcons32 = 776;
constexpr uint16_t kTrashId = 999;

int icon_size() { return tools_palette_icon_size(); }
int bar_height() { return icon_size() + 14; }      // toolbar_bar_height, toolbar_left_offset
int icon_box() { return icon_size() + 4; }          // toolbar_icon_box

QColor word_color(uint32_t word) { return QColor((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF); }
uint32_t color_word(const QColor& c) {
  return (static_cast<uint32_t>(c.red()) << 16) | (static_cast<uint32_t>(c.green()) << 8) |
         static_cast<uint32_t>(c.blue());
}

void send_tool_action(uint32_t tool_id, uint32_t color) {
  if (g_sink) {
    g_sink(tool_id, color);
    return;
  }
  if (KPFigureView* view = KPDocument::currentFigureView()) view->sendCurrentToolAction(tool_id, color, true);
}

void stop_hold_timer() {
  if (g_hold_timer) g_hold_timer->stop();
}

void start_hold_timer(NSGeoToolsMenu* button) {
  if (!g_hold_timer) {
    g_hold_timer = new QTimer(qApp);
    g_hold_timer->setSingleShot(true);
  }
  g_hold_timer->stop();
  g_hold_timer->disconnect();
  QPointer<NSGeoToolsMenu> target(button);
  QObject::connect(g_hold_timer, &QTimer::timeout, [target] {
    if (target) target->openPopUpMenu();
  });
  g_hold_timer->start(kHoldToOpenMs);
}

// The Trash shows whether it holds tools.
void show_trash_face() {
  if (trash_toolbox && trash_toolbox->icons && trash_toolbox->icons != kColorPopupIcons)
    trash_toolbox->icons[0] = const_cast<tool_icon*>(
        trash_tool_icon(trash_toolbox->icons[1] ? trash_face::Full : trash_face::Empty));
}

NSGeoToolsMenu* open_list_owner() {
  NSGeoToolsPullDownController* open = NSGeoToolsPullDownController::openPullDown();
  return open ? open->getOwner() : nullptr;
}

// Bevel rings of a button: light above and left when up, dark when pressed.
void draw_light_rect(QPainter& p, const QRectF& r, double alpha, bool up) {
  QColor first = up ? Qt::white : Qt::black, second = up ? Qt::black : Qt::white;
  first.setAlphaF(alpha);
  second.setAlphaF(alpha);
  p.setPen(first);
  p.drawLine(r.bottomLeft(), r.topLeft());
  p.drawLine(r.topLeft(), r.topRight());
  p.setPen(second);
  p.drawLine(r.bottomLeft(), r.bottomRight());
  p.drawLine(r.bottomRight(), r.topRight());
}

void draw_bezel(QPainter& p, QRectF r, int rings, bool up) {
  if (rings <= 0) return;
  double alpha = 1.0;
  const double step = 1.0 / rings;
  for (int i = 0; i < rings; ++i) {
    alpha -= step;
    r.adjust(1, 1, -1, -1);
    draw_light_rect(p, r, std::max(alpha, 0.15), up);
  }
}

}  // namespace

void set_tool_action_sink(ToolActionSink sink) { g_sink = sink; }

void palette_tool_action(uint32_t tool_id, uint32_t color) { send_tool_action(tool_id, color); }

// =================================================================== panel

NSKelvoToolsPanel* NSKelvoToolsPanel::sharedPanel() {
  if (!g_panel) g_panel = new NSKelvoToolsPanel;
  return g_panel;
}

bool NSKelvoToolsPanel::exists() { return g_panel != nullptr; }

NSKelvoToolsPanel::NSKelvoToolsPanel()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QStringLiteral("toolsPalette"));
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowOpacity(0.0);
  view_ = new NSKelvoToolsPanelView(this);
  // The bars cover the desktop: they follow every change of the screens.
  for (QScreen* screen : QGuiApplication::screens()) followScreen(screen);
  auto* app = static_cast<QGuiApplication*>(QCoreApplication::instance());
  connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
    followScreen(screen);
    screenParametersChanged();
  });
  connect(app, &QGuiApplication::screenRemoved, this, [this](QScreen*) { screenParametersChanged(); });
  connect(app, &QGuiApplication::primaryScreenChanged, this, [this](QScreen*) { screenParametersChanged(); });
}

void NSKelvoToolsPanel::followScreen(QScreen* screen) {
  if (!screen) return;
  connect(screen, &QScreen::geometryChanged, this, &NSKelvoToolsPanel::screenParametersChanged, Qt::UniqueConnection);
  connect(screen, &QScreen::availableGeometryChanged, this, &NSKelvoToolsPanel::screenParametersChanged,
          Qt::UniqueConnection);
}

void NSKelvoToolsPanel::screenParametersChanged() {
  // One change comes as several signals: the bars are built once, when
  // they are all in.
  if (rebuildPending_) return;
  rebuildPending_ = true;
  QTimer::singleShot(0, this, [this] {
    rebuildPending_ = false;
    if (tools_panel_window != kp_hwnd(this)) return;  // never built yet: start-up builds them
    const bool hidden = isHidden();
    // The Trash of the configuration mode stays at the right end.
    if (config_mode && trash_toolbox)
      trash_toolbox->pos_a = NSKelvoToolsPanelView::getDesktopRect().width() - 2 * icon_size() - 24;
    view_->rebuildBarsKeepingState();
    if (hidden) hide();
  });
}

NSKelvoToolsPanel::~NSKelvoToolsPanel() {
  if (fadeTimer_) fadeTimer_->stop();
  if (tools_panel_window == kp_hwnd(this)) tools_panel_window = nullptr;
  if (g_panel == this) g_panel = nullptr;
}

LRESULT NSKelvoToolsPanel::sendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == 106) view_->computeViewShape();
  else if (message == WM_USER) sendUserMessage(wparam, lparam);
  return 0;
}

LRESULT NSKelvoToolsPanel::sendUserMessage(WPARAM code, LPARAM value) {
  const auto id = static_cast<uint32_t>(value);
  if (code == 101) view_->selectGeoToolByID(id, true);
  else if (code == 102) view_->selectGeoToolByID(id, false);
  else if (code == 107) view_->selectGeoToolByArrowKey(static_cast<int>(value));
  return 0;
}

void NSKelvoToolsPanel::redoAllToolsFromMenusStruct() { view_->createToolsAndAttribsBars(); }

void NSKelvoToolsPanel::activeAttribByID(uint32_t tool_id) {
  menu* m = find_tool_menu(static_cast<int16_t>(tool_group(tool_id)));
  if (NSGeoToolsMenu* b = view_->buttonFor(m)) b->doSelect(tool_item(tool_id), true);
}

int NSKelvoToolsPanel::getStateByID(uint32_t tool_id) const {
  menu* m = find_tool_menu(static_cast<int16_t>(tool_group(tool_id)));
  NSGeoToolsMenu* b = view_->buttonFor(m);
  if (!b) return -1;
  return b->getSelectedItemIndex() == tool_item(tool_id) - 1 ? 1 : 0;
}

QImage NSKelvoToolsPanel::getImageByID(uint32_t tool_id) const {
  menu* m = find_tool_menu(static_cast<int16_t>(tool_group(tool_id)));
  if (!m) return {};
  const tool_icon* icon = tool_icon_from_field(m->single_icon);
  if (!icon && tool_icon_from_field(m->icons)) {
    // The slot is checked against the record: a slot past its entries has no icon.
    const int slot = m->id == kTrashId ? tool_item(tool_id) - 1 : tool_item(tool_id);
    if (slot >= 0 && slot < m->capacity && (slot == 0 || slot <= menu_entry_count(m)))
      icon = tool_icon_from_field(m->icons[slot]);
  }
  if (!icon) return {};
  return tool_icon_image(icon, icon_size(), back_color, light_gray_color, kNoListArrow);
}

void NSKelvoToolsPanel::startFade(bool fade_in) {
  if (fadeDone_) return;
  fadeAlpha_ = fade_in ? 0 : 1;
  fadeStep_ = fade_in ? 0.009 : -0.009;
  if (!fadeTimer_) {
    fadeTimer_ = new QTimer(this);
    connect(fadeTimer_, &QTimer::timeout, this, [this] { fadeTimerCallBack(); });
  }
  fadeTimer_->start(5);
}

void NSKelvoToolsPanel::fadeTimerCallBack() {
  setWindowOpacity(fadeAlpha_);
  if (fadeAlpha_ < 0) {
    fadeDone_ = true;
    fadeTimer_->stop();
    fadeAlpha_ = 0;
  } else if (fadeAlpha_ > 1) {
    fadeAlpha_ = 1;
    fadeDone_ = true;
    fadeTimer_->stop();
  } else {
    fadeAlpha_ += fadeStep_;
  }
}

// ==================================================================== view

NSKelvoToolsPanelView::NSKelvoToolsPanelView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("toolsPaletteView"));
}

QRect NSKelvoToolsPanelView::getDesktopRect() {
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect visible = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  return QRect(0, 0, visible.width() + visible.x(), visible.height() + visible.y());
}

int NSKelvoToolsPanelView::getBarHeight() { return 6 - 2 * toolbox_layout.margin + bar_height(); }

QPoint NSKelvoToolsPanelView::getFigureWindowPosition() {
  NSKelvoToolsPanelView* view = g_panel ? g_panel->view() : nullptr;
  const int x = view && view->sideBarVisible() ? icon_box() + 2 * toolbox_layout.margin : 10;
  return QPoint(x, getBarHeight());
}

void NSKelvoToolsPanelView::RepositionOfTheWindow(QWidget* window) {
  if (!window) return;
  const int y = getFigureWindowPosition().y();
  if (window->frameGeometry().top() < y) window->move(window->frameGeometry().left(), y);
}

void NSKelvoToolsPanelView::setIconSizeMenuResponder(int (*responder)()) { g_icon_size_responder = responder; }

NSGeoToolsMenu* NSKelvoToolsPanelView::buttonFor(const menu* m) const {
  return m ? static_cast<NSGeoToolsMenu*>(m->view) : nullptr;
}

namespace {
// A button whose record is dropped or freed: hidden, deleted later, and cut
// off from the record first.
void release_button(void* view) {
  auto* button = static_cast<NSGeoToolsMenu*>(view);
  button->detachRecord();
  button->hide();
  button->deleteLater();
}

void drop_button(menu* m) {
  if (!m || !m->view) return;
  auto* button = static_cast<NSGeoToolsMenu*>(m->view);
  m->view = nullptr;
  release_button(button);
}
}  // namespace

void NSKelvoToolsPanelView::createToolsAndAttribsBars() {
  NSGeoToolsPullDownController::destroyPullDown();
  const int s = icon_size();
  show_trash_face();
  // The Trash is on the toolbar only while it is configured: off it, its
  // button goes too.
  bool trash_listed = false;
  for (menu** it = tool_menus; it && *it; ++it) trash_listed |= *it == trash_toolbox;
  if (!trash_listed) drop_button(trash_toolbox);
  int gaps = 0;
  for (menu** it = tool_menus; it && *it; ++it) {
    menu* m = *it;
    drop_button(m);
    gaps += m->gap;
    auto* b = new NSGeoToolsMenu(this, m, false);
    b->setGeometry(m->pos_a + bar_height() + gaps, 2, s + 6, s + 6);
    b->show();
    m->view = b;
  }
  for (int k = 0; attrib_menus[k]; ++k) {
    menu* m = attrib_menus[k];
    drop_button(m);
    auto* b = new NSGeoToolsMenu(this, m, true);
    b->setGeometry(toolbox_layout.margin + 1, m->pos_b, s + 2, s + 2);
    b->setVisible(sideBarVisible_);
    m->view = b;
  }
  computeViewShape();
  update();
  QWidget* w = window();
  tools_panel_window = kp_hwnd(w);
  w->show();
  w->raise();
  if (g_panel) g_panel->startFade(true);
}

void NSKelvoToolsPanelView::rebuildBarsKeepingState() {
  std::vector<std::pair<menu*, QPointer<NSGeoToolsMenu>>> kept;
  auto keep = [&kept, this](menu* m) {
    if (NSGeoToolsMenu* b = buttonFor(m)) kept.emplace_back(m, b);
  };
  for (menu** it = tool_menus; it && *it; ++it) keep(*it);
  for (int k = 0; attrib_menus[k]; ++k) keep(attrib_menus[k]);
  const QPointer<NSGeoToolsMenu> last = last_tool_button;
  createToolsAndAttribsBars();
  // The old buttons are only on their way out: they still tell what they
  // showed.
  for (const auto& [record, old] : kept) {
    NSGeoToolsMenu* fresh = buttonFor(record);
    if (!old || !fresh) continue;
    fresh->takeStateOf(*old);
    if (old == last) last_tool_button = fresh;
  }
}

void NSKelvoToolsPanelView::computeViewShape() {
  const QRect desktop = getDesktopRect();
  QScreen* screen = QGuiApplication::primaryScreen();
  QWidget* w = window();
  w->setGeometry(QRect(screen ? screen->availableGeometry().topLeft() - QPoint(0, 0) : QPoint(), desktop.size())
                     .translated(-(screen ? screen->availableGeometry().x() : 0),
                                 -(screen ? screen->availableGeometry().y() : 0)));
  setGeometry(0, 0, desktop.width(), desktop.height());
  topRect_ = QRect(0, 0, desktop.width(), bar_height());
  sideRect_ = QRect(0, 0, icon_box() + 2 * toolbox_layout.margin, desktop.height());
  viewShape_ = QRegion(topRect_);
  if (sideBarVisible_) viewShape_ = viewShape_.united(sideRect_);
  // Outside the bars the palette is transparent and lets the mouse through.
  w->setMask(viewShape_);
  update();
}

void NSKelvoToolsPanelView::setSideBarVisibility(bool visible) {
  sideBarVisible_ = visible;
  attrib_palette_window = visible ? kp_hwnd(this) : nullptr;
  for (int k = 0; attrib_menus[k]; ++k)
    if (NSGeoToolsMenu* b = buttonFor(attrib_menus[k])) b->setVisible(visible);
  computeViewShape();
}

void NSKelvoToolsPanelView::radioChanged(NSGeoToolsMenu* button) {
  for (menu** it = tool_menus; it && *it; ++it)
    if (NSGeoToolsMenu* b = buttonFor(*it); b && b != button) b->turnOff();
}

void NSKelvoToolsPanelView::selectGeoToolByID(uint32_t tool_id, bool send) {
  for (menu** it = tool_menus; it && *it; ++it)
    if (static_cast<uint16_t>((*it)->id) == tool_group(tool_id))
      if (NSGeoToolsMenu* b = buttonFor(*it)) b->doSelect(tool_item(tool_id), send);
}

void NSKelvoToolsPanelView::selectGeoToolByArrowKey(int key) {
  NSGeoToolsPullDownController::destroyPullDown();
  int index = -1;
  for (int i = 0; tool_menus && tool_menus[i]; ++i) {
    NSGeoToolsMenu* b = buttonFor(tool_menus[i]);
    if (b && b->kelvoMenuState() == 1) {
      index = i;
      break;
    }
  }
  if (index < 0) return;
  NSGeoToolsMenu* selected = buttonFor(tool_menus[index]);
  const int c = selected->getSelectedItemIndex();
  switch (key) {
    case kKeyUp:
      if (c >= 1) selected->doSelect(c, true);
      break;
    case kKeyDown:
      if (menu_entry_count(tool_menus[index]) > c + 1) selected->doSelect(c + 2, true);
      break;
    case kKeyLeft:
      if (index > 0)
        if (NSGeoToolsMenu* b = buttonFor(tool_menus[index - 1])) b->doSelect(65535, true);
      break;
    case kKeyRight:
      if (tool_menus[index + 1])
        if (NSGeoToolsMenu* b = buttonFor(tool_menus[index + 1])) b->doSelect(65535, true);
      break;
    default:
      break;
  }
}

void NSKelvoToolsPanelView::iconSizeMenu(const QPoint& global) {
  select_tool(0);
  int answer = 0;
  if (g_icon_size_responder) {
    answer = g_icon_size_responder();
  } else {
    KPMenusWrapper* popup = KPMenusWrapper::createPopupMenu();
    const tagPOINT at{global.x(), global.y()};
    popup->seTtheCreatorEvent(&at);
    popup->appendMenu(0, kIconSize16Item, kernel_string(kRowIcons16));
    popup->appendMenu(0, kIconSize32Item, kernel_string(kRowIcons32));
    answer = popup->trackPopUp(at, 4, nullptr, nullptr);
    popup->destroyMenu();
  }
  applyIconSizeChoice(answer);
}

void NSKelvoToolsPanelView::applyIconSizeChoice(int item) {
  int size = 0;
  if (item == kIconSize16Item && icon_size() != 16) size = 16;
  if (item == kIconSize32Item && icon_size() != 32) size = 32;
  if (!size) return;
  set_tools_palette_icon_size(size);
  save_toolbar_icon_size();
  init_toolbox_layout();
  layout_toolboxes();
  createToolsAndAttribsBars();
}

void NSKelvoToolsPanelView::mouseDraggedAt(const QPoint& global) {
  const QPoint local = mapFromGlobal(global);
  NSGeoToolsMenu* owner = open_list_owner();
  auto try_list = [&](menu* const* list, bool attribute) -> bool {
    for (int i = 0; list && list[i]; ++i) {
      NSGeoToolsMenu* b = buttonFor(list[i]);
      if (!b || !b->isVisible() || !b->geometry().contains(local)) continue;
      if (b->kelvoMenuState() == 1) return true;
      b->select(false);
      if ((owner && owner != b) || (attribute && !owner && g_color_well)) {
        NSGeoToolsPullDownController::destroyPullDown();
        b->openPopUp();
      }
      return true;
    }
    return false;
  };
  if (try_list(tool_menus, false)) return;
  if (sideBarVisible_ && try_list(attrib_menus, true)) return;
  if (NSGeoToolsPullDownController* open = NSGeoToolsPullDownController::openPullDown()) open->mouseDragged(global);
}

NSGeoToolsMenu* NSKelvoToolsPanelView::toolboxButtonAt(const QPoint& local) const {
  for (int i = 0; tool_menus && tool_menus[i]; ++i)
    if (NSGeoToolsMenu* b = buttonFor(tool_menus[i]); b && b->isVisible() && b->geometry().contains(local)) return b;
  return nullptr;
}

void NSKelvoToolsPanelView::goToEdition(NSGeoToolsMenu* button, int position) {
  if (!config_mode || !button || button->isSettingMenu() || !button->kelvoMenu()) return;
  if (position < 0 || position >= menu_entry_count(button->kelvoMenu())) return;
  stop_hold_timer();
  dragging_ = true;
  dropPending_ = false;
  drggingMenu_ = button->kelvoMenu();
  drggingIndex_ = position;
  dragOver_ = nullptr;
  qApp->installEventFilter(this);
}

void NSKelvoToolsPanelView::cancelToolDrag() {
  qApp->removeEventFilter(this);
  const bool was = dragging_;
  dragging_ = false;
  dropPending_ = false;
  dragOver_ = nullptr;
  drggingMenu_ = nullptr;
  drggingIndex_ = -1;
  if (was) KPCursor::setCursor(nullptr);
}

void NSKelvoToolsPanelView::endDragLater(const QPoint& global) {
  // The drop may rebuild the buttons, one of which may be the receiver of
  // the event being filtered: it runs once that event is done.
  if (dropPending_) return;
  dropPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this, global] {
        if (dropPending_) toolDroppedAt(global);
      },
      Qt::QueuedConnection);
}

bool NSKelvoToolsPanelView::eventFilter(QObject* watched, QEvent* event) {
  // Windows are watched too: a release that no widget takes (the list it
  // began in was closed under the mouse) still reaches its window.
  (void)watched;
  if (!dragging_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (!dropPending_) cancelToolDrag();
      break;
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) endDragLater(mouse->globalPosition().toPoint());
      break;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (!(mouse->buttons() & Qt::LeftButton)) endDragLater(mouse->globalPosition().toPoint());
      break;
    }
    default:
      break;
  }
  return false;
}

void NSKelvoToolsPanelView::toolDraggedTo(const QPoint& global) {
  if (!dragging_) return;
  const QPoint local = mapFromGlobal(global);
  if (NSGeoToolsMenu* b = toolboxButtonAt(local)) {
    // Entering a toolbox button opens its list for a precise drop.
    if (b != dragOver_) {
      dragOver_ = b;
      b->select(false);
      b->openPopUp();
    }
    return;
  }
  NSGeoToolsPullDownController* open = NSGeoToolsPullDownController::openPullDown();
  if (open && open->view()->isVisible() && open->view()->frameGeometry().contains(global)) {
    open->mouseDragged(global);
    return;
  }
  dragOver_ = nullptr;
  if (topRect_.contains(local)) KPCursor::setCursorByName("ArrowAdd");
  else KPCursor::setCursor(nullptr);
}

void NSKelvoToolsPanelView::toolDroppedAt(const QPoint& global) {
  if (!dragging_) return;
  qApp->removeEventFilter(this);
  dropPending_ = false;
  dragging_ = false;
  dragOver_ = nullptr;
  KPCursor::setCursor(nullptr);
  const QPoint local = mapFromGlobal(global);
  NSGeoToolsPullDownController* open = NSGeoToolsPullDownController::openPullDown();
  if (open && open->view()->isVisible() && open->view()->frameGeometry().contains(global)) {
    NSKelvoMenuCell* cell = open->view()->cellAtGlobal(global);
    if (!cell) cell = open->view()->lastMouseIn();
    int position = 0;
    for (size_t k = 0; cell && k < open->cells().size(); ++k)
      if (open->cells()[k].get() == cell) position = static_cast<int>(k);
    QPointer<NSGeoToolsMenu> owner = open->getOwner();
    NSGeoToolsPullDownController::destroyPullDown();
    if (owner && !owner->isSettingMenu()) droppedItem(owner, position);
  } else if (NSGeoToolsMenu* b = toolboxButtonAt(local)) {
    NSGeoToolsPullDownController::destroyPullDown();
    droppedItem(b, 0);
  } else if (topRect_.contains(local)) {
    makeToolboxFromDrag();
  } else {
    NSGeoToolsPullDownController::destroyPullDown();
  }
  drggingMenu_ = nullptr;
  drggingIndex_ = -1;
}

namespace {
// The dragged tool's record, when it still lists the tool.
bool dragged_tool(menu* source, int index, menu* const* list) {
  bool listed = false;
  for (int i = 0; list && list[i]; ++i) listed |= list[i] == source;
  return listed && index >= 0 && index < menu_entry_count(source);
}
}  // namespace

void NSKelvoToolsPanelView::droppedItem(NSGeoToolsMenu* button, int position) {
  menu* target = button ? button->kelvoMenu() : nullptr;
  menu* source = drggingMenu_;
  if (!target || target == source || !dragged_tool(source, drggingIndex_, tool_menus)) return;
  void* icon = source->icons[drggingIndex_ + 1];
  const char* name = source->names[drggingIndex_ + 1];
  // The copy goes in first, so a failure leaves the tool where it was.
  if (!add_tool_to_toolbox(target, icon, name, static_cast<int16_t>(position + 1), 0)) return;
  remove_tool_menu_item(source, name);
  createToolsAndAttribsBars();
}

void NSKelvoToolsPanelView::makeToolboxFromDrag() {
  NSGeoToolsPullDownController::destroyPullDown();
  menu* source = drggingMenu_;
  if (!dragged_tool(source, drggingIndex_, tool_menus)) return;
  int trash = 0;
  while (tool_menus[trash] && tool_menus[trash] != trash_toolbox) ++trash;
  if (!tool_menus[trash] || trash == 0) return;
  const int16_t id = static_cast<int16_t>(tool_menus[trash - 1]->id + 1);
  void* icon = source->icons[drggingIndex_ + 1];
  const std::string name = source->names[drggingIndex_ + 1];
  menu* box = new_tool_record(id, icon, name.c_str(), toolbox_layout.margin, toolbox_layout.margin, MENU_TOOLBOX);
  if (!box) return;
  if (!add_tool_to_toolbox(box, icon, name.c_str(), -1, 0)) {
    free_tool_record(&box);
    return;
  }
  remove_tool_menu_item(source, source->names[drggingIndex_ + 1]);
  // The Trash comes off the end, the new toolbox goes on, the Trash after it.
  int n = 0;
  while (tool_menus[n]) ++n;
  if (n > 0 && tool_menus[n - 1] == trash_toolbox) tool_menus[n - 1] = nullptr;
  append_toolbox(box);
  append_toolbox(trash_toolbox);
  trash_toolbox->pos_a = getDesktopRect().width() - bar_height() - icon_size() - 10;
  createToolsAndAttribsBars();
}

int remove_tool_menu_item(menu* m, const char* name) {
  int slot = 1;
  const int last = menu_entry_count(m);
  while (slot <= last && m->names[slot] != name) ++slot;
  if (slot > last) return 0;
  remove_toolbox_tool_at(m, static_cast<int16_t>(slot));
  if (m == trash_toolbox) {
    show_trash_face();
    return 0;
  }
  if (m->names[1]) {
    set_toolbox_face(m, 1);
    return 0;
  }
  // The emptied toolbox leaves the toolbar, closing its gap.
  int k = 0;
  while (tool_menus && tool_menus[k] && tool_menus[k] != m) ++k;
  if (!tool_menus || !tool_menus[k]) return 0;
  if (menu* next = tool_menus[k + 1]) {
    const int width = static_cast<int16_t>(next->pos_a - m->pos_a) - 5 * next->gap;
    if (!next->gap && m->gap) next->gap = m->gap;
    for (int i = k + 1; tool_menus[i]; ++i)
      if (tool_menus[i] != trash_toolbox) tool_menus[i]->pos_a -= width;
  }
  for (int i = k; tool_menus[i]; ++i) tool_menus[i] = tool_menus[i + 1];
  rebuild_tools_panel();
  if (current_toolbar_menu == m) current_toolbar_menu = nullptr;
  free_tool_record(&m);
  return 1;
}

void NSKelvoToolsPanelView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (config_mode) p.fillRect(rect(), QColor(0, 0, 0, 128));
  QColor back;
  back.setRgbF(0.828125, 0.8125, 0.77734375, 0.9);
  QColor border;
  border.setRgbF(0.078125, 0.078125, 0.078125, 1.0);
  p.setRenderHint(QPainter::Antialiasing, false);
  QPainterPath shape;
  shape.addRegion(viewShape_);
  p.fillPath(shape.simplified(), back);
  p.setPen(border);
  p.drawPath(shape.simplified().translated(0, 0));
}

void NSKelvoToolsPanelView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton ||
      (event->button() == Qt::LeftButton && (event->modifiers() & Qt::MetaModifier))) {
    iconSizeMenu(event->globalPosition().toPoint());
    return;
  }
  NSGeoToolsPullDownController::destroyPullDown();
  select_tool(0);
}

void NSKelvoToolsPanelView::wheelEvent(QWheelEvent* event) { event->accept(); }

// ================================================================= buttons

NSGeoToolsMenu::NSGeoToolsMenu(QWidget* parent, menu* record, bool setting)
    : QWidget(parent), kelvoMenu_(record), isSettingMenu_(setting) {
  setObjectName(QStringLiteral("toolGroup%1").arg(record ? record->id : 0));
}

NSGeoToolsMenu::~NSGeoToolsMenu() {
  if (last_tool_button == this) last_tool_button = nullptr;
  if (kelvoMenu_ && kelvoMenu_->view == this) kelvoMenu_->view = nullptr;
  NSGeoToolsPullDownController* c = NSGeoToolsPullDownController::getPullDownMenu();
  if (c->getOwner() == this) c->destroyPullDownMenu();
}

bool NSGeoToolsMenu::isColorMenu() const {
  return isSettingMenu_ && kelvoMenu_ && !tool_icon_from_field(kelvoMenu_->icons);
}

void NSGeoToolsMenu::setColor(const QColor& color) {
  color_ = color;
  update();
}

const tool_icon* NSGeoToolsMenu::shownIcon() const {
  if (!kelvoMenu_) return nullptr;
  if (const tool_icon* single = tool_icon_from_field(kelvoMenu_->single_icon)) return single;
  if (!tool_icon_from_field(kelvoMenu_->icons)) return nullptr;
  int slot;
  if (kelvoMenu_->id == static_cast<int16_t>(kTrashId)) slot = open_list_owner() ? curHighLightet_ + 1 : 0;
  else slot = curHighLightet_ + 1;
  // The slot must be one of the record's entries (the face at 0 included).
  if (slot < 0 || slot >= kelvoMenu_->capacity || (slot > 0 && slot > menu_entry_count(kelvoMenu_))) return nullptr;
  return tool_icon_from_field(kelvoMenu_->icons[slot]);
}

void NSGeoToolsMenu::paintEvent(QPaintEvent*) {
  if (!kelvoMenu_) return;
  QPainter p(this);
  const int s = icon_size();
  const uint32_t background = kelvoMenuState_ == 1 ? back_color : light_gray_color;
  p.fillRect(rect(), word_color(background));
  if (const tool_icon* icon = shownIcon()) {
    QImage image = tool_icon_image(icon, s, back_color, background & 0xFFFFFF,
                                   isSettingMenu_ ? kListArrowRight : kListArrowDown);
    if (isColorMenu()) {
      // The colour of the menu shows in a band along the icon's foot: an
      // overlay tinted with the colour where it is opaque, laid on the icon.
      QImage overlay(image.size(), QImage::Format_ARGB32_Premultiplied);
      overlay.fill(Qt::transparent);
      {
        QPainter band(&overlay);
        band.fillRect(QRect(1, s - s / 4 - 1, s - 4, s / 4), Qt::black);
      }
      QPainter tint(&image);
      tint.drawImage(0, 0, tinted_image_with_color(overlay, color_));
    }
    p.drawImage(QPoint(2, 2), image);
  }
  draw_bezel(p, QRectF(rect()), (isSettingMenu_ ? s - 1 : s) / 16, kelvoMenuState_ != 1);
  p.setPen(Qt::black);
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void NSGeoToolsMenu::takeStateOf(const NSGeoToolsMenu& other) {
  const int entries = menu_entry_count(kelvoMenu_);
  auto in_range = [entries](int index) { return index >= 0 && index < std::max(entries, 1) ? index : 0; };
  curSelect_ = in_range(other.curSelect_);
  curHighLightet_ = in_range(other.curHighLightet_);
  kelvoMenuState_ = isSettingMenu_ ? 0 : other.kelvoMenuState_;
  color_ = other.color_;
  update();
}

bool NSGeoToolsMenu::select(bool send) {
  bool changed = false;
  if (kelvoMenuState_ != 1) {
    if (!isSettingMenu_) kelvoMenuState_ = 1;
    update();
    if (!isSettingMenu_)
      if (auto* view = qobject_cast<NSKelvoToolsPanelView*>(parentWidget())) view->radioChanged(this);
    changed = true;
  }
  if (!send || config_mode) return changed;
  last_tool_button = nullptr;
  const uint32_t id = make_tool_id(static_cast<uint16_t>(kelvoMenu_->id), static_cast<uint16_t>(curSelect_ + 1));
  QPointer<NSGeoToolsMenu> self(this);
  send_tool_action(id, color_word(color_));
  if (!self) return changed;
  last_tool_button = this;
  last_tool_item = curSelect_ + 1;
  return changed;
}

void NSGeoToolsMenu::doSelect(int item, bool send) {
  if (item != 65535) curSelect_ = item - 1;
  changeState(item);
  select(send);
}

void NSGeoToolsMenu::changeState(int item) {
  if (curHighLightet_ != item - 1) {
    update();
    if (item != 65535) curHighLightet_ = item - 1;
  }
}

void NSGeoToolsMenu::turnOff() {
  if (kelvoMenuState_ == 0) return;
  kelvoMenuState_ = 0;
  update();
}

void NSGeoToolsMenu::resetMenu() {
  if (last_tool_button) last_tool_button->doSelect(last_tool_item, false);
}

void NSGeoToolsMenu::openPopUpMenu() {
  if (kelvoMenuState_ != 1 && !isSettingMenu_) return;
  if (g_mouse_down) openPopUp();
}

void NSGeoToolsMenu::openPopUp() {
  if (isColorMenu()) {
    NSGeoToolsPullDownController::createPullDownMenu(this);
    if (!g_color_well) {
      g_color_well = new QColorDialog;
      g_color_well->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
      // A panel beside the figure: a text being edited stays open.
      g_color_well->setWindowFlag(Qt::Tool);
      g_color_well->setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    g_color_well->disconnect(this);
    g_color_well->setCurrentColor(color_);
    QObject::connect(g_color_well, &QColorDialog::currentColorChanged, this,
                     [this](const QColor& c) { changeColor(c); });
    g_color_well->move(mapToGlobal(QPoint(width(), 0)));
    g_color_well->show();
    return;
  }
  if (open_list_owner() == this) return;
  NSGeoToolsPullDownController* c = NSGeoToolsPullDownController::createPullDownMenu(this);
  menu* m = kelvoMenu_;
  auto offset_of = [m](int k) { return m->item_flags ? 3 * m->item_flags[k + 1] : 0; };
  if (!isSettingMenu_) {
    if (!m->names) return;
    for (int k = 1; m->names[k]; ++k) c->appendPullDownMenu(k, m->names[k], nullptr, offset_of(k));
    c->pullDown(mapToGlobal(QPoint(0, height() + toolbox_layout.margin + 3)), curSelect_);
  } else {
    if (!tool_icon_from_field(m->icons)) return;
    for (int k = 1; m->icons[k]; ++k) c->appendPullDownMenu(k, nullptr, tool_icon_from_field(m->icons[k]), offset_of(k));
    c->pullDown(mapToGlobal(QPoint(width() + 5, -1)), curSelect_);
  }
}

void NSGeoToolsMenu::exitPopup() {
  if (!g_color_well) return;
  g_color_well->disconnect(this);
  g_color_well->hide();
  g_color_well->deleteLater();
  g_color_well = nullptr;
}

void NSGeoToolsMenu::changeColor(const QColor& color) {
  const uint32_t id = make_tool_id(static_cast<uint16_t>(kelvoMenu_->id), static_cast<uint16_t>(curSelect_ + 1));
  send_tool_action(id, color_word(color));
  setColor(color);
}

void NSGeoToolsMenu::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton || (event->modifiers() & Qt::MetaModifier)) {
    if (auto* view = qobject_cast<NSKelvoToolsPanelView*>(parentWidget()))
      view->iconSizeMenu(event->globalPosition().toPoint());
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  g_mouse_down = true;
  pressGlobal_ = event->globalPosition().toPoint();
  dragArmed_ = config_mode && !isSettingMenu_;
  if (isSettingMenu_) {
    NSGeoToolsPullDownController::destroyPullDown();
    start_hold_timer(this);
    return;
  }
  if (select(false)) {
    start_hold_timer(this);
    return;
  }
  // The selected toolbox: a click opens its list, a second one closes it.
  if (open_list_owner() != this) openPopUp();
  else NSGeoToolsPullDownController::destroyPullDown();
}

void NSGeoToolsMenu::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  g_mouse_down = false;
  dragArmed_ = false;
  const QPoint global = event->globalPosition().toPoint();
  auto* view = qobject_cast<NSKelvoToolsPanelView*>(parentWidget());
  if (view && view->toolDragActive()) {
    // The drop may rebuild the palette: this button is then on its way out.
    view->toolDroppedAt(global);
    return;
  }
  NSGeoToolsPullDownController* open = NSGeoToolsPullDownController::openPullDown();
  if (open && open->view()->isVisible() && open->view()->frameGeometry().contains(global)) {
    open->mouseUp(global);
    return;
  }
  // Released away from the bars (over a figure, say): the list takes the
  // release, as a menu released away from it does, and closes. The
  // palette's window covers the desktop, but only its bars are the palette.
  const bool on_bars = view && view->viewShape().contains(view->mapFromGlobal(global));
  if (open && !on_bars) open->mouseUp(global);
  if (!NSGeoToolsPullDownController::openPullDown() && !isColorMenu()) select(true);
}

void NSGeoToolsMenu::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  auto* view = qobject_cast<NSKelvoToolsPanelView*>(parentWidget());
  if (!view) return;
  const QPoint global = event->globalPosition().toPoint();
  if (view->toolDragActive()) {
    view->toolDraggedTo(global);
    return;
  }
  // In the configuration mode moving off the press drags the shown tool,
  // unless the mouse went into this button's own list (a press there
  // drags the item under it).
  NSGeoToolsPullDownController* open = NSGeoToolsPullDownController::openPullDown();
  const bool in_own_list = open && open->getOwner() == this && open->view()->frameGeometry().contains(global);
  if (dragArmed_ && config_mode && !in_own_list &&
      (global - pressGlobal_).manhattanLength() >= QApplication::startDragDistance()) {
    dragArmed_ = false;
    if (open && open->getOwner() == this) NSGeoToolsPullDownController::destroyPullDown();
    view->goToEdition(this, curSelect_);
    view->toolDraggedTo(global);
    return;
  }
  view->mouseDraggedAt(global);
}

void NSGeoToolsMenu::enterEvent(QEnterEvent*) {
  NSGeoToolsMenu* owner = open_list_owner();
  if (owner && owner != this && !isSettingMenu_ && !owner->isSettingMenu()) {
    select(false);
    openPopUp();
  }
}

// ========================================================== kernel entries

void set_attrib_menu_value(int16_t index, uint32_t value) {
  if (index < 0 || index >= kAttributeMenuCount || !attrib_menus[index]) return;
  NSGeoToolsMenu* b = static_cast<NSGeoToolsMenu*>(attrib_menus[index]->view);
  if (!b) return;
  if (index > 2) b->doSelect(static_cast<int>(value), false);
  else b->setColor(word_color(value));
}

void show_tool_colors() {
  const default_attr* a = current_attrs;
  if (!a) return;
  const uint32_t colors[3] = {a->settings.Color, a->settings.FillColor, a->text_color};
  for (int16_t k = 0; k < 3; ++k)
    if (attrib_menus[k] && attrib_menus[k]->view)
      static_cast<NSGeoToolsMenu*>(attrib_menus[k]->view)->setColor(word_color(colors[k] & 0xFFFFFF));
}

void save_toolbar_icon_size() {
  KPPreferencesWrapper::SetUserDefault("Toolbar Icon Size", icon_size() == 16 ? "16x16" : "32x32", nullptr);
}

void install_tool_icons() {
  set_toolbar_row_icons();
  auto bytes = [](const tool_icon* icon) { return reinterpret_cast<const uint8_t*>(icon); };
  for (int i = 0; i < kAttributeIconCount; ++i)
    std::memcpy(attribute_icon_table[i], bytes(attribute_tool_icon(i)), sizeof(tool_icon));
}

namespace {
// The icons the attribute records and the Trash carry in the kernel's own
// slots, once the records exist.
void install_record_icons() {
  const char* colour_faces[3] = {"Pen Colour Menu", "Fill Colour Menu", "Text Colour Menu"};
  for (int k = 0; k < 3 && attrib_menus[k]; ++k)
    if (attrib_menus[k]->single_icon && tool_icon_from_field(attrib_menus[k]->single_icon))
      std::memcpy(attrib_menus[k]->single_icon, builtin_tool_icon(colour_faces[k]), sizeof(tool_icon));
  if (menu* size = attrib_menus[3]; size && tool_icon_from_field(size->icons)) {
    const char* faces[2] = {"Smaller Text", "Larger Text"};
    for (int k = 1; k <= 2 && size->icons[k]; ++k) std::memcpy(size->icons[k], builtin_tool_icon(faces[k - 1]), sizeof(tool_icon));
    if (size->icons[0] && size->icons[0] != size->icons[1])
      std::memcpy(size->icons[0], builtin_tool_icon(faces[0]), sizeof(tool_icon));
  }
}
}  // namespace

void start_tools_palette() {
  install_tool_icons();
  if (!tool_menus) build_all_toolboxes();
  install_record_icons();
  install_tool_menu_services();
  install_toolbox_view_release(&release_button);
  ToolsPaletteHooks hooks;
  hooks.do_select = [](void* button, int item, bool send) { static_cast<NSGeoToolsMenu*>(button)->doSelect(item, send); };
  hooks.set_attrib_menu_value = &set_attrib_menu_value;
  hooks.redo_all_tools = [] { NSKelvoToolsPanel::sharedPanel()->redoAllToolsFromMenusStruct(); };
  hooks.update_color_palette_panel = [] { show_color_palette(nullptr); };
  hooks.show_attribute_bar = [](bool shown) {
    NSKelvoToolsPanel::sharedPanel()->view()->setSideBarVisibility(shown);
    // The palette grown by its attribute bar keeps the figure windows below it.
    if (shown) KPDocument::repositionDocs();
  };
  install_tools_palette_hooks(hooks);
  install_color_palette_services();
  NSKelvoToolsPanel* panel = NSKelvoToolsPanel::sharedPanel();
  panel->view()->setSideBarVisibility(true);
  panel->redoAllToolsFromMenusStruct();
  panel->sendUserMessage(102, static_cast<LPARAM>(kPointerTool));
}

void stop_tools_palette() {
  // The panels that show the toolboxes go before the records they show.
  NSToolsWindowController::destroy();
  NSShowPalette::destroy();
  NSGeoToolsPullDownController::destroyPullDown();
  delete g_panel;
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  free_all_toolboxes();
  free_attribute_menus();
  free_tool_record(&trash_toolbox);
}
