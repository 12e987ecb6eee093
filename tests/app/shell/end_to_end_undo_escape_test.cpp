// The Undo item as the figure window's menu bar shows it, and Escape while
// a toolbox list is open, tried through the real window.
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/window/window_hooks.h"

namespace {

class UndoAndEscape : public FigureTest {
 protected:
  static QMenuBar* bar() {
    KPDocument* doc = KPDocument::currentDocument();
    return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr;
  }

  // The Edit menu's first item (Undo or Redo, whichever it reads).
  static QAction* undoItem() {
    QMenuBar* b = bar();
    if (!b) return nullptr;
    for (QAction* title : b->actions())
      if (title->menu() && title->text().remove('&') == QLatin1String("Edit"))
        for (QAction* a : title->menu()->actions())
          if (!a->isSeparator()) return a;
    return nullptr;
  }
};

}  // namespace

TEST_F(UndoAndEscape, UndoIsGreyInANewFigureAndReadsRedoOnceItUndid) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  QAction* undo = undoItem();
  ASSERT_NE(undo, nullptr);
  EXPECT_EQ(undo->text().remove('&'), QStringLiteral("Undo"));
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_FALSE(clickMenuItem(bar(), "Edit", "Undo"));

  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  chooseTool(view, nullptr);
  ASSERT_EQ(objectsOf(view->info(), &classe_segment).size(), 1u);
  EXPECT_TRUE(undo->isEnabled());

  ASSERT_TRUE(clickMenuItem(bar(), "Edit", "Undo"));
  spin(20);
  EXPECT_TRUE(objectsOf(view->info(), &classe_segment).empty());
  EXPECT_EQ(undo->text().remove('&'), QStringLiteral("Redo"));

  ASSERT_TRUE(clickMenuItem(bar(), "Edit", "Redo"));
  spin(20);
  EXPECT_EQ(objectsOf(view->info(), &classe_segment).size(), 1u);
  EXPECT_EQ(undo->text().remove('&'), QStringLiteral("Undo"));
}

TEST_F(UndoAndEscape, ASecondNewWindowStartsWithNothingToUndo) {
  KPFigureView* first = openView();
  ASSERT_NE(first, nullptr);
  chooseTool(first, &classe_segment);
  click(first, QPoint(100, 100));
  click(first, QPoint(220, 160));
  chooseTool(first, nullptr);
  ASSERT_TRUE(clickMenuItem(bar(), "Edit", "Undo"));
  spin(20);
  ASSERT_NE(openView(), nullptr);
  QAction* undo = undoItem();
  ASSERT_NE(undo, nullptr);
  EXPECT_EQ(undo->text().remove('&'), QStringLiteral("Undo"));
  EXPECT_FALSE(undo->isEnabled());
}

TEST_F(UndoAndEscape, EscapeWithAnOpenToolboxListKeepsTheToolInUse) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_cercle);
  ASSERT_EQ(current_class, &classe_cercle);
  // A second click on the button of the group in use opens its list.
  menu* group = find_tool_menu(static_cast<int16_t>(tool_group(find_tool_id_by_name(classe_cercle.name))));
  ASSERT_NE(group, nullptr);
  QTest::mouseClick(static_cast<QWidget*>(group->view), Qt::LeftButton, {}, QPoint(5, 5));
  spin(10);
  ASSERT_NE(NSGeoToolsPullDownController::openPullDown(), nullptr);
  QTest::keyClick(view, Qt::Key_Escape);
  spin(30);
  EXPECT_EQ(NSGeoToolsPullDownController::openPullDown(), nullptr);
  EXPECT_EQ(current_class, &classe_cercle);
}

TEST_F(UndoAndEscape, TheCalculatorKeepsItsEvaluationAmongTheWindowServices) {
  ASSERT_NE(openView(), nullptr);
  EXPECT_NE(window_services().evaluate_calculator, nullptr);
  EXPECT_NE(window_services().focus_window, nullptr);
}

// Escape in the middle of a construction takes back what the tool made on
// the way (the point of a first click): the figure is as it was, unchanged
// and with nothing more to undo; a figure that had a step to undo keeps
// that step.
TEST_F(UndoAndEscape, EscapeDuringAConstructionLeavesTheFigureAsItWas) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(fig);
  ASSERT_NE(doc, nullptr);
  const uint32_t objects = fig->nbobj;
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  ASSERT_GT(fig->nbobj, objects) << "the first click made no point";
  QTest::keyClick(view, Qt::Key_Escape);
  spin(30);
  EXPECT_EQ(fig->nbobj, objects);
  EXPECT_FALSE(fig->wflags & 1) << "the figure counts as changed";
  EXPECT_FALSE(doc->figureWindow()->windowTitle().endsWith(QStringLiteral(" *")));
  QAction* undo = undoItem();
  ASSERT_NE(undo, nullptr);
  EXPECT_EQ(undo->text().remove('&'), QStringLiteral("Undo"));
  EXPECT_FALSE(clickMenuItem(bar(), "Edit", "Undo")) << "an empty step to undo";

  // With a segment made before, Undo still takes back the segment.
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  const uint32_t with_segment = fig->nbobj;
  click(view, QPoint(300, 60));
  QTest::keyClick(view, Qt::Key_Escape);
  spin(30);
  EXPECT_EQ(fig->nbobj, with_segment);
  chooseTool(view, nullptr);
  ASSERT_TRUE(clickMenuItem(bar(), "Edit", "Undo"));
  spin(20);
  // Undo shows the figure's undo copy.
  EXPECT_EQ(view->info()->nbobj, objects);
  EXPECT_TRUE(objectsOf(view->info(), &classe_segment).empty());
}
