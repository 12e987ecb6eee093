// The in-figure text editor: the text view of the object being edited,
// shown over the figure as an editable QTextEdit. It shows the object's
// display string, in which every reference is the value text of the object
// it quotes, and keeps those value texts whole: a selection that touches one
// grows to cover it, a change inside one is refused, a deletion that covers
// it removes the reference. Numbers are checked as they are typed,
// expressions get their implied products, and the text goes back to its
// object with its references numbered 1..n in order.
//
// Qt has no veto before a change, so every change (keys, input method,
// paste, drop, cut, messages) goes through shouldChangeTextInRanges first
// and is applied by the editor itself, followed by didChangeText.
#pragma once

#include <QTextEdit>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/kelvo_wrap_machine.h"
#include "platform/ns_kelvo_text_view.h"
#include "platform/win_types.h"

class QCheckBox;
class QDialog;
class QImage;
class QToolButton;
class QMimeData;
class QTextCharFormat;
class QTextDocumentFragment;

// What the editor needs of the figure view that holds it.
class KPTextEditorHost {
 public:
  virtual ~KPTextEditorHost() = default;
  // Figure coordinates to the host widget's and back.
  virtual QPointF figureToView(const QPointF& figure) const = 0;
  virtual QPointF viewToFigure(const QPointF& view) const = 0;
  virtual double viewScale() const = 0;
  virtual bool viewLocked() const = 0;
  // The editor moved, resized, opened or closed: the host redraws around it.
  virtual void editorFrameChanged() = 0;
  // The host becomes the focus again (the editor was hidden).
  virtual void takeFocus() = 0;
};

class NSKelvoTextEditor : public QTextEdit,
                          public NSKelvoTextView,
                          public KPMessageTarget,
                          public KPWindowLongHolder {
 public:
  static NSKelvoTextEditor* createWithFrame(const KPTextFrame& frame, QWidget* figureView, KPTextEditorHost* host);
  NSKelvoTextEditor(const KPTextFrame& frame, QWidget* figureView, KPTextEditorHost* host);
  ~NSKelvoTextEditor() override;

  // ---- Editing model
  void enterObjectEdit(object* obj);
  void textToObject(bool keepDisplay);
  void insertObjectInText(object* obj);
  // Replaces the selection by the rich text of the RTF bytes.
  void insertRTFtext(const char* bytes, size_t length);
  // Selects the range, grown to whole references (also refreshes the
  // script buttons).
  void setSelectedRange(int start, int length);
  bool shouldChangeTextInRanges(const std::vector<std::pair<int, int>>& ranges,
                                const std::vector<const QString*>& strings);
  void didChangeText();
  int stringLength() const;
  void changeTextColor(uint32_t color, int, int);
  // Replaces a range after the check; false when refused.
  bool replaceRange(int start, int length, const QString& text, const QTextDocumentFragment* rich = nullptr);

  // ---- Window-handle interface
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  LONG_PTR getWindowLong(int index) override;
  void setWindowLong(int index, LONG_PTR value) override;
  void resetResizingPolicy();
  void kelvoShowWindow(bool show);
  static bool currentActiveTextVisible();
  static NSKelvoTextEditor* activeTextEditor();

  // ---- Frame
  void selfScrollX(int d);
  void selfScrollY(int d);
  void selfResize();
  // A frame handle (hit code 257..265) dragged to the figure point.
  void resizeWindow(int code, double x, double y);
  bool stopResizing();
  bool shouldDrawInsertionPoint() const;
  bool needsSelfResize() const { return needsSelfResize_ != 0; }
  bool objectInEdit() const { return objectInEdit_ != 0; }
  QWidget* figureView() const { return figureView_; }
  // The frame in figure coordinates.
  KPTextFrame frameInFigure() const { return cFrame_; }
  // Places the widget over its frame (after a scroll or a zoom).
  void placeOverFrame();

  // ---- Stepper and scripts
  void stepperAction(int value);
  void stepperDoIncrement(int d);
  // The subscript and superscript buttons, made once; from then on every
  // font panel (a QFontDialog) that is shown holds them at its bottom.
  static QWidget* initFontPanelaccessories();
  static void attachFontPanelAccessories(QDialog* panel);
  static void setFontPanelAccessories(bool hidden);
  // The two boxes take their texts from the language again (after a load).
  static void relabelFontPanelAccessories();
  static void subScriptAction(int state);
  static void overScriptAction(int state);
  bool changeSubscripting(float level);
  static QCheckBox* subscriptButton();
  static QCheckBox* superscriptButton();

  // ---- State, for the figure view and tests
  const std::vector<std::pair<int, int>>& referenceRanges() const { return incObjectsRanges_; }
  const std::vector<insert_object*>& referenceRecords() const { return incObjectsObjects_; }
  bool editsNumber() const { return nombre_ != 0; }
  bool editsNumberOrExpression() const { return nombreOuExpr_ != 0; }
  QColor backgroundColour() const { return background_; }
  QWidget* stepper() const { return stepper_; }

  // Rich text of the selection as RTF.
  std::string selectionRtf() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  QMimeData* createMimeDataFromSelection() const override;
  void paintEvent(QPaintEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void refreshKind();
  // Lays the text out as the figure draws it: at 72 dots per inch times the
  // view's scale, so that a point of the figure's fonts is one figure pixel.
  void layOutAtViewScale();
  double viewScale() const;
  void loadDisplayString();
  void onSelectionChanged();
  void copySelection();
  void pasteClipboard();
  void cutSelection();
  void typeText(const QString& text);
  // Bold (Ctrl+B) or italic (Ctrl+I) on the selection, off when the
  // selection's first character has it; an empty selection changes what is
  // typed next.
  void toggleFontStyle(bool bold);
  // Gives the selected characters the format's properties as one change;
  // with nothing selected, to what is typed next.
  void mergeIntoSelection(const QTextCharFormat& format);
  void liveUpdate();
  void freeOwnRecords();
  std::pair<int, int> firstSelectedRange() const;
  void selectPlain(int start, int end);

  QWidget* figureView_ = nullptr;
  KPTextEditorHost* host_ = nullptr;
  LONG_PTR kelvoWindowProc_ = 0;
  std::vector<std::pair<int, int>> incObjectsRanges_;
  std::vector<insert_object*> incObjectsObjects_;
  // Reference records made here by insertObjectInText, freed at hand-back.
  std::vector<insert_object*> ownRecords_;
  int8_t resizing_ = 0;
  int8_t attribsChanged_ = 0;
  QWidget* stepper_ = nullptr;
  int stepperValue_ = 0;
  // The value at the stepper's last action: each editor's own, so that an
  // editor opened after another steps the way it is asked to.
  int previousStepperValue_ = 0;
  int8_t mustInsertStar_ = 0;
  int32_t insertStarPosition_ = 0;
  int32_t shouldChange_pt_decimal_ = -1;
  int8_t nombreOuExpr_ = 0;
  int8_t nombre_ = 0;
  int8_t needsSelfResize_ = 0;
  int8_t objectInEdit_ = 0;
  int8_t isScrolling_ = 0;
  // The text changed since the edit opened: the undo copy was taken, and
  // the hand-back writes the rich text the figure file keeps.
  bool changedSinceOpen_ = false;
  bool adjustingSelection_ = false;
  // The device the editor's text is laid out on, and its resolution.
  std::unique_ptr<QImage> layoutDevice_;
  int layoutDpi_ = 0;
  bool applying_ = false;
  QColor background_ = Qt::white;
};
