// The appearance tools take a point's label as their target: Text Color
// clicked on the label of a point colours the label's text.
#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEndLabelColor : public FigureTest {};

TEST_F(EndToEndLabelColor, TextColorClickedOnAPointsLabelColoursTheLabel) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  chooseTool(view, &classe_point);
  const QPoint at(200, 160);
  click(view, at);
  chooseTool(view, nullptr);
  click(view, at);
  // A letter typed on the selected point names it.
  QTest::keyClick(view, Qt::Key_A);
  spin(20);
  click(view, QPoint(20, 20));
  const auto points = objectsOf(fig, &classe_point);
  object* point = nullptr;
  for (object* p : points)
    if (p->settings.visible) point = p;
  ASSERT_NE(point, nullptr);
  ASSERT_NE(point->te, nullptr);
  ASSERT_NE(point->label, nullptr);
  ASSERT_STREQ(point->te->text, "a");

  pickFromPalette(find_tool_id_by_name("Text Color"));
  ASSERT_EQ(interaction_state, STATE_APPEARANCE);
  constexpr uint32_t kBlue = 0x0000FF;
  current_attrs->text_color = kBlue;
  ASSERT_NE(point->te->format.color, kBlue);
  tagPOINT centre{point->te->pos.x + point->te->size.w / 2, point->te->pos.y + point->te->size.h / 2};
  view->localToGlobalDDM(&centre);
  click(view, QPoint(centre.x, centre.y));
  EXPECT_EQ(point->te->format.color, kBlue);
  // The view shows the label in blue.
  const QImage image = shown(view);
  const QRect frame = frameOf(view, point);
  int blue = 0;
  for (int y = frame.top(); y <= frame.bottom(); ++y)
    for (int x = frame.left(); x <= frame.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      blue += c.blue() > 150 && c.red() < 100 && c.green() < 100;
    }
  EXPECT_GT(blue, 0);
}

}  // namespace

