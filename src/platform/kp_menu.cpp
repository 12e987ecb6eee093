#include "platform/kp_menu.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFontDatabase>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <cassert>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"

namespace {

constexpr const char* kItemColor = "kpItemColor";

// Draws a menu item in the text colour its action carries.
class ItemColorStyle : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (element == CE_MenuItem && widget) {
      if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
        const auto* menu = qobject_cast<const QMenu*>(widget);
        const QAction* action = menu ? menu->actionAt(item->rect.center()) : nullptr;
        const QVariant color = action ? action->property(kItemColor) : QVariant();
        if (color.isValid()) {
          QStyleOptionMenuItem colored(*item);
          colored.palette.setColor(QPalette::Text, color.value<QColor>());
          colored.palette.setColor(QPalette::ButtonText, color.value<QColor>());
          colored.palette.setColor(QPalette::WindowText, color.value<QColor>());
          QProxyStyle::drawControl(element, &colored, painter, widget);
          return;
        }
      }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }
};

std::optional<QColor>& next_item_color() {
  static std::optional<QColor> color;
  return color;
}

KPMenusWrapper*& main_menu() {
  static KPMenusWrapper* menu = nullptr;
  return menu;
}

QFont item_font() {
  static const QFont font = [] {
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPointSize(10);
    return f;
  }();
  return font;
}

QString menu_title(const char* text) { return kp_qstring(text).replace('&', "&&"); }
QString plain_title(const QAction* action) { return action->text().replace("&&", "\x01").remove('&').replace('\x01', '&'); }

QAction* find_item(QWidget* menu, int id) {
  if (!menu) return nullptr;
  for (QAction* action : menu->actions()) {
    int tag = 0;
    if (kp_item_id(action, &tag) && tag == id) return action;
    if (QAction* hit = find_item(action->menu(), id)) return hit;
  }
  return nullptr;
}

uint32_t swap_red_blue(uint32_t c) { return (c & 0xFF00FF00u) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF); }

int manhattan(uint32_t a, uint32_t b) {
  int sum = 0;
  for (int shift : {0, 8, 16}) sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return sum;
}

}  // namespace

struct KPMenusWrapper::Impl {
  QPointer<QWidget> menu;
  bool owned = false;
  std::optional<QPoint> creator_position;
};

KPMenusWrapper::KPMenusWrapper() : impl_(std::make_unique<Impl>()) {}

KPMenusWrapper::~KPMenusWrapper() {
  if (main_menu() == this) main_menu() = nullptr;
  if (impl_->owned && impl_->menu) delete impl_->menu.data();
}

KPMenusWrapper* KPMenusWrapper::createPopupMenu() {
  auto* wrapper = new KPMenusWrapper;
  auto* menu = new QMenu;
  menu->setTitle("Enought");
  auto* style = new ItemColorStyle;
  style->setParent(menu);
  menu->setStyle(style);
  wrapper->impl_->menu = menu;
  wrapper->impl_->owned = true;
  return wrapper;
}

KPMenusWrapper* KPMenusWrapper::wrap(QWidget* menu) {
  auto* wrapper = new KPMenusWrapper;
  wrapper->impl_->menu = menu;
  return wrapper;
}

KPMenusWrapper* KPMenusWrapper::mainMenu() { return main_menu(); }
void KPMenusWrapper::setMainMenu(KPMenusWrapper* menu) { main_menu() = menu; }
QWidget* KPMenusWrapper::widget() const { return impl_->menu; }

void KPMenusWrapper::appendMenu(UINT flags, uintptr_t item, const char* text) {
  auto* menu = qobject_cast<QMenu*>(impl_->menu.data());
  if (!menu) return;
  if (flags & MF_SEPARATOR) {
    menu->addSeparator();
    if (!text) return;
  }
  QAction* action = nullptr;
  if (flags & MF_POPUP) {
    auto* sub = reinterpret_cast<KPMenusWrapper*>(item);
    auto* submenu = sub ? qobject_cast<QMenu*>(sub->widget()) : nullptr;
    if (!submenu) return;
    submenu->setTitle(menu_title(text));
    action = menu->addMenu(submenu);
  } else {
    action = menu->addAction(menu_title(text));
    kp_set_item_id(action, static_cast<int>(item));
  }
  action->setFont(item_font());
  if (next_item_color()) {
    action->setProperty(kItemColor, *next_item_color());
    next_item_color().reset();
  }
  if (flags & MF_CHECKED) {
    action->setCheckable(true);
    action->setChecked(true);
  }
  action->setEnabled(true);
}

void KPMenusWrapper::setNextItemColorWord(uint32_t rgb) {
  next_item_color() = QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void KPMenusWrapper::setNextItemColor(const object* obj) {
  if (!obj) return;
  const uint32_t word = is_text_like_object(obj) && obj->te ? obj->te->format.color : object_effective_color(obj);
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const uint32_t background = fig ? fig->bgcolor : back_color;
  setNextItemColorWord(itemColorFor(word & 0xFFFFFF, bgr_to_rgb(background), bgr_to_rgb(default_color)));
}

uint32_t KPMenusWrapper::itemColorFor(uint32_t object_rgb, COLORREF background, COLORREF default_foreground) {
  if (manhattan(object_rgb, swap_red_blue(background)) <= 99) return swap_red_blue(default_foreground);
  return object_rgb;
}

void KPMenusWrapper::seTtheCreatorEvent(const tagPOINT* point) {
  if (point) impl_->creator_position = QPoint(point->x, point->y);
  else impl_->creator_position.reset();
}

int KPMenusWrapper::trackPopUp(tagPOINT, UINT, HWND, const tagRECT*) {
  auto* menu = qobject_cast<QMenu*>(impl_->menu.data());
  if (!menu) return 0;
  // A menu of a single line shows a blank second one, which answers 0.
  if (menu->actions().size() < 2) kp_set_item_id(menu->addAction(QString(QChar(0x00A0))), 0);
  const QPoint at = impl_->creator_position.value_or(QCursor::pos());
  QAction* chosen = nullptr;
  {
    KPRunLoopModeScope scope(KPRunLoopMode::EventTracking);
    chosen = menu->exec(at);
  }
  if (HWND figure = kp_current_figure_window()) NSKelvoWrapMachine::setFocus(figure);
  int id = 0;
  if (chosen && !kp_item_id(chosen, &id)) id = 0;
  return id;
}

int KPMenusWrapper::getMenuString(UINT item, char* out, int capacity, UINT flags) {
  QWidget* menu = impl_->menu;
  if (!menu) return 0;
  QAction* action = nullptr;
  if (flags & MF_BYPOSITION) {
    if (item < static_cast<UINT>(menu->actions().size())) action = menu->actions()[static_cast<int>(item)];
  } else {
    for (QAction* a : menu->actions()) {
      int tag = 0;
      if (kp_item_id(a, &tag) && tag == static_cast<int>(item)) action = a;
      if (action) break;
    }
  }
  if (!action || action->text().isEmpty()) return 0;
  return kp_copy_text(kp_kernel_text(plain_title(action)), out, capacity);
}

void KPMenusWrapper::modifyMenu(KPMenusWrapper* menu, UINT item, UINT flags, UINT, const char* text) {
  assert(flags == (MF_BYCOMMAND | MF_STRING) && "MF_BYCOMMAND | MF_STRING == uFlags");
  if (!menu || flags != 0) return;
  if (QAction* action = find_item(menu->widget(), static_cast<int>(item))) action->setText(menu_title(text));
}

void* KPMenusWrapper::LookingForTheItemMenu(KPMenusWrapper* menu, int id) {
  return menu ? find_item(menu->widget(), id) : nullptr;
}

void KPMenusWrapper::enableItem(void* item, bool enable) {
  if (item) static_cast<QAction*>(item)->setEnabled(enable);
}

void KPMenusWrapper::enableMenuItem(UINT id, bool enable) {
  if (!impl_->menu) return;
  for (QAction* action : impl_->menu->actions()) {
    int tag = 0;
    if (kp_item_id(action, &tag) && tag == static_cast<int>(id)) {
      action->setEnabled(enable);
      return;
    }
  }
}

void KPMenusWrapper::destroyMenu() {
  // A menu still on screen is deleted once its tracking has ended.
  if (impl_->owned && impl_->menu) {
    impl_->menu->hide();
    impl_->menu->deleteLater();
    impl_->menu = nullptr;
  }
  delete this;
}

namespace {
std::map<std::pair<HMENU, UINT>, bool>& recorded_item_states() {
  static std::map<std::pair<HMENU, UINT>, bool> states;
  return states;
}
}  // namespace

bool menu_item_enabled(HMENU menu, UINT id) {
  const auto& states = recorded_item_states();
  auto it = states.find({menu, id});
  return it == states.end() || it->second;
}

void EnableMenuItem(HMENU menu, UINT id, UINT flags) {
  recorded_item_states()[{menu, id}] = (flags & (MF_GRAYED | MF_DISABLED)) == 0;
  void* item = KPMenusWrapper::LookingForTheItemMenu(static_cast<KPMenusWrapper*>(menu), static_cast<int>(id));
  KPMenusWrapper::enableItem(item, (flags & (MF_GRAYED | MF_DISABLED)) == 0);
}

void set_undo_menu_text(const char* text) { KPMenusWrapper::modifyMenu(KPMenusWrapper::mainMenu(), 110, 0, 110, text); }
