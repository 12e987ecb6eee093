// End to end: the rows of a table. A calculation that has no value is
// tabulated as "_"; a row chosen by a click on its number in the table
// being edited goes with Backspace, and so does a column chosen by a click
// on its header.
#include <string>
#include <vector>

#include "app/support/figure_test.h"
#include "kernel/model/table.h"
#include "kernel/text/text_record.h"

namespace {

class EndToEndTableRows : public FigureTest {
 protected:
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

  // A table drawn with the Tabulate tool, the object clicked after it as
  // its column.
  object* tableOf(KPFigureView* view, QPoint on) {
    pickFromPalette(&classe_table);
    drag(view, QPoint(350, 60), QPoint(550, 260));
    click(view, on);
    const auto tables = objectsOf(view->info(), &classe_table);
    return tables.size() == 1 ? tables[0] : nullptr;
  }

  // The view point in the middle of row `row` of the row-number column (0
  // is the header line), or of column `column` of the header line.
  static QPoint rowNumber(KPFigureView* view, object* table, int row) {
    int32_t first = 0, line = 0;
    table_metrics(table->te, &first, &line);
    tagPOINT p{table->te->pos.x + first / 2, table->te->pos.y + line * row + line / 2};
    view->localToGlobalDDM(&p);
    return QPoint(p.x, p.y);
  }
  static QPoint columnHeader(KPFigureView* view, object* table, int column) {
    int32_t first = 0, line = 0;
    table_metrics(table->te, &first, &line);
    int32_t x = table->te->pos.x + first;
    for (int k = 1; k < column; ++k)
      x += table->te->column_widths && table->te->column_widths[k] ? table->te->column_widths[k] : kDefaultColumnWidth;
    tagPOINT p{x + 15, table->te->pos.y + line / 2};
    view->localToGlobalDDM(&p);
    return QPoint(p.x, p.y);
  }
};

TEST_F(EndToEndTableRows, ACalculationWithoutAValueIsTabulatedAsAnUnderscore) {
  // The number -4 and its square root, which has none, away from where the
  // table will be drawn; a number's value is where its text stands.
  KPFigureView* view = openFigureAtResolution("no_value.fig", [](double ppc) {
    auto px = [ppc](double cm) { return std::to_string(static_cast<int>(cm * ppc)); };
    return "1: Num, Val: " + px(-6) + " " + px(-5) + " 0, nA, nP, \r\nNbD:2, nFD, WU, \r\n-4\r\n" +
           "TP:  -6,  5, TS:  2,  1\r\n\r\n" + "2: Formula, Const: 1, Val: " + px(-8) + " " + px(4) +
           " 0, nA, nP, \r\nNbD:2, nFD, WU, \r\nsqrt(a)\r\nTP:  -8,  -4, TS:  3,  1\r\n\r\n";
  });
  ASSERT_NE(view, nullptr);
  const auto calculations = objectsOf(view->info(), &classe_calculate);
  ASSERT_EQ(calculations.size(), 1u);
  object* root = calculations[0];
  ASSERT_NE(root->valeurs[0].infini_inexist_indetermine & VAL_NOT_EXIST, 0) << "the square root of -4 has a value";
  object* table = tableOf(view, frameCentre(view, root));
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->nbparents, 2) << "the calculation is not in the table";
  EXPECT_EQ(cells(table), std::vector<std::string>{"_"});
}

TEST_F(EndToEndTableRows, ARowOrAColumnChosenInTheTableGoesWithBackspace) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* shown = textShowing(view->info(), length);
  ASSERT_NE(shown, nullptr);
  object* table = tableOf(view, frameCentre(view, shown));
  ASSERT_NE(table, nullptr);
  // A second column: the length of another segment.
  segment(view, QPoint(100, 400), QPoint(200, 400));
  pickFromPalette(&classe_length);
  click(view, QPoint(150, 400));
  const auto lengths = objectsOf(view->info(), &classe_length);
  ASSERT_EQ(lengths.size(), 2u);
  object* second = textShowing(view->info(), lengths[1]);
  ASSERT_NE(second, nullptr);
  pickFromPalette(&classe_table);
  click(view, frameCentre(view, table));
  click(view, frameCentre(view, second));
  ASSERT_EQ(table->nbparents, 4);
  // Rows: the end of the segment dragged.
  pickFromPalette(kPointerTool);
  drag(view, QPoint(300, 300), QPoint(380, 300));
  const std::vector<std::string> rows = cells(table);
  const int count = table->nbvaleurs;
  ASSERT_GE(count, 4);

  // The table taken up again with the Tabulate tool, its second row chosen
  // by a click on its number, then Backspace.
  pickFromPalette(&classe_table);
  click(view, frameCentre(view, table));
  ASSERT_EQ(view->info()->cur_text, table) << "the table is not being edited";
  click(view, rowNumber(view, table, 2));
  EXPECT_EQ(table_row_request(table->te), 2) << "the click chose no row";
  QTest::keyClick(view, Qt::Key_Backspace);
  spin(40);
  ASSERT_EQ(table->nbvaleurs, count - 1) << "the row is still there";
  std::vector<std::string> expected = rows;
  expected.erase(expected.begin() + 2, expected.begin() + 4);
  EXPECT_EQ(cells(table), expected);

  // The first column chosen by its header: the second length alone stays.
  click(view, columnHeader(view, table, 1));
  EXPECT_EQ(table_column_request(table->te), 1) << "the click chose no column";
  QTest::keyClick(view, Qt::Key_Backspace);
  spin(40);
  ASSERT_EQ(table->nbparents, 2) << "the column is still there";
  EXPECT_EQ(table->parents[1], lengths[1]);
  EXPECT_EQ(static_cast<int>(cells(table).size()), count - 1);
}

}  // namespace
