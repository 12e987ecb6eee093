// End to end: dragging the end of a measured segment through the window,
// the text under it shows the new length, drawn exactly as the same text
// built afresh from the figure.
#include <string>

#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"

namespace {

class EndToEndMeasureDragValue : public FigureTest {
 protected:
  static QImage frameImage(KPFigureView* view, const object* o) {
    tagPOINT a{o->te->pos.x, o->te->pos.y};
    view->localToGlobalDDM(&a);
    return shown(view).copy(a.x - 2, a.y - 2, o->te->size.w + 4, o->te->size.h + 4);
  }
  // The strings and view of a text dropped: the next painting builds them
  // from the figure.
  static void forgetStrings(object* o) {
    const TextHandleOps& ops = text_handle_ops();
    for (void** s : {&o->te->display_string, &o->te->stored_string, &o->te->previous_string}) {
      if (*s) ops.release_string(*s);
      *s = nullptr;
    }
    if (o->te->text_view) ops.release_view(o->te->text_view);
    o->te->text_view = nullptr;
  }
};

TEST_F(EndToEndMeasureDragValue, TheLengthShownFollowsTheDragAsIfDrawnAfresh) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* text = textShowing(view->info(), length);
  ASSERT_NE(text, nullptr);
  ASSERT_NE(length->te, nullptr);
  const std::string was = length->te->text;
  const QImage before = frameImage(view, text);

  pickFromPalette(kPointerTool);
  drag(view, QPoint(300, 300), QPoint(470, 300));
  ASSERT_NE(std::string(length->te->text), was) << "the drag did not change the length";
  const QImage after = frameImage(view, text);
  EXPECT_TRUE(after != before) << "the text still shows the old length";

  forgetStrings(length);
  forgetStrings(text);
  EXPECT_TRUE(frameImage(view, text) == after) << "the length is not drawn as a fresh text of it";
}

}  // namespace
