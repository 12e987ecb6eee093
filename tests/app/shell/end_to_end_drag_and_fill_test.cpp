// A drag changes the figure as any construction does, and the Fill tool
// takes every object that has an inside, measures shown as numbers
// included: both driven through the window as a user drives them.
#include <QAction>
#include <QMenuBar>
#include <QMessageBox>
#include <gtest/gtest.h>

#include "app/document/kp_document.h"
#include "app/support/figure_test.h"

namespace {

class EndToEndDragAndFill : public FigureTest {
 protected:
  void TearDown() override {
    closeAll();
    FigureTest::TearDown();
  }

  static QAction* undoItem(KPFigureView* view) {
    QMenuBar* bar = menuBarOf(view);
    if (!bar) return nullptr;
    for (QAction* top : bar->actions())
      if (top->menu() && top->text().remove('&') == QStringLiteral("Edit"))
        for (QAction* a : top->menu()->actions())
          if (a->text().remove('&').startsWith(QStringLiteral("Undo"))) return a;
    return nullptr;
  }
};

TEST_F(EndToEndDragAndFill, DraggingAPointMarksTheSavedFigureChangedAndClosingAsksToSave) {
  KPFigureView* view = openSegmentAndCircle();
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath(QStringLiteral("dragged.fig"));
  ASSERT_TRUE(doc->writeToURL(path));
  const QString clean = doc->figureWindow()->windowTitle();
  ASSERT_FALSE(clean.endsWith('*'));
  ASSERT_FALSE(view->info()->wflags & kFigureChanged);

  object* end = objectsOf(view->info(), &classe_segment).at(0)->parents[0];
  const double x = end->valeurs[0].h;
  drag(view, QPoint(100, 100), QPoint(140, 80));
  ASSERT_NE(end->valeurs[0].h, x) << "the point did not move";

  EXPECT_EQ(doc->figureWindow()->windowTitle(), clean + QStringLiteral(" *"));
  QAction* undo = undoItem(view);
  ASSERT_NE(undo, nullptr);
  EXPECT_TRUE(undo->isEnabled());
  closeAnswer() = QMessageBox::Cancel;
  closePrompts() = 0;
  EXPECT_FALSE(doc->figureWindow()->close());
  EXPECT_EQ(closePrompts(), 1);
}

// The Fill tool, chosen on the palette, clicked on a triangle's side, on a
// measure's text and on a number: each takes the fill colour.
TEST_F(EndToEndDragAndFill, TheFillToolFillsATriangleATextAndANumber) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_triangle);
  click(view, QPoint(100, 200));
  click(view, QPoint(260, 200));
  click(view, QPoint(100, 60));
  chooseTool(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* shown_length = textShowing(view->info(), length);
  ASSERT_NE(shown_length, nullptr);
  object* number = makeTextLike(view->info(), &classe_nombre, "12.5");
  ASSERT_NE(number, nullptr);
  number->te->pos = te_point{300, 60};
  number->te->size = te_size{120, 30};
  number->te->regen_pending = 1;
  shown(view);
  const auto triangles = objectsOf(view->info(), &classe_triangle);
  ASSERT_EQ(triangles.size(), 1u);

  const struct {
    const char* what;
    object* target;
    QPoint at;
  } cases[] = {
      {"triangle", triangles[0], QPoint(180, 200)},
      {"measure", shown_length, frameCentre(view, shown_length)},
      {"number", number, frameCentre(view, number)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A colour no tool gives, so that the click cannot take the fill away.
    const uint32_t before = 0x123456;
    c.target->settings.FillColor = before;
    pickFromPalette(find_tool_id_by_name("Fill"));
    click(view, c.at);
    EXPECT_NE(c.target->settings.FillColor, before);
  }
}

}  // namespace
