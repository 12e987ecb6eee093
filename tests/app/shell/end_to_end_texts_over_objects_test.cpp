// Texts that lie on their objects, handled with the pointer as a user does:
// a measure shown over its segment is edited by a double-click on it, and a
// point's coordinates are dragged away from the point, and saved there.
#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>

#include "app/support/figure_test.h"
#include "platform/ns_kelvo_text_editor.h"

namespace {

class TextsOverObjects : public FigureTest {
 protected:
  void TearDown() override {
    closeAll();
    FigureTest::TearDown();
  }
  // A list of candidates that the clicks open is closed at once: a user's
  // double-click cannot answer it.
  static void closeAnyCandidateList() {
    auto* timer = new QTimer(scope());
    QObject::connect(timer, &QTimer::timeout, [] {
      if (QWidget* open = QApplication::activePopupWidget()) open->close();
    });
    timer->start(50);
  }
};

TEST_F(TextsOverObjects, ADoubleClickOnAMeasureOverItsSegmentEditsTheMeasure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* text = textShowing(view->info(), length);
  ASSERT_NE(text, nullptr);
  // The text laid over its segment, as the user may have put it.
  const QRect frame = frameOf(view, text);
  text->te->pos.y -= frame.center().y() - 300;
  shown(view);
  const QRect over = frameOf(view, text);
  ASSERT_TRUE(over.contains(QPoint(over.center().x(), 300)));
  const QPoint at(over.center().x(), 300);

  pickFromPalette(kPointerTool);
  closeAnyCandidateList();
  moveTo(view, at);
  // The two clicks of a double-click: the first takes the text, the
  // second opens it.
  click(view, at);
  click(view, at);
  spin(50);
  ASSERT_NE(view->textEditor(), nullptr) << "the double-click opened no editor";
  EXPECT_FALSE(view->textEditor()->isHidden()) << "the double-click opened no editor";
  // A click on the segment beside the text still selects the segment.
  click(view, QPoint(520, 520));
  click(view, QPoint(120, 300));
  const std::vector<object*> segments = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  EXPECT_EQ(view->info()->selection->items[0], segments.at(0));
}

TEST_F(TextsOverObjects, APointsCoordinatesAreDraggedAwayFromIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_point);
  const QPoint p(300, 250);
  click(view, p);
  pickFromPalette(&classe_equation);
  click(view, p);
  // The tool shows the two coordinates in one text beside the point.
  const std::vector<object*> texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  object* shown_at = texts[0];
  ASSERT_NE(shown_at->te, nullptr);
  object* point = objectsOf(view->info(), &classe_point).back();
  const valeur where = point->valeurs[0];
  pickFromPalette(kPointerTool);
  const QPoint from = frameCentre(view, shown_at);
  const te_point before = shown_at->te->pos;
  drag(view, from, from + QPoint(40, 110));
  spin(20);
  EXPECT_NEAR(shown_at->te->pos.x - before.x, 40, 2) << "the coordinates did not follow the mouse";
  EXPECT_NEAR(shown_at->te->pos.y - before.y, 110, 2) << "the coordinates did not follow the mouse";
  EXPECT_EQ(point->valeurs[0].h, where.h) << "the point moved instead";
  EXPECT_EQ(point->valeurs[0].v, where.v);
  const QImage image = shown(view);
  EXPECT_GT(inkNear(image, from + QPoint(40, 110), 4), 0);
  // Saved and opened again, it is where it was left.
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath(QStringLiteral("coordinates.fig"));
  ASSERT_TRUE(doc->writeToURL(path));
  const te_point left = shown_at->te->pos;
  closeAll();
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  const std::vector<object*> read = objectsOf(reopened->figureView()->info(), &classe_text);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_NEAR(read[0]->te->pos.x, left.x, 1);
  EXPECT_NEAR(read[0]->te->pos.y, left.y, 1);
}

}  // namespace
