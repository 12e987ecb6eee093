// The tools that place texts, through the real program: the text tool
// chosen on the palette, a frame dragged on the sheet and keys typed into
// the new text; the coordinates of a point with the equation tool.
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/text/text_record.h"
#include "platform/ns_kelvo_text_editor.h"

namespace {

class EndToEndTextTools : public FigureTest {
 protected:
  static QPoint onView(KPFigureView* view, int32_t x, int32_t y) {
    tagPOINT p{x, y};
    view->localToGlobalDDM(&p);
    return QPoint(p.x, p.y);
  }
  // Pixels unlike the background inside the frame of a text.
  static int inkIn(const QImage& image, KPFigureView* view, const object* o) {
    const QPoint a = onView(view, o->te->pos.x, o->te->pos.y);
    const QColor background = image.pixelColor(2, 2);
    int count = 0;
    for (int y = a.y() + 2; y < a.y() + o->te->size.h - 2; ++y)
      for (int x = a.x() + 2; x < a.x() + o->te->size.w - 2; ++x)
        if (image.rect().contains(x, y) && image.pixelColor(x, y) != background) ++count;
    return count;
  }
};

TEST_F(EndToEndTextTools, ATextDraggedOutAndTypedStaysInTheFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_text);
  ASSERT_EQ(current_class, &classe_text);

  const QPoint from(120, 100);
  const QPoint to = from + QPoint(180, 50);
  drag(view, from, to);
  std::vector<object*> texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  object* text = texts[0];
  const tagPOINT corner = figurePoint(view, from);
  EXPECT_EQ(text->te->pos.x, corner.x);
  EXPECT_EQ(text->te->pos.y, corner.y);
  // The editor fits the height to the lines of the text.
  EXPECT_EQ(text->te->size.w, 180);
  EXPECT_GE(text->te->size.h, 20);

  NSKelvoTextEditor* editor = view->textEditor();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(editor->isVisible());
  EXPECT_EQ(view->info()->cur_text, text);
  QTest::keyClicks(editor, "Kelvo WWW");
  spin(10);

  // The pointer from the palette hands the text back to the figure.
  pickFromPalette(kPointerTool);
  spin(20);
  EXPECT_FALSE(editor->isVisible());
  texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  ASSERT_NE(texts[0]->te->text, nullptr);
  EXPECT_STREQ(texts[0]->te->text, "Kelvo WWW");
  EXPECT_GT(inkIn(shown(view), view, texts[0]), 40);

  // A plain click with the text tool gives the smallest frame.
  pickFromPalette(&classe_text);
  click(view, QPoint(150, 300));
  texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1]->te->size.w, 100);
  EXPECT_GE(texts[1]->te->size.h, 20);
}

TEST_F(EndToEndTextTools, TheEquationToolShowsTheCoordinatesOfAPoint) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_point);
  const QPoint at(260, 180);
  click(view, at);
  std::vector<object*> points = objectsOf(view->info(), &classe_point);
  ASSERT_FALSE(points.empty());
  object* p = points.back();

  pickFromPalette(&classe_equation);
  ASSERT_EQ(current_class, &classe_equation);
  click(view, at);
  const std::vector<object*> coordinates = objectsOf(view->info(), &classe_equation);
  ASSERT_EQ(coordinates.size(), 2u);
  for (object* c : coordinates) EXPECT_EQ(c->parents[0], p);
  std::vector<object*> texts = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(texts.size(), 1u);
  object* text = texts[0];
  ASSERT_NE(text->te, nullptr);
  EXPECT_EQ(text->te->text[0], '(');
  EXPECT_EQ(text->inserted->obj, coordinates[0]);

  pickFromPalette(kPointerTool);
  spin(20);
  EXPECT_GT(inkIn(shown(view), view, text), 20);

  // Asked again, the same numbers serve a second text.
  pickFromPalette(&classe_equation);
  click(view, at);
  EXPECT_EQ(objectsOf(view->info(), &classe_equation).size(), 2u);
  EXPECT_EQ(objectsOf(view->info(), &classe_text).size(), 2u);
}

TEST_F(EndToEndTextTools, ATableDraggedOutTakesAColumnForANumber) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_nombre);
  click(view, QPoint(80, 80));
  const std::vector<object*> numbers = objectsOf(view->info(), &classe_nombre);
  ASSERT_EQ(numbers.size(), 1u);
  object* number = numbers[0];
  // A number left empty goes when its edit ends: it gets a value.
  ASSERT_NE(view->textEditor(), nullptr);
  QTest::keyClicks(view->textEditor(), "7");
  pickFromPalette(kPointerTool);
  spin(20);
  ASSERT_EQ(objectsOf(view->info(), &classe_nombre).size(), 1u);

  pickFromPalette(&classe_table);
  ASSERT_EQ(current_class, &classe_table);
  drag(view, QPoint(200, 200), QPoint(230, 205));
  std::vector<object*> tables = objectsOf(view->info(), &classe_table);
  ASSERT_EQ(tables.size(), 1u);
  object* table = tables[0];
  EXPECT_EQ(table->te->size.w, 100);
  EXPECT_EQ(table->te->size.h, 100);
  EXPECT_EQ(table->nbvaleurs, 0);

  tagPOINT at{number->te->pos.x + 10, number->te->pos.y + number->te->size.h / 2};
  view->localToGlobalDDM(&at);
  click(view, QPoint(at.x, at.y));
  ASSERT_EQ(table->nbparents, 2);
  EXPECT_EQ(table->parents[1], number);
  EXPECT_EQ(table->nbvaleurs, 1);
  EXPECT_EQ(objectsOf(view->info(), &classe_table).size(), 1u);
}

// A number typed with the Numerical Edit tool keeps at most ten digits:
// the keys that would bring more are refused, and the value is what shows.
TEST_F(EndToEndTextTools, ANumberTypedInKeepsAtMostTenDigits) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const struct {
    const char* typed;
    double value;
  } cases[] = {
      {"123456789012345678901234567890", 1234567890},
      {"3.14159265358979", 3.141592653},
      {"-0.000123456789", -0.000123456},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    pickFromPalette(&classe_nombre);
    click(view, QPoint(80, 60 + 60 * row++));
    const std::vector<object*> numbers = objectsOf(view->info(), &classe_nombre);
    ASSERT_EQ(numbers.size(), static_cast<size_t>(row));
    ASSERT_NE(view->textEditor(), nullptr);
    QTest::keyClicks(view->textEditor(), c.typed);
    pickFromPalette(kPointerTool);
    spin(20);
    const object* number = numbers.back();
    ASSERT_NE(number->te, nullptr);
    const std::string shown = number->te->text ? number->te->text : "";
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(), [](char ch) { return ch >= '0' && ch <= '9'; }), 10) << shown;
    EXPECT_NEAR(number->valeurs[0].info.rayon, c.value, std::fabs(c.value) * 1e-12) << shown;
  }
}

}  // namespace
