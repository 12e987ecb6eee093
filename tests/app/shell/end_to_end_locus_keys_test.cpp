// '+' and '-' typed on a selected locus change its number of points.
#include "app/support/figure_test.h"

namespace {

class EndToEndLocusKeys : public FigureTest {
 protected:
  // A key is applied at the figure timer's next step: wait for that gesture
  // to end before the next key.
  static void type(KPFigureView* view, Qt::Key key) {
    // '+' is typed with Shift held, as on most keyboards.
    QTest::keyClick(view, key, key == Qt::Key_Plus ? Qt::ShiftModifier : Qt::NoModifier);
    spin(30);
    waitUntil([] { return !manipulating; });
  }
};

TEST_F(EndToEndLocusKeys, PlusAndMinusOnTheSelectedLocusChangeItsPointCount) {
  // The midpoint of A = (60, -40) and a point running along the circle of
  // centre (-40, 20) through (40, 20) traces the circle of centre (10, -10)
  // and radius 40.
  KPFigureView* view = openFigure("locus_keys.fig", [](const Placer& at) {
    return "1: Pt, " + at(60, -40) + "\r\n\r\n2: Pt, " + at(-40, 20) + "\r\n\r\n3: Pt, " + at(40, 20) +
           "\r\n\r\n4: Cir, Const: 2,  3, \r\n\r\n5: Pt/, Const: 4, " + at(40, 20) +
           "\r\n\r\n6: Mid, Const: 1,  5, \r\n\r\n7: Locus, Const: 5,  6, lk pts, locus, nb pts: 100, \r\n\r\n";
  });
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  const auto loci = objectsOf(fig, &classe_locus);
  ASSERT_EQ(loci.size(), 1u);
  object* locus = loci[0];
  ASSERT_EQ(locus->math.locus.nb_pts, 100);

  // Select the locus where it runs alone: its leftmost point (-30, -10).
  chooseTool(view, nullptr);
  click(view, viewPointOf(view, -30, -10));
  ASSERT_EQ(objlist_count(fig->selection), 1);
  ASSERT_EQ(fig->selection->items[0], locus);

  type(view, Qt::Key_Plus);
  EXPECT_EQ(locus->math.locus.nb_pts, 150);
  type(view, Qt::Key_Minus);
  type(view, Qt::Key_Minus);
  EXPECT_EQ(locus->math.locus.nb_pts, 66);
  EXPECT_EQ(manipulating, 0);
}

}  // namespace
