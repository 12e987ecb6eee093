#include <cmath>

#include "drag_fixture.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/undo.h"
#include "kernel/model/units.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/object_events.h"
#include "kernel/window/window_hooks.h"
#include "platform/kp_cursor.h"
#include "platform/kp_timer.h"

namespace {

TEST_F(DragTest, AFreePointSitsUnderTheCursorAndItsDependantsFollow) {
  object* p = point(10, 10);
  object* q = point(30, 50);
  object* m = make(classe_milieu, 0, {p, q});
  ASSERT_EQ(press(p, 12, 11), 1);
  EXPECT_EQ(manipulating, 1);
  EXPECT_TRUE(p->state & OBJ_MOVING);
  EXPECT_TRUE(m->state & OBJ_MOVING);
  EXPECT_FALSE(q->state & OBJ_MOVING);
  EXPECT_EQ(drag(50, 60), 1);
  EXPECT_AT(p->valeurs[0], 50, 60);
  EXPECT_AT(m->valeurs[0], 40, 55);
  EXPECT_AT(q->valeurs[0], 30, 50);
  // Releasing ends the gesture and clears every mark.
  EXPECT_EQ(release(50, 60), 0);
  EXPECT_EQ(manipulating, 0);
  EXPECT_EQ(first_hit, nullptr);
  EXPECT_EQ(pick_list, nullptr);
  for (object* o = fig_->first; o; o = o->next) EXPECT_FALSE(o->state & OBJ_MOVING);
}

TEST_F(DragTest, AStepWithoutDisplacementMovesNothing) {
  object* p = point(10, 10);
  ASSERT_EQ(press(p, 10, 10), 1);
  kel_EventRecord e = event(kEventDragStep, 10, 10);
  drag_delta = {0, 0};
  EXPECT_EQ(drag_free_ancestors(p, &e, false), 2);
  EXPECT_AT(p->valeurs[0], 10, 10);
}

TEST_F(DragTest, ASegmentDraggedByItsBodyKeepsItsShape) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* s = make(classe_segment, 0, {a, b});
  ASSERT_EQ(press(s, 50, 0), 1);
  EXPECT_EQ(drag(60, 10), 1);
  EXPECT_EQ(drag(70, 30), 1);
  EXPECT_AT(a->valeurs[0], 20, 30);
  EXPECT_AT(b->valeurs[0], 120, 30);
  EXPECT_AT(s->valeurs[0], 20, 30);
}

TEST_F(DragTest, ASegmentWithOneFixedEndTurnsAboutIt) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* s = make(classe_segment, 0, {a, b});
  a->settings.sticky = 1;
  ASSERT_EQ(press(s, 50, 0), 1);
  EXPECT_EQ(motion.pivot_fixed, 1);
  // From (50, 0) to (50, 50) about (0, 0): a quarter-turn's half and a
  // stretch of sqrt(2).
  drag(50, 50);
  EXPECT_AT(a->valeurs[0], 0, 0);
  EXPECT_AT(b->valeurs[0], 100, 100);
}

TEST_F(DragTest, FixedObjectsDoNotMove) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* s = make(classe_segment, 0, {a, b});
  // Both ends fixed: the gesture runs but nothing moves.
  a->settings.sticky = b->settings.sticky = 1;
  ASSERT_EQ(press(s, 50, 0), 1);
  drag(80, 40);
  EXPECT_AT(a->valeurs[0], 0, 0);
  EXPECT_AT(b->valeurs[0], 100, 0);
  release(80, 40);
  // A fixed segment or point refuses the press.
  s->settings.sticky = 1;
  EXPECT_EQ(press(s, 50, 0), 0);
  EXPECT_EQ(manipulating, 0);
  EXPECT_EQ(press(a, 0, 0), 0);
  EXPECT_EQ(manipulating, 0);
}

TEST_F(DragTest, ALineThroughTwoFreePointsMovesBoth) {
  object* a = point(0, 0);
  object* b = point(100, 50);
  object* l = make(classe_droite, 1, {a, b});
  ASSERT_EQ(press(l, 50, 25), 1);
  drag(55, 45);
  EXPECT_AT(a->valeurs[0], 5, 20);
  EXPECT_AT(b->valeurs[0], 105, 70);
}

TEST_F(DragTest, APointOnALineSlidesAlongIt) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* l = make(classe_droite, 1, {a, b});
  object* p = point_on(l, 0, 20, 0);
  ASSERT_EQ(press(p, 20, 0), 1);
  drag(60, 35);
  EXPECT_AT(p->valeurs[0], 60, 0);
  EXPECT_AT(a->valeurs[0], 0, 0);
  EXPECT_AT(b->valeurs[0], 100, 0);
}

TEST_F(DragTest, AConstructedObjectWithoutEventCannotBeDraggedButItsParentsCan) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* m = make(classe_milieu, 0, {a, b});
  EXPECT_EQ(press(m, 50, 0), 0);
  EXPECT_EQ(manipulating, 0);
  EXPECT_EQ(first_hit, nullptr);
  ASSERT_EQ(press(a, 0, 0), 1);
  drag(20, 40);
  EXPECT_AT(m->valeurs[0], 60, 20);
}

TEST_F(DragTest, ASegmentBetweenConstructedPointsRefusesARigidMove) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* c = point(0, 100);
  object* m = make(classe_milieu, 0, {a, b});
  object* s = make(classe_segment, 0, {m, c});
  EXPECT_EQ(press(s, 25, 50), 0);
  EXPECT_EQ(manipulating, 0);
  for (object* o = fig_->first; o; o = o->next) EXPECT_FALSE(o->state & OBJ_MOVING);
}

TEST_F(DragTest, DependantsAreRecomputedInListOrderAndOnlyTheMovingLayerIsRedrawn) {
  // Objects built before the dragged point stay on the static layer.
  object* u = point(300, 300);
  object* v = point(400, 300);
  object* w = make(classe_segment, 0, {u, v});
  object* p = point(0, 0);
  object* q = point(100, 0);
  object* m1 = make(classe_milieu, 0, {p, q});
  object* m2 = make(classe_milieu, 0, {m1, q});
  ASSERT_EQ(press(p, 0, 0), 1);
  // The press drew the static layer once and the moving layer once.
  std::vector<object*> on_static = drawn_on(&static_dev_);
  EXPECT_NE(std::find(on_static.begin(), on_static.end(), w), on_static.end());
  EXPECT_EQ(std::find(on_static.begin(), on_static.end(), m2), on_static.end());
  drawn().clear();
  drag(40, 0);
  // m2 depends on m1: both right after one step.
  EXPECT_AT(m1->valeurs[0], 70, 0);
  EXPECT_AT(m2->valeurs[0], 85, 0);
  EXPECT_TRUE(drawn_on(&static_dev_).empty());
  std::vector<object*> on_moving = drawn_on(&moving_dev_);
  for (object* still : {u, v, w}) EXPECT_EQ(std::find(on_moving.begin(), on_moving.end(), still), on_moving.end());
  for (object* moved : {p, m1, m2}) EXPECT_NE(std::find(on_moving.begin(), on_moving.end(), moved), on_moving.end());
}

TEST_F(DragTest, UndoAfterADragPutsEverythingBack) {
  object* p = point(10, 20);
  object* q = point(30, 40);
  make(classe_milieu, 0, {p, q});
  ASSERT_EQ(press(p, 10, 20), 1);
  drag(200, 100);
  release(200, 100);
  ASSERT_NE(fig_->undo, nullptr);
  fig_->wflags |= WFLAG_UNDO_ENABLED;
  undo_swap_state();
  kelvo_win_info* now = KPGeoDocument::currentInfo();
  ASSERT_EQ(now, fig_->undo);
  object* first = now->first;
  while (first && first->num != p->num) first = first->next;
  ASSERT_NE(first, nullptr);
  EXPECT_AT(first->valeurs[0], 10, 20);
  object* mid = first->next->next;
  EXPECT_AT(mid->valeurs[0], 20, 30);
  KPGeoDocument::setCurrentInfo(fig_);
}

TEST_F(DragTest, RotationTurnsAboutTheSelectedPointAndShiftSnapsTheMouse) {
  object* c = point(0, 0);
  object* p = point(100, 0);
  object* m = make(classe_milieu, 0, {c, p});
  select({c});
  drag_mode = 2;
  ASSERT_EQ(press(p, 100, 0), 1);
  drag(0, 100);
  EXPECT_AT(p->valeurs[0], 0, 100);
  EXPECT_AT(m->valeurs[0], 0, 50);
  release(0, 100);
  // With Shift the mouse direction snaps to 15 degrees: (-100, 10) is read
  // as (-100, 0).
  ASSERT_EQ(press(p, 0, 100), 1);
  drag(-100, 10, 1);
  EXPECT_AT(p->valeurs[0], -100, 0);
}

TEST_F(DragTest, DilationScalesAboutThePivotAndTurnsOverThroughIt) {
  object* c = point(0, 0);
  object* p = point(100, 0);
  select({c});
  drag_mode = 3;
  ASSERT_EQ(press(p, 100, 0), 1);
  drag(200, 0);
  EXPECT_AT(p->valeurs[0], 200, 0);
  drag(5, 0);
  EXPECT_AT(p->valeurs[0], 5, 0);
  // Close to the centre, coming out on the other side turns the figure over.
  drag(-5, 0);
  EXPECT_AT(p->valeurs[0], -5, 0);
  // With the mouse on the centre nothing moves.
  kel_EventRecord e = event(kEventDragStep, 0, 0);
  drag_mouse = {0, 0};
  drag_delta = {5, 0};
  EXPECT_EQ(drag_free_ancestors(p, &e, false), 2);
}

TEST_F(DragTest, TheConstrainKeyComposesTheCorrectionRotationOnceAndRemovesItOnce) {
  object* c = point(0, 0);
  object* p = point(100, 0);
  select({c});
  drag_mode = 2;
  ASSERT_EQ(press(p, 100, 0), 1);
  drag_snap_rotation = {std::cos(0.1), std::sin(0.1)};
  auto angle = [&] { return std::atan2(p->valeurs[0].v, p->valeurs[0].h); };
  drag(100, 50);
  const double free_angle = angle();
  EXPECT_NEAR(free_angle, std::atan2(50, 100), 1e-9);
  // Shift: the mouse snaps to 30 degrees and the correction joins once.
  drag(100, 50, 1);
  EXPECT_NEAR(angle(), M_PI / 6 + 0.1, 1e-9);
  drag(100, 51, 1);
  drag(100, 50, 1);
  EXPECT_NEAR(angle(), M_PI / 6 + 0.1, 1e-9);
  // Released: the correction goes once.
  drag(100, 50);
  EXPECT_NEAR(angle(), free_angle, 1e-9);
}

TEST_F(DragTest, ARegularPolygonTurnsAndStretchesAboutItsCentre) {
  object* centre = point(0, 0);
  object* vertex = point(100, 0);
  object* holder = polygon_points(centre, vertex, 4, 1);
  ASSERT_EQ(press(holder, 100, 0), 1);
  drag(0, 50);
  EXPECT_AT(centre->valeurs[0], 0, 0);
  EXPECT_AT(vertex->valeurs[0], 0, 50);
}

TEST_F(DragTest, KeysDuringADragChangeTheStepIntervalWithinBounds) {
  object* p = point(0, 0);
  ASSERT_EQ(press(p, 0, 0), 1);
  kel_EventRecord plus = event(kEventKey, 0, 0, 0, '+');
  kel_EventRecord minus = event(kEventKey, 0, 0, 0, '-');
  step_interval = 2;
  EXPECT_EQ(drag_free_ancestors(p, &plus, false), 2);
  EXPECT_EQ(step_interval, 1u);
  EXPECT_EQ(drag_free_ancestors(p, &plus, false), 2);
  EXPECT_EQ(step_interval, 1u);
  EXPECT_EQ(drag_free_ancestors(p, &minus, false), 2);
  EXPECT_EQ(step_interval, 2u);
}

TEST_F(DragTest, TheWholeSelectionMovesTogetherUnlessAFixedObjectIsInIt) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* c = point(50, 80);
  select({a, b});
  ASSERT_EQ(press(a, 0, 0), 1);
  EXPECT_NE(pick_list, nullptr);
  EXPECT_NEAR(motion.pivot_x, 50, 1e-9);
  drag(10, 20);
  EXPECT_AT(a->valeurs[0], 10, 20);
  EXPECT_AT(b->valeurs[0], 110, 20);
  EXPECT_AT(c->valeurs[0], 50, 80);
  release(10, 20);
  // A segment of the selection with a fixed end would have to move it.
  object* s = make(classe_segment, 0, {b, c});
  b->settings.sticky = 1;
  select({a, s});
  EXPECT_EQ(press(a, 10, 20), 0);
  EXPECT_EQ(manipulating, 0);
}

TEST_F(DragTest, APointIsReplacedInThePickListByItsOnePointCircle) {
  object* p = point(0, 0);
  object* q = point(50, 0);
  object* circle = make(classe_cercle, 0, {p});
  add_to_pick_list(p);
  add_to_pick_list(p);
  add_to_pick_list(circle);
  add_to_pick_list(p);
  add_to_pick_list(q);
  ASSERT_NE(pick_list, nullptr);
  EXPECT_EQ(pick_list->obj, circle);
  ASSERT_NE(pick_list->next, nullptr);
  EXPECT_EQ(pick_list->next->obj, q);
  EXPECT_EQ(pick_list->next->next, nullptr);
  clear_pick_marks();
  EXPECT_EQ(pick_list, nullptr);
}

TEST_F(DragTest, ClearingThePickOfAnEmptyFigureEmptiesThePickState) {
  object* p = point(0, 0);
  add_to_pick_list(p);
  first_hit = p;
  manipulating = 1;
  KPGeoDocument::setCurrentInfo(nullptr);
  clear_pick_marks();
  KPGeoDocument::setCurrentInfo(fig_);
  EXPECT_EQ(pick_list, nullptr);
  EXPECT_EQ(first_hit, nullptr);
  EXPECT_EQ(manipulating, 0);
}

TEST_F(DragTest, APointWithAPictureKeepsItsGrabOffset) {
  object* p = point(100, 100);
  p->bitmap = alloc_block<bitmap_info>();
  ASSERT_NE(p->bitmap, nullptr);
  ASSERT_EQ(press(p, 110, 105), 1);
  drag(130, 125);
  EXPECT_AT(p->valeurs[0], 120, 120);
}

TEST_F(DragTest, AOnePointLineTurnsToTheMouseAndSnapsWithShift) {
  object* a = point(0, 0);
  object* l = make(classe_droite, 0, {a}, 0, valeur{});
  l->valeurs[1].h = 1;
  l->valeurs[1].v = 0;
  ASSERT_EQ(press(l, 50, 0), 1);
  drag(50, 50);
  EXPECT_NEAR(std::atan2(l->valeurs[1].v, l->valeurs[1].h), M_PI / 4, 1e-9);
  EXPECT_AT(a->valeurs[0], 0, 0);
  drag(100, 3, 1);
  EXPECT_NEAR(l->valeurs[1].v, 0, 1e-9);
}

}  // namespace

namespace {

TEST_F(DragTest, AOnePointCircleTakesTheMouseDistanceAsRadiusInWholeCentimetresWithShift) {
  object* p = point(0, 0);
  object* c = make(classe_cercle, 0, {p});
  c->valeurs[1].info.rayon = 50;
  recompute_object(c);
  ASSERT_EQ(press(c, 50, 0), 1);
  drag(0, 80);
  EXPECT_NEAR(c->valeurs[1].info.rayon, 80, 1e-9);
  EXPECT_AT(p->valeurs[0], 0, 0);
  drag(0, 100, 1);
  EXPECT_NEAR(c->valeurs[1].info.rayon, 3 * pixels_per_unit, 1e-9);
  drag(0, 5, 1);
  EXPECT_NEAR(c->valeurs[1].info.rayon, pixels_per_unit, 1e-9);
}

TEST_F(DragTest, AxesTurnByTheirFirstAxisAndStretchByTheirGraduation) {
  object* o = point(0, 0);
  object* axes = make(classe_axe, 0, {o});
  axes->valeurs[0] = valeur{0, 0, {}, 0};
  axes->valeurs[1] = valeur{40, 0, {}, 0};
  axes->valeurs[2] = valeur{0, -40, {}, 0};
  recompute_object(axes);
  // Pressed on the first axis between its ticks, then on its first tick.
  ASSERT_EQ(press(axes, 60, 0), 1);
  drag(0, 40);
  EXPECT_AT(axes->valeurs[1], 0, 40);
  EXPECT_AT(axes->valeurs[2], 40, 0);
  release(0, 40);
  ASSERT_EQ(press(axes, 0, 40), 1);
  drag(0, 80);
  EXPECT_AT(axes->valeurs[1], 0, 80);
  EXPECT_AT(axes->valeurs[2], 80, 0);
}

TEST_F(DragTest, ThePressSetsTheDragCursorAndARefusedPressTheRefusalCursor) {
  // The table entries the application loads for the two cursors.
  KPCursor::createCursor(kCursorRefused, "refused", nullptr, 0, 0, nullptr);
  KPCursor::createCursor(kCursorDragging, "dragging", nullptr, 0, 0, nullptr);
  auto last_cursor = [] { return KPCursor::lastSet() ? KPCursor::lastSet()->resID() : 0; };
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* m = make(classe_milieu, 0, {a, b});
  EXPECT_EQ(press(m, 50, 0), 0);
  EXPECT_EQ(last_cursor(), kCursorRefused);
  EXPECT_EQ(press(a, 0, 0), 1);
  EXPECT_EQ(last_cursor(), kCursorDragging);
  release(0, 0);
  KPCursor::clearTable();
}

// The kernel's clock, moved on 100 ms at each reading.
uint32_t g_clock = 0;
int g_clock_reads = 0;
uint32_t advancing_clock() {
  ++g_clock_reads;
  return g_clock += 100;
}

TEST_F(DragTest, TabDuringADragBringsTheEditedObjectAlongAndPausesHalfASecond) {
  object* p = point(10, 10);
  object* edited = point(200, 200);
  window_hooks& clock = window_services();
  const auto saved = clock.tick_count;
  clock.tick_count = &advancing_clock;
  ASSERT_EQ(press(p, 10, 10), 1);
  drag(20, 20);
  // The object being edited (a table being filled, say).
  fig_->cur_text = edited;
  drawn().clear();
  g_clock_reads = 0;
  const uint32_t start = g_clock;
  EXPECT_EQ(key('\t'), 0);
  EXPECT_GE(g_clock - start, 600u) << "the drag went on before half a second had passed";
  EXPECT_LE(g_clock_reads, 7) << "the pause read the clock past its end";
  EXPECT_EQ(drawn_on(&static_dev_), std::vector<object*>{edited});
  EXPECT_EQ(manipulating, 1) << "the drag ended";
  EXPECT_EQ(drag(30, 30), 1);
  EXPECT_AT(p->valeurs[0], 30, 30);
  release(30, 30);
  // Without an object being edited Tab does not pause.
  fig_->cur_text = nullptr;
  drag_kind = -1;
  ASSERT_EQ(press(p, 30, 30), 1);
  g_clock_reads = 0;
  key('\t');
  EXPECT_EQ(g_clock_reads, 0);
  release(30, 30);
  clock.tick_count = saved;
}

TEST_F(DragTest, AnObjectWhoseTextShowsValuesIsRedrawnWithTheMovingLayer) {
  object* p = point(0, 0);
  object* q = point(50, 50);
  object* comment = point(200, 200);
  comment->inserted = alloc_block<insert_object>();
  ASSERT_NE(comment->inserted, nullptr);
  comment->inserted->obj = q;
  ASSERT_EQ(press(p, 0, 0), 1);
  EXPECT_TRUE(comment->state & OBJ_MOVING);
  EXPECT_FALSE(q->state & OBJ_MOVING);
}

TEST_F(DragTest, ASpringGestureGivesTheLaunchVectorAndItsNumberOfSteps) {
  object* p = point(0, 0);
  interaction_state = 4;
  // Shorter than four pixels: no launch.
  EXPECT_EQ(press(p, 0, 0), 1);
  EXPECT_EQ(spring_gesture_active, 1);
  kel_EventRecord up = event(kEventMouseUp, 2, 1);
  EXPECT_EQ(begin_object_drag(&up, p), 1);
  EXPECT_EQ(spring_gesture_active, 0);
  EXPECT_EQ(launch_x, 0);
  EXPECT_EQ(launch_y, 0);
  clear_pick_marks();
  EXPECT_EQ(press(p, 0, 0), 1);
  up = event(kEventMouseUp, 100, 50);
  EXPECT_EQ(begin_object_drag(&up, p), 1);
  EXPECT_EQ(launch_x, -100);
  EXPECT_EQ(launch_y, -50);
  clear_pick_marks();
  // The number of steps: 10000 / (|vx| + |vy|), at least 50.
  const struct {
    int32_t vx, vy;
    uint16_t steps;
  } cases[] = {{0, 0, 50}, {300, 100, 50}, {50, 50, 100}, {-20, 30, 200}};
  for (const auto& c : cases) {
    launch_x = c.vx;
    launch_y = c.vy;
    kel_EventRecord down = event(kEventMouseDown, 10, 0);
    start_motion(&down, p);
    EXPECT_EQ(motion.nb_steps, c.steps) << c.vx << "," << c.vy;
  }
  interaction_state = 2;
}

// A free point thrown by the Animation tool stops at the last step of its
// throw; one thrown by a spring of the multiple animation turns round there
// and comes back, so that the other springs keep going.
TEST_F(DragTest, AThrowEndsWithTheAnimationToolAndTurnsRoundWithTheSprings) {
  object* p = point(0, 0);
  const uint16_t saved_mode = drag_mode;
  drag_mode = 1;
  kel_EventRecord step = event(kEventDragStep, 0, 0);
  for (const uint8_t mode : {uint8_t{4}, uint8_t{9}}) {
    p->valeurs[0].h = p->valeurs[0].v = 0;
    interaction_state = mode;
    motion = motion_record{};
    motion.nb_steps = 50;
    motion.step_direction = 1;
    motion.step_index = 48;
    motion.translation_x = 2;
    motion.translation_y = 1;
    EXPECT_EQ(drag_free_ancestors(p, &step, false), 1) << int(mode);
    EXPECT_AT(p->valeurs[0], 2, 1);
    motion.step_index = 49;
    if (mode == 4) {
      EXPECT_EQ(drag_free_ancestors(p, &step, false), 0) << "the throw goes on past its last step";
      EXPECT_AT(p->valeurs[0], 2, 1);
      continue;
    }
    EXPECT_EQ(drag_free_ancestors(p, &step, false), 1) << "the springs stop when one throw is over";
    EXPECT_AT(p->valeurs[0], 4, 2);
    // The next step wraps round and comes back the way it went.
    motion.last_tick = KPTimer::getTickCount() - 1000;
    motion_step(&step);
    EXPECT_EQ(motion.step_index, 0);
    EXPECT_EQ(drag_free_ancestors(p, &step, false), 1);
    EXPECT_AT(p->valeurs[0], 2, 1);
  }
  interaction_state = 2;
  drag_mode = saved_mode;
}

}  // namespace

namespace {

TEST_F(DragTest, TheDesignationCanAskWhetherAnObjectWouldMoveWithoutDisturbingThePick) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* m = make(classe_milieu, 0, {a, b});
  object* s = make(classe_segment, 0, {a, b});
  const tagPOINT at{50, 0};
  EXPECT_TRUE(object_would_move(s, &at));
  EXPECT_FALSE(object_would_move(m, &at));
  b->settings.sticky = 1;
  EXPECT_FALSE(object_would_move(b, &at));
  EXPECT_EQ(pick_list, nullptr);
  EXPECT_EQ(first_hit, nullptr);
  for (object* o = fig_->first; o; o = o->next) EXPECT_FALSE(o->state & OBJ_MOVING);
  // During a drag the answer is no.
  ASSERT_EQ(press(a, 0, 0), 1);
  EXPECT_FALSE(object_would_move(s, &at));
}

}  // namespace

namespace {

// An angle mark of 60 degrees at (100, 100), arms 200 long: its radius is
// 25 and its handle, the middle of its arc, lies on the bisector.
class AngleMarkRadiusDrag : public DragTest {
 protected:
  void SetUp() override {
    DragTest::SetUp();
    a_ = point(300, 100);
    o_ = point(100, 100);
    b_ = point(100 + 200 * std::cos(M_PI / 3), 100 - 200 * std::sin(M_PI / 3));
    mark_ = make(classe_angle, 0, {a_, o_, b_});
    ASSERT_NEAR(radius(), 25, 1e-9);
  }
  void TearDown() override {
    objlist_clear(&picked);
    DragTest::TearDown();
  }

  double radius() const { return mark_->valeurs[3].info.rayon; }
  // The press on the mark as the designation leaves it: the mark first,
  // with the tag its hit test gives at that point.
  int pressMark(double x, double y) {
    tagPOINT at{static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))};
    EXPECT_TRUE(mark_->otype->hit_test(mark_, &at));
    objlist_clear(&picked);
    objlist_add(&picked, mark_, hit_part);
    return press(mark_, at.x, at.y);
  }
  // The handle: the middle of the arc, or the corner of a square mark.
  valeur handle() const {
    const valeur* v = mark_->valeurs;
    if (v[2].info.rayon != 0) return valeur{v[0].h + v[2].h - v[3].h, v[0].v + v[2].v - v[3].v, {}, 0};
    return v[1];
  }
  void expectUnmoved() {
    EXPECT_AT(a_->valeurs[0], 300, 100);
    EXPECT_AT(o_->valeurs[0], 100, 100);
  }

  object *a_ = nullptr, *o_ = nullptr, *b_ = nullptr, *mark_ = nullptr;
};

TEST_F(AngleMarkRadiusDrag, TheHandleFollowsTheMouseAndTheVertexStays) {
  const valeur h = handle();
  ASSERT_EQ(pressMark(h.h, h.v), 1);
  EXPECT_TRUE(mark_->state & OBJ_MOVING);
  const struct {
    double distance;
    double angle;  // from the first arm, upwards
  } steps[] = {{60, M_PI / 6}, {40, M_PI / 4}, {90, M_PI / 8}, {30, M_PI / 6}};
  for (const auto& s : steps) {
    const double x = 100 + s.distance * std::cos(s.angle), y = 100 - s.distance * std::sin(s.angle);
    ASSERT_EQ(drag(static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))), 1);
    const double d = std::hypot(std::lround(x) - 100.0, std::lround(y) - 100.0);
    EXPECT_NEAR(radius(), d, 1e-6) << "at " << s.distance;
    EXPECT_NEAR(std::hypot(handle().h - 100, handle().v - 100), d, 1e-6);
    EXPECT_GT(mark_->valeurs[1].info.rayon, 0);
  }
  expectUnmoved();
  EXPECT_EQ(release(130, 80), 0);
  EXPECT_FALSE(mark_->state & OBJ_MOVING);
}

// Dragged through the vertex the mark turns to the other side (its size
// factor changes sign), only near the vertex; far out on the other side it
// keeps its side.
TEST_F(AngleMarkRadiusDrag, ThroughTheVertexTheMarkTurnsToTheOtherSide) {
  const valeur h = handle();
  ASSERT_EQ(pressMark(h.h, h.v), 1);
  // Far on the side opposite the first arm: the side is kept.
  ASSERT_EQ(drag(40, 110), 1);
  EXPECT_GT(mark_->valeurs[1].info.rayon, 0);
  // Near the vertex, opposite the first arm: the mark turns over.
  ASSERT_EQ(drag(92, 104), 1);
  EXPECT_LT(mark_->valeurs[1].info.rayon, 0);
  // Out again on that side, it grows there, the handle under the mouse.
  ASSERT_EQ(drag(60, 120), 1);
  EXPECT_LT(mark_->valeurs[1].info.rayon, 0);
  EXPECT_NEAR(radius(), std::hypot(40, 20), 1e-6);
  EXPECT_LT((handle().h - 100) * 200, 0) << "the handle stays on the far side";
  // Back near the vertex on the first arm's side: the mark turns back.
  ASSERT_EQ(drag(108, 98), 1);
  EXPECT_GT(mark_->valeurs[1].info.rayon, 0);
  expectUnmoved();
}

TEST_F(AngleMarkRadiusDrag, TheCornerOfASquareMarkFollowsTheMouse) {
  b_->valeurs[0].h = 100;
  b_->valeurs[0].v = -100;
  recompute_all();
  ASSERT_NE(mark_->valeurs[2].info.rayon, 0) << "a right angle";
  const valeur corner = handle();
  ASSERT_NEAR(std::hypot(corner.h - 100, corner.v - 100), 25 * std::sqrt(2.0), 1e-9);
  ASSERT_EQ(pressMark(corner.h, corner.v), 1);
  ASSERT_EQ(drag(160, 40), 1);
  EXPECT_NEAR(handle().h, 160, 0.05);
  EXPECT_NEAR(handle().v, 40, 0.05);
  expectUnmoved();
}

// Without the handle the mark moves as a whole (its points), and the
// resizing only answers drag steps that move.
TEST_F(AngleMarkRadiusDrag, AwayFromTheHandleTheMarkMovesWithItsPoints) {
  const double factor = mark_->valeurs[1].info.rayon;
  const valeur* v = mark_->valeurs;
  // A point of the arc between its start and its middle.
  const double t = M_PI / 36;
  ASSERT_EQ(pressMark(100 + 25 * std::cos(t), 100 - 25 * std::sin(t)), 1);
  ASSERT_EQ(picked.tags[0], 0);
  ASSERT_EQ(drag(v[3].h + 50, v[3].v + 40), 1);
  EXPECT_EQ(mark_->valeurs[1].info.rayon, factor);
  EXPECT_NE(o_->valeurs[0].h, 100);

  object* ref = mark_;
  kel_EventRecord key = event(kEventKey, 0, 0, 0, '+');
  EXPECT_EQ(event_angle_mark_radius(0, &ref, &key), 0) << "a key";
  objlist_clear(&picked);
  objlist_add(&picked, mark_, 2);
  kel_EventRecord down = event(kEventMouseDown, 0, 0);
  ASSERT_EQ(event_angle_mark_radius(0, &ref, &down), 1);
  kel_EventRecord still = event(kEventDragStep, 0, 0);
  drag_delta = {0, 0};
  EXPECT_EQ(event_angle_mark_radius(1, &ref, &still), 2);
  EXPECT_EQ(event_angle_mark_radius(1, &ref, &key), 0);
}

}  // namespace
