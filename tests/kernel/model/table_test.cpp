// Tables: tabulating numbers, removing rows and columns, and which row or
// column header a click falls on.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "kernel/model/engine_fixture.h"
#include "kernel/model/table.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_dispatch.h"
#include "platform/kernel_services.h"

namespace {

class Tables : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    init_object_lists();
    tabulate_ready = 1;  // as at start-up: tables append a row when made
  }
  // A refused tabulation makes the pointer tool current.
  void TearDown() override {
    end_tool_action();
    free_object_lists();
    EngineTest::TearDown();
  }
  object* number(const char* text) {
    object* n = make(&classe_nombre, 0, {});
    EXPECT_TRUE(n && n->te && set_text_record_text(n->te, text));
    return n;
  }
  object* table_of(std::vector<object*> numbers) {
    object* table = make(&classe_table, 0, {});
    EXPECT_TRUE(table && table->te);
    GlobalFreeAndNull(&table->parents);
    table->nbparents = static_cast<int16_t>(2 * numbers.size());
    table->parents = alloc_block<object*>(static_cast<uint32_t>(std::max<size_t>(1, table->nbparents)));
    for (size_t j = 0; j < numbers.size(); ++j) table->parents[2 * j] = table->parents[2 * j + 1] = numbers[j];
    table->nbvaleurs = 0;
    table->te->length = 0;
    return table;
  }
  void tabulate(object* table) {
    tabulate_ready = 1;
    compute_table(table);
  }
  // The cells, as one string with '|' for each NUL.
  static std::string cells(const object* table) {
    std::string s(table->te->text, static_cast<size_t>(table->te->length));
    for (char& c : s)
      if (c == '\0') c = '|';
    return s;
  }
};

TEST_F(Tables, CellsTakeTheValuePartOfEachNumber) {
  object* unit = number("-1.5e3 cm");
  object* plain = number("42 ");
  object* gone = number("7");
  object* table = table_of({unit, plain, gone});
  gone->state |= OBJ_UNDEFINED;
  tabulate(table);
  EXPECT_EQ(table->nbvaleurs, 1);
  EXPECT_EQ(cells(table), "-1.5e3|42|--|");
  EXPECT_EQ(tabulate_ready, 0);
  // Not ready (no drag step since): nothing appended.
  const uint32_t beeps = message_beep_count();
  compute_table(table);
  EXPECT_EQ(table->nbvaleurs, 1);
  EXPECT_EQ(message_beep_count(), beeps + 1);
  gone->state &= ~OBJ_UNDEFINED;
  tabulate(table);
  EXPECT_EQ(cells(table), "-1.5e3|42|--|-1.5e3|42|7|");
}

TEST_F(Tables, TheThousandthTabulationBeepsAndAppendsNothing) {
  object* table = table_of({number("3")});
  for (int i = 0; i < 999; ++i) tabulate(table);
  ASSERT_EQ(table->nbvaleurs, 999);
  const int32_t length = table->te->length;
  const uint32_t beeps = message_beep_count();
  tabulate(table);
  EXPECT_EQ(table->nbvaleurs, 999);
  EXPECT_EQ(table->te->length, length);
  EXPECT_EQ(message_beep_count(), beeps + 1);
  EXPECT_LE(static_cast<uint32_t>(length), GlobalSize(table->te->text));
}

TEST_F(Tables, RowAndColumnRemoval) {
  object* a = number("1");
  object* b = number("2");
  object* table = table_of({a, b});
  tabulate(table);
  ASSERT_TRUE(set_text_record_text(a->te, "10"));
  tabulate(table);
  ASSERT_EQ(cells(table), "1|2|10|2|");

  // Out of range: both requests dropped, nothing changes.
  table_row_request(table->te) = 3;
  table_column_request(table->te) = 3;
  table_remove_row_or_column(table);
  EXPECT_EQ(cells(table), "1|2|10|2|");
  EXPECT_EQ(table_row_request(table->te), 0);
  EXPECT_EQ(table_column_request(table->te), 0);

  // A valid row wins over a column.
  table_row_request(table->te) = 1;
  table_column_request(table->te) = 1;
  table_remove_row_or_column(table);
  EXPECT_EQ(cells(table), "10|2|");
  EXPECT_EQ(table->nbvaleurs, 1);
  EXPECT_EQ(table->nbparents, 4);

  table_column_request(table->te) = 1;
  table_remove_row_or_column(table);
  EXPECT_EQ(cells(table), "2|");
  ASSERT_EQ(table->nbparents, 2);
  EXPECT_EQ(table->parents[1], b);

  // The only column: the table is empty.
  table_column_request(table->te) = 1;
  table_remove_row_or_column(table);
  EXPECT_EQ(table->nbparents, 0);
  EXPECT_EQ(table->nbvaleurs, 0);
  EXPECT_EQ(table->te->length, 0);
  EXPECT_EQ(table->parents, nullptr);
}

TEST_F(Tables, CellsCutShortByTheFileStayWithinTheBlock) {
  object* table = table_of({number("1"), number("2")});
  // Two rows announced, but the block holds three cells without the last NUL.
  GlobalFreeAndNull(&table->te->text);
  table->te->text = alloc_block<char>(5);
  std::memcpy(table->te->text, "1\0" "2\0" "3", 5);
  table->nbvaleurs = 2;
  table_column_request(table->te) = 1;
  table_remove_row_or_column(table);
  EXPECT_EQ(table->nbparents, 2);
  EXPECT_LE(static_cast<uint32_t>(table->te->length), 5u);
}

TEST_F(Tables, HitCellInTheRowNumberColumnAndOnHeaders) {
  object* table = table_of({number("1"), number("2")});
  TErec* te = table->te;
  te->pos = te_point{100, 100};
  te->size = te_size{300, 200};
  int32_t w0 = 0, h = 0;
  table_metrics(te, &w0, &h);
  uint16_t row = 9, col = 9;
  const tagPOINT header{102, 100 + h / 2};
  table_hit_cell(&header, te, &row, &col);
  EXPECT_EQ(row, 65535);
  EXPECT_EQ(col, 0);
  const tagPOINT first{102, 100 + h + h / 2};
  table_hit_cell(&first, te, &row, &col);
  EXPECT_EQ(row, 1);
  const tagPOINT third{102, 100 + 3 * h + 1};
  table_hit_cell(&third, te, &row, &col);
  EXPECT_EQ(row, 3);

  // Column headers need the column widths.
  te->column_widths = alloc_block<int32_t>(3);
  te->column_widths[0] = 3;
  te->column_widths[1] = 80;
  te->column_widths[2] = 60;
  const tagPOINT in_first{100 + w0 + 40, 100 + h / 2};
  table_hit_cell(&in_first, te, &row, &col);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(col, 1);
  const tagPOINT on_border{100 + w0 + 80 - 2, 100 + h / 2};
  table_hit_cell(&on_border, te, &row, &col);
  EXPECT_EQ(col, static_cast<uint16_t>(65536 - 1));
  const tagPOINT below{100 + w0 + 40, 100 + h + 3};
  table_hit_cell(&below, te, &row, &col);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(col, 0);
}

}  // namespace
