// The page sheet: a thumbnail of the whole drawing page with the page's
// rectangle over it, which the user drags to choose the part of the figure
// that goes on paper (print mode) or that the window shows (show mode). In
// print mode three check boxes choose the figure's title, the date and the
// page's orientation. The title and date flags are shared by all documents
// and read when a page is printed.
#pragma once

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/kp_dialog_panel.h"

class KPDocument;
class KPFigureView;
class QPushButton;

class KPShowView : public QWidget {
 public:
  explicit KPShowView(QWidget* parent = nullptr);

  static bool addfiguretitle();
  static bool adddatetime();
  // The check boxes' actions: the flag becomes the box's state.
  static void addfiletitleAction(int value);
  static void adddatetimeAction(int value);

  // Takes the document and its figure view and makes a new thumbnail; the
  // page rectangle will be placed anew. In print mode the thumbnail shows
  // the figure at the document's print scale.
  void setDocument(KPDocument* document, bool show_mode = false);
  // Builds the controls once, then shows them for the mode.
  void createInterface(bool show_mode);
  // Turns the page between portrait and landscape; the rectangle is
  // centred again.
  void changeOriantationAction(int value);

  // The page rectangle and the thumbnail, in the view's coordinates.
  QRectF printRect() const { return printRect_; }
  QRectF figureRect() const { return fugureRect_; }
  QPointF printingOrigin() const { return printingOrigin_; }
  void setPrintingOrigin(QPointF origin) { printingOrigin_ = origin; }
  QSizeF printSize() const { return printSize_; }
  // Page margins in figure pixels (left, top, right, bottom); 0 in show mode.
  QMarginsF margins() const { return margins_; }
  double rapport() const { return rapport_; }
  // The scale the page is printed at (1 in show mode).
  double printScale() const { return printScaleValue_; }
  const QImage& thumbnail() const { return figureShow_; }
  QCheckBox* filetitle() const { return filetitle_; }
  QCheckBox* datetime() const { return datetime_; }
  QCheckBox* changeOriantation() const { return changeOriantation_; }
  QLabel* showPageStr() const { return showPageStr_; }

  // OK in show mode: the window shows the chosen part; in print mode: the
  // page is printed from it.
  void sendViewOrigin();
  void sendPrintingOrigin();
  // Places the rectangle (centred or from the document's print rectangle)
  // when it must be placed anew.
  void placePageRect();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void readPageGeometry();
  void originFromRect();
  // Where a figure point lies on the thumbnail, and back.
  QPointF thumbnailPoint(double x, double y) const;
  QPointF figurePoint(QPointF thumbnail) const;
  QRectF clampedRect(QPointF top_left) const;

  bool interfaceCreated_ = false;
  double printScaleValue_ = 1.0;
  QImage figureShow_;
  int largeur_ = 0;
  int hauteur_ = 0;
  QPointer<KPFigureView> figureView_;
  QPointer<KPDocument> document_;
  unsigned orientation_ = 0;
  double rapport_ = 0;
  QMarginsF margins_;
  QRectF printRect_;
  QRectF fugureRect_;
  bool firstDrawRect_ = false;
  bool forceFirstDrawRect_ = false;
  QSizeF printSize_;
  QPointF printingOrigin_;
  bool isInShowViewMode_ = false;
  QCheckBox* filetitle_ = nullptr;
  QCheckBox* datetime_ = nullptr;
  QCheckBox* changeOriantation_ = nullptr;
  QLabel* showPageStr_ = nullptr;
  bool dragging_ = false;
  QPointF dragOffset_;
};

// The window-modal sheet on the current figure window that hosts the view.
class NSShowPageController : public KPDialogPanel {
 public:
  explicit NSShowPageController(QWidget* parent);

  // Open the sheet on the document (the current one when null; nothing
  // without one); answer whether OK ended it (and, printing, the page was
  // printed).
  static bool DoShowWindow(KPDocument* document = nullptr);
  static bool DoPrintWindow(KPDocument* document = nullptr);
  // Answers the sheet in place of the user (tests): works the view and
  // answers 1 for OK, 2 for Cancel. Empty: the sheet runs modally.
  static void setSheetResponder(std::function<int(NSShowPageController* sheet)> responder);

  KPShowView* theShowView() const { return theShowView_; }
  QPushButton* okButton() const { return okButton_; }
  bool isShowViewMode() const { return isShowViewMode_; }

 private:
  bool doDisplaySheet(KPDocument* document);

  KPShowView* theShowView_ = nullptr;
  QPushButton* okButton_ = nullptr;
  bool isShowViewMode_ = false;
};
