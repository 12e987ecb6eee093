// End to end: a figure opened and saved, again and again, is written the
// same, byte for byte. Its points on circles, segments, arcs, conics and
// triangles, the equations shown beside their curves, measures and a label
// are all computed again at each opening from what the file gives back.
#include <QFile>
#include <QMenuBar>

#include <algorithm>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"

namespace {

class EndToEndSameBytes : public FigureTest {
 protected:
  static QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Each line that differs, with its number.
  static void expectSameLines(const QByteArray& was, const QByteArray& now, int round) {
    const QList<QByteArray> a = was.split('\n'), b = now.split('\n');
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
      const QByteArray x = i < a.size() ? a[i] : QByteArray(), y = i < b.size() ? b[i] : QByteArray();
      if (x != y)
        ADD_FAILURE() << "round " << round << ", line " << i + 1 << ":\n  " << x.toStdString() << "\n  "
                      << y.toStdString();
    }
  }
};

TEST_F(EndToEndSameBytes, AFigureOpenedAndSavedThreeTimesWritesTheSameBytes) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // Two rows of the same constructions, at places that fall differently
  // on the pixels.
  for (int k = 0; k < 2; ++k) {
    const int dx = 13 * k + 7, dy = 223 * k - 80;
    pickFromPalette(&classe_cercle);
    click(view, QPoint(60 + dx, 140 + dy));
    click(view, QPoint(103 + dx, 157 + dy));
    pickFromPalette(&classe_ptsur);
    click(view, QPoint(60 + dx, 94 + dy));
    pickFromPalette(&classe_equation);
    click(view, QPoint(106 + dx, 145 + dy));
    pickFromPalette(&classe_droite);
    click(view, QPoint(200 + dx, 50 + dy));
    click(view, QPoint(290 + dx, 97 + dy));
    pickFromPalette(&classe_equation);
    click(view, QPoint(245 + dx, 73 + dy + k));
    pickFromPalette(&classe_ptsur);
    click(view, QPoint(222 + dx, 61 + dy));
    pickFromPalette(&classe_equation);
    click(view, QPoint(222 + dx, 61 + dy));
    pickFromPalette(&classe_conic);
    for (QPoint p : {QPoint(360, 100), QPoint(390, 70), QPoint(430, 75), QPoint(450, 110), QPoint(400, 135)})
      click(view, p + QPoint(dx, dy));
    pickFromPalette(&classe_equation);
    click(view, QPoint(390 + dx, 70 + dy));
    pickFromPalette(&classe_ptsur);
    click(view, QPoint(450 + dx, 110 + dy));
    pickFromPalette(&classe_arc);
    click(view, QPoint(520 + dx, 130 + dy));
    click(view, QPoint(567 + dx, 71 + dy));
    click(view, QPoint(620 + dx, 133 + dy));
    pickFromPalette(&classe_ptsur);
    click(view, QPoint(567 + dx, 71 + dy));
    pickFromPalette(&classe_triangle);
    click(view, QPoint(640 + dx, 20 + dy));
    click(view, QPoint(717 + dx, 33 + dy));
    click(view, QPoint(671 + dx, 97 + dy));
    pickFromPalette(&classe_ptsur);
    click(view, QPoint(694 + dx, 65 + dy));
    pickFromPalette(&classe_length);
    click(view, QPoint(252 + dx, 91 + dy));
    pickFromPalette(&classe_length);
    click(view, QPoint(60 + dx, 94 + dy));
    click(view, QPoint(106 + dx, 145 + dy));
    pickFromPalette(&classe_angleMes);
    click(view, QPoint(200 + dx, 50 + dy));
    click(view, QPoint(60 + dx, 140 + dy));
    click(view, QPoint(290 + dx, 97 + dy));
    pickFromPalette(&classe_label);
    click(view, QPoint(222 + dx, 61 + dy));
    QTest::keyClicks(QApplication::focusWidget(), "B");
    pickFromPalette(kPointerTool);
  }
  ASSERT_GE(objectsOf(view->info(), &classe_ptsur).size(), 10u);
  ASSERT_GE(objectsOf(view->info(), &classe_equation).size(), 8u);

  QString current = dir.filePath(QStringLiteral("figure.fig"));
  KPDocument::setSavePanelResponder([current](const QString&) { return current; });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Save As")));
  spin(20);
  const QByteArray first = bytesOf(current);
  ASSERT_FALSE(first.isEmpty());
  for (int round = 1; round <= 3; ++round) {
    closeAll();
    spin(20);
    KPDocument* doc = KPDocument::openDocument(current);
    ASSERT_NE(doc, nullptr);
    KPFigureView* reopened = doc->figureView();
    ASSERT_TRUE(waitForView(reopened));
    shown(reopened);
    const QString next = dir.filePath(QStringLiteral("figure %1.fig").arg(round));
    KPDocument::setSavePanelResponder([next](const QString&) { return next; });
    ASSERT_TRUE(clickMenuItem(menuBarOf(reopened), QStringLiteral("File"), QStringLiteral("Save As")));
    spin(20);
    expectSameLines(first, bytesOf(next), round);
    current = next;
  }
  KPDocument::setSavePanelResponder({});
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
}

}  // namespace
