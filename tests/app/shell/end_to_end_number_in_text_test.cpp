// A number shown inside a text belongs to that text under the pointer: a
// drag that starts on the number, selected there, moves the text.
#include "app/support/figure_test.h"

namespace {

class EndToEndNumberInText : public FigureTest {};

TEST_F(EndToEndNumberInText, DraggingTheNumberMovesTheTextThatShowsIt) {
  KPFigureView* view = openFigure("number_in_text.fig", [](const Placer& at) {
    // Frames in centimetres at the file's resolution: the number's own frame
    // well away from the text's.
    auto box = [&at](double h, double v, double w, double height) {
      std::string p = at(h, v), s = at(w, -height);
      return "TP: " + p.substr(5) + ", TS: " + s.substr(5);
    };
    std::string text = "1: Num, Val: 0 0 5, nA, P, \r\nNbD:0, nFD, WU, \r\n5\r\n" + box(-200, -120, 40, 20) + "\r\n\r\n";
    text += "2: Text, inc.elmts: 1, Val: 0 0 0, nA, nP, \r\n\"x = \"#\"\r\n" + box(-40, 20, 90, 20) + "\r\n\r\n";
    return text;
  });
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  const auto numbers = objectsOf(fig, &classe_nombre);
  const auto texts = objectsOf(fig, &classe_text);
  ASSERT_EQ(numbers.size(), 1u);
  ASSERT_EQ(texts.size(), 1u);
  object* text = texts[0];
  ASSERT_NE(text->inserted, nullptr);
  ASSERT_EQ(text->inserted->obj, numbers[0]);

  // Select the number through the text (a click on it inside the text),
  // then drag from there: the text moves, the number stays in it.
  chooseTool(view, nullptr);
  const QRect frame = frameOf(view, text);
  QPoint on_number;
  for (int x = frame.left() + 2; x < frame.right() && on_number.isNull(); x += 3) {
    click(view, QPoint(20, 20));
    click(view, QPoint(x, frame.center().y()));
    if (objlist_count(fig->selection) == 1 && fig->selection->tags[0] > 0x102) on_number = QPoint(x, frame.center().y());
  }
  ASSERT_FALSE(on_number.isNull()) << "the number is selected through the text";
  ASSERT_EQ(fig->selection->items[0], text);
  drag(view, on_number, on_number + QPoint(60, 40));
  EXPECT_EQ(manipulating, 0);
  const QPoint moved = frameOf(view, text).topLeft() - frame.topLeft();
  EXPECT_NEAR(moved.x(), 60, 6);
  EXPECT_NEAR(moved.y(), 40, 6);
  EXPECT_EQ(text->inserted->obj, numbers[0]);
  EXPECT_EQ(numbers[0]->valeurs[0].info.rayon, 5);
}

}  // namespace
