// End to end: the Hide/Show Button tool chosen from the palette. An empty
// click and a second click make a button that shows a caption, which the
// user types over; a click on a segment makes it a target; with the
// pointer, a click on the button hides the segment and another shows it.
#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"

#include <utility>

namespace {

class EndToEndHideShowButton : public FigureTest {
 protected:
  // Pixels of what the view shows (not drawn anew) inside the button's
  // face, darker than its fill: the caption's ink.
  static int captionInk(KPFigureView* view, const object* button) {
    view->grab();
    const QImage image = view->viewImage();
    tagPOINT a{button->te->pos.x + 2, button->te->pos.y + 2};
    tagPOINT b{button->te->pos.x + button->te->size.w - 2, button->te->pos.y + button->te->size.h - 2};
    view->localToGlobalDDM(&a);
    view->localToGlobalDDM(&b);
    const QColor fill = image.pixelColor((a.x + b.x) / 2, b.y);
    int ink = 0;
    for (int y = a.y; y < b.y; ++y)
      for (int x = a.x; x < b.x; ++x)
        if (image.rect().contains(x, y) && image.pixelColor(x, y).lightness() < fill.lightness() - 60) ++ink;
    return ink;
  }
  static std::string caption(const object* button) {
    return button->te && button->te->text ? std::string(button->te->text, std::max(0, button->te->length)) : "";
  }
};

TEST_F(EndToEndHideShowButton, AButtonWithACaptionHidesAndShowsItsTarget) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* target = segment(view, QPoint(100, 300), QPoint(300, 300));
  ASSERT_NE(target, nullptr);
  EXPECT_GT(inkNear(shown(view), QPoint(200, 300)), 0);

  pickFromPalette(&classe_button);
  ASSERT_EQ(current_class, &classe_button);
  click(view, QPoint(350, 100));
  click(view, QPoint(450, 130));
  const auto buttons = objectsOf(view->info(), &classe_button);
  ASSERT_EQ(buttons.size(), 1u);
  object* button = buttons[0];
  EXPECT_EQ(caption(button), "Hide/Show") << "a new button has no caption";

  // Typed at once, the caption replaces the one offered.
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "Segment");
  spin(10);

  // The segment clicked becomes the button's target.
  click(view, QPoint(200, 300));
  EXPECT_EQ(caption(button), "Segment");
  ASSERT_NE(button->associated, nullptr) << "the click on the segment did not make it a target";
  EXPECT_EQ(button->associated->obj, target);
  // The chosen objects are drawn dashed as the pointer moves on: the
  // caption stays.
  moveTo(view, QPoint(450, 250));
  moveTo(view, QPoint(500, 200));
  for (int i = 0; i < 4; ++i) {
    spin(150);
    EXPECT_GT(captionInk(view, button), 10) << "the caption is not drawn " << i;
  }

  // With the pointer: the button hides the segment, then shows it again.
  pickFromPalette(kPointerTool);
  EXPECT_GT(captionInk(view, button), 10) << "the caption is not drawn";
  click(view, QPoint(400, 115));
  EXPECT_FALSE(target->settings.visible);
  EXPECT_EQ(inkNear(shown(view), QPoint(200, 300)), 0) << "the segment is still drawn";
  click(view, QPoint(400, 115));
  EXPECT_TRUE(target->settings.visible);
  EXPECT_GT(inkNear(shown(view), QPoint(200, 300)), 0);
}

// However close the two clicks that make a button, its caption shows
// whole, on one line: as much ink as on a button made wide.
TEST_F(EndToEndHideShowButton, AButtonFromTwoCloseClicksShowsItsWholeCaption) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  for (const auto& [from, to] : {std::pair{QPoint(100, 100), QPoint(300, 130)}, {QPoint(100, 250), QPoint(108, 254)}}) {
    pickFromPalette(&classe_button);
    click(view, from);
    click(view, to);
    pickFromPalette(kPointerTool);
  }
  const auto buttons = objectsOf(view->info(), &classe_button);
  ASSERT_EQ(buttons.size(), 2u);
  const object* wide = buttons[0];
  const object* made_small = buttons[1];
  ASSERT_EQ(caption(made_small), "Hide/Show");
  const int whole = captionInk(view, wide);
  ASSERT_GT(whole, 20);
  EXPECT_NEAR(captionInk(view, made_small), whole, whole / 10) << "the caption is cut";
  EXPECT_LE(made_small->te->size.h, wide->te->size.h) << "the caption takes more than one line";
}

}  // namespace
