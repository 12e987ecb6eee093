// File > Export... offers its kinds of file under their names, in the
// user's language, never as the number of a missing string.
#include <QRegularExpression>

#include "app/support/figure_test.h"
#include "app/shell/figure_window.h"
#include "platform/kp_files.h"

namespace {

using EndToEndExportLabels = FigureTest;

TEST_F(EndToEndExportLabels, TheExportDialogNamesEveryKindOfFile) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  std::vector<std::string> filters;
  kp_set_file_chooser([&](const KPFileDialogRequest& request) -> std::optional<std::string> {
    filters = request.name_filters;
    return std::nullopt;  // Cancel
  });
  const bool clicked = clickMenuItem(w->menuBar(), QStringLiteral("File"), QStringLiteral("Export"));
  kp_set_file_chooser({});
  ASSERT_TRUE(clicked);
  spin(20);
  const std::vector<std::string> expected = {
      "Web page (*.html)",         "PNG picture (*.png)",  "TI-83 Plus figure (*.8xv)",
      "TI-89 figure (*.89a)",      "TI-92 figure (*.92a)", "TI-92 Plus figure (*.9xa)",
      "Voyage 200 figure (*.v2a)"};
  EXPECT_EQ(filters, expected);
  for (const std::string& f : filters)
    EXPECT_FALSE(QString::fromStdString(f).contains(QRegularExpression(QStringLiteral(R"(String \d+)")))) << f;
}

}  // namespace
