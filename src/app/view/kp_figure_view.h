// The drawing sheet of one figure document and the bridge between Qt and the
// figure kernel. The view owns its figure record, its display device and its
// timers, answers the window-handle interface of the platform layer, turns
// mouse, wheel and key events into calls of the kernel's figure handlers and
// composites in its paint event the off-screen images the kernel draws into.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <climits>
#include <deque>

#include "app/kernel_iface/kel_event_record.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kernel_services.h"
#include "platform/kp_graf_port.h"

struct DisplayDevice;
struct kelvo_win_info;
class KPFigureWindow;
class QPainter;
class QPrinter;
class NSKelvoScrollRemoteView;
#include "platform/ns_kelvo_text_editor.h"

class KPFigureView : public QWidget,
                     public KPMessageTarget,
                     public KPWindowLongHolder,
                     public KPPostedMessageHolder,
                     public KPPaintTarget,
                     public KPFigureTimerTarget,
                     public KPTextEditorHost {
 public:
  // True once the scroll bars have placed the view, from when it shows the
  // figure.
  bool isPlaced() const { return originSet_; }
  explicit KPFigureView(QWidget* parent = nullptr);
  ~KPFigureView() override;

  // ---- Window-handle interface ----
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  LONG_PTR getWindowLong(int index) override;
  void setWindowLong(int index, LONG_PTR value) override;
  void AddMessage(NSKelvoWrapMachine* record) override;
  void RemMessage(NSKelvoWrapMachine* record) override;
  HDC beginPaint(tagPAINTSTRUCT* paint) override;
  bool endPaint(tagPAINTSTRUCT* paint) override;
  KPGrafPort* getDC() const { return dc_; }
  DisplayDevice* getDisplayDevice() const;
  static DisplayDevice* getStaticDisplayDevice();
  static DisplayDevice* getMovingDisplayDevice();
  DisplayDevice* addDisplayDevice2Window(kelvo_win_info* info);
  void removeDisplayDevicefromWindow();

  // ---- Life cycle ----
  void initFigureWindow();
  void selectWindow();
  void unSelectWindow();
  void setCurrentView();
  void activate();
  void changedWindow() { changedWindow_ = 1; }
  // Gives the figure record, its undo copy and the display device back and
  // stops every timer: the view draws and reacts no more. The destructor
  // does it when it was not done before.
  void releaseFigure();

  // ---- Tools ----
  void sendCurrentToolAction(uint32_t tool_id, uint32_t color, bool flag);

  // ---- Drawing ----
  KPContext* lockFixSaveContext();
  void unlockView();
  // Points the shared layers at this view; true when they did not hold its
  // picture (new, or last drawn for another view).
  bool InitViewLayers();
  void redrawLayers();
  void setGlobalDrowingWindow();
  void intBounds(tagRECT* rect) const;
  // Sheet pixels (the points of the kernel's event records, y down) to
  // figure coordinates, and back.
  void globalToLocalDDM(tagPOINT* point) const;
  void localToGlobalDDM(tagPOINT* point) const;
  void setOrigin(double x, double y);
  void centre();
  void figureCopyBitmapDD(DisplayDevice* destination, DisplayDevice* source);
  // Asks a paint that draws the figure again (the whole view or a part);
  // other paints only show the surface the kernel last drew into.
  void invalidateFigure();
  void invalidateFigure(const QRect& rect);
  // The image the view shows (its composited surface), for copies and tests.
  QImage viewImage() const;

  // ---- Printing ----
  // The part of the figure a page of the given size shows, from the
  // printing origin.
  void intPrintBounds(const QRectF& rect, tagRECT* bounds) const;
  void setPrintingOrigin(double x, double y);
  // The printed page starts at this figure point (its top-left corner).
  void setPrintedPageOrigin(double x, double y);
  QPointF printingOrigin() const { return printingOrigin_; }
  void beginDocument();
  void endDocument();
  // The pages of a print: one, or the pages of the work session printed.
  bool knowsPageRange(int* first, int* last) const;
  QRectF rectForPage(int page) const;
  // The printable size of the paper, in figure pixels at the scale the page
  // is printed at, of the print running now (0 without one).
  double calculatePrintWidth() const;
  double calculatePrintHeight() const;
  // Draws one page of the print with the painter, the page being `rect` in
  // the painter's units, one a figure pixel; between beginDocument and
  // endDocument only.
  void drawPrintPage(QPainter* painter, const QRectF& rect);
  // Prints the figure's pages on the printer at the scale of the page setup
  // (1: a centimetre of the figure's measures is a centimetre of paper);
  // false when nothing could be printed.
  bool runPrintOperation(QPrinter* printer, double scale = 1.0);

  // ---- Timers, scrolling, zoom ----
  void CheckFigureTimer();
  void FigureTimer() override;
  void stopTimer();
  bool figureTimerRunning() const { return timerOn_ != 0; }
  int figureTimerInterval() const { return animationTimer_.interval(); }
  void autoanimate();
  void doScroll(double x, double y);
  void setViewOrigin(double x, double y);
  // The sheet is shown from this device origin: the scroll bars follow
  // without scrolling again, and the view repaints.
  void showOrigin(int32_t left, int32_t top);
  void FinishingScroll(bool flag) { finishingScroll_ = flag ? 1 : 0; }
  // The zoom control: the view shows the sheet magnified by the scale,
  // keeping the figure point in its middle where it was. The kernel draws
  // and takes events in sheet pixels, one per figure unit.
  void setFigureScale(double value);
  // The sheet the kernel draws on: the view's size divided by the zoom.
  int sheetWidth() const;
  int sheetHeight() const;
  QPointF toSheet(const QPointF& view_point) const { return view_point / scale_; }
  void setFigureAngle(double value);
  float scale() const { return scale_; }

  // ---- The in-figure text editor ----
  NSKelvoTextEditor* textEditor() const { return textEditor_; }
  QPointF figureToView(const QPointF& figure) const override;
  QPointF viewToFigure(const QPointF& view) const override;
  double viewScale() const override { return scale_; }
  bool viewLocked() const override { return locked_ != 0; }
  int isLockedView() const { return locked_; }
  void editorFrameChanged() override;
  void takeFocus() override;
  // The frame, its shadow and its handles around the open editor.
  void drawRectTextEditor(QPainter& painter);

  // ---- Keyboard ----
  static bool keyDown(QKeyEvent* event, HWND window);
  void addViewTimer(kel_EventRecord* record);

  // ---- Accessors ----
  kelvo_win_info* info() const { return info_; }
  void setInfo(kelvo_win_info* info) { info_ = info; }
  void setScrollRemoteView(NSKelvoScrollRemoteView* view) { scrollRemoteView_ = view; }
  NSKelvoScrollRemoteView* scrollRemoteView() const { return scrollRemoteView_; }
  bool isDeleting() const { return isDeleting_ != 0; }
  bool printingInProgress() const { return printing_ != 0; }
  int32_t centerX() const { return centerX_; }
  int32_t centerY() const { return centerY_; }
  KPFigureWindow* figureWindow() const;
  int pendingKeyRecords() const { return static_cast<int>(keyQueue_.size()); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  // A modifier key pressed or released alone.
  void flagsChanged(QKeyEvent* event);

 private:
  // The knobs come to the view's top-left corner within the scroll range
  // without scrolling, and the next move of a bar scrolls from there.
  void putKnobsAtOrigin();
  void mouseDown(const QPointF& where, int click_count, Qt::KeyboardModifiers modifiers);
  void mouseUp(const QPointF& where, Qt::KeyboardModifiers modifiers);
  void mouseDragged(const QPointF& where, Qt::KeyboardModifiers modifiers);
  // A move (message 512, with a point) or a figure-timer tick (275).
  void KelvoMouseMoved(const QPointF* where, UINT message);
  void trackingDecision(kel_EventRecord* record, const QPointF* where, bool dragged);
  void pressAndHold(kel_EventRecord* record, UINT message, const QPointF* where, bool dragged);
  bool holdRipe(UINT message) const;
  void cursorSelect(tagPOINT point);
  void designateForMenu(tagPOINT point);
  void viewResized();
  void fireKeyRecords();
  void ensureSurface();

  kelvo_win_info* info_ = nullptr;
  NSKelvoTextEditor* textEditor_ = nullptr;  // a child of the view
  float scale_ = 1.0f;
  // The figure point in the middle of the view when the zoom last moved, and
  // the centre that zoom gave (the point is kept while the centre stays).
  QPointF zoomMiddle_;
  QPoint zoomedCentre_{INT32_MIN, INT32_MIN};
  float angle_ = 0.0f;
  int32_t centerX_ = 0;
  int32_t centerY_ = 0;
  double rx_ = 0;
  double ry_ = 0;
  double viewOriginX_ = 0;
  double viewOriginY_ = 0;
  bool originSet_ = false;
  QTimer animationTimer_;
  int timerOn_ = 0;
  uint8_t firstTime_ = 1;
  NSKelvoScrollRemoteView* scrollRemoteView_ = nullptr;  // a child of the view
  uint8_t changedWindow_ = 0;
  int locked_ = 0;
  KPContext* fixContext_ = nullptr;
  KPContext* surface_ = nullptr;  // the view's own composited image
  uint8_t printing_ = 0;
  QPointF printingOrigin_;
  QPrinter* printer_ = nullptr;  // the print running now
  double printScale_ = 1.0;      // and its scale
  KPGrafPort* dc_ = nullptr;
  DisplayDevice* pdd_ = nullptr;
  LONG_PTR windowLong_ = 0;
  LONG_PTR windowProc_ = 0;
  LONG_PTR windowStyle_ = 0;
  LONG_PTR windowExStyle_ = 0;
  QRect invalidateRect_;
  uint8_t isDeleting_ = 0;
  bool released_ = false;
  // A paint only shows the surface (the kernel copied a layer into it), or
  // must draw the figure again.
  bool showSurfaceOnly_ = false;
  bool figurePaintPending_ = true;
  uint8_t finishingScroll_ = 0;
  std::deque<NSKelvoWrapMachine*> postMessageObjects_;
  std::deque<kel_EventRecord*> keyQueue_;
  QTimer keyTimer_;
};

// The figure view that a window handle designates: a figure view, or the
// view of a figure window; null otherwise.
KPFigureView* figure_view_of(HWND window);
// The modifier status word of the kernel for Qt modifiers.
uint16_t modifier_status(Qt::KeyboardModifiers modifiers);
// The shared static and moving layers (images), for tests.
KPContext* shared_static_layer();
KPContext* shared_moving_layer();
