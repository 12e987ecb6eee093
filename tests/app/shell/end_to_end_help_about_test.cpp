// The tools help and the about box through the application: the help page
// of a tool chosen on the palette shows below the figure once the tools
// help is on, and the about box opens from its menu item with its version
// line and its credits sliding by, and closes by a click, its OK button or
// Escape.
#include <QElapsedTimer>
#include <QPushButton>
#include <QTextBrowser>

#include "app/panels/about_panel.h"
#include "app/panels/help_pages.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/tools/tool_ids.h"

namespace {

using EndToEndHelpAbout = FigureTest;

TEST_F(EndToEndHelpAbout, TheHelpPageOfAToolShowsBelowTheFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->helpField()->isHidden());
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("View"), QStringLiteral("Tools Help")));
  spin(20);
  EXPECT_FALSE(w->helpField()->isHidden());

  const toolbar_row* trace = toolbar_row_at(ROW_TRACE);
  pickFromPalette(find_tool_id_by_name(trace->name));
  spin(20);
  EXPECT_EQ(w->helpField()->source(), QUrl::fromLocalFile(help_page_file(trace->help_page)));
  const QString shown = w->helpField()->toPlainText();
  EXPECT_TRUE(shown.contains(QString::fromLatin1(trace->english_name))) << shown.toStdString();
  // The field is on screen with the page's text drawn in it.
  const QImage field = w->helpField()->viewport()->grab().toImage();
  const QColor paper = field.pixelColor(field.width() - 2, field.height() - 2);
  int ink = 0;
  for (int y = 0; y < field.height(); ++y)
    for (int x = 0; x < field.width(); ++x) ink += field.pixelColor(x, y) != paper;
  EXPECT_GT(ink, 50);

  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("View"), QStringLiteral("Tools Help")));
  spin(20);
  EXPECT_TRUE(w->helpField()->isHidden());
}

TEST_F(EndToEndHelpAbout, TheAboutBoxOpensFromItsMenuItemAndSlidesThroughTheCredits) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  // Help > About Kelvo Nova; the box shows.
  auto open_about = [w] {
    if (!clickMenuItem(w->menuBar(), QStringLiteral("Help"), QStringLiteral("About Kelvo Nova"))) return false;
    spin(20);
    return NSAboutPanel::existing() != nullptr && NSAboutPanel::existing()->isVisible();
  };
  ASSERT_TRUE(open_about());
  NSAboutPanel* panel = NSAboutPanel::existing();
  // The version is told once.
  const QString version = panel->fieldWithTag(NSAboutPanel::kVersionTag)->text();
  EXPECT_TRUE(version.contains(QStringLiteral("1.4 (build 13000)"))) << version.toStdString();
  EXPECT_EQ(version.count(QStringLiteral("1.4")), 1) << version.toStdString();
  // The lines that slide by credit the makers.
  QStringList lines;
  for (int i = 0; i < kCreditLineCount; ++i) lines << QString::fromLatin1(credit_line(i));
  for (const char* role : {"Design:", "Programming:", "Translations:", "Testing:"})
    EXPECT_FALSE(lines.filter(QString::fromLatin1(role)).isEmpty()) << role;
  EXPECT_EQ(panel->fieldWithTag(NSAboutPanel::kCurrentLineTag)->text(), QString::fromLatin1(credit_line(0)));
  // The first line holds for a while, then the second takes its place.
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(waitUntil([panel] { return panel->currentIndex() != 0; }, 60000));
  EXPECT_EQ(panel->currentIndex(), 1);
  EXPECT_GE(clock.elapsed(), 2500);
  EXPECT_EQ(panel->fieldWithTag(NSAboutPanel::kCurrentLineTag)->text(), QString::fromLatin1(credit_line(1)));
  // A click closes it.
  QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(10, 10));
  spin(20);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_FALSE(panel->holdTimerActive());

  // So does its OK button, the way a user sees to close it, and Escape;
  // opened again, it shows from the first line on.
  ASSERT_TRUE(open_about());
  EXPECT_EQ(panel->currentIndex(), 0);
  QPushButton* ok = nullptr;
  for (QPushButton* b : panel->findChildren<QPushButton*>())
    if (b->isVisible()) ok = b;
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  QTest::mouseClick(ok, Qt::LeftButton);
  spin(20);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_FALSE(panel->holdTimerActive());
  ASSERT_TRUE(open_about());
  QTest::keyClick(panel, Qt::Key_Escape);
  spin(20);
  EXPECT_FALSE(panel->isVisible());
}

}  // namespace
