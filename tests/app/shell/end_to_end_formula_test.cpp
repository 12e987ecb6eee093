// A calculation through the whole program: a figure file with a number and
// a formula of it opens with the formula's value shown, and stepping the
// number with the arrow key in its editor recomputes and redraws the
// calculation.
#include <QApplication>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/designation.h"

namespace {

class EndToEndFormula : public FigureTest {
 protected:
  // Writes a figure whose window lines are those of an empty figure saved
  // from a fresh view, then a number 3 and the calculation "2*a+1" of it
  // with their text boxes about the middle of the view, and opens it.
  KPFigureView* openCalculationFigure() {
    return openFigureAtResolution("calculation.fig", [](double ppc) {
      auto box = [ppc](double h, double v) {
        char line[128];
        std::snprintf(line, sizeof line, "TP: %.15g, %.15g, TS: %.15g, %.15g", h / ppc, -v / ppc, 60 / ppc, 20 / ppc);
        return std::string(line);
      };
      return "1: Num, Val: 0 0 0, nA, nP, \r\nNbD:0, nFD, WU, \r\n3\r\n" + box(-150, -40) + "\r\n\r\n" +
             "2: Formula, Const: 1, Val: 0 0 0, nA, nP, \r\nNbD:0, nFD, WU, \r\n2*a+1\r\n" + box(60, -40) + "\r\n\r\n";
    });
  }

  static object* first_of(kelvo_win_info* fig, construct_class* cls) {
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      if (o->classe == cls) return o;
    return nullptr;
  }

  static void click(KPFigureView* view, QPoint p) {
    QTest::mouseMove(view, p);
    spin(5);
    QTest::mousePress(view, Qt::LeftButton, {}, p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, p, 10);
    spin(20);
  }

  // What the view shows now, without asking for a redraw.
  static QImage onScreen(KPFigureView* view) {
    view->grab();
    return view->viewImage();
  }

  static std::string textOf(const object* o) { return o && o->te && o->te->text ? o->te->text : ""; }
};

}  // namespace

TEST_F(EndToEndFormula, SteppingANumberRecomputesItsCalculationOnScreen) {
  KPFigureView* view = openCalculationFigure();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  object* number = first_of(fig, &classe_nombre);
  object* calc = first_of(fig, &classe_calculate);
  ASSERT_NE(number, nullptr);
  ASSERT_NE(calc, nullptr);
  EXPECT_EQ(number->valeurs[0].info.rayon, 3);
  EXPECT_EQ(calc->valeurs[0].info.rayon, 7);
  EXPECT_NE(textOf(calc).find('7'), std::string::npos) << textOf(calc);

  const QRect calc_frame = frameOf(view, calc);
  const QImage before = shown(view).copy(calc_frame);

  // Select the number with the pointer; a second click opens it in the
  // figure's text editor, where the up arrow steps it.
  const QPoint on_number = frameOf(view, number).center();
  click(view, on_number);
  ASSERT_EQ(objlist_count(fig->selection), 1);
  ASSERT_EQ(fig->selection->items[0], number);
  click(view, on_number);
  ASSERT_EQ(fig->cur_text, number);
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  ASSERT_NE(editor, view);
  const QImage editing = onScreen(view).copy(calc_frame);
  QTest::keyClick(editor, Qt::Key_Up);

  spin(20);

  EXPECT_EQ(number->valeurs[0].info.rayon, 4);
  EXPECT_EQ(calc->valeurs[0].info.rayon, 9);
  EXPECT_NE(textOf(calc).find('9'), std::string::npos) << textOf(calc);
  // The key itself redraws the calculation: no full redraw is asked here.
  const QImage stepped = onScreen(view).copy(calc_frame);
  EXPECT_NE(editing, stepped);
  EXPECT_NE(before, shown(view).copy(calc_frame));

  // Typing a new value follows too, and so does ending the edit.
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, "6");
  spin(20);
  EXPECT_EQ(number->valeurs[0].info.rayon, 6);
  EXPECT_EQ(calc->valeurs[0].info.rayon, 13);
  EXPECT_NE(textOf(calc).find("13"), std::string::npos) << textOf(calc);
  EXPECT_NE(stepped, onScreen(view).copy(calc_frame));
  click(view, QPoint(20, 20));
  EXPECT_EQ(fig->cur_text, nullptr);
  EXPECT_EQ(number->valeurs[0].info.rayon, 6);
  EXPECT_EQ(calc->valeurs[0].info.rayon, 13);
  for (object* o = fig->first; o; o = o->next) EXPECT_EQ(o->state & 1u, 0u) << "still marked as moving";
}

// Applying an expression, the hint beside a number names the variable of
// the expression that number will stand for: its letters in alphabetical
// order, whatever they are. It shows while the chosen objects blink.
TEST_F(EndToEndFormula, TheHintNamesTheExpressionsNextVariable) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto typed = [view](construct_class* cls, QPoint at, const char* keys) -> object* {
    pickFromPalette(cls);
    click(view, at);
    const std::vector<object*> made = objectsOf(view->info(), cls);
    if (made.empty() || !view->textEditor()) return nullptr;
    QTest::keyClicks(view->textEditor(), keys);
    pickFromPalette(kPointerTool);
    spin(20);
    return made.back();
  };
  object* expression = typed(&classe_exp_num, QPoint(100, 80), "q+p");
  object* first = typed(&classe_nombre, QPoint(100, 200), "2");
  object* second = typed(&classe_nombre, QPoint(100, 300), "3");
  ASSERT_NE(expression, nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);

  pickFromPalette(&classe_exp_num_app);
  click(view, frameCentre(view, expression));
  // The first number chosen stands for p, the next for q.
  for (const auto& [number, letter] : {std::pair{first, 'p'}, std::pair{second, 'q'}}) {
    moveTo(view, frameCentre(view, number) + QPoint(1, 0));
    spin(20);
    const std::string hint = shown_designation_text();
    ASSERT_FALSE(hint.empty());
    EXPECT_EQ(hint.back(), letter) << hint;
    if (number == first) click(view, frameCentre(view, number));
  }
  // The chosen objects blink their marks: the hint stays in the view.
  spin(400);
  const QPoint mouse = frameCentre(view, second) + QPoint(1, 0);
  const QRect beside(mouse.x() + 6, mouse.y() - 25, 100, 45);
  const QImage image = view->viewImage();
  int ink = 0;
  for (int y = beside.top(); y <= beside.bottom(); ++y)
    for (int x = beside.left(); x <= beside.right(); ++x)
      if (image.rect().contains(x, y) && image.pixelColor(x, y) != image.pixelColor(2, 2)) ++ink;
  EXPECT_GT(ink, 20) << "the hint is not shown";
}
