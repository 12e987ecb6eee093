// A table saved and opened again through the File menu keeps the column
// widths it was drawn with: a column never widened by the user is written
// as of the standard width, and read back so.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/classes.h"
#include "kernel/text/text_record.h"

namespace {

class EndToEndTableReopen : public FigureTest {};

TEST_F(EndToEndTableReopen, StandardColumnsStayStandardThroughSaveAndOpen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* lengthText = textShowing(view->info(), length);
  ASSERT_NE(lengthText, nullptr);
  pickFromPalette(&classe_table);
  drag(view, QPoint(350, 60), QPoint(550, 220));
  const std::vector<object*> tables = objectsOf(view->info(), &classe_table);
  ASSERT_EQ(tables.size(), 1u);
  click(view, frameCentre(view, lengthText));
  ASSERT_EQ(tables[0]->nbparents, 2);
  pickFromPalette(kPointerTool);
  spin(20);

  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath(QStringLiteral("table.fig"));
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  const bool saved = clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                                   QStringLiteral("Save As"));
  KPDocument::setSavePanelResponder({});
  ASSERT_TRUE(saved);
  spin(20);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::string text = file.readAll().toStdString();
  const size_t tc = text.find("TC:");
  ASSERT_NE(tc, std::string::npos);
  EXPECT_EQ(text.substr(tc, 7), "TC: std") << text.substr(tc, 20);

  // A copy, so that the figure is read from the file and not found open.
  const QString copy = folder.filePath(QStringLiteral("copy.fig"));
  ASSERT_TRUE(QFile::copy(path, copy));
  KPDocument::setOpenPanelResponder([copy](const QString&) { return copy; });
  const bool opened = clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                                    QStringLiteral("Open"));
  KPDocument::setOpenPanelResponder({});
  ASSERT_TRUE(opened);
  spin(30);
  KPDocument* reopened = KPDocument::currentDocument();
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(reopened->figureView()->info() != view->info()) << "the copy did not open";
  ASSERT_NE(reopened->figureView(), nullptr);
  const std::vector<object*> again = objectsOf(reopened->figureView()->info(), &classe_table);
  ASSERT_EQ(again.size(), 1u);
  ASSERT_NE(again[0]->te, nullptr);
  // Drawn again, the table's one column is as wide as before.
  (void)shown(reopened->figureView());
  const int32_t* widths = again[0]->te->column_widths;
  ASSERT_NE(widths, nullptr);
  ASSERT_GE(widths[0], 2);
  EXPECT_TRUE(widths[1] == 0 || widths[1] == 70) << widths[1];
}

}  // namespace
