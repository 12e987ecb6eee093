// The window of one figure document: the figure view with its scroll bars,
// the help and tool-name fields below it and the zoom control; and the
// proxy that turns the kernel's scroll position and range into knob
// positions and the user's scrolling back into scrolls of the figure.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QScrollBar>

#include <optional>

#include "platform/kp_window.h"

class KPFigureView;
class KPDocument;
class KPFigureDescriptionDrawer;
class NSFigureDescDataSource;
class NSFigureTableView;
class NSKelvoLanguageSwitcherView;
class QLabel;
class QMenuBar;
class QSlider;
class QTextBrowser;
class QToolButton;

class NSKelvoScrollRemoteView : public QObject {
 public:
  NSKelvoScrollRemoteView(KPFigureView* remote, QScrollBar* horizontal, QScrollBar* vertical);

  // Bar 0: the kernel's xmin and xmax; bar 1: ymin and ymax.
  void getScrollRange(int bar, int32_t* min, int32_t* max) const;
  void setScrollPos(int bar, int32_t position, bool redraw);
  void setHScrollerValue(double value);
  void setVScrollerValue(double value);
  void finishScroll(bool flag);
  // Follows the scroll bars: recentres when the kernel asks for it, then
  // scrolls the figure by the change of the visible origin.
  void drawRect();
  // Sets the bars' ranges and puts both knobs in the middle.
  void awakeFromNib();
  void updateRanges();
  double pendingX() const { return X_; }
  double pendingY() const { return Y_; }
  QScrollBar* hScroller() const { return hScroll_; }
  QScrollBar* vScroller() const { return vScroll_; }

 private:
  int32_t spanX() const;
  int32_t spanY() const;
  void scrollTo(int32_t x, int32_t y);

  QPointer<KPFigureView> remoteView_;
  QPointer<QScrollBar> hScroll_;
  QPointer<QScrollBar> vScroll_;
  double X_ = 0;
  double Y_ = 0;
  bool moving_ = false;
};

class KPFigureWindow : public KPWindow, public KPFigureWindowLink, public KPWindowTextHolder {
 public:
  explicit KPFigureWindow(KPDocument* document);
  ~KPFigureWindow() override;

  HWND figureView() override;
  KPFigureView* view() const { return figureView_; }
  KPDocument* document() const { return document_; }
  QTextBrowser* helpField() const { return helpField_; }
  QLabel* toolField() const { return toolField_; }
  QMenuBar* menuBar() const { return menuBar_; }
  NSKelvoScrollRemoteView* scrollRemoteView() const { return remote_; }
  QSlider* zoomControl() const { return zoom_; }
  // The zoom in percent beside the control, and its way back to 100 %.
  QLabel* zoomPercent() const { return zoomPercent_; }
  QToolButton* zoomReset() const { return zoomReset_; }

  void setHelpFieldContent(const QString& text);
  // The help page of the current tool in the help field; its help text when
  // the program has no such page.
  void showHelpPage(const QString& text, const char* page);
  void setToolNameFieldContent(const QString& text);
  void setToolsHelp(bool show);
  // Sizes the window so that its view shows `sheet` figure pixels at 100 %,
  // as far as the screen's free area beside and below the palette lets it,
  // moved back into that area when it runs past it. Answers the view's size
  // asked for. `make_room`: a window that would not have that size where it
  // stands first moves up and left, as far as the palette's corner, until it
  // would (a figure reopened at the size it was saved at).
  QSize showSheetOfSize(QSize sheet, bool make_room = false);

  // The figure description drawer beside the view (View menu item 40038).
  void toggleFigureDescription();
  void figureDescriptionSelectLine(int line);
  NSFigureDescDataSource* getFigureDescDataSource() const;
  NSFigureTableView* getFigureDescDataView() const;
  KPFigureDescriptionDrawer* descriptionDrawer() const { return descDrawer_; }

  // The title without the " *" that marks unsaved changes: what the
  // kernel's texts and the dialogs quote.
  QString titleWithoutMark() const;
  int getWindowText(char* buffer, int capacity) override;
  void setWindowText(const char* text) override;
  int getWindowTextLength() override;

  // The document forgets its window before the window goes.
  void forgetDocument() { document_ = nullptr; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // A moved window stays below the tools palette (windowDidMove); a window
  // maximised fills the screen's free area beside and below the palette.
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void windowDidMove();

 private:
  void buildMenus();
  void showZoom();
  // Resizes the window once the window manager has framed it (or after
  // `tries` looks 20 ms apart).
  void resizeOnceFramed(QSize inside, int tries, std::optional<QPoint> at = std::nullopt);

  KPDocument* document_;
  KPFigureView* figureView_ = nullptr;
  QScrollBar* hBar_ = nullptr;
  QScrollBar* vBar_ = nullptr;
  QTextBrowser* helpField_ = nullptr;
  QLabel* toolField_ = nullptr;
  QSlider* zoom_ = nullptr;
  QLabel* zoomPercent_ = nullptr;
  QToolButton* zoomReset_ = nullptr;
  bool placing_ = false;  // a placement below the palette is pending
  // A maximise fills the free area beside and below the palette; the next
  // one brings back the size the window had before.
  bool zoomed_ = false;
  QSize zoomedSize_;
  QRect userGeometry_;
  QMargins frameMargins_;  // the window manager's frame in normal state
  QRect asked_;            // the geometry last asked for, until it comes
  QElapsedTimer askedSince_;
  QMenuBar* menuBar_ = nullptr;
  NSKelvoScrollRemoteView* remote_ = nullptr;
  QWidget* sheet_ = nullptr;  // the view and its scroll bars
  KPFigureDescriptionDrawer* descDrawer_ = nullptr;
  NSKelvoLanguageSwitcherView* texts_ = nullptr;  // the texts that follow the language
  bool awoken_ = false;
};
