// An older-edition figure whose intersection point lies on a point already
// on both lines: opened, the figure keeps the point, and what was built on
// the intersection is built on it and drawn.
#include <QFile>

#include "app/support/figure_test.h"
#include "kernel/files/macro_text.h"

namespace {

class EndToEndOlderIntersection : public FigureTest {};

// Lines 6 (through 3 and 5) and 7 (through 4 and 5) cross at point 5; the
// older edition made the crossing's point 8, and the segment 10 from it.
const char kOlderFigure[] =
    "FIGURE KelvoDuo vers. MS-Windows 1.0\r\n\r\n"
    "Window center x: 10.7142857142857 y: -7.5 Window size x: 21.4285714285714 y: 15\r\n\r\n"
    "1: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, I, nSt\r\nVal: 0 -0\r\n\r\n"
    "2: Axes, 1, CN:1, VN:3\r\ndGr, W, t, DS:1 1, GT:0, I, nSt\r\nConst: 1, Val: 1 -0, 0 1\r\n\r\n"
    "3: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nVal: 0.357142857142857 -0.714285714285714\r\n\r\n"
    "4: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nVal: 3.92857142857143 -2.14285714285714\r\n\r\n"
    "5: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nVal: 1.42857142857143 -5\r\n\r\n"
    "6: Line, 0, CN:2, VN:4\r\nG, W, t, DS:1 1, GT:0, V, nSt\r\nConst: 3 5\r\n\r\n"
    "7: Line, 0, CN:2, VN:4\r\nG, W, t, DS:1 1, GT:0, V, nSt\r\nConst: 4 5\r\n\r\n"
    "8: Int, 0, CN:2, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nConst: 6 7\r\n\r\n"
    "9: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nVal: 7.14285714285714 -1.07142857142857\r\n\r\n"
    "10: Seg, 0, CN:2, VN:2\r\nG, W, t, DS:1 1, GT:0, V, nSt\r\nConst: 8 9\r\n\r\n";

TEST_F(EndToEndOlderIntersection, TheIntersectionGivesWayToThePointOnBothLinesAndItsSegmentIsDrawn) {
  const QString path = dir.filePath("older_crossing.fig");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kOlderFigure, static_cast<qint64>(sizeof kOlderFigure - 1));
  }
  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  ASSERT_TRUE(waitForView(doc->figureView()));
  KPFigureView* view = doc->figureView();
  kelvo_win_info* fig = view->info();
  EXPECT_TRUE(objectsOf(fig, &classe_ptint).empty());
  const auto segments = objectsOf(fig, &classe_segment);
  ASSERT_EQ(segments.size(), 1u);
  object* segment = segments[0];
  ASSERT_FALSE(segment->state & OBJ_UNDEFINED);
  object* end = segment->parents[0];
  ASSERT_EQ(end->classe, &classe_point);
  EXPECT_TRUE(end->settings.visible);

  // The segment is drawn between its two ends.
  const QImage image = shown(view);
  const valeur& a = end->valeurs[0];
  const valeur& b = segment->parents[1]->valeurs[0];
  int inked = 0;
  for (int k = 1; k < 10; ++k) {
    const double t = k / 10.0;
    inked += inkNear(image, viewPointOf(view, a.h + t * (b.h - a.h), a.v + t * (b.v - a.v)), 1) > 0;
  }
  EXPECT_EQ(inked, 9);

  // The file's edition was the file's: a macro text read next is of the
  // current edition (whose steps carry no packed word).
  const char kMidpoint[] =
      "OlderMid, M\r\nMth: 0\r\nCN:2, ON:1, FN:1, PO:0\r\nCT:\r\n"
      "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\n"
      "Const:\r\nMid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n";
  EXPECT_GT(txt_load_used_macro(kMidpoint, 0), 0) << macro_text_error();
}

}  // namespace
