#include <cmath>

#include "construction_fixture.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_dispatch.h"

namespace {

using Clicks = ConstructionTest;

TEST_F(Clicks, SegmentBetweenTwoNewPoints) {
  const int points = count_class(&classe_point);
  use_tool(&classe_segment);
  object* first = click(100, 100);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->classe, &classe_point);
  EXPECT_EQ(count_class(&classe_segment), 0);
  object* s = click(200, 150);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->classe, &classe_segment);
  ASSERT_EQ(s->nbparents, 2);
  EXPECT_EQ(s->parents[0], first);
  EXPECT_AT(first->valeurs[0], 100, 100);
  EXPECT_AT(s->parents[1]->valeurs[0], 200, 150);
  EXPECT_EQ(count_class(&classe_point), points + 2);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
  EXPECT_EQ(suspended_tool_count(), 0);
}

TEST_F(Clicks, SegmentEndingOnAnExistingPoint) {
  object* p = point(200, 100);
  const int points = count_class(&classe_point);
  use_tool(&classe_segment);
  click(100, 100);
  object* s = click(202, 101);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->classe, &classe_segment);
  EXPECT_EQ(s->parents[1], p);
  EXPECT_EQ(count_class(&classe_point), points + 1);
}

TEST_F(Clicks, ClickingTheSamePointTwiceDoesNotTakeItTwice) {
  object* p = point(100, 100);
  use_tool(&classe_segment);
  EXPECT_EQ(click(100, 100), p);
  // The point already taken is no candidate any more: the second click
  // makes a new point there.
  object* s = click(100, 100);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->classe, &classe_segment);
  EXPECT_EQ(s->parents[0], p);
  EXPECT_NE(s->parents[1], p);
}

TEST_F(Clicks, PointToolPutsAPointOnACircle) {
  object* c = make(classe_cercle, 1, {point(0, 0), point(100, 0)});
  use_tool(&classe_point);
  hover(0, 100);
  EXPECT_EQ(pending_point_kind, 2);
  EXPECT_EQ(shown_designation_text(), "point on this object");
  object* p = click(0, 100);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->classe, &classe_ptsur);
  EXPECT_EQ(p->parents[0], c);
  EXPECT_NEAR(std::hypot(p->valeurs[0].h, p->valeurs[0].v), 100, 1e-9);
}

TEST_F(Clicks, SegmentFromTheCrossingOfTwoLines) {
  line(point(0, 0), point(200, 200));
  line(point(0, 200), point(200, 0));
  use_tool(&classe_segment);
  hover(101, 99);
  EXPECT_EQ(pending_point_kind, 1);
  EXPECT_EQ(shown_designation_text(), "intersection point");
  object* crossing = click(101, 99);
  ASSERT_NE(crossing, nullptr);
  EXPECT_EQ(crossing->classe, &classe_ptint);
  EXPECT_AT(crossing->valeurs[0], 100, 100);
  object* s = click(300, 100);
  ASSERT_EQ(s->classe, &classe_segment);
  EXPECT_EQ(s->parents[0], crossing);
}

// One click on a point and one on empty space build the object through that
// point with the direction or radius from the mouse; two points the
// two-point method.
void one_and_two_point_objects(ConstructionTest& t, construct_class* cls) {
  t.use_tool(cls);
  object* a = t.click(50, 50);
  ASSERT_EQ(a->classe, &classe_point);
  t.hover(80, 90);
  object* one = t.click(80, 90);
  ASSERT_NE(one, nullptr);
  ASSERT_EQ(one->classe, cls);
  EXPECT_EQ(one->methode, 0);
  EXPECT_EQ(one->nbparents, 1);
  if (cls == &classe_cercle) {
    EXPECT_NEAR(one->valeurs[1].info.rayon, 50, 1e-9);
  } else {
    EXPECT_NEAR(one->valeurs[1].v / one->valeurs[1].h, 40.0 / 30.0, 1e-9);
  }
  one->settings.visible = 0;  // out of the way of the next clicks

  object* b = t.free_point(300, 250);
  t.use_tool(cls);
  t.click(250, 250);
  object* two = t.click(300, 250);
  ASSERT_NE(two, nullptr);
  ASSERT_EQ(two->classe, cls);
  EXPECT_EQ(two->methode, 1);
  EXPECT_EQ(two->parents[1], b);
}

TEST_F(Clicks, LinesFromOneOrTwoPoints) { one_and_two_point_objects(*this, &classe_droite); }
TEST_F(Clicks, RaysFromOneOrTwoPoints) { one_and_two_point_objects(*this, &classe_demidroite); }
TEST_F(Clicks, CirclesFromACentreAndARadiusOrAPoint) { one_and_two_point_objects(*this, &classe_cercle); }

TEST_F(Clicks, PolygonClosedOnItsFirstVertexOrByADoubleClick) {
  use_tool(&classe_polygone);
  object* first = click(10, 10);
  click(100, 10);
  click(100, 100);
  object* pol = click(10, 10);
  ASSERT_NE(pol, nullptr);
  ASSERT_EQ(pol->classe, &classe_polygone);
  EXPECT_EQ(pol->nbvaleurs, 4);
  EXPECT_EQ(pol->nbparents, 3);
  EXPECT_EQ(pol->parents[0], first);

  click(200, 10);
  click(300, 10);
  click(300, 100);
  double_click = 1;
  object* closed = click(300, 100);
  double_click = 0;
  ASSERT_EQ(closed->classe, &classe_polygone);
  EXPECT_EQ(closed->nbvaleurs, 4);
}

TEST_F(Clicks, PolygonRefusesItsFirstVertexWithOnlyTwo) {
  use_tool(&classe_polygone);
  click(10, 10);
  click(100, 10);
  click(10, 10);
  EXPECT_EQ(count_class(&classe_polygone), 0);
}

TEST_F(Clicks, RegularPolygonFromTheSideCountOfThePreview) {
  use_tool(&classe_polyreg);
  click(200, 150);
  click(300, 150);
  // An angle of 60 degrees at the centre between the first vertex and the
  // mouse: a hexagon.
  hover(250, 237);
  EXPECT_EQ(rubber_points[2].h, 6);
  EXPECT_EQ(regular_polygon_side_limit, kMaxPolygonSides);
  object* pol = click(250, 237);
  ASSERT_NE(pol, nullptr);
  ASSERT_EQ(pol->classe, &classe_polyreg);
  EXPECT_EQ(pol->nbvaleurs, 7);
  EXPECT_EQ(count_class(&classe_point_polyreg), 5);  // the holder and n - 2 vertex points
  object* holder = pol->parents[1];
  EXPECT_EQ(holder->math.polreg.nbsides, 6);
  EXPECT_NEAR(std::hypot(holder->valeurs[0].h - 200, holder->valeurs[0].v - 150), 100, 1e-9);
}

TEST_F(Clicks, RegularPolygonWithoutAFitIsRefused) {
  use_tool(&classe_polyreg);
  click(200, 150);
  click(300, 150);
  rubber_points[2].h = 0;  // no preview ran
  EXPECT_EQ(run_construction_click(tagPOINT{250, 63}), nullptr);
  EXPECT_EQ(count_class(&classe_point_polyreg), 0);
}

TEST_F(Clicks, TranslatedPointAndReflectedLine) {
  object* p = point(10, 10);
  object* v = make(classe_vecteur, 0, {point(100, 100), point(150, 120)});
  use_tool(&classe_translation);
  click(10, 10);
  object* image = click(125, 110);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->classe, &classe_translation);
  EXPECT_EQ(image->parents[0], p);
  EXPECT_EQ(image->parents[1], v);

  object* l = line(point(0, 250), point(300, 250));
  object* mirror = line(point(350, 0), point(350, 290));
  use_tool(&classe_symetriquedr);
  click(200, 250);
  object* reflected = click(350, 100);
  ASSERT_NE(reflected, nullptr);
  EXPECT_EQ(reflected->classe, &classe_droite);
  EXPECT_EQ(reflected->methode, 1);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(reflected->parents[i]->classe, &classe_symetriquedr);
    EXPECT_EQ(reflected->parents[i]->parents[0], l->parents[i]);
    EXPECT_EQ(reflected->parents[i]->parents[1], mirror);
  }
}

TEST_F(Clicks, ReflectingAPerpendicularBuildsHiddenPoints) {
  object* base = line(point(0, 250), point(300, 250));
  object* perp = make(classe_perpendiculaire, 0, {point(100, 100), base});
  object* mirror = line(point(350, 0), point(350, 290));
  use_tool(&classe_symetriquedr);
  click(100, 50);
  object* reflected = click(350, 20);
  ASSERT_NE(reflected, nullptr);
  EXPECT_EQ(reflected->classe, &classe_droite);
  int hidden_on_line = 0;
  for (object* o = fig_->first; o; o = o->next)
    if (o->classe == &classe_ptsur && o->parents[0] == perp && !o->settings.visible) ++hidden_on_line;
  EXPECT_EQ(hidden_on_line, 2);
  EXPECT_EQ(reflected->parents[0]->parents[1], mirror);
  EXPECT_FALSE(reflected->parents[0]->settings.visible);
}

TEST_F(Clicks, MeasuringTheSameSegmentTwiceReusesTheMeasure) {
  segment(point(0, 100), point(200, 100));
  use_tool(&classe_length);
  object* text = click(100, 100);
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(text->classe, &classe_text);
  ASSERT_NE(text->te, nullptr);
  EXPECT_STREQ(text->te->text, "$1$");
  object* measure = text->parents[0];
  EXPECT_EQ(measure->classe, &classe_length);
  EXPECT_EQ(text->inserted->obj, measure);

  object* again = click(150, 100);
  EXPECT_EQ(again, measure);
  EXPECT_EQ(count_class(&classe_length), 1);
  EXPECT_EQ(count_class(&classe_text), 1);
}

TEST_F(Clicks, TheAmbiguityListTakesAScriptedChoice) {
  object* a = point(100, 100);
  object* b = point(102, 101);
  use_tool(&classe_segment);
  hover(101, 100);
  EXPECT_EQ(ambiguous_designation, 1);
  EXPECT_EQ(designation_cursor_id, CURSOR_ID_WHICH);
  EXPECT_EQ(shown_designation_text(), "Which object?");

  static std::vector<uint16_t> tags;
  install_ambiguity_chooser([](const NSAmbigPanelController& c, int32_t, int32_t) -> uint16_t {
    tags.clear();
    for (const auto& item : c.items) tags.push_back(item.tag);
    return 50026;  // the first candidate
  });
  object* chosen = run_construction_click(tagPOINT{101, 100});
  EXPECT_EQ(chosen, a);
  EXPECT_EQ(tags, (std::vector<uint16_t>{50027, 50026}));

  // Dismissed: nothing designated, the ambiguity stays.
  install_ambiguity_chooser([](const NSAmbigPanelController&, int32_t, int32_t) -> uint16_t { return 0; });
  use_tool(&classe_vecteur);
  clear_object_flags(OBJ_CHOSEN);
  hover(101, 100);
  EXPECT_EQ(run_construction_click(tagPOINT{101, 100}), nullptr);
  EXPECT_EQ(ambiguous_designation, 1);
  (void)b;
}

TEST_F(Clicks, TheGenericHandlerMatchesArgumentsAgainstTheMethods) {
  object* p = point(0, 0);
  object* q = point(10, 0);
  current_class = &classe_segment;
  objlist_add(fig_->inputs, p, 0);
  EXPECT_EQ(find_tool_arg_slot(&classe_segment, p, 0, 1, 0), -1);
  objlist_add(fig_->inputs, q, 0);
  EXPECT_EQ(find_tool_arg_slot(&classe_segment, q, 0, 1, 0), 0);
  reset_class_type_marks(&classe_segment);
  // A list of any number of points matches without ever ending by itself:
  // the generic handler leaves the ending to the tool.
  current_class = &classe_polygone;
  objlist_clear(fig_->inputs);
  objlist_clear(&picked);
  objlist_add(&picked, p, 0);
  uint16_t method = 0;
  object* designated = nullptr;
  EXPECT_FALSE(take_tool_argument(&method, &designated));
  EXPECT_EQ(method, 0);
  EXPECT_EQ(designated, p);
  reset_class_type_marks(&classe_polygone);
}

TEST_F(Clicks, SuspendedToolsComeBackWithTheirArgumentsAndMarks) {
  object* p = point(0, 0);
  object* q = point(10, 0);
  current_class = &classe_segment;
  objlist_add(fig_->inputs, p, 7);
  objlist_add(fig_->inputs, q, 0);
  p->state |= OBJ_CHOSEN;
  suspend_current_tool(&classe_point);
  EXPECT_EQ(current_class, &classe_point);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
  EXPECT_FALSE(p->state & OBJ_CHOSEN);
  suspend_current_tool(&classe_ptsur);
  EXPECT_EQ(suspended_tool_count(), 2);
  EXPECT_TRUE(pop_tool_argument_state());
  EXPECT_TRUE(pop_tool_argument_state());
  EXPECT_EQ(current_class, &classe_segment);
  ASSERT_EQ(objlist_count(fig_->inputs), 2);
  EXPECT_EQ(fig_->inputs->tags[0], 7);
  EXPECT_TRUE(p->state & OBJ_CHOSEN);
  EXPECT_FALSE(q->state & OBJ_CHOSEN);
  EXPECT_FALSE(pop_tool_argument_state());
}

TEST_F(Clicks, CandidateDescriptionsShowTheKindOfTheObject) {
  object* p = point(0, 0);
  EXPECT_EQ(describe_candidate(p), "Point");
  object* m = make(classe_milieu, 0, {p, point(10, 0)});
  ASSERT_NE(m, nullptr);
  const char* mid = classe_milieu.name && *classe_milieu.name ? classe_milieu.name : classe_milieu.english_name;
  EXPECT_EQ(describe_candidate(m), std::string("Point (") + mid + ")");
}

}  // namespace

namespace {

TEST_F(Clicks, TheToolPreparedByTheDispatcherBuildsASegment) {
  current_class = &classe_segment;
  setup_current_tool(&classe_segment);
  for (const tagPOINT p : {tagPOINT{40, 40}, tagPOINT{160, 90}}) {
    hover(p.x, p.y);
    run_construction_click(p);
    setup_current_tool(current_class);
  }
  ASSERT_EQ(count_class(&classe_segment), 1);
  object* s = fig_->first;
  while (s->classe != &classe_segment) s = s->next;
  EXPECT_AT(s->parents[0]->valeurs[0], 40, 40);
  EXPECT_AT(s->parents[1]->valeurs[0], 160, 90);
  current_class = nullptr;
  setup_current_tool(nullptr);
}

}  // namespace
