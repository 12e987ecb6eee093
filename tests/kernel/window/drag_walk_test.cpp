// A drag step walks the objects gathered when the drag began: it moves,
// recomputes and draws what a walk of the whole figure would.
#include <algorithm>

#include "drag_fixture.h"
#include "kernel/model/recompute.h"

namespace {

class DragWalk : public DragTest {
 protected:
  // Static objects, the dragged point, then dependants, traced objects and
  // objects that do not move, interleaved.
  void build() {
    for (int i = 0; i < 20; ++i) still_.push_back(point(300 + i, 300 - i));
    still_.push_back(make(classe_segment, 0, {still_[0], still_[1]}));
    still_.back()->settings.marked = 1;  // traced, but it does not move
    p_ = point(0, 0);
    object* q = point(100, 0);
    object* m = make(classe_milieu, 0, {p_, q});
    make(classe_segment, 0, {still_[2], still_[3]});
    object* m2 = make(classe_milieu, 0, {m, still_[4]});
    m2->settings.marked = 1;
    make(classe_cercle, 1, {m2, q});
    make(classe_milieu, 0, {still_[5], still_[6]});
    make(classe_segment, 0, {m, p_});
  }

  struct Step {
    std::vector<object*> on_moving, on_static;
    std::vector<double> values;
  };
  Step step_to(int32_t x, int32_t y) {
    drawn().clear();
    drag(x, y);
    Step s{drawn_on(&moving_dev_), drawn_on(&static_dev_), {}};
    for (object* o = fig_->first; o; o = o->next)
      for (int i = 0; i < o->nbvaleurs && o->valeurs; ++i) {
        s.values.push_back(o->valeurs[i].h);
        s.values.push_back(o->valeurs[i].v);
      }
    return s;
  }

  std::vector<object*> still_;
  object* p_ = nullptr;
};

TEST_F(DragWalk, AStepDoesWhatAWalkOfTheWholeFigureDoes) {
  build();
  ASSERT_EQ(press(p_, 0, 0), 1);
  const Step gathered = step_to(40, 10);
  step_to(0, 0);
  release(0, 0);

  // The same step with the figure changed since the press walks it whole.
  ASSERT_EQ(press(p_, 0, 0), 1);
  figure_objects_changed(fig_);
  const Step whole = step_to(40, 10);
  release(40, 10);

  EXPECT_EQ(gathered.on_moving, whole.on_moving);
  EXPECT_EQ(gathered.on_static, whole.on_static);
  EXPECT_EQ(gathered.values, whole.values);
  // Nothing before the dragged point is drawn on the moving layer; traced
  // objects are drawn on the static one, moving or not.
  for (object* o : still_)
    EXPECT_EQ(std::count(gathered.on_moving.begin(), gathered.on_moving.end(), o), 0);
  EXPECT_EQ(std::count(gathered.on_static.begin(), gathered.on_static.end(), still_.back()), 1);
  // Every dependant was recomputed: recomputing the figure changes nothing.
  std::vector<double> before = whole.values, after;
  for (object* o = fig_->first; o; o = o->next) recompute_object(o);
  for (object* o = fig_->first; o; o = o->next)
    for (int i = 0; i < o->nbvaleurs && o->valeurs; ++i) {
      after.push_back(o->valeurs[i].h);
      after.push_back(o->valeurs[i].v);
    }
  EXPECT_EQ(after, before);
}

}  // namespace
