// The about box as a user meets it: the version told once, credit lines
// that say who made the program, and a button that closes it.
#include <QPushButton>

#include "app/panels/about_panel.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"

namespace {

using EndToEndAboutBox = FigureTest;

TEST_F(EndToEndAboutBox, ItTellsTheVersionOnceCreditsItsMakersAndClosesWithItsButton) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Help"), QStringLiteral("About Kelvo Nova")));
  spin(20);
  NSAboutPanel* panel = NSAboutPanel::existing();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->isVisible());
  const QString version = panel->fieldWithTag(NSAboutPanel::kVersionTag)->text();
  EXPECT_EQ(version.count(QStringLiteral("1.4")), 1) << version.toStdString();
  EXPECT_TRUE(version.contains(QStringLiteral("1.4 (build 13000)"))) << version.toStdString();

  // The lines that slide by credit the makers: design, programming,
  // translations, testing.
  QStringList lines;
  for (int i = 0; i < kCreditLineCount; ++i) lines << QString::fromLatin1(credit_line(i));
  for (const char* role : {"Design:", "Programming:", "Translations:", "Testing:"})
    EXPECT_FALSE(lines.filter(QString::fromLatin1(role)).isEmpty()) << role;

  // A button closes the box, and the slide show stops with it.
  QPushButton* close = nullptr;
  for (QPushButton* b : panel->findChildren<QPushButton*>())
    if (b->isVisible()) close = b;
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->text(), QStringLiteral("OK"));
  QTest::mouseClick(close, Qt::LeftButton);
  spin(20);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_FALSE(panel->holdTimerActive());
  // Opened again, it shows from the first line on.
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Help"), QStringLiteral("About Kelvo Nova")));
  spin(20);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->currentIndex(), 0);
  QTest::keyClick(panel, Qt::Key_Escape);
  spin(20);
  EXPECT_FALSE(panel->isVisible());
}

}  // namespace
