// What some tools leave in the figure, through the window: new axes from an
// origin and two empty clicks, the inverse of a clicked line's point, a
// number carried onto a free point after a placing click, and an
// intersection point pasted into another window; a measure carried onto a
// free point and a number onto a circle's intersection point.
#include <QKeyEvent>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/support/figure_test.h"
#include "kernel/model/classes.h"
#include "kernel/model/units.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEndToolOutcomes : public FigureTest {
 protected:
  void TearDown() override {
    closeAll();
    FigureTest::TearDown();
  }
  static object* only(KPFigureView* view, construct_class* cls) {
    const std::vector<object*> found = objectsOf(view->info(), cls);
    EXPECT_EQ(found.size(), 1u) << (cls->name ? cls->name : "");
    return found.size() == 1 ? found[0] : nullptr;
  }
  static QPoint at(KPFigureView* view, const valeur& v) { return viewPointOf(view, v.h, v.v); }
  // A number typed into the numerical edit tool's new number at `where`.
  static object* typedNumber(KPFigureView* view, QPoint where, const char* text) {
    pickFromPalette(&classe_nombre);
    click(view, where);
    if (!view->textEditor()) return nullptr;
    QTest::keyClicks(view->textEditor(), text);
    pickFromPalette(kPointerTool);
    spin(20);
    const std::vector<object*> numbers = objectsOf(view->info(), &classe_nombre);
    return numbers.empty() ? nullptr : numbers.back();
  }
};

TEST_F(EndToEndToolOutcomes, NewAxesFromAnOriginAndTwoEmptyClicksStayOnceThePointerIsChosen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_point);
  const QPoint origin(300, 250);
  click(view, origin);
  const size_t axes_before = objectsOf(view->info(), &classe_axe).size();

  pickFromPalette(&classe_axe);
  ASSERT_EQ(current_class, &classe_axe);
  click(view, origin);
  // The first axis to the right, the second one upwards.
  moveTo(view, QPoint(360, 250));
  click(view, QPoint(380, 250));
  moveTo(view, QPoint(300, 190));
  click(view, QPoint(300, 170));
  pickFromPalette(kPointerTool);
  spin(20);

  const std::vector<object*> axes = objectsOf(view->info(), &classe_axe);
  ASSERT_EQ(axes.size(), axes_before + 1);
  object* made = axes.back();
  EXPECT_EQ(made->methode, 0);
  ASSERT_EQ(made->nbparents, 1);
  EXPECT_EQ(at(view, made->parents[0]->valeurs[0]), origin);
  // Its axes point where the clicks were: along x and up the screen.
  EXPECT_GT(made->valeurs[1].h, 0);
  EXPECT_NEAR(made->valeurs[1].v, 0, 1e-9);
  EXPECT_NEAR(made->valeurs[2].h, 0, 1e-9);
  EXPECT_LT(made->valeurs[2].v, 0);
  // Both axes are drawn across the view.
  made->settings.visible = 1;
  const QImage image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(500, 250)), 0);
  EXPECT_GT(inkNear(image, QPoint(300, 80)), 0);
}

TEST_F(EndToEndToolOutcomes, TheInverseToolSaysWhatItDoesToAClickedLine) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_cercle);
  click(view, QPoint(300, 250));
  click(view, QPoint(380, 250));
  pickFromPalette(&classe_droite);
  click(view, QPoint(100, 120));
  click(view, QPoint(500, 120));

  pickFromPalette(&classe_inverse);
  ASSERT_EQ(current_class, &classe_inverse);
  // The help shown for the tool says that it inverts a point.
  const std::string help = classe_inverse.help_text ? classe_inverse.help_text : "";
  EXPECT_NE(help.find("Inverts a point"), std::string::npos) << help;
  EXPECT_EQ(help.find("object"), std::string::npos) << help;
  // A click on the line takes a point of it, and the image is that point's.
  click(view, QPoint(300, 120));
  click(view, QPoint(380, 250));
  object* image = only(view, &classe_inverse);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->otype->id, TYPE_POINT);
  EXPECT_EQ(image->parents[0]->classe, &classe_ptsur);
  // The point (300, 120) is 130 pixels above the centre, radius 80: its
  // image is 80 * 80 / 130 pixels above the centre.
  const valeur& v = image->valeurs[0];
  const QPoint shown_at = at(view, v);
  EXPECT_NEAR(shown_at.x(), 300, 1);
  EXPECT_NEAR(shown_at.y(), 250 - 80.0 * 80.0 / 130.0, 1);
}

// Measurement Transfer worked the way a user clicks: a measure shown in its
// text is taken by a plain click (framed where its text shows it, its text
// not opened for editing), then a free point, then a placing spot, which
// gives the direction. A window system may keep Option-clicks for itself:
// a point that no circle passes through is taken without Option, and still
// with it (a Numerical Edit number, the Option key held).
TEST_F(EndToEndToolOutcomes, AFreePointTakesANumberAndTheNextClickPlacesIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* measure = measuredSegment(view);
  ASSERT_NE(measure, nullptr);
  object* shown_in = textShowing(view->info(), measure);
  ASSERT_NE(shown_in, nullptr);
  object* number = typedNumber(view, QPoint(120, 100), "3");
  ASSERT_NE(number, nullptr);
  pickFromPalette(&classe_point);
  const QPoint p(300, 420);
  click(view, p);
  object* free_point = objectsOf(view->info(), &classe_point).back();

  struct Case {
    object* value;
    QPoint at;
    bool option;
    double centimetres;
  };
  const double measured = measure->valeurs[0].info.rayon / pixels_per_unit;
  const Case cases[] = {{measure, frameCentre(view, shown_in), false, measured}, {number, frameCentre(view, number), true, 3}};
  size_t made = 0;
  for (const Case& c : cases) {
    pickFromPalette(&classe_compas3);
    ASSERT_EQ(current_class, &classe_compas3);
    click(view, c.at);
    ASSERT_EQ(objlist_count(view->info()->inputs), 1) << c.option;
    EXPECT_EQ(view->info()->inputs->items[0], c.value);
    if (!c.option) {
      // Picked, not edited: no editor over the figure, the text that shows
      // the measure not the one under edit (the picked measure blinks in a
      // frame where its text shows it, seen by hand).
      EXPECT_TRUE(!view->textEditor() || view->textEditor()->isHidden()) << "the measure's text opened for editing";
      EXPECT_NE(view->info()->cur_text, shown_in);
      EXPECT_NE(view->info()->cur_text, measure);
    }
    if (c.option) {
      QKeyEvent option(QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier);
      QApplication::sendEvent(view, &option);
      moveTo(view, p);
      QTest::mousePress(view, Qt::LeftButton, Qt::AltModifier, p);
      QTest::mouseRelease(view, Qt::LeftButton, Qt::AltModifier, p, 10);
      QKeyEvent let_go(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
      QApplication::sendEvent(view, &let_go);
      spin(10);
    } else {
      click(view, p);
    }
    ASSERT_EQ(objlist_count(view->info()->inputs), 2) << "the free point was refused";
    // The rubber band runs from the point, not from the value.
    moveTo(view, QPoint(400, 430));
    EXPECT_EQ(view->info()->inputs->items[0], free_point);
    EXPECT_EQ(objectsOf(view->info(), &classe_compas3).size(), made) << "built before the placing click";
    // The placing click gives the direction: to the right of the point.
    moveTo(view, QPoint(420, 420));
    click(view, QPoint(420, 420));
    const std::vector<object*> carried = objectsOf(view->info(), &classe_compas3);
    ASSERT_EQ(carried.size(), ++made);
    object* last = carried.back();
    EXPECT_EQ(last->methode, 2);
    const valeur& v = last->valeurs[0];
    const valeur& from = last->parents[0]->otype->id == TYPE_POINT ? last->parents[0]->valeurs[0]
                                                                   : last->parents[1]->valeurs[0];
    EXPECT_NEAR(std::hypot(v.h - from.h, v.v - from.v), c.centimetres * pixels_per_unit, 1e-6);
    EXPECT_GT(v.h, from.h);
    EXPECT_NEAR(v.v, from.v, 1e-6);
    const QImage image = shown(view);
    EXPECT_GT(inkNear(image, at(view, v)), 0);
  }
}

// The circle of an intersection point is one of the two objects it lies
// on: a number carried onto the point where a line crosses a circle is
// measured along that circle at once, and the circle, picked first, takes
// its other crossing.
TEST_F(EndToEndToolOutcomes, ANumberCarriedOntoACirclesIntersectionPointBuildsAtOnce) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* number = typedNumber(view, QPoint(120, 100), "2");
  ASSERT_NE(number, nullptr);
  pickFromPalette(&classe_cercle);
  click(view, QPoint(300, 300));
  click(view, QPoint(400, 300));
  pickFromPalette(&classe_droite);
  click(view, QPoint(300, 150));
  click(view, QPoint(300, 180));
  pickFromPalette(&classe_point);
  click(view, QPoint(300, 200));
  click(view, QPoint(300, 400));
  const std::vector<object*> crossings = objectsOf(view->info(), &classe_ptint);
  ASSERT_EQ(crossings.size(), 2u);
  object* circle = objectsOf(view->info(), &classe_cercle).at(0);

  for (const bool circle_first : {false, true}) {
    pickFromPalette(&classe_compas3);
    click(view, frameCentre(view, number));
    if (circle_first) click(view, QPoint(400, 300));
    object* crossing = crossings[circle_first ? 1 : 0];
    click(view, at(view, crossing->valeurs[0]));
    const std::vector<object*> carried = objectsOf(view->info(), &classe_compas3);
    ASSERT_EQ(carried.size(), circle_first ? 2u : 1u) << "the intersection point was refused";
    object* last = carried.back();
    EXPECT_EQ(last->methode, 1);
    ASSERT_EQ(last->nbparents, 3);
    EXPECT_EQ(last->parents[0], circle);
    EXPECT_EQ(last->parents[1], crossing);
    EXPECT_EQ(last->parents[2], number);
    // On the circle, two centimetres of arc from the crossing.
    const valeur& v = last->valeurs[0];
    const valeur& o = circle->valeurs[0];
    const double r = circle->valeurs[1].info.rayon;
    EXPECT_NEAR(std::hypot(v.h - o.h, v.v - o.v), r, 1e-6);
    const double chord = std::hypot(v.h - crossing->valeurs[0].h, v.v - crossing->valeurs[0].v);
    EXPECT_NEAR(2 * r * std::asin(chord / (2 * r)), 2 * pixels_per_unit, 1e-6);
  }
}

TEST_F(EndToEndToolOutcomes, APastedIntersectionPointIsShownWhereItsLinesCross) {
  KPFigureView* first = openView();
  ASSERT_NE(first, nullptr);
  pickFromPalette(&classe_droite);
  click(first, QPoint(100, 100));
  click(first, QPoint(300, 300));
  click(first, QPoint(100, 300));
  click(first, QPoint(300, 100));
  pickFromPalette(&classe_point);
  click(first, QPoint(200, 200));
  ASSERT_EQ(objectsOf(first->info(), &classe_ptint).size(), 1u);
  pickFromPalette(kPointerTool);
  ASSERT_TRUE(clickMenuItem(menuBarOf(first), QStringLiteral("Edit"), QStringLiteral("Select All")));
  ASSERT_TRUE(clickMenuItem(menuBarOf(first), QStringLiteral("Edit"), QStringLiteral("Copy")));

  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(clickMenuItem(menuBarOf(second), QStringLiteral("Edit"), QStringLiteral("Paste")));
  spin(50);
  object* crossing = only(second, &classe_ptint);
  ASSERT_NE(crossing, nullptr);
  // The lines came five pixels further along each axis, and so did their
  // crossing.
  const tagPOINT was = figurePoint(first, QPoint(200, 200));
  EXPECT_NEAR(crossing->valeurs[0].h, was.x + 5, 1e-6);
  EXPECT_NEAR(crossing->valeurs[0].v, was.y + 5, 1e-6);
  EXPECT_FALSE(crossing->state & OBJ_UNDEFINED);
  const QImage image = shown(second);
  const QPoint spot = viewPointOf(second, was.x + 5, was.y + 5);
  EXPECT_GT(inkNear(image, spot), 0);
}

}  // namespace
