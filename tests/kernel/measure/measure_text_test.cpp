// Measure and number texts: the number against Python's printf-style %
// (tests/data/measure/number_texts.txt), the user's separators, units and
// their factors, changes of unit, and the bounds that damaged files may
// break.
#include <cmath>
#include <string>

#include "kernel/files/text_convert.h"
#include "kernel/measure/measure_text.h"
#include "kernel/objects/locus_engine.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/units.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/window/value_keys.h"
#include "text_table.h"

namespace {

class MeasureTexts : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    decimal_separator = '.';
    second_separator = ',';
    pixels_per_unit = 38;
  }
  object* number(uint8_t unit, uint8_t decimals) {
    object* n = make(classe_nombre, 0, {});
    n->aux2 |= 1;  // the value is set here, not read from the text
    n->settings.unite = unit;
    n->settings.nbre_decimales = decimals;
    return n;
  }
  static std::string text(const object* m) { return m->te && m->te->text ? m->te->text : ""; }
  std::string shown(double raw, uint8_t unit, uint8_t decimals) {
    object* n = number(unit, decimals);
    format_measure_value(raw, n, false);
    return text(n);
  }
};

TEST_F(MeasureTexts, NumbersMatchPrintfWithTheZeroSnapAndTheCutExponentForm) {
  const auto cases = read_text_table("number_texts.txt");
  ASSERT_GE(cases.size(), 300u);
  for (const text_case& c : cases) {
    SCOPED_TRACE(testing::Message() << "number_texts.txt line " << c.line << ": " << c.fields[0]);
    ASSERT_EQ(c.fields.size(), 3u);
    EXPECT_EQ(format_measure_number(table_number(c.fields[0]), std::stoi(c.fields[1])), c.fields[2]);
  }
}

TEST_F(MeasureTexts, TheTextTakesTheSeparatorsAndTheUnit) {
  EXPECT_EQ(shown(2.5, 0, 1), "2.5");
  EXPECT_EQ(shown(-1234567.25, 0, 2), "-1,234,567.25");
  // The exponent form is followed by a space and the unit, even an empty one.
  EXPECT_EQ(shown(1.5e13, 0, 0), "1.e+13 ");
  decimal_separator = ',';
  second_separator = '.';
  EXPECT_EQ(shown(2.5, 0, 1), "2,5");
  EXPECT_EQ(shown(1.5e13, 0, 0), "1,e+13 ");
  EXPECT_EQ(shown(38 * 1.5e13, 33, 0), "1,e+13 cm");
  EXPECT_EQ(shown(1.2345678901234e13, 0, 4), "1,2345e+13 ");
  EXPECT_EQ(shown(1234.5, 0, 1), "1.234,5");
  decimal_separator = '.';
  second_separator = ',';
  EXPECT_EQ(shown(-5e-13, 0, 2), "0.00");
  EXPECT_EQ(shown(-0.001, 0, 2), "-0.00");
  EXPECT_EQ(shown(HUGE_VAL, 0, 2), "\xB0");
  EXPECT_EQ(shown(-HUGE_VAL, 0, 2), "-\xB0");
  EXPECT_EQ(shown(std::nan(""), 0, 2), "\xB0");
}

TEST_F(MeasureTexts, ThirtyEightPixelsAtThirtyEightPerCentimetre) {
  EXPECT_EQ(shown(38, 32 + 1, 0), "1 cm");
  EXPECT_EQ(shown(38, 32 + 0, 0), "10 mm");
  EXPECT_EQ(shown(38, 32 + 2, 2), "0.01 m");
  EXPECT_EQ(shown(38.0 * 380000, 32 + 3, 1), "3.8 km");
  EXPECT_EQ(shown(38.0 * 38 * 4, 64 + 1, 1), "4.0 cm\xB2");
  EXPECT_EQ(shown(3.14159265358979 / 2, 128 + 1, 0), "90 \xFB");
  EXPECT_EQ(shown(3.14159265358979 / 2, 128 + 2, 0), "100 gr");
  EXPECT_EQ(shown(3.14159265358979 / 2, 128 + 0, 3), "1.571 rd");
  EXPECT_EQ(shown(3.14159265358979 / 2, 128 + 3, 1), "0.5");
}

TEST_F(MeasureTexts, ChangingTheKindOfUnitKeepsTheShownNumber) {
  object* n = number(32 + 1, 2);
  format_measure_value(38 * 2.5, n, false);
  EXPECT_EQ(text(n), "2.50 cm");
  update_measure_text(n, 128 + 1);  // length to degrees
  EXPECT_EQ(text(n), "2.50 \xFB");
  EXPECT_NEAR(n->valeurs[0].info.rayon, 2.5 * 0.017453292519943295, 1e-15);
  update_measure_text(n, 32 + 1);
  EXPECT_EQ(text(n), "2.50 cm");
  update_measure_text(n, 32 + 0);  // cm to mm: same kind, ten times the number
  EXPECT_EQ(text(n), "25.00 mm");
  EXPECT_NEAR(n->valeurs[0].info.rayon, 95, 1e-12);
}

TEST_F(MeasureTexts, DamagedUnitAndDecimalBytesStayInsideTheirTables) {
  // 127 decimals are written with 99.
  const std::string many = shown(1.0 / 3, 0, 127);
  EXPECT_EQ(many.size(), 101u);
  EXPECT_EQ(many.substr(0, 6), "0.3333");
  // Units outside the table have no name; kinds without units none either.
  EXPECT_EQ(unit_short_name(32 + 31), "");
  EXPECT_EQ(unit_short_name(128 + 3), "");
  EXPECT_EQ(unit_short_name(128 + 17), "");
  EXPECT_EQ(unit_short_name(224 + 5), "");
  EXPECT_EQ(unit_short_name(96 + 1), "cm\xB3");
  EXPECT_EQ(shown(38, 32 + 31, 0), "1");  // an unknown length unit counts as cm
  EXPECT_EQ(shown(5, 224 + 9, 0), "5");
}

TEST_F(MeasureTexts, NoTextIsBuiltWhileALocusIsSampled) {
  object* n = number(0, 1);
  format_measure_value(1, n, false);
  locus_busy = 1;
  format_measure_value(2, n, false);
  locus_busy = 0;
  EXPECT_EQ(text(n), "1.0");
  EXPECT_EQ(n->valeurs[0].info.rayon, 2);
}

TEST_F(MeasureTexts, NumberTextsDropLeadingZerosAndKeepTheCursorOnItsDigit) {
  object* n = number(0, 2);
  format_number_text(n, -1, "0012.50");
  EXPECT_EQ(text(n), "12.50");
  EXPECT_EQ(n->te->sel_start, 4);
  format_number_text(n, 1, "-000.5");
  EXPECT_EQ(text(n), "-0.5");
  EXPECT_EQ(n->te->sel_start, 2);
  format_number_text(n, 4, "1234567");
  EXPECT_EQ(text(n), "1,234,567");
  EXPECT_EQ(n->te->sel_start, 5);  // after the 4, past one group separator
  format_number_text(n, 1, "");
  EXPECT_EQ(text(n), "0");
  format_number_text(n, 1, "N");
  EXPECT_EQ(text(n), kernel_string(306));
  format_number_text(n, 1, "-\xEC");
  EXPECT_EQ(text(n), "-\xB0");
  EXPECT_EQ(number_text_place(n), 1);
}

}  // namespace
