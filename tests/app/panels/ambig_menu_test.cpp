#include "app/panels/ambig_menu.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "kernel/model/figure.h"
#include "kernel/render/colors.h"

namespace {

object make_object(uint32_t color) {
  object obj;
  std::memset(&obj, 0, sizeof obj);
  obj.settings.Color = color;
  return obj;
}

// Builds a list the way the kernel does: candidates from the last to the
// first, tag 50026 + index.
AmbigPopupController* open_list(const std::vector<std::pair<const char*, uint32_t>>& candidates) {
  AmbigPopupController* c = ambig_popup_begin();
  for (int i = static_cast<int>(candidates.size()) - 1; i >= 0; --i) {
    object obj = make_object(candidates[i].second);
    c->setNextItemColor(&obj);
    ambig_popup_append(c, (i % 20 == 19) ? 2048 : 0, kAmbigFirstTag + i, candidates[i].first);
  }
  return c;
}

// The centre of the line with that tag, in panel coordinates.
QPoint line_centre(AmbigPopupController* c, int tag) {
  for (const auto& cell : c->cells())
    if (cell->tag() == tag) return cell->getRect().center().toPoint();
  return {};
}

// Runs `script` once the tracking loop runs and answers the tracking result.
int track_with(AmbigPopupController* c, std::function<void(QWidget*)> script) {
  QTimer::singleShot(0, [c, script] { script(c->panel()); });
  return ambig_popup_track(c, 100, 100, nullptr);
}

class AmbigMenu : public ::testing::Test {
 protected:
  void SetUp() override { init_color_table(); }
  void TearDown() override {
    ambig_popup_end(AmbigPopupController::shared());
    install_ambig_menu_hooks({});
  }
};

}  // namespace

TEST_F(AmbigMenu, LinesAreStackedWithTheFirstCandidateOnTop) {
  AmbigPopupController* c = open_list({{"Point A", 0xFF0000}, {"Circle c", 0x0000FF}, {"Line d", 0x00FF00}});
  c->setWindowPos(QPoint(10, 10));
  ASSERT_EQ(c->cells().size(), 3u);
  const QRectF top = c->cells()[2]->getRect(), middle = c->cells()[1]->getRect(), bottom = c->cells()[0]->getRect();
  EXPECT_EQ(c->cells()[2]->tag(), kAmbigFirstTag);
  EXPECT_LT(top.top(), middle.top());
  EXPECT_LT(middle.top(), bottom.top());
  EXPECT_DOUBLE_EQ(top.top(), 4.0);
  EXPECT_DOUBLE_EQ(bottom.bottom(), c->panel()->height() - 4.0);
  // Every line runs the panel's full width, 40 points wider than the widest text.
  double widest = 0;
  for (const auto& cell : c->cells()) widest = std::max(widest, cell->cellSize().width());
  EXPECT_DOUBLE_EQ(top.width(), widest + 40);
}

TEST_F(AmbigMenu, LinesTakeTheirCandidatesColourForOneLineOnly) {
  AmbigPopupController* c = ambig_popup_begin();
  object red = make_object(0xFF0000);
  c->setNextItemColor(&red);
  ambig_popup_append(c, 0, kAmbigFirstTag + 1, "red");
  ambig_popup_append(c, 0, kAmbigFirstTag, "plain");
  // On a white figure, a near-white object is written in the default colour.
  object pale = make_object(0xF0F0E0);
  c->setNextItemColor(&pale);
  ambig_popup_append(c, 0, kAmbigFirstTag + 2, "pale");
  object light = make_object(0xC0C0C0);
  c->setNextItemColor(&light);
  ambig_popup_append(c, 0, kAmbigFirstTag + 3, "light gray");
  ASSERT_EQ(c->cells().size(), 4u);
  EXPECT_EQ(c->cells()[0]->color(), QColor(255, 0, 0));
  EXPECT_FALSE(c->cells()[1]->color().isValid());
  EXPECT_EQ(c->cells()[2]->color(), QColor(0, 0, 0));
  EXPECT_EQ(c->cells()[3]->color(), QColor(192, 192, 192));
}

TEST_F(AmbigMenu, AnyBytesMakeALineAndTwentyOneLinesMakeOneColumn) {
  std::vector<std::pair<const char*, uint32_t>> many(21, {"Segment \xA5\xFF", 0});
  AmbigPopupController* c = open_list(many);
  c->setWindowPos(QPoint(0, 0));
  ASSERT_EQ(c->cells().size(), 21u);
  EXPECT_FALSE(c->cells()[0]->text().isEmpty());
  for (size_t i = 1; i < c->cells().size(); ++i)
    EXPECT_DOUBLE_EQ(c->cells()[i]->getRect().left(), c->cells()[0]->getRect().left());
}

TEST_F(AmbigMenu, ClickOnALineChoosesItAndAClickElsewhereAnswersZero) {
  AmbigPopupController* c = open_list({{"Point A", 0}, {"Circle c", 0}});
  int answer = track_with(c, [c](QWidget* panel) {
    QTest::mouseClick(panel, Qt::LeftButton, {}, line_centre(c, kAmbigFirstTag + 1));
  });
  EXPECT_EQ(answer, kAmbigFirstTag + 1);

  c = open_list({{"Point A", 0}, {"Circle c", 0}});
  answer = track_with(c, [](QWidget* panel) {
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(panel->width() + 30, -20));
  });
  EXPECT_EQ(answer, 0);
  EXPECT_FALSE(c->panel()->isVisible());
}

TEST_F(AmbigMenu, ReleasingTheOpeningPressAwayFromTheLinesKeepsTheListOpen) {
  QWidget figure;
  figure.resize(300, 300);
  figure.show();
  QTest::mousePress(&figure, Qt::LeftButton, {}, QPoint(50, 50));
  AmbigPopupController* c = open_list({{"Point A", 0}, {"Circle c", 0}});
  int answer = track_with(c, [c](QWidget* panel) {
    // The release of the opening press, between the lines' margin and the edge.
    QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(5, 1));
    EXPECT_TRUE(panel->isVisible());
    QTest::mouseClick(panel, Qt::LeftButton, {}, line_centre(c, kAmbigFirstTag));
  });
  EXPECT_EQ(answer, kAmbigFirstTag);
}

TEST_F(AmbigMenu, TheHoveredCandidateIsShownAndAnEmptyListAnswersAtOnce) {
  static std::vector<std::pair<int, bool>> hovered;
  static int open_changes = 0;
  hovered.clear();
  open_changes = 0;
  AmbigMenuHooks hooks;
  hooks.candidate_hovered = [](int index, bool on) { hovered.emplace_back(index, on); };
  hooks.set_menu_open = [](bool) { ++open_changes; };
  install_ambig_menu_hooks(hooks);

  AmbigPopupController* c = open_list({{"Point A", 0}, {"Circle c", 0}, {"Line d", 0}});
  int answer = track_with(c, [c](QWidget* panel) {
    QTest::mouseMove(panel, line_centre(c, kAmbigFirstTag + 2));
    QTest::mouseMove(panel, line_centre(c, kAmbigFirstTag));
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(panel->width() + 50, 5));
  });
  EXPECT_EQ(answer, 0);
  std::vector<std::pair<int, bool>> expected = {{2, true}, {2, false}, {0, true}, {0, false}};
  EXPECT_EQ(hovered, expected);
  EXPECT_EQ(open_changes, 2);

  c = ambig_popup_begin();
  EXPECT_EQ(ambig_popup_track(c, 0, 0, nullptr), 0);
}
