// A table beside the rest of the figure, through the real window: values
// typed key after key next to it reach their objects whole, the tool
// stays and the table is left as it was; saved and opened again through
// the File menu, its columns keep the width they were drawn with.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/text/text_record.h"
#include "platform/kernel_services.h"

namespace {

class EndToEndTableNeighbours : public FigureTest {
 protected:
  // A new table drawn with the Tabulate tool, holding a measured length.
  static object* tableOfALength(KPFigureView* view) {
    object* length = measuredSegment(view);
    EXPECT_NE(length, nullptr);
    object* text = length ? textShowing(view->info(), length) : nullptr;
    EXPECT_NE(text, nullptr);
    if (!text) return nullptr;
    pickFromPalette(&classe_table);
    drag(view, QPoint(350, 60), QPoint(550, 220));
    const std::vector<object*> tables = objectsOf(view->info(), &classe_table);
    EXPECT_EQ(tables.size(), 1u);
    if (tables.size() != 1) return nullptr;
    click(view, frameCentre(view, text));
    EXPECT_EQ(tables[0]->nbparents, 2) << "the length is not in the table";
    return tables[0]->nbparents == 2 ? tables[0] : nullptr;
  }
  // Keys typed where the keyboard is, one after the other.
  static void typeKeys(const char* keys) {
    for (const char* k = keys; *k; ++k) {
      QWidget* target = QApplication::focusWidget();
      ASSERT_NE(target, nullptr) << "no widget holds the keyboard before '" << *k << "'";
      QTest::keyClick(target, *k);
      spin(10);
    }
  }
};

TEST_F(EndToEndTableNeighbours, EveryKeyTypedReachesTheNewValueAndTheTableStaysAsItWas) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* table = tableOfALength(view);
  ASSERT_NE(table, nullptr);
  const int rows = table->nbvaleurs;

  struct Case {
    construct_class* cls;
    const char* keys;
  };
  const Case cases[] = {{&classe_nombre, "2.5"}, {&classe_exp_num, "x+1"}};
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cls->name);
    const uint32_t beeps = message_beep_count();
    pickFromPalette(c.cls);
    click(view, QPoint(80, 260 + 60 * row++));
    const std::vector<object*> made = objectsOf(view->info(), c.cls);
    ASSERT_EQ(made.size(), 1u);
    typeKeys(c.keys);
    EXPECT_EQ(current_class, c.cls) << "the tool was left while typing";
    EXPECT_EQ(message_beep_count(), beeps);
    pickFromPalette(kPointerTool);
    spin(20);
    ASSERT_NE(made[0]->te, nullptr);
    ASSERT_NE(made[0]->te->text, nullptr);
    EXPECT_STREQ(made[0]->te->text, c.keys);
    EXPECT_EQ(table->nbvaleurs, rows) << "typing added a row to the table";
  }
}

TEST_F(EndToEndTableNeighbours, StandardColumnsStayStandardThroughSaveAndOpen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(tableOfALength(view), nullptr);
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
