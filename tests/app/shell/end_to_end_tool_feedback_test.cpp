// End to end: what the user is shown while the kernel works.
// - The tools palette shows the tool the kernel makes current by itself:
//   the calculator's when its panel is brought forward, the text tool when
//   a second click opens a comment for editing.
// - The calculator's close box closes it at the first click, with another
//   tool in use, although the window system hands the panel its activation
//   late.
// - The cursor is the busy one while two loci are crossed.
// - A comment resized by its handle shows its frame dashed while it
//   changes.
// - The figure's timer stands still while a text is typed in the figure.
#include <memory>

#include "app/panels/calculator_panel.h"
#include "app/support/figure_test.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_cursor.h"

namespace {

class EndToEndToolFeedback : public FigureTest {
 protected:
  // The palette shows the class's tool as the one in use.
  static bool paletteShows(construct_class* cls) {
    const uint32_t id = find_tool_id_by_name(cls->name);
    menu* group = id ? find_tool_menu(static_cast<int16_t>(tool_group(id))) : nullptr;
    auto* button = group ? static_cast<NSGeoToolsMenu*>(group->view) : nullptr;
    return button && button->kelvoMenuState() == 1 && button->getSelectedItemIndex() == tool_item(id) - 1;
  }

  // A comment written with the Comments tool; the pointer after.
  object* comment(KPFigureView* view, QPoint from, QPoint to, const char* typed) {
    pickFromPalette(&classe_text);
    drag(view, from, to);
    QWidget* editor = QApplication::focusWidget();
    EXPECT_NE(editor, nullptr);
    if (editor) QTest::keyClicks(editor, typed);
    pickFromPalette(kPointerTool);
    spin(20);
    const auto texts = objectsOf(view->info(), &classe_text);
    return texts.empty() ? nullptr : texts.back();
  }
};

TEST_F(EndToEndToolFeedback, ThePaletteShowsTheToolTheKernelMakesCurrent) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_calculate);
  KPCalculatorPanel* panel = calculator_panel();
  ASSERT_NE(panel, nullptr);
  pickFromPalette(&classe_segment);
  spin(20);
  ASSERT_TRUE(paletteShows(&classe_segment));
  // The panel brought forward: calculator mode, shown on the palette.
  QApplication::setActiveWindow(panel);
  spin(30);
  EXPECT_EQ(current_class, &classe_calculate);
  EXPECT_TRUE(paletteShows(&classe_calculate)) << "the palette still shows the segment tool";
  panel->close();
  spin(20);

  // A comment clicked twice with the pointer is open for editing with the
  // text tool, which the palette shows.
  object* text = comment(view, QPoint(120, 100), QPoint(320, 140), "Note");
  ASSERT_NE(text, nullptr);
  click(view, frameCentre(view, text));
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  click(view, frameCentre(view, text));
  spin(30);
  ASSERT_EQ(view->info()->cur_text, text) << "the second click did not open the comment";
  EXPECT_EQ(current_class, &classe_text);
  EXPECT_TRUE(paletteShows(&classe_text)) << "the palette still shows the pointer";
}

TEST_F(EndToEndToolFeedback, TheCalculatorClosesAtTheFirstClickOnItsCloseBox) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_calculate);
  KPCalculatorPanel* panel = calculator_panel();
  ASSERT_NE(panel, nullptr);
  pickFromPalette(&classe_segment);
  ASSERT_EQ(current_class, &classe_segment);
  // The close box clicked: the panel closes, and the activation that the
  // click gave it arrives after.
  panel->close();
  QApplication::setActiveWindow(panel);
  spin(30);
  EXPECT_FALSE(panel->isVisible()) << "the panel came back";
  EXPECT_EQ(calculator_window, nullptr);
  EXPECT_NE(current_class, &classe_calculate);
}

TEST_F(EndToEndToolFeedback, TheCursorIsBusyWhileTwoLociAreCrossed) {
  // Two midpoints of a point running on a circle and a fixed point: two
  // circles of radius 40, centred 20 apart, that cross.
  KPFigureView* view = openFigure("two_loci.fig", [](const Placer& at) {
    return "1: Pt, " + at(60, -40) + "\r\n\r\n2: Pt, " + at(-40, 20) + "\r\n\r\n3: Pt, " + at(40, 20) +
           "\r\n\r\n4: Cir, Const: 2,  3, \r\n\r\n5: Pt/, Const: 4, " + at(40, 20) +
           "\r\n\r\n6: Mid, Const: 1,  5, \r\n\r\n7: Locus, Const: 5,  6, lk pts, locus, nb pts: 100, \r\n\r\n" +
           "8: Pt, " + at(100, -40) +
           "\r\n\r\n9: Mid, Const: 8,  5, \r\n\r\n10: Locus, Const: 5,  9, lk pts, locus, nb pts: 100, \r\n\r\n";
  });
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(objectsOf(view->info(), &classe_locus).size(), 2u);
  // The busy cursor of the application's cursor table; no other cursor of
  // the table is shown meanwhile.
  const std::unique_ptr<KPCursor> busy(KPCursor::createCursor(32514, "Wait", nullptr, 0, 0, "waitCursor"));
  pickFromPalette(&classe_interset);
  // Each locus where it runs alone: the first at its leftmost point, the
  // second at its rightmost.
  click(view, viewPointOf(view, -30, -10));
  ASSERT_EQ(objlist_count(view->info()->inputs), 1) << "the first locus was not taken";
  click(view, viewPointOf(view, 70, -10));
  const auto points = objectsOf(view->info(), &classe_ptint);
  ASSERT_FALSE(points.empty()) << "no intersection point";
  ASSERT_NE(KPCursor::lastSet(), nullptr) << "no cursor of the table was shown";
  EXPECT_EQ(KPCursor::lastSet(), busy.get()) << "the cursor was not the busy one";
}

TEST_F(EndToEndToolFeedback, AResizedCommentShowsItsFrameDashed) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* text = comment(view, QPoint(120, 100), QPoint(320, 140), "Some words to wrap");
  ASSERT_NE(text, nullptr);
  click(view, frameCentre(view, text));
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  const QRect frame = frameOf(view, text);
  // Held wider: the frame's new part, right of the words, is drawn.
  const QPoint handle = frame.bottomRight() + QPoint(2, 2);
  const QPoint to = handle + QPoint(120, 0);
  pressAndMove(view, handle, to);
  ASSERT_GT(text->te->size.w, frame.width() + 80) << "the frame was not resized";
  view->grab();
  const QImage image = view->viewImage();
  const QRect now = frameOf(view, text);
  int dark = 0, light = 0;
  for (int x = frame.right() + 8; x < now.right() - 4; ++x) {
    const QColor c = image.pixelColor(x, now.bottom());
    (c.lightness() < 80 ? dark : light) += 1;
  }
  QTest::mouseRelease(view, Qt::LeftButton, {}, to, 10);
  spin(20);
  EXPECT_GT(dark, 20) << "no outline along the new part of the frame";
  EXPECT_GT(light, 20) << "the outline is not dashed";
}

TEST_F(EndToEndToolFeedback, TheFigureTimerStandsStillWhileATextIsTyped) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* s = segment(view, QPoint(100, 300), QPoint(300, 300));
  ASSERT_NE(s, nullptr);
  pickFromPalette(&classe_text);
  drag(view, QPoint(350, 80), QPoint(550, 120));
  ASSERT_NE(view->textEditor(), nullptr);
  ASSERT_FALSE(view->textEditor()->isHidden()) << "no editor";
  kelvo_win_info* fig = view->info();
  objlist_add(fig->selection, s, 0);
  view->CheckFigureTimer();
  EXPECT_FALSE(view->figureTimerRunning()) << "the timer runs under the editor";
  objlist_clear(fig->selection);
  pickFromPalette(kPointerTool);
  spin(20);
  ASSERT_TRUE(view->textEditor()->isHidden());
  click(view, QPoint(200, 300));
  ASSERT_EQ(objlist_count(fig->selection), 1);
  EXPECT_TRUE(view->figureTimerRunning()) << "with a selection and no editor the timer runs";
}

}  // namespace
