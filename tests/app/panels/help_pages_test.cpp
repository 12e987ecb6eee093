// The tools that build nothing: each row of their table has a name, an
// icon, a help text and a help page of its own, and the help field shows
// the page of the tool in use.
#include <QFile>
#include <QTextBrowser>
#include <set>
#include <string>

#include "app/panels/help_pages.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/tools/tool_ids.h"
#include "platform/kp_qt_bridge.h"

namespace {

using HelpPages = FigureTest;

QString file_text(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST_F(HelpPages, EveryRowHasItsNameIconTextAndPage) {
  std::set<std::string> pages;
  std::set<std::string> icons;
  for (int row = 1; row <= kToolbarRows; ++row) {
    SCOPED_TRACE(row);
    const toolbar_row* r = toolbar_row_at(static_cast<int16_t>(row));
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->name, nullptr);
    EXPECT_GT(std::strlen(r->name), 0u);
    ASSERT_NE(r->help_text, nullptr);
    EXPECT_GT(std::strlen(r->help_text), 0u);
    // The icon is drawn: not blank, and not another row's.
    ASSERT_NE(r->icon, nullptr);
    const std::string icon(reinterpret_cast<const char*>(r->icon), kToolIconBytes);
    EXPECT_NE(icon.find_first_not_of('\0'), std::string::npos);
    EXPECT_TRUE(icons.insert(icon).second);
    // The page exists and is about this tool.
    ASSERT_NE(r->help_page, nullptr);
    EXPECT_TRUE(pages.insert(r->help_page).second);
    const QString file = help_page_file(r->help_page);
    ASSERT_FALSE(file.isEmpty()) << r->help_page;
    EXPECT_TRUE(file_text(file).contains(QStringLiteral("<title>%1</title>").arg(QString::fromLatin1(r->english_name))))
        << r->help_page;
  }
  EXPECT_EQ(std::string(toolbar_row_at(ROW_MODIFY_APPEARANCE)->help_page), "modify_appearence.html");
}

TEST_F(HelpPages, NamesThatLeaveTheFolderOrDoNotExistGiveNoPage) {
  EXPECT_TRUE(help_page_file(nullptr).isEmpty());
  EXPECT_TRUE(help_page_file("").isEmpty());
  EXPECT_TRUE(help_page_file("../languages/English US.xcl").isEmpty());
  EXPECT_TRUE(help_page_file("no_such_tool.html").isEmpty());
  EXPECT_FALSE(help_page_file("pointer.html").isEmpty());
}

TEST_F(HelpPages, TheHelpFieldShowsThePageOfTheCurrentTool) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  const toolbar_row* hide = toolbar_row_at(ROW_HIDE_SHOW);
  const uint32_t id = find_tool_id_by_name(hide->name);
  ASSERT_NE(id, 0u);
  view->sendCurrentToolAction(id, 0, true);
  spin(10);
  EXPECT_EQ(w->helpField()->source(), QUrl::fromLocalFile(help_page_file(hide->help_page)));
  EXPECT_TRUE(w->helpField()->toPlainText().contains(QString::fromLatin1(hide->english_name)));
  // A tool without a page of its own shows its help text.
  chooseTool(view, &classe_segment);
  spin(10);
  const char* help = classe_segment.help_text ? classe_segment.help_text : "";
  EXPECT_EQ(w->helpField()->toPlainText(), kp_qstring(help));
}

}  // namespace
