// The text view of a text-like object: it keeps the object's attributed
// strings (the stored string with its reference markers, the display string
// in which each marker shows the current value of its object, and a
// previous string kept for its attributes), turns exponent escapes into
// superscripts, fits the object's frame to its text and records where each
// reference is displayed. The kernel reaches it through the slots of
// TextHandleOps, which install_kelvo_text_view fills.
//
// The record's handles are strings of the view: a plain run (one text in
// one format, laid out when it is measured or drawn) or a QTextDocument
// for anything richer. The view draws into the kernel's off-screen
// devices; it is no widget of its own.
#pragma once

#include <QFont>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <utility>
#include <vector>

struct object;
struct TErec;
struct insert_object;
class QTextDocument;

struct KPTextFrame {
  float x = 0, y = 0, width = 0, height = 0;
};

class NSKelvoTextView {
 public:
  NSKelvoTextView();
  virtual ~NSKelvoTextView();
  NSKelvoTextView(const NSKelvoTextView&) = delete;
  NSKelvoTextView& operator=(const NSKelvoTextView&) = delete;

  // ---- Class methods: they need a record, not a view.
  static NSKelvoTextView* createWithObject(object* obj);
  static void textNeedsRegen(TErec* te);
  static bool regenrtfFromFileInfoStringTextIfNec(TErec* te);
  static void refreshAllNeededDatas(object* obj, bool create);
  // A pending regeneration of a kernel text done inside its strings: the
  // changed run alone is replaced. False, with nothing changed, where the
  // strings must be built anew.
  static bool regenerateInPlace(object* obj);
  static void setDefaultAttribs(TErec* te, bool force);
  static void setDefaultFont(TErec* te, bool force);
  static void setDefaultColor(TErec* te);
  static void replaceExponents(QTextDocument* string);
  // Presentation mode: the record's display string drawn as outlined,
  // hollow glyphs (stroke width 9, in percent of each font's size).
  static void setPresentationMode(TErec* te);
  // The stroke width of a whole string, in percent of each font's size: a
  // positive width outlines the glyphs in their colour and leaves them
  // hollow, 0 gives them back their plain fill.
  static void setStrokeWidth(QTextDocument* string, double width);
  static double strokeWidthAt(const QTextDocument* string, int position);
  // In a plain string, a backslash followed by 2 or 3 becomes the character
  // superscript two or three; a backslash before anything else stops the rewriting.
  static void replaceExponentsString(QString& string);

  // ---- Instance methods, on the attached object.
  void setAttachedObject(object* obj, bool own);
  object* attachedObject() const { return attachedObject_; }
  KPTextFrame cFrame() const { return cFrame_; }
  void replaceReferences();
  void updateTextViewContent();
  // The references of the stored string in text order: ranges (start,
  // length) and nodes. With display, the ranges are those of the values in
  // the display string; without, those of the markers shifted as the
  // earlier markers are replaced.
  int ListOfRangesAndObjects(std::vector<std::pair<int, int>>* ranges, std::vector<insert_object*>* nodes,
                             bool display);
  // The same in the stored string itself.
  int ListOfRangesAndObjects2(std::vector<std::pair<int, int>>* ranges, std::vector<insert_object*>* nodes);
  KPTextFrame computeTheFrame(object* obj);
  void computeFrame(bool store);

  int8_t insertingItemsInTheText = 0;

 protected:
  // The values of the quoted objects changed in the display string this
  // view built, each where it is shown; false where it must be built anew.
  bool updateValuesInPlace(std::vector<insert_object*>* nodes, int* listed);

  object* attachedObject_ = nullptr;
  KPTextFrame cFrame_;
  // What the last built display string shows: the strings it was built
  // from and into, and each quoted value inserted as plain text, with
  // where it starts. `plain` is false when a value went in otherwise or an
  // exponent escape was turned, and the string is then built anew.
  struct ShownValues {
    void* display = nullptr;
    void* stored = nullptr;
    bool plain = false;
    std::vector<QString> values;
    std::vector<int> starts;
    std::vector<insert_object*> nodes;
  } shown_;
};

// Fills the text slots of the kernel's text records with this view.
void install_kelvo_text_view();

// The document behind a string handle (null for null). A string kept as a
// plain run becomes a document for good: ask only where one is needed.
QTextDocument* kp_text_document(void* handle);
// Whether the string is kept as a plain run, without a document.
bool kp_text_string_is_plain(const void* handle);
// A string handle that takes the document over. With `simplify`, a
// document that is one plain run is kept as the run, and freed.
void* kp_adopt_text_document(QTextDocument* document, bool simplify);
// The advance of a line of printable Latin-1 text in `font` (the width its
// font metrics give), taken from the layout of the same text as a plain
// run in that font: a value measured as it changes is then shaped once for
// its width and for the run that shows it. False where no plain run has
// that font, or the text is not such a line.
bool kp_plain_run_width(const QFont& font, QStringView text, double* width);
