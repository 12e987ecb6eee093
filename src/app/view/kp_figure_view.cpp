#include "app/view/kp_figure_view.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cassert>
#include <cstdio>

#include "app/document/kp_document.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "app/kernel_iface/kel_event_record.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/calculator_panel.h"
#include "app/panels/tools_palette.h"
#include "app/shell/application.h"
#include "app/shell/figure_window.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/text_tool_handlers.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/anim_panel.h"
#include "kernel/window/figure_events.h"
#include "platform/kp_dialog.h"
#include "kernel/window/figure_popup.h"
#include "kernel/window/figure_scroll.h"
#include "kernel/window/window_hooks.h"
#include "platform/kp_cursor.h"
#include "platform/kp_graf_port_qt.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"
#include "platform/kp_timer.h"

namespace {

// State shared by all figure views.
DisplayDevice* g_static_device = nullptr;
DisplayDevice* g_moving_device = nullptr;
tagPOINT g_designation_point{};
uint32_t g_restore_tool_id = 0;
uint8_t g_first_mouse_up_redraw = 1;

constexpr UINT kMsgMove = 512;

tagPOINT truncated(const QPointF& p) { return {static_cast<int32_t>(p.x()), static_cast<int32_t>(p.y())}; }

kel_EventRecord make_record(int16_t what, uint16_t modifiers, tagPOINT point) {
  kel_EventRecord record{};
  record.what = what;
  record.modifiers = modifiers;
  record.x = point.x;
  record.y = point.y;
  return record;
}

KPFigureView* current_view() { return figure_view_of(current_figure_view); }

void switch_text_edit_object(object* obj) {
  if (tool_services().switch_text_edit_object) tool_services().switch_text_edit_object(obj);
}

bool redefinition_waiting() {
  return window_services().redefinition_waiting && window_services().redefinition_waiting();
}

void install_device_hooks() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  display_device_hooks.get_dc = [](HWND win) -> KPGrafPort* {
    KPFigureView* view = figure_view_of(win);
    return view ? view->getDC() : nullptr;
  };
  display_device_hooks.copy_bitmap = [](DisplayDevice* target, DisplayDevice* source) {
    auto* view = static_cast<KPFigureView*>(target->FigureView);
    if (view) view->figureCopyBitmapDD(target, source);
  };
  display_device_hooks.window_device = []() -> DisplayDevice* {
    KPFigureView* view = current_view();
    return view ? view->getDisplayDevice() : nullptr;
  };
  display_device_hooks.window_moving_device = []() { return g_moving_device; };
  display_device_hooks.window_static_device = []() { return g_static_device; };
  display_device_hooks.view_bounds = [](DisplayDevice* dd, int* width, int* height) {
    auto* view = static_cast<KPFigureView*>(dd ? dd->FigureView : nullptr);
    if (!view) return false;
    *width = view->sheetWidth();
    *height = view->sheetHeight();
    return true;
  };
}

}  // namespace

KPFigureView* figure_view_of(HWND window) {
  QObject* object = kp_qobject(window);
  if (!object) return nullptr;
  if (auto* view = dynamic_cast<KPFigureView*>(object)) return view;
  if (auto* link = dynamic_cast<KPFigureWindowLink*>(object)) return dynamic_cast<KPFigureView*>(kp_qobject(link->figureView()));
  return nullptr;
}

uint16_t modifier_status(Qt::KeyboardModifiers modifiers) {
  uint16_t status = 0;
  if (modifiers & Qt::ControlModifier) status |= kModifierStatusCommand;
  if (modifiers & Qt::ShiftModifier) status |= kModifierStatusShift;
  if (modifiers & Qt::AltModifier) status |= kModifierStatusOption;
  return status;
}


// ---------------------------------------------------------------- life cycle

KPFigureView::KPFigureView(QWidget* parent) : QWidget(parent) {
  install_device_hooks();
  centerX_ = (drawing_page.left - drawing_page.right) / 2;
  centerY_ = (drawing_page.bottom - drawing_page.top) / 2;
  windowProc_ = reinterpret_cast<LONG_PTR>(&figure_window_proc);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  animationTimer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&animationTimer_, &QTimer::timeout, this, [this] {
    // The figure timer ticks in the default run-loop mode only.
    if (kp_current_run_loop_mode() == KPRunLoopMode::Default) FigureTimer();
  });
  keyTimer_.setSingleShot(true);
  keyTimer_.setInterval(0);
  QObject::connect(&keyTimer_, &QTimer::timeout, this, [this] { fireKeyRecords(); });
  textEditor_ = NSKelvoTextEditor::createWithFrame(KPTextFrame{}, this, this);
}

QPointF KPFigureView::figureToView(const QPointF& figure) const {
  tagPOINT p{static_cast<int32_t>(std::floor(figure.x())), static_cast<int32_t>(std::floor(figure.y()))};
  const QPointF fraction(figure.x() - p.x, figure.y() - p.y);
  localToGlobalDDM(&p);
  return (QPointF(p.x, p.y) + fraction) * scale_;
}

QPointF KPFigureView::viewToFigure(const QPointF& view) const {
  const QPointF sheet = toSheet(view);
  tagPOINT p{static_cast<int32_t>(std::floor(sheet.x())), static_cast<int32_t>(std::floor(sheet.y()))};
  const QPointF fraction(sheet.x() - p.x, sheet.y() - p.y);
  globalToLocalDDM(&p);
  return QPointF(p.x, p.y) + fraction;
}

void KPFigureView::editorFrameChanged() { update(); }

void KPFigureView::takeFocus() {
  if (isVisible()) setFocus(Qt::OtherFocusReason);
  update();
}

KPFigureView::~KPFigureView() { releaseFigure(); }

void KPFigureView::releaseFigure() {
  if (released_) return;
  released_ = true;
  isDeleting_ = 1;
  KPTimer::killTimer(kp_hwnd(this), static_cast<UINT>(-1));
  stopTimer();
  keyTimer_.stop();
  for (kel_EventRecord* record : keyQueue_) GlobalFreeAndNull(&record);
  keyQueue_.clear();
  // The display device takes the view's port with it.
  if (dc_ && !(pdd_ && pdd_->dc == dc_)) DeleteObject(dc_);
  dc_ = nullptr;
  figure_teardown(kp_hwnd(this), pdd_);
  pdd_ = nullptr;
  // The kernel must not draw for a view that is gone.
  if (current_figure_view == kp_hwnd(this)) current_figure_view = nullptr;
  info_ = nullptr;
  for (DisplayDevice* shared : {g_static_device, g_moving_device})
    if (shared && shared->FigureView == this) shared->FigureView = nullptr;
  delete surface_;
  // Pending posted messages to this view are dropped by the message machine
  // (their target is gone); the view only forgets them.
  postMessageObjects_.clear();
}

KPFigureWindow* KPFigureView::figureWindow() const { return dynamic_cast<KPFigureWindow*>(window()); }

DisplayDevice* KPFigureView::getDisplayDevice() const {
  if (!pdd_) std::fputs("KPFigureView getDisplayDevice NULLLLLLLLL\n", stderr);
  return pdd_;
}

DisplayDevice* KPFigureView::getStaticDisplayDevice() { return g_static_device; }
DisplayDevice* KPFigureView::getMovingDisplayDevice() { return g_moving_device; }

DisplayDevice* KPFigureView::addDisplayDevice2Window(kelvo_win_info* info) {
  if (!dc_) dc_ = KPGrafPort::createKPDC();
  if (!pdd_) {
    pdd_ = dd_create();
    if (pdd_) pdd_->portRect = {-467, -292, 468, 293};
  }
  if (!pdd_) return nullptr;
  pdd_->FigureView = this;
  pdd_->win = kp_hwnd(this);
  pdd_->dc = dc_;
  pdd_->ratio = scale_;
  setWindowLong(GWL_USERDATA, reinterpret_cast<LONG_PTR>(pdd_));
  pdd_->refcon = info;
  if (!g_static_device) {
    g_static_device = dd_create();
    g_moving_device = dd_create();
    for (DisplayDevice* shared : {g_static_device, g_moving_device})
      if (shared) shared->dc = KPGrafPort::createKPDC();
  }
  for (DisplayDevice* shared : {g_static_device, g_moving_device}) {
    if (!shared) continue;
    shared->FigureView = this;
    shared->win = nullptr;
    shared->refcon = info;
  }
  return pdd_;
}

void KPFigureView::removeDisplayDevicefromWindow() {
  if (dc_ && pdd_ && pdd_->dc == dc_) pdd_->dc = nullptr;
  if (dc_) DeleteObject(dc_);
  dc_ = nullptr;
  destroy_display_device(pdd_);
  pdd_ = nullptr;
}

void KPFigureView::initFigureWindow() {
  pdd_ = addDisplayDevice2Window(nullptr);
  if (pdd_) {
    new_figure_info();
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    if (!info_) info_ = fig;
    pdd_->refcon = fig;
    if (fig) fig->dd = pdd_;
    setup_current_tool(current_class);
    tagRECT b{};
    intBounds(&b);
    const int32_t left = -(b.right) / 2;
    const int32_t top = -(b.bottom) / 2;
    pdd_->portRect = {left, top, left + (b.right - b.left), top + (b.bottom - b.top)};
    // A fresh figure shows its origin in the middle of the view.
    window_centre = {-(sheetWidth() / 2), -(sheetHeight() / 2)};
    recentre_pending = 1;
  }
  selectWindow();
}

void KPFigureView::selectWindow() {
  changedWindow();
  setGlobalDrowingWindow();
  make_main_window(this);
  activate();
}

void KPFigureView::activate() {
  if (!lockFixSaveContext()) return;
  // The kernel draws for, and takes events of, the view made current here.
  current_figure_view = kp_hwnd(this);
  figure_window_active = 1;
  figure_activate(kp_hwnd(this));
  unlockView();
  // The calculator belongs to the figure in use.
  if (KPCalculatorPanel* calculator = calculator_panel(); calculator && calculator->isVisible())
    calculator->keepAboveFigure();
}

void KPFigureView::setCurrentView() {
  if (current_figure_view == kp_hwnd(this)) return;
  if (KPFigureView* current = current_view())
    if (KPDocument* doc = KPDocument::FindDocumentWith_pdd(current->pdd_)) doc->windowDidResignMain(figureWindow());
  if (KPDocument* doc = KPDocument::FindDocumentWith_pdd(pdd_)) doc->windowDidBecomeMain();
  select_tool(0);
}

void KPFigureView::unSelectWindow() {
  figure_window_active = 0;
  CheckFigureTimer();
}

// ---------------------------------------------------------- window handle

LRESULT KPFigureView::sendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SETFOCUS:
      if (QWidget* w = window()) {
        w->show();
        w->raise();
        w->activateWindow();
      }
      break;
    case WM_PAINT:
      invalidateFigure();
      break;
    case WM_CLOSE:
      if (QWidget* w = window()) w->close();
      break;
    case WM_NCACTIVATE:
      activate();
      break;
    case WM_CHAR: {
      auto* record = static_cast<kel_EventRecord*>(GlobalAlloc(0, sizeof(kel_EventRecord)));
      if (!record) break;
      record->what = kEventKey;
      record->message = static_cast<uint32_t>(wparam);
      record->modifiers = modifier_status(QGuiApplication::keyboardModifiers());
      record->handler = &figure_key_down;
      addViewTimer(record);
      break;
    }
    case WM_TIMER:
      KelvoMouseMoved(nullptr, WM_TIMER);
      break;
    case WM_LBUTTONDOWN:
      mouseDown(QPointF(static_cast<int16_t>(lparam & 0xFFFF), static_cast<int16_t>((lparam >> 16) & 0xFFFF)), 1,
                QGuiApplication::keyboardModifiers());
      break;
    case WM_LBUTTONUP:
      mouseUp(QPointF(static_cast<int16_t>(lparam & 0xFFFF), static_cast<int16_t>((lparam >> 16) & 0xFFFF)),
              QGuiApplication::keyboardModifiers());
      break;
    default:
      break;
  }
  return 0;
}

LONG_PTR KPFigureView::getWindowLong(int index) {
  switch (index) {
    case GWL_WNDPROC:
      return windowProc_;
    case GWL_STYLE:
      return windowStyle_;
    case GWL_EXSTYLE:
      return windowExStyle_;
    case GWL_USERDATA:
      return windowLong_;
    default:
      assert(false && "window long index");
      return 0;
  }
}

void KPFigureView::setWindowLong(int index, LONG_PTR value) {
  switch (index) {
    case GWL_WNDPROC:
      windowProc_ = value;
      break;
    case GWL_STYLE:
      windowStyle_ = value;
      break;
    case GWL_EXSTYLE:
      windowExStyle_ = value;
      break;
    case GWL_USERDATA:
      windowLong_ = value;
      break;
    default:
      assert(false && "window long index");
  }
}

void KPFigureView::AddMessage(NSKelvoWrapMachine* record) { postMessageObjects_.push_back(record); }

void KPFigureView::RemMessage(NSKelvoWrapMachine* record) {
  auto it = std::find(postMessageObjects_.begin(), postMessageObjects_.end(), record);
  if (it != postMessageObjects_.end()) postMessageObjects_.erase(it);
}

HDC KPFigureView::beginPaint(tagPAINTSTRUCT* paint) {
  if (paint) {
    paint->hdc = dc_;
    // Kernel rectangles keep the window system's order: top below bottom.
    paint->rcPaint.left = invalidateRect_.x();
    paint->rcPaint.right = invalidateRect_.x() + invalidateRect_.width();
    paint->rcPaint.top = invalidateRect_.y() + invalidateRect_.height();
    paint->rcPaint.bottom = invalidateRect_.y();
  }
  return dc_;
}

bool KPFigureView::endPaint(tagPAINTSTRUCT*) { return true; }

// ------------------------------------------------------------------ tools

void KPFigureView::sendCurrentToolAction(uint32_t tool_id, uint32_t color, bool from_palette) {
  if (!lockFixSaveContext()) return;
  // A click on an attribute menu of the palette makes that menu one the
  // colour palette shows, and so one whose attribute the tool applies.
  const uint32_t group = tool_group(tool_id);
  if (from_palette && group > 1000 && group < 1012) on_attrib_menu_select(attrib_menus, point_from_packed(0), 0, tool_id);
  dispatch_tool_action(tool_id, color);
  setup_current_tool(current_class);
  show_tool_colors();
  unlockView();
}

// ----------------------------------------------------------------- events

// The designation runs at a window point, always converted to figure
// coordinates first.
void KPFigureView::cursorSelect(tagPOINT point) {
  globalToLocalDDM(&point);
  g_designation_point = point;
  designate_under_cursor(point.x, point.y);
}

// The context menu is for what is designated under the click.
void KPFigureView::designateForMenu(tagPOINT point) {
  if (!lockFixSaveContext()) return;
  // Again at the same point too: the last menu emptied the designation.
  designation_force = 1;
  cursorSelect(point);
  unlockView();
}

void KPFigureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    tagPOINT at = truncated(toSheet(event->position()));
    designateForMenu(at);
    globalToLocalDDM(&at);
    saved_mouse_point = at;
    show_figure_popup_menu();
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  mouseDown(toSheet(event->position()), event->type() == QEvent::MouseButtonDblClick ? 2 : 1, event->modifiers());
}

void KPFigureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  mouseUp(toSheet(event->position()), event->modifiers());
}

void KPFigureView::mouseMoveEvent(QMouseEvent* event) {
  designation_hint_off = 0;
  const QPointF where = toSheet(event->position());
  if (event->buttons() & Qt::LeftButton) {
    mouseDragged(where, event->modifiers());
    return;
  }
  KPEventsWrapper::setModifiers(static_cast<uint32_t>(event->modifiers().toInt()));
  kel_EventRecord move = make_record(kEventDragStep, 0, truncated(where));
  figure_view_track_mouse(kp_hwnd(this), &move);
  if (!mouse_tracking && !printing_) {
    if (changedWindow_) {
      changedWindow_ = 0;
      if (moving_display && lockFixSaveContext()) {
        redraw_figure(2);
        copy_static_display();
        figure_changed = 1;
        flush_moving_display(27);
        unlockView();
      }
    }
    KelvoMouseMoved(&where, kMsgMove);
  }
}

void KPFigureView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (mouse_tracking || printing_ || QGuiApplication::mouseButtons() != Qt::NoButton) return;
  // A pointer that jumps out of the view takes the hint about the object it
  // was over with it.
  designation_hint_off = 1;
  if (!lockFixSaveContext()) return;
  clear_designation_text();
  unlockView();
}

void KPFigureView::mouseDown(const QPointF& where, int click_count, Qt::KeyboardModifiers modifiers) {
  if (DUVirIdazididovi* app = DUVirIdazididovi::running()) app->closeSplasher();
  // A press with the context-menu modifier opens the figure's menu only.
  if (modifiers & Qt::MetaModifier) {
    tagPOINT at = truncated(where);
    designateForMenu(at);
    globalToLocalDDM(&at);
    saved_mouse_point = at;
    show_figure_popup_menu();
    return;
  }
  KPEventsWrapper::setModifiers(static_cast<uint32_t>(modifiers.toInt()));
  const tagPOINT point = truncated(where);
  kel_EventRecord down = make_record(kEventMouseDown, modifier_status(modifiers), point);
  figure_view_track_mouse(kp_hwnd(this), &down);
  if (pdd_ && lockFixSaveContext()) {
    press_tick = KPTimer::getTickCount();
    press_point = mouse_point = saved_mouse_point = point;
    double_click = click_count > 1 ? 1 : 0;
    if (!open_pull_down && !popup_tracking) {
      if (config_mode) {
        NSKelvoWrapMachine::cwmPostMessage(tools_panel_window, WM_USER, 101, 0);
      } else {
        pointer_drag_started = 0;
        hold_tested = 0;
        kel_EventRecord record = down;
        designation_force = 1;
        const tagPOINT p = mouse_point;
        if (dc_) {
          KPFont* font = dc_->getCurrentFont();
          cursorSelect(p);
          dc_->setCurrentFont(font);
        }
        if (modifiers & Qt::ControlModifier) {
          scroll_figure_window(point.x, point.y, 0);
        } else {
          bool row_held = false;
          switch (interaction_state) {
            case STATE_CONSTRUCTION: {
              kelvo_win_info* fig = KPGeoDocument::currentInfo();
              object* first_picked = picked.items ? picked.items[0] : nullptr;
              row_held = ambiguous_designation ||
                         (current_class == &classe_table && first_picked && table_being_built(fig) == first_picked) ||
                         (current_class == &classe_redefine && redefinition_waiting()) || pending_multi_point;
              if (row_held) figure_mouse_construct(&record);
              // A press on the empty sheet with a text or table tool starts
              // the frame of the new object; the release builds it.
              const bool frames = current_class == &classe_text || current_class == &classe_exp_num ||
                                  (current_class == &classe_table && !table_being_built(fig));
              if (!row_held && frames && !first_picked) {
                tagPOINT local = p;
                globalToLocalDDM(&local);
                text_frame_press(local);
              }
              break;
            }
            case 2:
            case 3:
            case 7:
            case 10:
              row_held = ambiguous_designation;
              if (row_held) {
                figure_mouse_pointer(&record);
                NSKelvoWrapMachine::setFocus(current_figure_view);
                mouse_tracking = 0;
              }
              break;
            case STATE_ANIMATION:
            case STATE_MULTI_ANIMATION:
              if (manipulating) {
                mouse_tracking = 1;
                NSKelvoWrapMachine::sendMessage(kp_hwnd(this), WM_LBUTTONUP, 0,
                                                (point.x & 0xFFFF) | ((point.y & 0xFFFF) << 16));
                if (interaction_state == STATE_ANIMATION) figure_mouse_pointer(&record);
              } else {
                figure_mouse_pointer(&record);
              }
              break;
            case 5:
            case 6:
              row_held = ambiguous_designation;
              if (row_held) attribute_tool_click(&record);
              break;
            default:
              break;
          }
          if (row_held) {
            setup_current_tool(current_class);
            designation_force = 1;
          }
        }
        refresh_tool_menus();
      }
    }
    unlockView();
  }
  CheckFigureTimer();
}

bool KPFigureView::holdRipe(UINT message) const {
  const bool tool = current_class != nullptr;
  if (message == kMsgMove && mouse_tracking) {
    const int32_t distance = std::abs(mouse_point.x - press_point.x) + std::abs(mouse_point.y - press_point.y);
    if (distance > (tool ? 20 : 6)) return true;
  }
  const DWORD elapsed = KPTimer::getTickCount() - press_tick;
  return mouse_tracking && elapsed > static_cast<DWORD>(tool ? 1000 : 500);
}

void KPFigureView::pressAndHold(kel_EventRecord* record, UINT message, const QPointF* where, bool dragged) {
  if (!holdRipe(message)) {
    cursorSelect(mouse_point);
    return;
  }
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* first_picked = picked.items ? picked.items[0] : nullptr;
  bool refused = hold_tested || ambiguous_designation || (current_class && pending_multi_point) ||
                 current_class == &classe_redefine || current_class == &classe_text ||
                 current_class == &classe_exp_num ||
                 (current_class == &classe_table && !first_picked && !table_being_built(fig)) ||
                 (current_class == &classe_table && first_picked && first_picked->otype &&
                  first_picked->otype->id == 17);
  if (!refused) {
    const bool no_inputs = !fig || !fig->inputs || !fig->inputs->items || !fig->inputs->items[0];
    refused = !no_inputs;
  }
  if (refused) {
    cursorSelect(mouse_point);
    return;
  }
  const uint8_t saved_mode = interaction_state;
  const uint16_t saved_drag = drag_mode;
  construct_class* saved_class = current_class;
  object* text_object = fig ? fig->cur_text : nullptr;
  const tagPOINT press = press_point;
  kel_EventRecord press_record = make_record(kEventMouseDown, record->modifiers, press_point);
  interaction_state = STATE_POINTER;
  drag_mode = 1;
  current_class = nullptr;
  switch_text_edit_object(nullptr);
  setup_current_tool(nullptr);
  designation_force = 1;
  cursorSelect(press);
  interaction_state = saved_mode;
  drag_mode = saved_drag;
  current_class = saved_class;
  first_picked = picked.items ? picked.items[0] : nullptr;
  if (!ambiguous_designation && try_pick_object(&press_record, first_picked, false, true)) {
    g_restore_tool_id = last_toolbox_tool;
    select_tool(0);
    trackingDecision(record, where, dragged);
    return;
  }
  setup_current_tool(current_class);
  designation_force = 1;
  cursorSelect(press);
  hold_tested = 1;
  clear_pick_marks();
  if (text_object) switch_text_edit_object(text_object);
  cursorSelect(mouse_point);
}

void KPFigureView::trackingDecision(kel_EventRecord* record, const QPointF* where, bool dragged) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* first_picked = picked.items ? picked.items[0] : nullptr;
  const uint16_t first_tag = picked.tags ? picked.tags[0] : 0;
  const bool text_handle = fig && first_picked && fig->cur_text == first_picked && first_tag >= 257 &&
                           first_tag <= 265;
  if (dragged && !scroll_drag_active && text_handle && !(first_picked->otype && first_picked->otype->id == 20)) {
    if (textEditor_ && where && !textEditor_->isHidden()) {
      tagPOINT p = truncated(*where);
      globalToLocalDDM(&p);
      textEditor_->resizeWindow(first_tag, p.x, p.y);
    }
    figure_changed = 1;
    flush_moving_display(25);
  } else if (manipulating) {
    handle_manipulation_event(record, drag_object);
    window_record_action(12);
  } else if (rubber_band_tracking) {
    figure_mouse_track(record, (record->what == kEventMouseUp || !mouse_tracking) ? 1 : 0);
  } else if (scroll_drag_active) {
    if (where) scroll_figure_window(static_cast<int32_t>(where->x()), static_cast<int32_t>(where->y()), 0);
  } else if (spring_gesture_active) {
    dispatch_object_event(record, drag_object);
    window_record_action(16);
  } else if (!mouse_tracking) {
    cursorSelect(mouse_point);
  }
}

void KPFigureView::KelvoMouseMoved(const QPointF* where, UINT message) {
  if (mouse_tracking && where && !scroll_drag_active) return;
  if (!where && mouse_tracking && !scroll_drag_active) {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    object* first_picked = picked.items ? picked.items[0] : nullptr;
    const uint16_t tag = picked.tags ? picked.tags[0] : 0;
    if (fig && first_picked && fig->cur_text == first_picked && tag >= 257 && tag <= 265) return;
  }
  if (!lockFixSaveContext()) {
    CheckFigureTimer();
    return;
  }
  if (message == kMsgMove && where) {
    previous_mouse_point = mouse_point;
    previous_mouse_tick = mouse_tick;
    mouse_tick = KPTimer::getTickCount();
    mouse_point = truncated(*where);
  }
  if (current_figure_view != kp_hwnd(this) || open_pull_down || popup_tracking) {
    update_cursor(KPCursor::lastSet());
  } else if (!config_mode) {
    kel_EventRecord record = make_record(kEventDragStep, modifier_status(QGuiApplication::keyboardModifiers()), mouse_point);
    if (manipulating || rubber_band_tracking || scroll_drag_active || spring_gesture_active || !mouse_tracking) {
      trackingDecision(&record, where, false);
    } else {
      switch (interaction_state) {
        case 1:
        case 3:
        case 5:
        case 6:
          pressAndHold(&record, message, where, false);
          break;
        case 2:
        case 7:
          if (holdRipe(message)) {
            record.what = kEventMouseDown;
            record.x = press_point.x;
            record.y = press_point.y;
            pointer_drag_started = 1;
            figure_mouse_pointer(&record);
          }
          break;
        default:
          break;
      }
    }
  }
  unlockView();
  CheckFigureTimer();
}

void KPFigureView::mouseDragged(const QPointF& where, Qt::KeyboardModifiers modifiers) {
  KPEventsWrapper::setModifiers(static_cast<uint32_t>(modifiers.toInt()));
  kel_EventRecord drag = make_record(kEventDragStep, modifier_status(modifiers), truncated(where));
  figure_view_track_mouse(kp_hwnd(this), &drag);
  if (!pdd_ || !lockFixSaveContext()) {
    CheckFigureTimer();
    return;
  }
  previous_mouse_point = mouse_point;
  previous_mouse_tick = mouse_tick;
  mouse_tick = KPTimer::getTickCount();
  mouse_point = truncated(where);
  if (current_figure_view != kp_hwnd(this) || open_pull_down || popup_tracking) {
    update_cursor(KPCursor::lastSet());
  } else if (!config_mode) {
    kel_EventRecord record = make_record(kEventDragStep, modifier_status(modifiers), mouse_point);
    if (text_frame_active() && mouse_tracking) {
      tagPOINT local = mouse_point;
      globalToLocalDDM(&local);
      text_frame_move(local);
    } else if (manipulating || rubber_band_tracking || scroll_drag_active || spring_gesture_active || !mouse_tracking) {
      trackingDecision(&record, &where, true);
    } else if (interaction_state == 1 || interaction_state == 3 || interaction_state == 5 ||
               interaction_state == 6) {
      pressAndHold(&record, kMsgMove, &where, true);
    } else if ((interaction_state == 2 || interaction_state == 7) && holdRipe(kMsgMove)) {
      record.what = kEventMouseDown;
      record.x = press_point.x;
      record.y = press_point.y;
      pointer_drag_started = 1;
      figure_mouse_pointer(&record);
    }
  }
  unlockView();
  CheckFigureTimer();
}

void KPFigureView::mouseUp(const QPointF& where, Qt::KeyboardModifiers modifiers) {
  if (!pdd_) return;
  if (textEditor_ && textEditor_->stopResizing()) textEditor_->resetResizingPolicy();
  KPEventsWrapper::setModifiers(static_cast<uint32_t>(modifiers.toInt()));
  kel_EventRecord up = make_record(kEventMouseUp, modifier_status(modifiers), truncated(where));
  figure_view_track_mouse(kp_hwnd(this), &up);
  bool skip_rest = false;
  if (lockFixSaveContext()) {
    mouse_point = truncated(where);
    if (open_pull_down) {
      // the pull-down list takes the release
    } else if (popup_tracking) {
      popup_tracking = 0;
    } else if (config_mode) {
      skip_rest = true;
    } else {
      kelvo_win_info* fig = KPGeoDocument::currentInfo();
      kel_EventRecord record = up;
      record.x = mouse_point.x;
      record.y = mouse_point.y;
      if (manipulating) {
        handle_manipulation_event(&record, drag_object);
        window_record_action(13);
      } else if (rubber_band_tracking) {
        figure_mouse_track(&record, 1);
      } else if (scroll_drag_active) {
        if (scrollRemoteView_) scrollRemoteView_->finishScroll(false);
        scroll_drag_active = 0;
        window_record_action(15);
      } else if (spring_gesture_active) {
        dispatch_object_event(&record, drag_object);
        window_record_action(17);
      } else {
        cursorSelect(mouse_point);
        record.what = kEventMouseDown;
        switch (interaction_state) {
          case 2:
          case 3:
          case 7:
          case 10:
            in_mouse_up = 1;
            figure_mouse_pointer(&record);
            in_mouse_up = 0;
            break;
          case 5:
          case 6:
            attribute_tool_click(&record);
            break;
          case 1: {
            object* first_picked = picked.items ? picked.items[0] : nullptr;
            if (!(current_class == &classe_table && first_picked && table_being_built(fig) == first_picked))
              figure_mouse_construct(&record);
            break;
          }
          default:
            break;
        }
      }
      // A frame the release did not use (the click went to an object) ends.
      text_frame_cancel();
      if (!manipulating && g_restore_tool_id) {
        NSKelvoWrapMachine::cwmPostMessage(tools_panel_window, WM_USER, 101,
                                           static_cast<LPARAM>(g_restore_tool_id));
        g_restore_tool_id = 0;
      }
      if (KPGeoDocument::currentInfo()) {
        setup_current_tool(current_class);
        designation_force = 1;
      }
      refresh_tool_menus();
    }
    unlockView();
    if (skip_rest) return;
  }
  if (g_first_mouse_up_redraw) {
    g_first_mouse_up_redraw = 0;
    if (lockFixSaveContext()) {
      redraw_figure(2);
      copy_static_display();
      unlockView();
    }
  }
  KelvoMouseMoved(&where, kMsgMove);
  CheckFigureTimer();
}

// ------------------------------------------------------------ key records

void KPFigureView::addViewTimer(kel_EventRecord* record) {
  keyQueue_.push_back(record);
  if (!keyTimer_.isActive()) keyTimer_.start();
}

void KPFigureView::fireKeyRecords() {
  if (keyQueue_.empty()) return;
  // Key records wait while a nested loop (a menu, a modal panel) runs.
  if (kp_current_run_loop_mode() != KPRunLoopMode::Default) {
    keyTimer_.start(10);
    return;
  }
  kel_EventRecord* record = keyQueue_.front();
  keyQueue_.pop_front();
  if (!isDeleting_ && lockFixSaveContext()) {
    if (record->handler) record->handler(record);
    unlockView();
  }
  GlobalFreeAndNull(&record);
  // A key may have started an animation (Return with springs) or ended one.
  CheckFigureTimer();
  if (!keyQueue_.empty()) keyTimer_.start(0);
}

// ----------------------------------------------------- timers and scrolling

void KPFigureView::CheckFigureTimer() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const bool animating = manipulating && (interaction_state == STATE_ANIMATION ||
                                          interaction_state == STATE_MULTI_ANIMATION);
  const bool selection = fig && fig->selection && fig->selection->items && fig->selection->items[0];
  // While a text is typed in the figure's editor nothing blinks or is
  // designated under it.
  const bool editing = textEditor_ && !textEditor_->isHidden();
  const bool wanted = figure_window_active && current_figure_view == kp_hwnd(this) && fig && !editing &&
                      (selection || animating || mouse_tracking || rubber_band_tracking ||
                       selection_rect_shown);
  if (wanted && !timerOn_) {
    const bool fast = interaction_state == STATE_ANIMATION || interaction_state == STATE_MULTI_ANIMATION;
    animationTimer_.start(fast ? 10 : 20);
    timerOn_ = 1;
  } else if (!wanted && timerOn_) {
    stopTimer();
  }
}

void KPFigureView::FigureTimer() {
  if (selection_rect_shown) designation_force = 1;
  KelvoMouseMoved(nullptr, WM_TIMER);
}

void KPFigureView::stopTimer() {
  animationTimer_.stop();
  timerOn_ = 0;
}

void KPFigureView::autoanimate() {
  QTimer::singleShot(500, this, [this] {
    if (kp_current_run_loop_mode() != KPRunLoopMode::Default) return;
    if (!lockFixSaveContext()) return;
    start_auto_animation();
    unlockView();
  });
}

void KPFigureView::doScroll(double x, double y) {
  if (recentre_pending) {
    centre();
    recentre_pending = 0;
    putKnobsAtOrigin();
  } else {
    centerX_ = static_cast<int32_t>(centerX_ - (rx_ - x));
    centerY_ = static_cast<int32_t>(centerY_ + (ry_ - y));
    rx_ = x;
    ry_ = y;
  }
  if (pdd_) dd_draw_background(pdd_);
  invalidateFigure();
}

void KPFigureView::showOrigin(int32_t left, int32_t top) {
  const int32_t dx = left - centerX_;
  const int32_t dy = top - centerY_;
  centerX_ = left;
  centerY_ = top;
  putKnobsAtOrigin();
  // The text being edited stays on its object.
  if (textEditor_ && !textEditor_->isHidden() && (dx || dy))
    textEditor_->move(textEditor_->pos() - QPoint(static_cast<int>(dx * scale_), static_cast<int>(dy * scale_)));
  update();
}

void KPFigureView::putKnobsAtOrigin() {
  QScrollBar* h = scrollRemoteView_ ? scrollRemoteView_->hScroller() : nullptr;
  QScrollBar* v = scrollRemoteView_ ? scrollRemoteView_->vScroller() : nullptr;
  if (!h || !v) return;
  const QSignalBlocker block_h(h);
  const QSignalBlocker block_v(v);
  h->setValue(centerX_ - scroll_range.left);
  v->setValue(centerY_ - scroll_range.top);
  rx_ = h->value();
  ry_ = v->maximum() - v->value();
}

void KPFigureView::setViewOrigin(double x, double y) {
  if (!scrollRemoteView_) return;
  scrollRemoteView_->setScrollPos(1, static_cast<int32_t>(y), false);
  scrollRemoteView_->setScrollPos(0, static_cast<int32_t>(x), false);
  scrollRemoteView_->finishScroll(true);
}

// The zoom is the scale of the view's port and the ratio of the devices the
// kernel draws the view with: off 1 the kernel strokes every object through
// the device context at that scale (crisp at any zoom), at 1 it keeps its
// pixel route. Events still reach the kernel in figure units (toSheet).
void KPFigureView::setFigureScale(double value) {
  const float scale = static_cast<float>(value >= 0 ? 1.0 / (1.0 - value) : 1.0 + value);
  if (!(scale > 0) || scale == scale_) return;
  // The figure point in the middle of the view stays there. It is kept
  // exactly while only the zoom moves, so that going back to a zoom shows
  // the very same part of the figure.
  if (centerX_ != zoomedCentre_.x() || centerY_ != zoomedCentre_.y())
    zoomMiddle_ = QPointF(centerX_ + width() / (2.0 * scale_), centerY_ + height() / (2.0 * scale_));
  scale_ = scale;
  if (dc_) dc_->setGrafScale(scale_);
  if (pdd_) pdd_->ratio = scale_;
  // A trace layer holds pixels of the old zoom.
  if (info_ && info_->trace_device) free_trace_display(info_);
  centerX_ = static_cast<int32_t>(std::lround(zoomMiddle_.x() - width() / (2.0 * scale_)));
  centerY_ = static_cast<int32_t>(std::lround(zoomMiddle_.y() - height() / (2.0 * scale_)));
  zoomedCentre_ = QPoint(centerX_, centerY_);
  viewResized();
  invalidateFigure();
}

void KPFigureView::setFigureAngle(double value) {
  angle_ = static_cast<float>(value);
  invalidateFigure();
}

void KPFigureView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  viewResized();
}

void KPFigureView::viewResized() {
  // The bars' ranges follow the part of the sheet the view shows (its size
  // over the zoom), and their knobs its corner, which a zoom moves.
  if (scrollRemoteView_) scrollRemoteView_->updateRanges();
  putKnobsAtOrigin();
  if (!pdd_) return;
  if (lockFixSaveContext()) unlockView();  // rebuilds the surface and the layers
  // The resize is recorded for this view's figure, which it does not make
  // the current one: a window behind (its help field shown or hidden with
  // every other's) would put its figure into the window in front, to be
  // edited and saved there under that window's name.
  if (const window_hooks& hooks = window_services(); hooks.session_record_action)
    hooks.session_record_action(static_cast<kelvo_win_info*>(pdd_->refcon), 20);
}

void KPFigureView::wheelEvent(QWheelEvent* event) {
  const tagPOINT p = truncated(toSheet(event->position()));
  kel_EventRecord wheel = make_record(kEventDragStep, modifier_status(event->modifiers()), p);
  figure_view_track_mouse(kp_hwnd(this), &wheel);
  if (scroll_drag_active || !lockFixSaveContext()) return;
  // The wheel always scrolls, measured from the pointer.
  scroll_drag_active = 1;
  scroll_anchor = p;
  scroll_translates_figure = 0;
  // One notch (120) scrolls 8 steps of 5 pixels; turning the wheel away
  // shows the upper part of the sheet.
  const double dx = event->angleDelta().x() / 15.0;
  const double dy = -event->angleDelta().y() / 15.0;
  scroll_figure_window(static_cast<int32_t>(p.x + 5 * dx), static_cast<int32_t>(p.y - 5 * dy), 0);
  scroll_drag_active = 0;
  if (scrollRemoteView_) scrollRemoteView_->finishScroll(true);
  unlockView();
}
