// The keyboard of the figure view: every key of a figure window reaches
// KPFigureView::keyDown(event, window), which turns it into a kernel menu
// command, a call of the kernel's key handler, input for the calculator or
// a tool change in the tools palette.
#include <QCursor>
#include <QKeyEvent>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kel_event_record.h"
#include "kernel/window/main_commands.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/window/figure_events.h"
#include "platform/kp_dialog.h"
#include "app/view/kp_figure_view.h"
#include "kernel/measure/calculator_window.h"
#include "platform/kp_qt_bridge.h"

namespace {

uint8_t key_down_in_super = 0;

constexpr uint32_t kUpArrow = 63232;
constexpr uint32_t kDownArrow = 63233;
constexpr uint32_t kLeftArrow = 63234;
constexpr uint32_t kRightArrow = 63235;
constexpr uint32_t kF1 = 63236;
constexpr uint32_t kF3 = 63238;
constexpr uint32_t kF4 = 63239;
constexpr uint32_t kF6 = 63241;
constexpr uint32_t kForwardDelete = 63272;
constexpr uint32_t kCalculatorField = 1001;

// The character code the kernel knows for a key: the text it types, or the
// function-key code of keys that type nothing.
uint32_t key_character(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up: return kUpArrow;
    case Qt::Key_Down: return kDownArrow;
    case Qt::Key_Left: return kLeftArrow;
    case Qt::Key_Right: return kRightArrow;
    case Qt::Key_F1: return kF1;
    case Qt::Key_F2: return kF1 + 1;
    case Qt::Key_F3: return kF3;
    case Qt::Key_F4: return kF4;
    case Qt::Key_F5: return kF4 + 1;
    case Qt::Key_F6: return kF6;
    case Qt::Key_Delete: return kForwardDelete;
    case Qt::Key_Backspace: return 127;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Minus: return '-';
    case Qt::Key_Plus: return '+';
    case Qt::Key_Equal: return '=';
    default: break;
  }
  const QString text = event->text();
  if (!text.isEmpty() && text[0].unicode() >= 32) return text[0].unicode();
  // With the command key held the text is a control code: take the letter.
  if (event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z)
    return static_cast<uint32_t>('a' + (event->key() - Qt::Key_A));
  return text.isEmpty() ? 0 : text[0].unicode();
}

bool is_arrow(uint32_t c) { return c >= kUpArrow && c <= kRightArrow; }

// A modifier pressed alone types nothing: it must not reach the figure as
// a key (it would open a name on the selected object).
bool is_modifier_alone(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
      return true;
    default:
      return false;
  }
}

bool is_modifier_key(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
         key == Qt::Key_AltGr;
}

}  // namespace

// A modifier pressed or released alone: the kernel learns the new state at
// once and tracks the mouse again, so that the cursor follows the grab key
// without the mouse moving.
void KPFigureView::flagsChanged(QKeyEvent* event) {
  // Window systems differ on whether the key's own flag is in the event:
  // it is put in on a press and taken out on a release.
  Qt::KeyboardModifiers modifiers = event->modifiers();
  const Qt::KeyboardModifier own = event->key() == Qt::Key_Shift     ? Qt::ShiftModifier
                                   : event->key() == Qt::Key_Control ? Qt::ControlModifier
                                   : event->key() == Qt::Key_Meta    ? Qt::MetaModifier
                                                                     : Qt::AltModifier;
  modifiers.setFlag(own, event->type() == QEvent::KeyPress);
  KPEventsWrapper::setModifiers(static_cast<uint32_t>(modifiers.toInt()));
  const QPointF at = toSheet(mapFromGlobal(QCursor::pos()));
  kel_EventRecord record{kEventKey, 0, modifier_status(modifiers), static_cast<int32_t>(at.x()),
                         static_cast<int32_t>(at.y()), 0, nullptr};
  figure_view_track_mouse(kp_hwnd(this), &record);
}

void KPFigureView::keyPressEvent(QKeyEvent* event) {
  if (is_modifier_alone(event)) {
    if (is_modifier_key(event->key())) flagsChanged(event);
    return;
  }
  const uint32_t c = key_character(event);
  KPFigureView* current = figure_view_of(current_figure_view);
  HWND window = current ? kp_hwnd(current->window()) : nullptr;
  if (c == 27 || c == 9) keyDown(event, window);
  if (c == 9) return;  // Tab never travels further
  key_down_in_super = 1;
  const bool taken = keyDown(event, window);
  key_down_in_super = 0;
  if (!taken) QWidget::keyPressEvent(event);
}

void KPFigureView::keyReleaseEvent(QKeyEvent* event) {
  if (is_modifier_key(event->key())) {
    flagsChanged(event);
    return;
  }
  QWidget::keyReleaseEvent(event);
}

bool KPFigureView::keyDown(QKeyEvent* event, HWND window) {
  KPFigureView* view = figure_view_of(current_figure_view);
  if (!view || !view->lockFixSaveContext()) return true;
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  KPEventsWrapper::setModifiers(static_cast<uint32_t>(modifiers.toInt()));
  const bool command = modifiers & Qt::ControlModifier;
  const bool option = modifiers & Qt::AltModifier;
  const bool key_down = event->type() == QEvent::KeyPress;
  uint32_t c = key_character(event);

  if (calculator_window) {
    if (c == 13) {
      NSKelvoWrapMachine::sendMessage(calculator_window, WM_COMMAND, IDOK, 0);
    } else if (c == 127) {
      if (HWND field = NSKelvoWrapMachine::getDlgItem(calculator_window, kCalculatorField)) {
        char text[1024];
        const int n = NSKelvoWrapMachine::getWindowText(field, text, sizeof text);
        if (n > 0) {
          text[n - 1] = '\0';
          NSKelvoWrapMachine::setWindowText(field, text);
        }
      }
    } else if (is_arrow(c)) {
      view->unlockView();
      return false;
    } else if (!event->text().isEmpty()) {
      if (HWND field = NSKelvoWrapMachine::getDlgItem(calculator_window, kCalculatorField)) {
        char text[1024];
        const int n = NSKelvoWrapMachine::getWindowText(field, text, sizeof text);
        std::string joined(text, n > 0 ? static_cast<size_t>(n) : 0);
        joined += kp_kernel_text(event->text());
        NSKelvoWrapMachine::setWindowText(field, joined.c_str());
      }
    }
  }

  if (c == kForwardDelete || c == 127) c = 8;
  if (command && c == 31) c = '-';
  if (command && c == '=') c = '+';

  kel_EventRecord record{kEventKey, c, modifier_status(modifiers), 0, 0, 0, &figure_key_down};
  UINT menu_command = 0;
  if (is_arrow(c)) {
    if (!(key_down_in_super && key_down)) {
      view->unlockView();
      return false;
    }
  } else if (c == kF1 && !command) {
    menu_command = 121;
  } else if (c == kF3 && option) {
    menu_command = 40033;
  } else if (c == kF4 && option) {
    menu_command = 40024;
  } else if (c == kF6 && command) {
    menu_command = 40030;
  } else if (c == 8249) {
    menu_command = 40024;
  } else if (c == 'd' && command) {
    menu_command = 40042;
  } else if (c == 'r' && command) {
    menu_command = 40027;
  } else if (c == 'u' && command) {
    menu_command = 40026;
  } else if (c == '+' && command) {
    menu_command = option ? 40039 : 40058;
  } else if (c == '-' && command) {
    menu_command = option ? 40040 : 40059;
  } else if (c == 27) {
    figure_special_key(27);
  }

  if (is_arrow(c))
    NSKelvoWrapMachine::cwmPostMessage(tools_panel_window, WM_USER, 107, static_cast<LPARAM>(c));
  else if (open_pull_down)
    NSKelvoWrapMachine::cwmPostMessage(open_pull_down, WM_CLOSE, 0, 0);

  if (!popup_tracking) {
    if (menu_command) {
      if (window) main_menu_command(window, menu_command, 0);
    } else if (key_down) {
      figure_key_down(&record);
    }
  }
  view->unlockView();
  return true;
}
