// End to end: while a comment is being written with the Comments tool, a
// click on a measure puts the measure into the comment at the caret, live:
// typing goes on after it, and dragging the measured segment changes what
// the comment shows.
#include <string>

#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"

namespace {

class EndToEndLiveMeasureInComment : public FigureTest {
 protected:
  // What the view shows inside an object's text frame, drawn anew.
  static QImage frameImage(KPFigureView* view, const object* o) {
    tagPOINT a{o->te->pos.x, o->te->pos.y};
    view->localToGlobalDDM(&a);
    return shown(view).copy(a.x, a.y, o->te->size.w, o->te->size.h);
  }
};

TEST_F(EndToEndLiveMeasureInComment, AMeasureClickedWhileWritingGoesIntoTheCommentLive) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* shown_length = textShowing(view->info(), length);
  ASSERT_NE(shown_length, nullptr);

  // A comment written with the Comments tool, the measure clicked in the
  // middle of the typing.
  pickFromPalette(&classe_text);
  drag(view, QPoint(350, 80), QPoint(550, 120));
  const auto before = objectsOf(view->info(), &classe_text);
  object* comment = nullptr;
  for (object* o : before)
    if (o != shown_length) comment = o;
  ASSERT_NE(comment, nullptr);
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "L = ");
  click(view, frameCentre(view, shown_length));
  spin(20);
  EXPECT_EQ(view->info()->cur_text, comment) << "the click left the comment";
  editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, " long");
  pickFromPalette(kPointerTool);

  ASSERT_NE(comment->te, nullptr);
  ASSERT_NE(comment->te->text, nullptr);
  EXPECT_EQ(std::string(comment->te->text), "L = $1$ long") << "the measure is not in the comment";
  EXPECT_EQ(textShowing(view->info(), length, shown_length), comment);
  EXPECT_EQ(objectsOf(view->info(), &classe_text).size(), 2u);

  // Live: the comment shows the new length once the segment is longer.
  const QImage was = frameImage(view, comment);
  drag(view, QPoint(300, 300), QPoint(520, 300));
  EXPECT_TRUE(frameImage(view, comment) != was) << "the comment still shows the old length";
}

}  // namespace
