// The in-figure text editor on its own: references kept whole, numbers and
// expressions checked as they are typed, the hand-back with renumbered
// markers, the frame handles, the messages, the stepper, the scripts and
// rich-text copy and paste; then the kernel's switching between texts.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFontDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>
#include <string>
#include <vector>

#include "kernel/files/text_convert.h"
#include "kernel/model/engine_fixture.h"
#include "kernel/model/memory.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/render_switches.h"
#include "kernel/text/text_editing.h"
#include "kernel/text/rtf_writer.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_qt_bridge.h"
#include "platform/ns_kelvo_text_editor.h"
#include "platform/rtf_reader.h"

namespace {

class IdentityHost : public KPTextEditorHost {
 public:
  QPointF figureToView(const QPointF& p) const override { return p + QPointF(300, 300); }
  QPointF viewToFigure(const QPointF& p) const override { return p - QPointF(300, 300); }
  double viewScale() const override { return 1; }
  bool viewLocked() const override { return false; }
  void editorFrameChanged() override {}
  void takeFocus() override {}
};

NSKelvoTextEditor* g_editor = nullptr;

// Keys as the window system delivers them.
void key(QWidget* w, int k, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}
void type(QWidget* w, const char* text) {
  for (const char* c = text; *c; ++c) key(w, QChar(*c).toUpper().unicode(), QString(QChar(*c)));
}

class TextEditor : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    init_color_table();
    install_kelvo_text_view();
    saved_separator = decimal_separator;
    decimal_separator = ',';
    parent = new QWidget();
    parent->resize(800, 600);
    editor = NSKelvoTextEditor::createWithFrame(KPTextFrame{}, parent, &host);
    g_editor = editor;
    TextEditorOps ops;
    ops.editor = [] { return kp_hwnd(g_editor); };
    ops.enter_object_edit = [](HWND, object* o) { g_editor->enterObjectEdit(o); };
    ops.text_to_object = [](HWND, bool keep) { g_editor->textToObject(keep); };
    ops.show = [](HWND, bool show) { g_editor->kelvoShowWindow(show); };
    install_text_editor_ops(ops);
  }
  void TearDown() override {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    if (fig) fig->cur_text = nullptr;
    text_edit_window = nullptr;
    install_text_editor_ops(TextEditorOps{});
    delete parent;
    g_editor = nullptr;
    decimal_separator = saved_separator;
    EngineTest::TearDown();
    install_text_handle_ops(TextHandleOps{});
  }
  object* number(const char* text) {
    object* n = make(&classe_nombre, 0, {});
    EXPECT_TRUE(n && n->te && set_text_record_text(n->te, text));
    n->te->text_kind = 1;
    n->te->size = te_size{80, 21};
    return n;
  }
  object* text(const char* content, std::vector<object*> quoted) {
    object* t = make(&classe_text, 0, {});
    EXPECT_TRUE(t && t->te);
    for (object* q : quoted) add_text_reference(q, &t->inserted);
    EXPECT_TRUE(set_text_record_text(t->te, content));
    t->te->regen_pending = 1;
    t->te->size = te_size{200, 40};
    return t;
  }
  // Opens the editor on the object with the edit kind the kernel gives it.
  void open(object* o) {
    editor->setWindowLong(-4, reinterpret_cast<LONG_PTR>(edit_kind_of(o)));
    editor->enterObjectEdit(o);
  }
  std::pair<int, int> selection() const {
    int32_t r[2] = {-1, -1};
    editor->sendMessage(kEditorGetSelection, 0, reinterpret_cast<LPARAM>(r));
    return {r[0], r[1]};
  }
  void select(int a, int b) {
    int32_t r[2] = {a, b};
    editor->sendMessage(kEditorSetSelection, 0, reinterpret_cast<LPARAM>(r));
  }
  QTextCharFormat formatAt(int index) const {
    QTextCursor c(editor->document());
    c.setPosition(index + 1);
    return c.charFormat();
  }

  char saved_separator = '.';
  IdentityHost host;
  QWidget* parent = nullptr;
  NSKelvoTextEditor* editor = nullptr;
};

TEST_F(TextEditor, AReferenceIsOneCharacter) {
  object* value = number("1,25");
  object* t = text("abcd$1$xyz", {value});
  open(t);
  ASSERT_EQ(editor->toPlainText(), QStringLiteral("abcd1,25xyz"));
  ASSERT_EQ(editor->referenceRanges().size(), 1u);
  EXPECT_EQ(editor->referenceRanges()[0], std::make_pair(4, 4));

  select(5, 6);
  EXPECT_EQ(selection(), std::make_pair(4, 8));
  EXPECT_FALSE(editor->replaceRange(6, 0, QStringLiteral("Q")));
  EXPECT_TRUE(editor->replaceRange(4, 0, QStringLiteral("Q")));
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("abcdQ1,25xyz"));
  EXPECT_EQ(editor->referenceRanges()[0], std::make_pair(5, 4));

  // After the reference: one backspace selects it, a second deletes it.
  select(9, 9);
  key(editor, Qt::Key_Backspace);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("abcdQ1,25xyz"));
  EXPECT_EQ(selection(), std::make_pair(5, 9));
  key(editor, Qt::Key_Backspace);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("abcdQxyz"));
  EXPECT_TRUE(editor->referenceRanges().empty());
  EXPECT_TRUE(editor->referenceRecords().empty());
  editor->textToObject(false);
  EXPECT_STREQ(t->te->text, "abcdQxyz");
  EXPECT_EQ(t->inserted, nullptr);
}

TEST_F(TextEditor, HandBackNumbersReferencesInOrderOfAppearance) {
  object* a = number("1");
  object* b = number("22");
  object* t = text("$2$ and $1$", {b, a});  // A is reference 2, shown first
  open(t);
  ASSERT_EQ(editor->toPlainText(), QStringLiteral("1 and 22"));
  // A third reference inserted at the end, then the text handed back.
  object* c = number("333");
  select(8, 8);
  editor->sendMessage(kEditorChar, 7, reinterpret_cast<LPARAM>(c));
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("1 and 22333"));
  ASSERT_EQ(editor->referenceRanges().size(), 3u);
  EXPECT_EQ(editor->referenceRanges()[2], std::make_pair(8, 3));
  editor->textToObject(false);
  EXPECT_STREQ(t->te->text, "$1$ and $2$$3$");
  ASSERT_NE(t->inserted, nullptr);
  EXPECT_EQ(find_text_reference(1, nullptr, t->inserted)->obj, a);
  EXPECT_EQ(find_text_reference(2, nullptr, t->inserted)->obj, b);
  EXPECT_EQ(find_text_reference(3, nullptr, t->inserted)->obj, c);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("1 and 22333"));

  // Inserting the edited object into itself does nothing, nor anything
  // into a number.
  editor->sendMessage(kEditorChar, 7, reinterpret_cast<LPARAM>(t));
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("1 and 22333"));
  object* n = number("5");
  open(n);
  editor->insertObjectInText(a);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("5"));
}

TEST_F(TextEditor, NumbersAndExpressionsAreCheckedAsTyped) {
  object* n = number("12");
  open(n);
  ASSERT_TRUE(editor->editsNumber());
  select(2, 2);
  type(editor, ".");
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("12,"));
  type(editor, "5x");
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("12,5"));
  select(1, 1);
  type(editor, ".");  // "1.2,5" is no number
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("12,5"));
  object* m = number("12");
  open(m);
  select(1, 1);
  type(editor, ".");  // "1.2" is one
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("1.2"));

  object* e = make(&classe_exp_num, 0, {});
  ASSERT_TRUE(e && e->te && set_text_record_text(e->te, "2"));
  e->te->size = te_size{80, 21};
  open(e);
  ASSERT_TRUE(editor->editsNumberOrExpression());
  ASSERT_FALSE(editor->editsNumber());
  select(1, 1);
  type(editor, "x");
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("2*x"));
  type(editor, "(");
  // "x(" is a call, not a product.
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("2*x("));
}

TEST_F(TextEditor, StepperStepsTheDigitBeforeTheCaret) {
  object* n = number("1,95");
  open(n);
  select(4, 4);
  editor->stepperDoIncrement(1);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("1,96"));
  editor->stepperDoIncrement(-1);
  editor->stepperDoIncrement(-1);
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("1,94"));
}

TEST_F(TextEditor, FrameHandlesKeepTheMinimumSize) {
  object* t = text("Hello", {});
  open(t);
  TErec* te = t->te;
  te->pos = te_point{10, 20};
  te->size = te_size{100, 40};
  // The left handle dragged right one pixel at a time.
  for (int x = 10; x <= 120; ++x) {
    editor->resizeWindow(263, x, 40);
    EXPECT_GE(te->size.w, 30);
  }
  EXPECT_EQ(te->size.w, 30);
  EXPECT_EQ(te->pos.x + te->size.w, 110);
  // The bottom-right handle above and left of the origin changes nothing.
  const te_point pos = te->pos;
  const te_size size = te->size;
  editor->resizeWindow(257, pos.x - 5, pos.y - 5);
  EXPECT_EQ(te->pos.x, pos.x);
  EXPECT_EQ(te->pos.y, pos.y);
  EXPECT_EQ(te->size.w, size.w);
  EXPECT_EQ(te->size.h, size.h);
  EXPECT_TRUE(editor->stopResizing());
  EXPECT_FALSE(editor->stopResizing());
}

TEST_F(TextEditor, MessagesAndColourWordOrders) {
  object* t = text("Hello world", {});
  t->te->format.size = 12;
  open(t);
  select(3, 3);
  EXPECT_EQ(selection(), std::make_pair(3, 3));

  select(0, 5);
  editor->sendMessage(kEditorFontScale, 1, 150000000);
  EXPECT_DOUBLE_EQ(formatAt(0).font().pointSizeF(), 18);
  EXPECT_DOUBLE_EQ(formatAt(6).font().pointSizeF(), 12);
  // Sizes from messages stay within bounds.
  editor->sendMessage(kEditorFontScale, 1, 2000000000000000);
  EXPECT_LE(formatAt(0).font().pointSizeF(), 1638);
  // At the very end of the text the typing attributes change.
  select(11, 11);
  editor->sendMessage(kEditorFontScale, 1, 200000000);
  EXPECT_DOUBLE_EQ(editor->currentCharFormat().font().pointSizeF(), 24);

  editor->sendMessage(kEditorBackground, 0, 255);
  EXPECT_EQ(editor->backgroundColour(), QColor(255, 0, 0));
  select(0, 5);
  editor->changeTextColor(255, 0, 0);
  EXPECT_EQ(formatAt(0).foreground().color(), QColor(0, 0, 255));
  // Unknown messages do nothing.
  EXPECT_EQ(editor->sendMessage(4242, 1, 2), 0);
}

TEST_F(TextEditor, SuperscriptTakesThreeQuartersOfTheSize) {
  object* t = text("abc", {});
  t->te->format.size = 12;
  open(t);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  fig->cur_text = t;
  editor->kelvoShowWindow(true);
  NSKelvoTextEditor::initFontPanelaccessories();
  select(1, 2);
  NSKelvoTextEditor::overScriptAction(1);
  EXPECT_EQ(formatAt(1).verticalAlignment(), QTextCharFormat::AlignSuperScript);
  EXPECT_DOUBLE_EQ(formatAt(1).font().pointSizeF(), 9);
  EXPECT_TRUE(NSKelvoTextEditor::superscriptButton()->isChecked());
  EXPECT_FALSE(NSKelvoTextEditor::subscriptButton()->isChecked());
  select(0, 1);
  editor->changeSubscripting(1);
  EXPECT_EQ(formatAt(0).verticalAlignment(), QTextCharFormat::AlignSuperScript);
  EXPECT_DOUBLE_EQ(formatAt(0).font().pointSizeF(), 12);
  // An empty selection at the end changes only the typing attributes.
  select(3, 3);
  EXPECT_TRUE(editor->changeSubscripting(-1));
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("abc"));
}

TEST_F(TextEditor, RichTextCopiedReadsBackAndPastesWithItsAttributes) {
  object* t = text("Plain red big up", {});
  open(t);
  select(6, 9);
  editor->changeTextColor(0xFF0000, 0, 0);
  select(10, 13);
  editor->sendMessage(kEditorFontScale, 1, 200000000);
  select(14, 16);
  editor->changeSubscripting(1);
  select(0, 16);
  const std::string rtf = editor->selectionRtf();

  // An independent reader sees the same text.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile file(dir.filePath("copy.rtf"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(rtf.data(), static_cast<qint64>(rtf.size()));
  file.close();
  QProcess unrtf;
  unrtf.start(QStringLiteral("unrtf"), {QStringLiteral("--text"), file.fileName()});
  ASSERT_TRUE(unrtf.waitForFinished(60000)) << "unrtf is needed (scripts/ensure-deps)";
  const QString out = QString::fromUtf8(unrtf.readAllStandardOutput());
  EXPECT_TRUE(out.contains(QStringLiteral("Plain red big up"))) << out.toStdString();

  // Pasted into another text, fonts, sizes, colours and scripts stay.
  object* other = text("X", {});
  open(other);
  select(1, 1);
  editor->insertRTFtext(rtf.data(), rtf.size());
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("XPlain red big up"));
  EXPECT_EQ(formatAt(7).foreground().color(), QColor(255, 0, 0));
  EXPECT_NE(formatAt(1).foreground().color(), QColor(255, 0, 0));
  EXPECT_DOUBLE_EQ(formatAt(11).font().pointSizeF(), 2 * formatAt(1).font().pointSizeF());
  EXPECT_EQ(formatAt(15).verticalAlignment(), QTextCharFormat::AlignSuperScript);
  EXPECT_EQ(formatAt(1).font().family(), formatAt(15).font().family());
}

TEST_F(TextEditor, HostilePastesAreFilteredAndBounded) {
  object* t = text("ab", {});
  open(t);
  select(1, 1);
  const std::string control = "{\\rtf1 x\\'07\\'01y\\tab z}";
  editor->insertRTFtext(control.data(), control.size());
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("ax") + QStringLiteral("y\tzb"));
  std::string deep = "{\\rtf1 " + std::string(100000, '{');
  deep += "deep";
  editor->insertRTFtext(deep.data(), deep.size());
  EXPECT_TRUE(editor->toPlainText().contains(QStringLiteral("deep")));
  const std::string rtfd = "rtfd garbage";
  const QString before = editor->toPlainText();
  editor->insertRTFtext(rtfd.data(), rtfd.size());
  EXPECT_EQ(editor->toPlainText(), before);
  // A number takes only the characters of pasted rich text, and only when
  // they read as a number.
  object* n = number("1");
  open(n);
  select(1, 1);
  const std::string letters = "{\\rtf1 {\\b abc}}";
  editor->insertRTFtext(letters.data(), letters.size());
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("1"));
  const std::string digits = "{\\rtf1 {\\b 23}}";
  editor->insertRTFtext(digits.data(), digits.size());
  EXPECT_EQ(editor->toPlainText(), QStringLiteral("123"));
}

TEST_F(TextEditor, SwitchingKeepsTheTextOfANumberItHolds) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* value = number("7");
  object* t = text("v=$1$", {value});
  t->te->size.w = 40;
  current_class = nullptr;
  switch_text_edit_object(t);
  EXPECT_EQ(fig->cur_text, t);
  EXPECT_EQ(t->te->size.w, 43);
  EXPECT_TRUE(editor->isVisibleTo(parent));
  EXPECT_EQ(text_edit_window, kp_hwnd(editor));
  switch_text_edit_object(value);
  EXPECT_EQ(fig->cur_text, t);
  EXPECT_TRUE(editor->isVisibleTo(parent));
  // Typing, then ending the edit, hands the text back.
  select(5, 5);
  type(editor, "!");
  switch_text_edit_object(nullptr);
  EXPECT_EQ(fig->cur_text, nullptr);
  EXPECT_FALSE(editor->isVisibleTo(parent));
  EXPECT_STREQ(t->te->text, "v=$1$!");
  // The selection kept is the editor's, where the value shows.
  EXPECT_EQ(t->te->sel_start, 4);
}

}  // namespace

// Presentation mode: what is shown is outlined and hollow, what is stored
// keeps its plain fill, and leaving the mode gives the colour back.
TEST_F(TextEditor, PresentationModeOutlinesTheShownTextButNotTheStoredOne) {
  wide_lines_flag = 1;
  object* value = number("2,5");
  object* t = text("Hello $1$", {value});
  open(t);
  auto* shown = kp_text_document(t->te->display_string);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(NSKelvoTextView::strokeWidthAt(shown, 0), 9.0);
  EXPECT_EQ(NSKelvoTextView::strokeWidthAt(shown, 7), 9.0) << "the value shown too";
  {
    QTextCursor c(shown);
    c.setPosition(1);
    EXPECT_NE(c.charFormat().textOutline().style(), Qt::NoPen);
    EXPECT_EQ(c.charFormat().foreground().color().alpha(), 0);
  }
  select(5, 5);
  key(editor, Qt::Key_Exclam, QStringLiteral("!"));
  editor->textToObject(false);
  EXPECT_STREQ(t->te->text, "Hello! $1$");
  auto* stored = kp_text_document(t->te->stored_string);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(NSKelvoTextView::strokeWidthAt(stored, 0), 0.0);
  {
    QTextCursor c(stored);
    c.setPosition(1);
    EXPECT_EQ(c.charFormat().textOutline().style(), Qt::NoPen);
    EXPECT_EQ(c.charFormat().foreground().color().alpha(), 255);
  }
  shown = kp_text_document(t->te->display_string);
  EXPECT_EQ(NSKelvoTextView::strokeWidthAt(shown, 0), 9.0);

  // Out of the mode a stroke width of 0 brings back the glyphs' colour.
  wide_lines_flag = 0;
  NSKelvoTextView::setStrokeWidth(shown, 0.0);
  QTextCursor c(shown);
  c.setPosition(1);
  EXPECT_EQ(c.charFormat().textOutline().style(), Qt::NoPen);
  EXPECT_EQ(c.charFormat().foreground().color().alpha(), 255);
}

// The script buttons show in every font panel that is shown, act on the
// text being edited there, and stay hidden while asked to.
TEST_F(TextEditor, TheScriptButtonsShowInTheFontPanelAndActOnTheEditedText) {
  object* t = text("abc", {});
  t->te->format.size = 12;
  open(t);
  KPGeoDocument::currentInfo()->cur_text = t;
  editor->kelvoShowWindow(true);
  NSKelvoTextEditor::initFontPanelaccessories();
  select(1, 2);
  {
    QFontDialog panel;
    panel.setOption(QFontDialog::NoButtons);
    panel.show();
    QCheckBox* superscript = NSKelvoTextEditor::superscriptButton();
    ASSERT_NE(superscript, nullptr);
    EXPECT_EQ(superscript->window(), &panel);
    EXPECT_TRUE(superscript->isVisible());
    superscript->click();
    EXPECT_EQ(formatAt(1).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_TRUE(superscript->isChecked());
    QCheckBox* subscript = NSKelvoTextEditor::subscriptButton();
    subscript->click();
    EXPECT_EQ(formatAt(1).verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_FALSE(superscript->isChecked());
  }
  // The buttons went with their panel; the next panel gets new ones, hidden
  // while a font is chosen for something else than the edited text.
  NSKelvoTextEditor::setFontPanelAccessories(true);
  QFontDialog other;
  other.show();
  ASSERT_NE(NSKelvoTextEditor::superscriptButton(), nullptr);
  EXPECT_EQ(NSKelvoTextEditor::superscriptButton()->window(), &other);
  EXPECT_FALSE(NSKelvoTextEditor::superscriptButton()->isVisible());
  NSKelvoTextEditor::setFontPanelAccessories(false);
}

namespace {

// The preferences restyle a text open in its editor: the editor is opened
// again on it and shows the record's new size. An empty text in the editor
// is left alone (ending its edit would delete it).
TEST_F(TextEditor, RefreshingTheEditedTextShowsItsNewStyleAndKeepsAnEmptyText) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = nullptr;
  object* t = text("abc", {});
  t->te->format.size = 12;
  switch_text_edit_object(t);
  ASSERT_EQ(fig->cur_text, t);
  ASSERT_EQ(hand_back_edited_text(), t);
  car_info format = t->te->format;
  format.size = 30;
  regenerate_text_attributes(t->te, 1, &format, 0);
  t->te->regen_pending = 1;
  refresh_text_windows(t);
  EXPECT_EQ(fig->cur_text, t);
  EXPECT_TRUE(editor->isVisibleTo(parent));
  EXPECT_STREQ(t->te->text, "abc");
  EXPECT_DOUBLE_EQ(formatAt(0).font().pointSizeF(), 30.0);
  switch_text_edit_object(nullptr);

  object* empty = text("", {});
  switch_text_edit_object(empty);
  ASSERT_EQ(fig->cur_text, empty);
  EXPECT_EQ(hand_back_edited_text(), nullptr);
  refresh_text_windows(empty);
  EXPECT_EQ(fig->cur_text, empty);
  bool found = false;
  for (const object* o = fig->first; o; o = o->next) found = found || o == empty;
  EXPECT_TRUE(found) << "the empty text was deleted";
}

// A colour or a font given to a whole text that keeps its characters in a
// rich text (one the 8-bit text cannot hold among them) reaches that rich
// text, which the file writes and the reopened text shows; its characters
// stay.
TEST_F(TextEditor, AWholeTextsNewColourAndFontReachItsRichText) {
  current_class = nullptr;
  object* t = text("? x", {});
  rtf_run run = record_rtf_run(t->te);
  run.text = u"\u2220 x";
  run.bold = true;
  const std::string rtf = runs_to_rtf({run});
  t->te->rtf_data = alloc_block<char>(static_cast<uint32_t>(rtf.size() + 1));
  std::memcpy(t->te->rtf_data, rtf.c_str(), rtf.size() + 1);
  regenerate_text_attributes(t->te, 3, nullptr, 0xC00000);
  car_info format = t->te->format;
  format.size = 20;
  format.style = 2;
  regenerate_text_attributes(t->te, 1, &format, 0);
  ASSERT_NE(t->te->rtf_data, nullptr);
  const rtf_document doc = read_rtf(t->te->rtf_data, std::strlen(t->te->rtf_data));
  EXPECT_EQ(doc.plain(), u"\u2220 x");
  for (const rtf_run& r : doc.runs) {
    EXPECT_EQ(r.color, 0xC00000u);
    EXPECT_EQ(r.size, 20);
    EXPECT_TRUE(r.italic);
    EXPECT_FALSE(r.bold);
  }
}

}  // namespace
