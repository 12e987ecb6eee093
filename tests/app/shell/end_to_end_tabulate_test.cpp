// End to end: Measures > Tabulate. A number clicked before the table is
// drawn is answered with a notice; once a length is in the table, every
// step of a drag appends a row holding the length shown at that moment,
// with Tab pressed during the drag too, and so does every step of the
// springs' animation, which goes on.
#include <string>
#include <vector>

#include "app/panels/anim_panel.h"
#include "app/panels/figure_description_drawer.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/table.h"
#include "kernel/tools/drag_start.h"
#include "kernel/window/anim_panel.h"
#include "platform/kernel_services.h"
#include "platform/kp_dialog.h"

namespace {

class EndToEndTabulate : public FigureTest {
 protected:
  void SetUp() override {
    FigureTest::SetUp();
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest& r) {
      notices.push_back(r.message);
      return 0;
    });
  }
  void TearDown() override {
    KPDialog::setMessageBoxResponder(nullptr);
    animation_running = 0;
    stop_spring_animation();
    close_anim_panel();
    spin(10);
    FigureTest::TearDown();
  }

  // The cells of a table, row after row.
  static std::vector<std::string> cells(const object* table) {
    std::vector<std::string> all;
    const int n = table->nbvaleurs * (table->nbparents / 2);
    const char* p = table->te ? table->te->text : nullptr;
    for (int i = 0; p && i < n; ++i) {
      all.emplace_back(p);
      p += all.back().size() + 1;
    }
    return all;
  }
  // The number of a measure's text, without its unit.
  static std::string shownNumber(const object* m) {
    const std::string t = m->te && m->te->text ? m->te->text : "";
    return t.substr(0, t.find(' '));
  }

  // The length in a new table drawn with the Tabulate tool.
  static object* tabulated(KPFigureView* view, object* length) {
    pickFromPalette(&classe_table);
    drag(view, QPoint(350, 60), QPoint(550, 220));
    const auto tables = objectsOf(view->info(), &classe_table);
    EXPECT_EQ(tables.size(), 1u);
    if (tables.size() != 1) return nullptr;
    object* shown = textShowing(view->info(), length);
    EXPECT_NE(shown, nullptr);
    if (!shown) return nullptr;
    click(view, frameCentre(view, shown));
    EXPECT_EQ(tables[0]->nbparents, 2) << "the length is not in the table";
    EXPECT_EQ(tables[0]->nbvaleurs, 1);
    return tables[0];
  }

  // A new figure with a segment's length measured and shown.
  struct Measured {
    KPFigureView* view = nullptr;
    object* length = nullptr;
    object* shown = nullptr;
  };
  Measured measuredFigure() {
    Measured m;
    m.view = openView();
    m.length = m.view ? measuredSegment(m.view) : nullptr;
    m.shown = m.length ? textShowing(m.view->info(), m.length) : nullptr;
    return m;
  }

  std::vector<std::string> notices;
};

TEST_F(EndToEndTabulate, ANumberClickedBeforeTheTableIsDrawnIsAnsweredWithANotice) {
  const Measured m = measuredFigure();
  ASSERT_NE(m.shown, nullptr);
  KPFigureView* view = m.view;
  object* length = m.length;
  object* shown = m.shown;

  pickFromPalette(&classe_table);
  click(view, frameCentre(view, shown));
  EXPECT_TRUE(objectsOf(view->info(), &classe_table).empty());
  ASSERT_EQ(notices.size(), 1u) << "the click is ignored without a word";
  EXPECT_NE(notices[0].find("table"), std::string::npos) << notices[0];
  EXPECT_EQ(current_class, &classe_table);

  // Drawn then, the table takes the number.
  object* table = tabulated(view, length);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(cells(table), std::vector<std::string>{shownNumber(length)});
  EXPECT_EQ(notices.size(), 1u);
}

// A table drawn and filled is a line of the figure description, like every
// object the user made, naming the texts it is built on as they read.
TEST_F(EndToEndTabulate, ATableDrawnIsALineOfTheFigureDescription) {
  const Measured m = measuredFigure();
  ASSERT_NE(m.shown, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(m.view->window());
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("View"), QStringLiteral("Show Figure Description")));
  spin(20);
  object* table = tabulated(m.view, m.length);
  ASSERT_NE(table, nullptr);
  pickFromPalette(kPointerTool);
  spin(20);
  NSFigureDescDataSource* source = w->getFigureDescDataSource();
  ASSERT_NE(source, nullptr);
  const int line = source->lineOfObject(table);
  ASSERT_GT(line, 0) << "the table is not in the description";
  // The line names what the table is built on as the figure shows it: the
  // texts of its columns read as they do on the sheet, not as the markers
  // of their references.
  const QString type = source->index(line - 1, 1).data().toString();
  EXPECT_FALSE(type.contains(QLatin1Char('$'))) << type.toStdString();
  EXPECT_TRUE(type.contains(QString::fromStdString(shownNumber(m.length)))) << type.toStdString();
}

// A table drawn, the tool left and chosen again: a number clicked beside
// the empty table is answered with a notice that does not deny the table,
// and once the table is clicked it takes the number.
TEST_F(EndToEndTabulate, ATableDrawnEarlierIsTakenUpAgainByClickingIt) {
  const Measured m = measuredFigure();
  ASSERT_NE(m.shown, nullptr);
  pickFromPalette(&classe_table);
  drag(m.view, QPoint(350, 60), QPoint(550, 220));
  const auto tables = objectsOf(m.view->info(), &classe_table);
  ASSERT_EQ(tables.size(), 1u);
  object* table = tables[0];
  pickFromPalette(kPointerTool);
  pickFromPalette(&classe_table);

  click(m.view, frameCentre(m.view, m.shown));
  ASSERT_EQ(notices.size(), 1u) << "the click is ignored without a word";
  EXPECT_EQ(notices[0].find("no table yet"), std::string::npos) << notices[0];
  EXPECT_NE(notices[0].find("click a table already drawn"), std::string::npos) << notices[0];
  EXPECT_EQ(table->nbparents, 0);

  click(m.view, frameCentre(m.view, table));
  click(m.view, frameCentre(m.view, m.shown));
  EXPECT_EQ(objectsOf(m.view->info(), &classe_table).size(), 1u);
  EXPECT_EQ(table->nbparents, 2) << "the table drawn earlier did not take the length";
  EXPECT_EQ(cells(table), std::vector<std::string>{shownNumber(m.length)});
  EXPECT_EQ(notices.size(), 1u);
}

TEST_F(EndToEndTabulate, EachStepOfADragAppendsARowOfTheShownLength) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* table = tabulated(view, length);
  ASSERT_NE(table, nullptr);
  const uint32_t beeps = message_beep_count();

  // The end dragged in steps: a row at each step, the last one what the
  // measure shows at the end.
  pickFromPalette(kPointerTool);
  drag(view, QPoint(300, 300), QPoint(380, 300));
  const std::vector<std::string> rows = cells(table);
  ASSERT_GE(rows.size(), 5u) << "moving the figure adds no row";
  EXPECT_EQ(rows.back(), shownNumber(length));
  EXPECT_NE(rows.front(), rows.back());
  // The lengths grow with the drag, never twice the same step.
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_LT(std::stod(rows[i - 1]), std::stod(rows[i])) << i;
  EXPECT_EQ(message_beep_count(), beeps);

  // Tab during a drag: the rows go on, the tool stays.
  const size_t before = rows.size();
  moveTo(view, QPoint(380, 300));
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(380, 300));
  spin(20);
  for (int i = 1; i <= 4; ++i) {
    const QPoint p(380 + 15 * i, 300);
    QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    const size_t had = cells(table).size();
    QApplication::sendEvent(view, &move);
    spin(10);
    QTest::keyClick(view, Qt::Key_Tab);
    // Each step's row, however slowly the machine gets to it.
    EXPECT_TRUE(waitUntil([&] { return cells(table).size() > had; })) << "step " << i;
  }
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(440, 300), 10);
  spin(20);
  const std::vector<std::string> after = cells(table);
  EXPECT_GE(after.size(), before + 4);
  EXPECT_EQ(after.back(), shownNumber(length));
  EXPECT_EQ(interaction_state, STATE_POINTER);
  EXPECT_EQ(message_beep_count(), beeps);
}

TEST_F(EndToEndTabulate, TheSpringsAnimationAddsARowAtEachStepAndGoesOn) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // The distance from a circle's centre (200, 200) to a point on it, the
  // point driven by a spring.
  pickFromPalette(&classe_cercle);
  click(view, QPoint(200, 200));
  click(view, QPoint(260, 200));
  pickFromPalette(&classe_point);
  click(view, QPoint(200, 140));
  pickFromPalette(&classe_length);
  click(view, QPoint(200, 200));
  click(view, QPoint(200, 140));
  const auto lengths = objectsOf(view->info(), &classe_length);
  ASSERT_EQ(lengths.size(), 1u);
  object* table = tabulated(view, lengths[0]);
  ASSERT_NE(table, nullptr);
  pickFromPalette(&classe_spring);
  click(view, QPoint(200, 140));
  click(view, QPoint(140, 120));
  NSAnimPanelController* panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);
  const uint32_t beeps = message_beep_count();

  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  waitUntil([table] { return table->nbvaleurs >= 6; });
  EXPECT_GE(table->nbvaleurs, 6) << "the animation adds no row";
  EXPECT_EQ(message_beep_count(), beeps);
  EXPECT_EQ(animation_running, 1);
  EXPECT_EQ(interaction_state, STATE_MULTI_ANIMATION) << "the table ended the animation";
  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  spin(40);
}

}  // namespace
