// Small details of use met by a new user, each through the real window: the
// list that asks which object was meant, labels under tools, the tool names,
// the number editor, traces, menus and dialogs.
#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/panels/ambig_menu.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/classes.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEndDetails : public FigureTest {};

// Three perpendicular bisectors of a triangle meet in one point: a click
// there asks which one was meant. The three lines differ, and the line under
// the pointer is shown selected in the figure.
TEST_F(EndToEndDetails, TheListOfConcurrentBisectorsTellsThemApartAndShowsTheHoveredOne) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(200, 100), b(100, 300), c(300, 300);
  chooseTool(view, &classe_point);
  for (QPoint p : {a, b, c}) click(view, p);
  chooseTool(view, &classe_mediatrice);
  for (auto [p, q] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}}) {
    click(view, p);
    click(view, q);
  }
  const std::vector<object*> bisectors = objectsOf(view->info(), &classe_mediatrice);
  ASSERT_EQ(bisectors.size(), 3u);
  chooseTool(view, nullptr);
  view->invalidateFigure();
  spin(30);
  const QImage before = view->viewImage();

  static std::vector<std::string> lines;
  static int hovered_selection = -1;
  static object* hovered = nullptr;
  static QImage during;
  lines.clear();
  hovered_selection = -1;
  hovered = nullptr;
  QTimer::singleShot(50, [view] {
    AmbigPopupController* c = AmbigPopupController::shared();
    if (!c || !c->panel() || !c->panel()->isVisible() || c->cells().empty()) {
      ADD_FAILURE() << "no list of candidates";
      if (QWidget* open = QApplication::activePopupWidget()) open->close();
      return;
    }
    for (const auto& cell : c->cells()) lines.push_back(cell->text().toStdString());
    // The pointer rests on the top line.
    const auto& top = c->cells().back();
    const QPoint at = top->getRect().center().toPoint();
    QMouseEvent move(QEvent::MouseMove, at, c->panel()->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(c->panel(), &move);
    QApplication::processEvents();
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    hovered_selection = objlist_count(fig->selection);
    if (hovered_selection == 1) hovered = fig->selection->items[0];
    during = view->viewImage();
    QTest::mouseClick(c->panel(), Qt::LeftButton, {}, at);
  });
  click(view, QPoint(200, 225));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), 3u) << lines[0];
  ASSERT_EQ(hovered_selection, 1);
  EXPECT_NE(std::find(bisectors.begin(), bisectors.end(), hovered), bisectors.end());
  EXPECT_NE(during, before) << "the hovered line is not shown in the figure";
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  EXPECT_EQ(view->info()->selection->items[0], hovered);
}

// The tool listed as "Apply a formula" applies an expression to numbers,
// the one listed as "Expression" defines an expression; each shows its help.
TEST_F(EndToEndDetails, TheExpressionToolsAreListedUnderTheirOwnNames) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  struct Case {
    const char* listed;
    construct_class* cls;
    const char* help;
  };
  for (const Case& c : {Case{"Apply a formula", &classe_exp_num_app, "Applies an expression to numbers."},
                        Case{"Expression", &classe_exp_num, "Defines an expression."}}) {
    // The user opens the tools' list and releases on the line of that name.
    menu* group = find_tool_menu(static_cast<int16_t>(tool_group(find_tool_id_by_name(c.cls->name))));
    ASSERT_NE(group, nullptr);
    auto* button = static_cast<QWidget*>(group->view);
    NSGeoToolsPullDownController* list = nullptr;
    for (int tries = 0; tries < 2 && !list; ++tries) {
      QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
      spin(10);
      list = NSGeoToolsPullDownController::openPullDown();
    }
    ASSERT_NE(list, nullptr) << c.listed;
    QPoint global;
    for (const auto& cell : list->cells())
      if (cell->text() == QString::fromUtf8(c.listed)) global = list->view()->mapToGlobal(cell->getRect().center().toPoint());
    ASSERT_FALSE(global.isNull()) << c.listed;
    NSGeoToolsPullDown* pull = list->view();
    const QPoint at = pull->mapFromGlobal(global);
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pull, &move);
    QTest::mouseRelease(pull, Qt::LeftButton, {}, at);
    spin(10);
    EXPECT_EQ(current_class, c.cls) << c.listed;
    ASSERT_NE(current_class, nullptr);
    EXPECT_STREQ(current_class->help_text, c.help);
  }
}

// Marking an angle on labelled points leaves their labels as they were:
// drawn, and with their text.
TEST_F(EndToEndDetails, MarkingAnAngleKeepsTheLabelsOfItsPoints) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(200, 100), b(100, 300), c(300, 300);
  const size_t existing = objectsOf(view->info(), &classe_point).size();
  chooseTool(view, &classe_point);
  for (auto [p, name] : {std::pair{a, "A"}, std::pair{b, "B"}, std::pair{c, "C"}}) {
    click(view, p);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, name);
    spin(10);
  }
  std::vector<object*> points = objectsOf(view->info(), &classe_point);
  points.erase(points.begin(), points.begin() + static_cast<long>(existing));
  ASSERT_EQ(points.size(), 3u);
  chooseTool(view, nullptr);
  view->invalidateFigure();
  spin(20);
  view->grab();
  const QImage labelled = view->viewImage();
  pickFromPalette(&classe_angle);
  for (QPoint p : {a, b, c}) click(view, p);
  ASSERT_EQ(objectsOf(view->info(), &classe_angle).size(), 1u);
  pickFromPalette(kPointerTool);
  spin(20);
  // The picture as it is now, not drawn anew.
  const QImage after = view->viewImage();
  for (size_t i = 0; i < points.size(); ++i) {
    object* point = points[i];
    ASSERT_NE(point->te, nullptr);
    EXPECT_STREQ(point->te->text, std::string(1, static_cast<char>('A' + i)).c_str());
    // The label's place shows the same ink as before the mark.
    tagPOINT corner{point->te->pos.x, point->te->pos.y};
    view->localToGlobalDDM(&corner);
    const QRect frame(corner.x, corner.y, point->te->size.w, point->te->size.h);
    const auto ink = [&frame](const QImage& image) {
      int count = 0;
      for (int y = frame.top(); y <= frame.bottom(); ++y)
        for (int x = frame.left(); x <= frame.right(); ++x) count += image.pixelColor(x, y) != Qt::white;
      return count;
    };
    ASSERT_GT(ink(labelled), 0) << "label " << point->te->text;
    EXPECT_GE(ink(after), ink(labelled)) << "label " << point->te->text;
  }
}

// In the number editor, with the whole number selected, "-" starts a
// negative number as a digit starts a new one.
TEST_F(EndToEndDetails, TheNumberEditorTakesTheSignOverTheWholeNumber) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_nombre);
  click(view, QPoint(80, 80));
  const std::vector<object*> numbers = objectsOf(view->info(), &classe_nombre);
  ASSERT_EQ(numbers.size(), 1u);
  object* number = numbers[0];
  QWidget* editor = view->textEditor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "25");
  spin(10);
  ASSERT_STREQ(number->te->text, "25");
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "-3");
  spin(10);
  EXPECT_STREQ(number->te->text, "-3");
  EXPECT_EQ(number->valeurs[0].info.rayon, -3);
  // A sign left alone when the edit ends reads as zero.
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "-");
  spin(10);
  pickFromPalette(kPointerTool);
  spin(10);
  EXPECT_STREQ(number->te->text, "0");
  EXPECT_EQ(number->valeurs[0].info.rayon, 0);
}

// A point marked with the trace tool leaves its trail where it was dragged,
// and the trail stays once the button is released.
TEST_F(EndToEndDetails, ATraceStaysAfterTheDrag) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint from(150, 200), to(350, 200);
  chooseTool(view, &classe_point);
  click(view, from);
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_TRACE - 1].name));
  click(view, from);
  pickFromPalette(kPointerTool);
  drag(view, from, to);
  spin(30);
  const QImage after = view->viewImage();
  // The drag stops every 25 pixels: the point is drawn at each stop once
  // the drag has begun.
  int trail = 0;
  for (int x = 200; x <= 325; x += 25) trail += inkNear(after, QPoint(x, 200), 3) > 0;
  EXPECT_EQ(trail, 6) << "the trail is gone";
}

// The menus keep their own font once the figure shows a measure: their
// items are drawn as they were measured, in full.
TEST_F(EndToEndDetails, TheMenusKeepTheirFontWhenTheFigureShowsAMeasure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = KPDocument::currentDocument()->figureWindow();
  ASSERT_NE(window, nullptr);
  QMenuBar* bar = window->menuBar();
  const auto viewMenuPicture = [bar] {
    QAction* title = nullptr;
    for (QAction* a : bar->actions())
      if (a->text().remove('&') == QStringLiteral("View")) title = a;
    if (!title) return QImage();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
    spin(30);
    QWidget* open = QApplication::activePopupWidget();
    const QImage picture = open ? open->grab().toImage() : QImage();
    if (open) open->close();
    spin(10);
    return picture;
  };
  const QImage before = viewMenuPicture();
  ASSERT_FALSE(before.isNull());
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  chooseTool(view, &classe_length);
  click(view, QPoint(200, 200));
  chooseTool(view, nullptr);
  ASSERT_EQ(objectsOf(view->info(), &classe_length).size(), 1u);
  spin(20);
  EXPECT_EQ(viewMenuPicture(), before);
}

}  // namespace
