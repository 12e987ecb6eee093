// The in-figure text editor as a user meets it: the edit box a new measure
// opens shows its text as the figure will draw it; typing over the value
// of a measure keeps what the user typed and loses nothing else, and Undo
// brings the measure back; Ctrl+B and Ctrl+I make a text bold and italic,
// and the figure draws, saves and reopens it so; the colours of the
// attribute bar go to the text being edited; a value chosen inside a text
// is framed alone.
#include <QApplication>
#include <QColorDialog>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>

#include <cstdlib>

#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/panels/tools_pull_down.h"
#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/toolbox.h"
#include "platform/ns_kelvo_text_editor.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

class EndToEndEditBox : public FigureTest {
 protected:
  // The figure's picture inside an object's text frame, drawn anew.
  static QImage frameImage(KPFigureView* view, const object* o) { return shown(view).copy(frameOf(view, o)); }

  // A pixel of black text: dark and grey (the segment under a measure's
  // text is coloured).
  static bool textInk(QRgb p) {
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    return qGray(p) < 128 && std::abs(r - g) < 40 && std::abs(g - b) < 40;
  }

  // The columns of an image that hold text ink: the first and the last, -1
  // when none.
  static std::pair<int, int> inkColumns(const QImage& image) {
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
      for (int y = 0; y < image.height(); ++y)
        if (textInk(image.pixel(x, y))) {
          if (first < 0) first = x;
          last = x;
          break;
        }
    return {first, last};
  }

  static int ink(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += textInk(image.pixel(x, y));
    return n;
  }

  // A segment and its length measured with the palette's tools; the text
  // that shows the length, null when something is missing.
  static object* measureText(KPFigureView* view, object** length) {
    *length = measuredSegment(view);
    return *length ? textShowing(view->info(), *length) : nullptr;
  }

  // A click on the sheet where no object is.
  static void clickEmpty(KPFigureView* view) { click(view, QPoint(520, 90)); }

  // A colour chosen on the tools palette's attribute bar: the colour
  // button of the menu (0 pen, 1 fill, 2 text) held down opens its colour
  // well, where the colour is picked.
  static void chooseBarColour(int menu_index, const QColor& colour) {
    auto* button = static_cast<QWidget*>(attrib_menus[menu_index]->view);
    ASSERT_NE(button, nullptr);
    auto shown_well = [] {
      QColorDialog* well = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QColorDialog*>(w); d && d->isVisible()) well = d;
      return well;
    };
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    // Held until the well opens, however long the machine takes.
    waitUntil([&] { return shown_well() != nullptr; });
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(20);
    QColorDialog* well = shown_well();
    ASSERT_NE(well, nullptr) << "no colour well";
    well->setCurrentColor(colour);
    spin(20);
    // The well goes with the colour list it belongs to, as a click elsewhere
    // closes them.
    NSGeoToolsPullDownController::destroyPullDown();
    spin(20);
  }

  // The colour of the first character the editor shows.
  static QColor firstCharColour(NSKelvoTextEditor* editor) {
    QTextCursor c(editor->document());
    c.setPosition(1);
    return c.charFormat().foreground().color();
  }

  static bool undo(KPFigureView* view) {
    return clickMenuItem(menuBarOf(view), QStringLiteral("Edit"), QStringLiteral("Undo"));
  }

  // The characters of a text's stored string with their faces, one letter
  // per character: 'b' bold, 'i' italic, 'B' both, '.' neither.
  static std::string faces(const object* o) {
    const QTextDocument* doc = o && o->te ? kp_text_document(o->te->stored_string) : nullptr;
    std::string out;
    for (QTextBlock b = doc ? doc->begin() : QTextBlock(); b.isValid(); b = b.next())
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QFont f = it.fragment().charFormat().font();
        const char c = f.bold() && f.italic() ? 'B' : f.bold() ? 'b' : f.italic() ? 'i' : '.';
        out += std::string(static_cast<size_t>(it.fragment().length()), c);
      }
    return out;
  }
};

// Ctrl+A and a digit typed over the value of a new measure: the text keeps
// what was typed, the measure it no longer shows goes, the segment stays;
// Undo gives back the measure and its text as they were before the edit.
TEST_F(EndToEndEditBox, TypingOverANewMeasureKeepsTheTextAndUndoBringsTheMeasureBack) {
  for (construct_class* cls : {&classe_length, &classe_pente}) {
    SCOPED_TRACE(cls->name);
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    kelvo_win_info* fig = view->info();
    ASSERT_NE(segment(view, QPoint(100, 300), QPoint(300, 300)), nullptr);
    pickFromPalette(cls);
    click(view, QPoint(200, 300));
    const auto measures = objectsOf(fig, cls);
    ASSERT_EQ(measures.size(), 1u);
    object* text = textShowing(fig, measures[0]);
    ASSERT_NE(text, nullptr);
    NSKelvoTextEditor* editor = view->textEditor();
    ASSERT_TRUE(editor->isVisible());
    ASSERT_EQ(fig->cur_text, text);

    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "5");
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("5"));
    pickFromPalette(kPointerTool);
    clickEmpty(view);

    const auto texts = objectsOf(fig, &classe_text);
    ASSERT_EQ(texts.size(), 1u) << "the text typed was deleted";
    EXPECT_STREQ(texts[0]->te->text, "5");
    EXPECT_GT(ink(frameImage(view, texts[0])), 0);
    EXPECT_EQ(objectsOf(fig, &classe_segment).size(), 1u);
    EXPECT_TRUE(objectsOf(fig, cls).empty()) << "a measure no text shows is left behind";

    ASSERT_TRUE(undo(view));
    // Undo makes the copy it kept the view's figure.
    fig = view->info();
    const auto back = objectsOf(fig, cls);
    ASSERT_EQ(back.size(), 1u) << "Undo did not bring the measure back";
    object* shown_again = textShowing(fig, back[0]);
    ASSERT_NE(shown_again, nullptr);
    EXPECT_STREQ(shown_again->te->text, "$1$");
    EXPECT_EQ(objectsOf(fig, &classe_text).size(), 1u);
    EXPECT_GT(ink(frameImage(view, shown_again)), 0);
    closeAll();
  }
}

// The value of a measure that a dilation uses, typed over in its text: the
// dilation keeps its ratio, the measure shows by itself.
TEST_F(EndToEndEditBox, TypingOverAMeasureThatOthersUseDeletesNothing) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  object* length = nullptr;
  object* text = measureText(view, &length);
  ASSERT_NE(text, nullptr);
  pickFromPalette(&classe_dilatation);
  click(view, QPoint(300, 300));
  click(view, QPoint(100, 300));
  click(view, frameCentre(view, text));
  const auto dilated = objectsOf(fig, &classe_dilatation);
  ASSERT_EQ(dilated.size(), 1u);

  // A click selects the value shown in the text, a second one edits it.
  pickFromPalette(kPointerTool);
  click(view, frameCentre(view, text));
  click(view, frameCentre(view, text));
  NSKelvoTextEditor* editor = view->textEditor();
  ASSERT_TRUE(editor->isVisible());
  ASSERT_EQ(fig->cur_text, text);
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "5");
  clickEmpty(view);

  EXPECT_EQ(objectsOf(fig, &classe_dilatation).size(), 1u) << "the dilation went with the value typed over";
  ASSERT_EQ(objectsOf(fig, &classe_length).size(), 1u);
  EXPECT_STREQ(text->te->text, "5");
  EXPECT_GT(ink(frameImage(view, length)), 0) << "the measure is kept but not shown";
}

// The edit box of a new measure lays its text out as the figure draws it:
// one line, the value and its unit as wide as once the box is closed.
TEST_F(EndToEndEditBox, ANewMeasuresEditBoxShowsItsTextAsTheFigureDrawsIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = nullptr;
  object* text = measureText(view, &length);
  ASSERT_NE(text, nullptr);
  NSKelvoTextEditor* editor = view->textEditor();
  ASSERT_TRUE(editor->isVisible());
  ASSERT_TRUE(editor->toPlainText().endsWith(QStringLiteral(" cm")));
  const QTextLayout* layout = editor->document()->firstBlock().layout();
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->lineCount(), 1) << "the unit is wrapped onto a line of its own";
  const auto [edit_first, edit_last] = inkColumns(editor->grab().toImage());
  ASSERT_GE(edit_first, 0);

  pickFromPalette(kPointerTool);
  clickEmpty(view);
  ASSERT_FALSE(editor->isVisible());
  const auto [drawn_first, drawn_last] = inkColumns(frameImage(view, text));
  ASSERT_GE(drawn_first, 0);
  EXPECT_NEAR(edit_last - edit_first, drawn_last - drawn_first, 2) << "the edit box shows another size";
}

// Ctrl+B and Ctrl+I in a comment: the chosen words turn bold and italic in
// the figure, and the figure file keeps them.
TEST_F(EndToEndEditBox, BoldAndItalicAreDrawnSavedAndReopened) {
  const QString path = dir.filePath("faces.fig");
  QImage drawn;
  {
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    pickFromPalette(&classe_text);
    drag(view, QPoint(150, 100), QPoint(400, 140));
    NSKelvoTextEditor* editor = view->textEditor();
    ASSERT_TRUE(editor->isVisible());
    QTest::keyClicks(editor, "Hello world");
    pickFromPalette(kPointerTool);
    clickEmpty(view);
    const auto texts = objectsOf(view->info(), &classe_text);
    ASSERT_EQ(texts.size(), 1u);
    object* text = texts[0];
    const QImage plain = frameImage(view, text);

    click(view, frameCentre(view, text));
    click(view, frameCentre(view, text));
    ASSERT_TRUE(editor->isVisible());
    QTest::keyClick(editor, Qt::Key_Home);
    for (int i = 0; i < 5; ++i) QTest::keyClick(editor, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_End);
    for (int i = 0; i < 5; ++i) QTest::keyClick(editor, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(editor, Qt::Key_I, Qt::ControlModifier);
    // Bold chosen with nothing selected applies to what is typed next.
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClicks(editor, "!");
    clickEmpty(view);
    ASSERT_FALSE(editor->isVisible());
    EXPECT_STREQ(text->te->text, "Hello world!");
    EXPECT_EQ(faces(text), "bbbbb.iiiiiB");
    drawn = frameImage(view, text);
    EXPECT_GT(ink(drawn), ink(plain)) << "the bold letters are not drawn";
    ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
    closeAll();
  }
  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  KPFigureView* view = doc->figureView();
  ASSERT_TRUE(waitForView(view));
  const auto texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_STREQ(texts[0]->te->text, "Hello world!");
  EXPECT_EQ(faces(texts[0]), "bbbbb.iiiiiB");
  EXPECT_EQ(ink(frameImage(view, texts[0])), ink(drawn));
}

// While a comment is edited the attribute bar's pen colour goes to its
// frame, the fill to its background (the edit box's too, the comment being
// filled) and the text colour to its record and the selected characters.
TEST_F(EndToEndEditBox, TheAttributeBarColoursTheTextBeingEdited) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_text);
  drag(view, QPoint(150, 100), QPoint(400, 140));
  NSKelvoTextEditor* editor = view->textEditor();
  ASSERT_TRUE(editor->isVisible());
  QTest::keyClicks(editor, "Hello");
  object* text = view->info()->cur_text;
  ASSERT_NE(text, nullptr);
  text->settings.opaque = 1;
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  const QColor ink_before = firstCharColour(editor);
  const uint32_t record_colour = text->te->format.color;

  chooseBarColour(0, QColor(255, 0, 0));
  ASSERT_TRUE(editor->isVisible()) << "the colour well ended the edit";
  EXPECT_EQ(text->settings.Color, 0xFF0000u);
  EXPECT_EQ(firstCharColour(editor), ink_before) << "the pen colour went to the characters";
  EXPECT_EQ(text->te->format.color, record_colour);

  chooseBarColour(1, QColor(255, 255, 0));
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(text->settings.FillColor, 0xFFFF00u);
  EXPECT_EQ(editor->backgroundColour(), QColor(255, 255, 0));
  EXPECT_EQ(firstCharColour(editor), ink_before);

  chooseBarColour(2, QColor(0, 0, 255));
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(text->te->format.color, 0x0000FFu);
  EXPECT_EQ(firstCharColour(editor), QColor(0, 0, 255));
  EXPECT_EQ(text->settings.Color, 0xFF0000u);

  // Handed back, the comment is drawn so: red frame, yellow inside, blue
  // letters.
  pickFromPalette(kPointerTool);
  clickEmpty(view);
  const QImage picture = shown(view);
  int red = 0, yellow = 0, blue = 0;
  const QRect frame = frameOf(view, text);
  for (int y = frame.top() - 8; y <= frame.bottom() + 8; ++y)
    for (int x = frame.left() - 8; x <= frame.right() + 8; ++x) {
      if (!picture.rect().contains(x, y)) continue;
      const QColor c = picture.pixelColor(x, y);
      red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
      yellow += c.red() > 200 && c.green() > 200 && c.blue() < 80;
      blue += c.blue() > 150 && c.red() < 100 && c.green() < 100;
    }
  EXPECT_GT(red, 20);
  EXPECT_GT(yellow, 100);
  EXPECT_GT(blue, 5);
}

// A click on the value a text shows selects that value: the dashed frame
// goes round the value only, not round the whole text.
TEST_F(EndToEndEditBox, AValueSelectedInsideATextIsFramedAlone) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  object* length = nullptr;
  object* text = measureText(view, &length);
  ASSERT_NE(text, nullptr);
  pickFromPalette(kPointerTool);
  clickEmpty(view);
  tagPOINT on_value{text->inserted->area[0].x + text->te->pos.x + 4, text->te->pos.y + text->te->size.h / 2};
  view->localToGlobalDDM(&on_value);
  click(view, QPoint(on_value.x, on_value.y));
  ASSERT_EQ(objlist_count(fig->selection), 1);
  ASSERT_EQ(fig->selection->items[0], text);
  ASSERT_EQ(fig->selection->tags[0], 259);

  // Where the text view shows the value, from the text's position.
  const insert_object* value = text->inserted;
  tagPOINT a{text->te->pos.x + value->area[0].x, text->te->pos.y + value->area[0].y};
  tagPOINT b{text->te->pos.x + value->area[1].x, text->te->pos.y + value->area[1].y};
  view->localToGlobalDDM(&a);
  view->localToGlobalDDM(&b);
  const QRect whole = frameOf(view, text);
  // The frame leaves room beyond the value.
  ASSERT_GT(whole.right(), b.x + 5);
  // The marks blink: the dark pixels along the value's top edge (above its
  // letters) and down the text's right edge, over several steps.
  int at_value = 0, at_text = 0;
  for (int step = 0; step < 30; ++step) {
    spin(15);
    const QImage now = view->viewImage();
    for (int x = a.x + 1; x < b.x; ++x) at_value += qGray(now.pixel(x, a.y)) < 80;
    for (int y = a.y + 1; y < b.y; ++y) at_text += qGray(now.pixel(whole.right(), y)) < 80;
  }
  EXPECT_GT(at_value, 0) << "no frame round the value";
  EXPECT_EQ(at_text, 0) << "the whole text is framed";
}

}  // namespace
