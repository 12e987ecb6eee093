#include "platform/kelvo_wrap_machine.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>

#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"

namespace {

QObject* object_of(HWND handle) { return kp_qobject(handle); }

template <class T>
T* capability(QObject* object) {
  return object ? dynamic_cast<T*>(object) : nullptr;
}

bool answers_send_message(QObject* object) {
  return capability<KPMessageTarget>(object) || kp_bound_procedure(object);
}

LRESULT own_send_message(QObject* object, UINT message, WPARAM wparam, LPARAM lparam) {
  if (auto* target = capability<KPMessageTarget>(object)) return target->sendMessage(message, wparam, lparam);
  if (auto* wrapper = kp_bound_procedure(object)) return wrapper->executionOfMessage(message, wparam, lparam);
  return 0;
}

tagRECT to_rect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

QLineEdit* line_edit_of(QObject* object) {
  if (auto* edit = qobject_cast<QLineEdit*>(object)) return edit;
  if (auto* combo = qobject_cast<QComboBox*>(object); combo && combo->isEditable()) return combo->lineEdit();
  return nullptr;
}

bool is_popup_button(QObject* object) {
  auto* combo = qobject_cast<QComboBox*>(object);
  return combo && !combo->isEditable();
}

// The leading integer of a text, as a text field's integer value reads it.
int leading_int(const QString& text) {
  return static_cast<int>(std::strtol(text.trimmed().toStdString().c_str(), nullptr, 10));
}

bool integer_value(QObject* object, int* value) {
  if (auto* box = qobject_cast<QCheckBox*>(object)) {
    *value = box->checkState() == Qt::Checked ? 1 : box->checkState() == Qt::PartiallyChecked ? 2 : 0;
  } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    *value = button->isChecked() ? 1 : 0;
  } else if (auto* spin = qobject_cast<QSpinBox*>(object)) {
    *value = spin->value();
  } else if (auto* slider = qobject_cast<QAbstractSlider*>(object)) {
    *value = slider->value();
  } else if (auto* combo = qobject_cast<QComboBox*>(object); combo && !combo->isEditable()) {
    *value = combo->currentIndex();
  } else if (auto* edit = line_edit_of(object)) {
    *value = leading_int(edit->text());
  } else if (auto* label = qobject_cast<QLabel*>(object)) {
    *value = leading_int(label->text());
  } else {
    return false;
  }
  return true;
}

bool set_integer_value(QObject* object, int value) {
  if (auto* box = qobject_cast<QCheckBox*>(object)) {
    box->setCheckState(value == 0 ? Qt::Unchecked : value == 2 ? Qt::PartiallyChecked : Qt::Checked);
  } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    button->setChecked(value != 0);
  } else if (auto* spin = qobject_cast<QSpinBox*>(object)) {
    spin->setValue(value);
  } else if (auto* slider = qobject_cast<QAbstractSlider*>(object)) {
    slider->setValue(value);
  } else if (auto* combo = qobject_cast<QComboBox*>(object); combo && !combo->isEditable()) {
    combo->setCurrentIndex(value);
  } else if (auto* edit = line_edit_of(object)) {
    edit->setText(QString::number(value));
  } else if (auto* label = qobject_cast<QLabel*>(object)) {
    label->setText(QString::number(value));
  } else {
    return false;
  }
  return true;
}

// A title: buttons, labels, boxes, pop-up buttons.
bool item_title(QObject* object, QString* title) {
  if (auto* button = qobject_cast<QAbstractButton*>(object)) *title = button->text();
  else if (auto* label = qobject_cast<QLabel*>(object)) *title = label->text();
  else if (auto* box = qobject_cast<QGroupBox*>(object)) *title = box->title();
  else if (is_popup_button(object)) *title = qobject_cast<QComboBox*>(object)->currentText();
  else return false;
  return true;
}

bool set_item_title(QObject* object, const QString& title) {
  if (auto* button = qobject_cast<QAbstractButton*>(object)) button->setText(title);
  else if (auto* label = qobject_cast<QLabel*>(object)) label->setText(title);
  else if (auto* box = qobject_cast<QGroupBox*>(object)) box->setTitle(title);
  else return false;
  return true;
}

// A string value: text fields, editable combo boxes, text views.
bool string_value(QObject* object, QString* text) {
  if (auto* edit = line_edit_of(object)) *text = edit->text();
  else if (auto* view = qobject_cast<QTextEdit*>(object)) *text = view->toPlainText();
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(object)) *text = plain->toPlainText();
  else return false;
  return true;
}

bool set_string_value(QObject* object, const QString& text) {
  if (auto* edit = line_edit_of(object)) edit->setText(text);
  else if (auto* view = qobject_cast<QTextEdit*>(object)) view->setPlainText(text);
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(object)) plain->setPlainText(text);
  else return false;
  return true;
}

bool is_text_view(QObject* object) {
  return qobject_cast<QTextEdit*>(object) || qobject_cast<QPlainTextEdit*>(object);
}

LRESULT builtin_reply(QObject* target, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SETTEXT:
      if (auto* edit = qobject_cast<QLineEdit*>(target)) edit->setText(kp_qstring(reinterpret_cast<const char*>(lparam)));
      return 0;
    case BM_GETCHECK: {
      int value = 0;
      return integer_value(target, &value) ? value : 0;
    }
    case BM_SETCHECK:
      set_integer_value(target, static_cast<int>(wparam));
      return 0;
    case WM_CHAR:
      if (auto* edit = line_edit_of(target)) {
        const char c = static_cast<char>(wparam);
        edit->setText(edit->text() + kp_qstring(std::string(1, c).c_str()));
      }
      return 0;
    case CB_ADDSTRING:
      if (auto* combo = qobject_cast<QComboBox*>(target))
        combo->addItem(kp_qstring(reinterpret_cast<const char*>(lparam)));
      return 0;
    case CB_RESETCONTENT:
      if (auto* combo = qobject_cast<QComboBox*>(target)) combo->clear();
      return 0;
    case CB_GETCOUNT:
      return is_popup_button(target) ? qobject_cast<QComboBox*>(target)->count() : 0;
    case CB_GETCURSEL:
      return is_popup_button(target) ? qobject_cast<QComboBox*>(target)->currentIndex() : 0;
    case CB_SETCURSEL:
      if (auto* combo = qobject_cast<QComboBox*>(target)) combo->setCurrentIndex(static_cast<int>(wparam));
      return 0;
    case WM_LBUTTONUP:
      if (auto* widget = qobject_cast<QWidget*>(target); widget && lparam)
        QCoreApplication::sendEvent(widget, reinterpret_cast<QEvent*>(lparam));
      return 0;
    case WM_USER:
      if (auto* user = capability<KPUserMessageTarget>(target)) return user->sendUserMessage(wparam, lparam);
      return 0;
    case EM_SETBKGNDCOLOR:
      if (line_edit_of(target) || is_text_view(target)) {
        auto* widget = qobject_cast<QWidget*>(target);
        const auto c = static_cast<COLORREF>(lparam);
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Base, QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
        widget->setPalette(palette);
      }
      return 0;
    default:
      return 0;
  }
}

// Posted messages wait here until a later turn of the event loop in the
// default mode. Each drain delivers only what was posted before it started,
// so a message posted during a delivery waits for the next turn.
struct PendingPost {
  std::unique_ptr<NSKelvoWrapMachine> record;
  QPointer<QObject> target;
  uint64_t sequence;
};

struct PostQueue {
  std::deque<PendingPost> pending;
  uint64_t next_sequence = 0;
  bool scheduled = false;
};

PostQueue& post_queue() {
  static PostQueue queue;
  return queue;
}

void drain_posted_messages();

void schedule_drain(int delay_ms) {
  PostQueue& queue = post_queue();
  if (queue.scheduled || queue.pending.empty()) return;
  queue.scheduled = true;
  QTimer::singleShot(delay_ms, qApp, drain_posted_messages);
}

void drain_posted_messages() {
  PostQueue& queue = post_queue();
  queue.scheduled = false;
  const uint64_t limit = queue.next_sequence;
  while (!queue.pending.empty() && queue.pending.front().sequence < limit) {
    if (kp_current_run_loop_mode() != KPRunLoopMode::Default) {
      // A nested loop that no scope announced (the scopes reschedule on
      // leaving): look again shortly.
      schedule_drain(10);
      return;
    }
    PendingPost post = std::move(queue.pending.front());
    queue.pending.pop_front();
    if (post.target) post.record->scheduledMessages();
  }
  schedule_drain(0);
}

QPointer<QObject>& current_figure_window() {
  static QPointer<QObject> window;
  return window;
}

}  // namespace

HWND kp_current_figure_window() { return kp_hwnd(current_figure_window().data()); }
void kp_set_current_figure_window(HWND window) { current_figure_window() = object_of(window); }

// ---- Sending and posting ----

LRESULT NSKelvoWrapMachine::sendMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  QObject* target = object_of(window);
  if (auto* link = capability<KPFigureWindowLink>(target)) target = object_of(link->figureView());
  if (!target) return 0;
  if (answers_send_message(target)) return own_send_message(target, message, wparam, lparam);
  return builtin_reply(target, message, wparam, lparam);
}

LRESULT NSKelvoWrapMachine::cwmPostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  QObject* target = object_of(window);
  if (!answers_send_message(target)) return 0;
  auto record = std::make_unique<NSKelvoWrapMachine>(nullptr, window, message, wparam, lparam);
  if (auto* holder = capability<KPPostedMessageHolder>(target)) holder->AddMessage(record.get());
  PostQueue& queue = post_queue();
  queue.pending.push_back({std::move(record), QPointer<QObject>(target), queue.next_sequence++});
  schedule_drain(0);
  return 0;
}

void NSKelvoWrapMachine::schedulePostedMessages() { schedule_drain(0); }

int NSKelvoWrapMachine::pendingPostedMessages() { return static_cast<int>(post_queue().pending.size()); }

NSKelvoWrapMachine::NSKelvoWrapMachine(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam)
    : messageFunc(proc), win(window), msg(message), wparam(wparam), lparam(lparam) {}

NSKelvoWrapMachine::NSKelvoWrapMachine(WNDPROC proc, HWND window) : messageFunc(proc), win(window) {}

LRESULT NSKelvoWrapMachine::executionOfMessage(UINT message, WPARAM wp, LPARAM lp) const {
  if (!messageFunc) return 0;
  return static_cast<int8_t>(messageFunc(win, message, wp, lp));
}

void NSKelvoWrapMachine::scheduledMessages() {
  QObject* target = object_of(win);
  own_send_message(target, msg, wparam, lparam);
  if (auto* holder = capability<KPPostedMessageHolder>(target)) holder->RemMessage(this);
}

// ---- Window longs and text ----

LONG_PTR NSKelvoWrapMachine::getWindowLong(HWND window, int index) {
  auto* holder = capability<KPWindowLongHolder>(object_of(window));
  return holder ? holder->getWindowLong(index) : 0;
}

void NSKelvoWrapMachine::setWindowLong(HWND window, int index, LONG_PTR value) {
  if (auto* holder = capability<KPWindowLongHolder>(object_of(window))) holder->setWindowLong(index, value);
}

int NSKelvoWrapMachine::getWindowTextLength(HWND window) {
  QObject* object = object_of(window);
  if (!object) return 0;
  if (auto* holder = capability<KPWindowTextHolder>(object)) return holder->getWindowTextLength();
  QString text;
  if (auto* widget = qobject_cast<QWidget*>(object); widget && widget->isWindow()) text = widget->windowTitle();
  else if (is_text_view(object) || line_edit_of(object)) string_value(object, &text);
  else return 0;
  return static_cast<int>(kp_kernel_text(text).size());
}

void NSKelvoWrapMachine::setWindowText(HWND window, const char* text) {
  QObject* object = object_of(window);
  if (!object) return;
  if (auto* holder = capability<KPWindowTextHolder>(object)) {
    holder->setWindowText(text);
  } else {
    const QString value = kp_qstring(text);
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->isWindow()) widget->setWindowTitle(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(object)) button->setText(value);
    else if (is_text_view(object)) set_string_value(object, value);
  }
  if (auto* edit = line_edit_of(object)) edit->setText(kp_qstring(text));
}

int NSKelvoWrapMachine::getWindowText(HWND window, char* buffer, int capacity) {
  QObject* object = object_of(window);
  if (!object) return 0;
  int copied = 0;
  if (auto* holder = capability<KPWindowTextHolder>(object)) {
    copied = holder->getWindowText(buffer, capacity);
  } else if (auto* widget = qobject_cast<QWidget*>(object); widget && widget->isWindow()) {
    copied = kp_copy_text(kp_kernel_text(widget->windowTitle()), buffer, capacity);
  } else if (is_text_view(object)) {
    QString text;
    string_value(object, &text);
    copied = kp_copy_text(kp_kernel_text(text), buffer, capacity);
  }
  if (auto* edit = line_edit_of(object)) copied = kp_copy_text(kp_kernel_text(edit->text()), buffer, capacity);
  return copied;
}

// ---- Geometry, showing, focus ----

void NSKelvoWrapMachine::getClientRect(HWND window, tagRECT* rect) {
  auto* widget = qobject_cast<QWidget*>(object_of(window));
  if (widget && rect) *rect = to_rect(widget->rect());
}

void NSKelvoWrapMachine::getWindowRect(HWND window, tagRECT* rect) {
  auto* widget = qobject_cast<QWidget*>(object_of(window));
  if (!widget || !rect) return;
  *rect = to_rect(widget->isWindow() ? widget->frameGeometry() : widget->geometry());
}

void NSKelvoWrapMachine::adjustWindowRect(tagRECT* rect, DWORD style, BOOL /*has_menu*/) {
  if (!rect) return;
  // A bordered style is a titled window: its frame adds the title bar above
  // the content. Every other style is borderless.
  if (style == WS_BORDER) rect->top -= QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

bool NSKelvoWrapMachine::setWindowPos(HWND window, HWND, int x, int y, int, int, UINT) {
  auto* widget = qobject_cast<QWidget*>(object_of(window));
  if (!widget) return false;
  widget->move(x, y);
  return true;
}

void NSKelvoWrapMachine::updateWindow(HWND window) {
  QObject* object = object_of(window);
  if (auto* link = capability<KPFigureWindowLink>(object)) object = object_of(link->figureView());
  if (auto* widget = qobject_cast<QWidget*>(object)) widget->update();
}

void NSKelvoWrapMachine::destroyWindow(HWND window) {
  if (auto* widget = qobject_cast<QWidget*>(object_of(window))) {
    widget->close();
    widget->deleteLater();
  }
}

bool NSKelvoWrapMachine::isWindowVisible(HWND window) {
  auto* widget = qobject_cast<QWidget*>(object_of(window));
  return widget && widget->isVisible();
}

void NSKelvoWrapMachine::bringWindowToTop(HWND window) {
  auto* widget = qobject_cast<QWidget*>(object_of(window));
  if (widget && widget->isWindow()) widget->raise();
}

void NSKelvoWrapMachine::setFocus(HWND window) {
  auto* widget = qobject_cast<QWidget*>(object_of(window));
  if (!widget) return;
  QWidget* top = widget->window();
  // The active window is not asked again: a window answering its own
  // activation by asking for it would, with a second one doing the same,
  // hand the activation back and forth for ever.
  if (QApplication::activeWindow() == top) return;
  top->raise();
  top->activateWindow();
}

void NSKelvoWrapMachine::kelvoShowWindow(HWND window, bool visible) {
  auto* widget = qobject_cast<QWidget*>(object_of(window));
  if (!widget) return;
  if (!widget->isWindow()) {
    widget->setVisible(visible);
  } else if (visible) {
    widget->show();
    widget->raise();
    widget->activateWindow();
  } else {
    widget->hide();
  }
}

// Qt paints a widget only inside its paint event, so a plain view has no
// device context to lend outside it: only objects that bracket their own
// painting (the figure view draws into off-screen images) answer.
HDC NSKelvoWrapMachine::beginPaint(HWND window, tagPAINTSTRUCT* paint) {
  auto* target = capability<KPPaintTarget>(object_of(window));
  return target ? target->beginPaint(paint) : nullptr;
}

void NSKelvoWrapMachine::endPaint(HWND window, tagPAINTSTRUCT* paint) {
  if (auto* target = capability<KPPaintTarget>(object_of(window))) target->endPaint(paint);
}

bool NSKelvoWrapMachine::checkPointer(const void* pointer, const char*) { return pointer != nullptr; }

// ---- Dialog items ----

namespace {

QString without_mnemonic(QString text) { return text.remove(QLatin1Char('&')); }

// Depth first: the object itself, then its children in order; the pages of
// a tab widget are its children, in tab order.
QObject* find_by_id(QObject* object, int id) {
  int tag = 0;
  if (kp_item_id(object, &tag) && tag == id) return object;
  if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
    for (int i = 0; i < tabs->count(); ++i)
      if (QObject* hit = find_by_id(tabs->widget(i), id)) return hit;
    return nullptr;
  }
  if (!qobject_cast<QWidget*>(object)) return nullptr;
  for (QObject* child : object->children())
    if (qobject_cast<QWidget*>(child))
      if (QObject* hit = find_by_id(child, id)) return hit;
  return nullptr;
}

QObject* find_by_label(QObject* object, const QString& label) {
  if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
    for (int i = 0; i < tabs->count(); ++i)
      if (without_mnemonic(tabs->tabText(i)) == label) return tabs->widget(i);
    for (int i = 0; i < tabs->count(); ++i)
      if (QObject* hit = find_by_label(tabs->widget(i), label)) return hit;
    return nullptr;
  }
  if (!qobject_cast<QWidget*>(object)) return nullptr;
  for (QObject* child : object->children())
    if (qobject_cast<QWidget*>(child))
      if (QObject* hit = find_by_label(child, label)) return hit;
  return nullptr;
}

QObject* dialog_item(HWND dialog, int id) {
  QObject* root = object_of(dialog);
  return root ? find_by_id(root, id) : nullptr;
}

QWidget* focus_in(HWND window) {
  auto* widget = qobject_cast<QWidget*>(object_of(window));
  QWidget* focus = QApplication::focusWidget();
  if (!widget || !focus || focus->window() != widget->window()) return nullptr;
  return focus;
}

}  // namespace

HWND NSKelvoWrapMachine::getDlgItem(HWND dialog, int id) { return kp_hwnd(dialog_item(dialog, id)); }

HWND NSKelvoWrapMachine::getDlgByLabel(HWND dialog, const char* label) {
  QObject* root = object_of(dialog);
  return root && label ? kp_hwnd(find_by_label(root, kp_qstring(label))) : nullptr;
}

int NSKelvoWrapMachine::getDlgItemText(HWND dialog, int id, char* buffer, int count) {
  QObject* item = dialog_item(dialog, id);
  QString text;
  if (!item || !(item_title(item, &text) || string_value(item, &text))) return 0;
  return kp_copy_text(kp_kernel_text(text), buffer, count);
}

void NSKelvoWrapMachine::setDlgItemText(HWND dialog, int id, const char* text) {
  QObject* item = dialog_item(dialog, id);
  if (!item) return;
  const QString value = kp_qstring(text ? text : "");
  if (!set_item_title(item, value)) set_string_value(item, value);
}

int NSKelvoWrapMachine::getDlgItemInt(HWND dialog, int id, BOOL* ok, BOOL) {
  QObject* item = dialog_item(dialog, id);
  int value = 0;
  const bool found = item && integer_value(item, &value);
  if (ok) *ok = found ? 1 : 0;
  return found ? value : 0;
}

void NSKelvoWrapMachine::setDlgItemInt(HWND dialog, int id, int value, BOOL) {
  if (QObject* item = dialog_item(dialog, id)) set_integer_value(item, value);
}

void NSKelvoWrapMachine::setDlgItemIntControl(HWND control, int value) {
  if (QObject* item = object_of(control)) set_integer_value(item, value);
}

LRESULT NSKelvoWrapMachine::sendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  QObject* item = dialog_item(dialog, id);
  return item ? sendMessage(kp_hwnd(item), message, wparam, lparam) : 0;
}

int NSKelvoWrapMachine::enableWindow(HWND item, bool enable) {
  QObject* object = object_of(item);
  if (auto* target = capability<KPEnableTarget>(object)) return target->enableWindow(enable);
  if (auto* edit = qobject_cast<QLineEdit*>(object)) {
    // A text field stays editable; only its text colour tells the state.
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, enable ? QColor(Qt::black) : QColor(Qt::gray));
    edit->setPalette(palette);
    return enable ? 1 : 0;
  }
  if (auto* widget = qobject_cast<QWidget*>(object)) {
    const bool previous = widget->isEnabled();
    widget->setEnabled(enable);
    return previous ? 1 : 0;
  }
  return -1;
}

void NSKelvoWrapMachine::edit_setSelection(HWND window, int start, int end) {
  QWidget* focus = focus_in(window);
  if (!focus) return;
  QString text;
  if (!string_value(focus, &text)) return;
  end = std::min(end, static_cast<int>(text.size()));
  start = std::clamp(start, 0, static_cast<int>(text.size()));
  if (end < start) std::swap(start, end);
  if (auto* edit = line_edit_of(focus)) {
    edit->setSelection(start, end - start);
  } else if (auto* view = qobject_cast<QTextEdit*>(focus)) {
    QTextCursor cursor = view->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    view->setTextCursor(cursor);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
    QTextCursor cursor = plain->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    plain->setTextCursor(cursor);
  }
}

// The selection in the Win32 form its callers compare: start in the low 16
// bits, end in the high 16 bits.
LRESULT NSKelvoWrapMachine::edit_getSelection(HWND window) {
  QWidget* focus = focus_in(window);
  int start = 0;
  int end = 0;
  if (auto* edit = focus ? line_edit_of(focus) : nullptr) {
    start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    end = edit->hasSelectedText() ? edit->selectionEnd() : start;
  } else if (auto* view = qobject_cast<QTextEdit*>(focus)) {
    start = view->textCursor().selectionStart();
    end = view->textCursor().selectionEnd();
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
    start = plain->textCursor().selectionStart();
    end = plain->textCursor().selectionEnd();
  } else {
    return 0;
  }
  return static_cast<LRESULT>(std::min(start, 0xFFFF) | (std::min(end, 0xFFFF) << 16));
}

void NSKelvoWrapMachine::edit_getRect(HWND item, tagRECT* rect) {
  auto* widget = qobject_cast<QWidget*>(object_of(item));
  if (widget && rect) *rect = to_rect(widget->geometry());
}

int NSKelvoWrapMachine::edit_GetTextLength(HWND item) {
  QString text;
  return string_value(object_of(item), &text) ? static_cast<int>(kp_kernel_text(text).size()) : 0;
}

int NSKelvoWrapMachine::edit_SetText(HWND item, const char* text) {
  if (QObject* object = object_of(item)) set_string_value(object, kp_qstring(text ? text : ""));
  return 0;
}

int NSKelvoWrapMachine::edit_GetText(HWND item, char* buffer, int capacity) {
  QString text;
  if (string_value(object_of(item), &text)) kp_copy_text(kp_kernel_text(text), buffer, capacity);
  return 0;
}

int NSKelvoWrapMachine::comboBox_GetLBText(HWND combo, int index, char* buffer, int capacity) {
  auto* box = qobject_cast<QComboBox*>(object_of(combo));
  if (!box || index < 0 || index >= box->count()) return 0;
  return kp_copy_text(kp_kernel_text(box->itemText(index)), buffer, capacity);
}
