// The search for an identical object when the figure is large: it answers
// what a walk of the whole figure answers, whichever object's children it
// looks through.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "kernel/model/engine_fixture.h"
#include "kernel/model/identical.h"
#include "kernel/model/object_store.h"

namespace {

class IdenticalSearch : public EngineTest {
 protected:
  // The first object of the figure, in list order, that the method's test
  // finds identical to `fresh`: the plain walk the search must agree with.
  object* first_identical_by_walk(object* fresh) {
    const construct_method* m = class_method(fresh->classe, fresh->methode);
    if (!m || !m->ident) return nullptr;
    for (object* o = fig_->first; o; o = o->next)
      if (o != fresh && m->ident(fresh, o)) return o;
    return nullptr;
  }

  // The object made without looking for an identical one, then taken out.
  object* first_identical_by_walk_for(construct_class* cls, int method, const std::vector<object*>& picks) {
    current_class = cls;
    objlist_clear(fig_->inputs);
    for (object* p : picks) objlist_add(fig_->inputs, p, 0);
    uint16_t created = 0;
    object* probe = create_object(static_cast<uint16_t>(method), &created, 1, 1, 1);
    objlist_clear(fig_->inputs);
    if (!probe) return nullptr;
    object* found = first_identical_by_walk(probe);
    destroy_object(probe);
    fig_->nbobj -= 1;
    return found;
  }

  // Builds with the identical check and checks the answer against the walk.
  object* build(construct_class* cls, int method, const std::vector<object*>& picks) {
    std::vector<std::pair<object*, uint16_t>> tagged;
    for (object* p : picks) tagged.emplace_back(p, 0);
    current_class = cls;
    objlist_clear(fig_->inputs);
    for (auto& [p, t] : tagged) objlist_add(fig_->inputs, p, t);
    uint16_t created = 0;
    object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 0);
    objlist_clear(fig_->inputs);
    if (!o) return nullptr;
    o->state &= ~OBJ_NEW;
    if (created) {
      EXPECT_EQ(first_identical_by_walk(o), nullptr) << cls->short_name << " made though one exists";
    } else {
      ++found_;
      EXPECT_EQ(first_identical_by_walk_for(cls, method, picks), o) << cls->short_name;
      EXPECT_EQ(o->settings.visible, 1) << "a hidden identical object is shown again";
    }
    return created ? o : nullptr;
  }

  int found_ = 0;
};

TEST_F(IdenticalSearch, AnIdenticalObjectWhoseFirstParentHasManyChildren) {
  object* hub = point(0, 0);
  std::vector<object*> rim, mids, segs;
  for (int i = 0; i < 300; ++i) {
    rim.push_back(point(10 + i, 20 - i));
    segs.push_back(make2(&classe_segment, 0, hub, rim.back()));
    mids.push_back(make2(&classe_milieu, 0, hub, rim.back()));
  }
  const uint32_t count = fig_->nbobj;
  uint16_t created = 1;
  // The same midpoint, its parents swapped.
  EXPECT_EQ(make2(&classe_milieu, 0, rim[150], hub, &created), mids[150]);
  EXPECT_EQ(created, 0);
  // The midpoint of the segment is the midpoint of its two ends.
  EXPECT_EQ(make(&classe_milieu, 1, {{segs[42], 0}}, 0, 0, &created), mids[42]);
  EXPECT_EQ(created, 0);
  EXPECT_EQ(make2(&classe_segment, 0, rim[7], hub, &created), segs[7]);
  // A hidden identical object is shown again.
  mids[200]->settings.visible = 0;
  EXPECT_EQ(make2(&classe_milieu, 0, hub, rim[200], &created), mids[200]);
  EXPECT_EQ(mids[200]->settings.visible, 1);
  // The symmetric of the hub about itself is the hub.
  EXPECT_EQ(make2(&classe_symetrique, 0, hub, hub, &created), hub);
  EXPECT_EQ(fig_->nbobj, count);
  // A new pair is made.
  object* fresh = make2(&classe_milieu, 0, rim[3], rim[4], &created);
  EXPECT_EQ(created, 1);
  EXPECT_EQ(fresh->num, count + 1);
}

// Random constructions over a few points, one of them a hub, with objects
// hidden, removed and copied for undo along the way: every answer is the
// walk's.
TEST_F(IdenticalSearch, RandomConstructionsAgreeWithTheWalk) {
  std::mt19937 rng(24);
  std::vector<object*> points, segments, vectors, all;
  auto pick = [&](std::vector<object*>& pool) { return pool[rng() % pool.size()]; };
  for (int i = 0; i < 12; ++i) points.push_back(point(i * 13.0, i * 7.0 - 40));
  object* hub = points[0];
  all = points;
  for (int step = 0; step < 3000; ++step) {
    object* p = rng() % 2 ? hub : pick(points);
    object* q = pick(points);
    object* r = pick(points);
    object* made = nullptr;
    switch (rng() % 12) {
      case 0: made = point(rng() % 400, rng() % 300); if (made) points.push_back(made); break;
      case 1: if (p != q) made = build(&classe_segment, 0, {p, q}); if (made) segments.push_back(made); break;
      case 2: if (p != q) made = build(&classe_droite, 1, {p, q}); break;
      case 3: if (p != q) made = build(&classe_milieu, 0, {p, q}); if (made) points.push_back(made); break;
      case 4: if (!segments.empty()) made = build(&classe_milieu, 1, {pick(segments)}); break;
      case 5: if (p != q && q != r && p != r) made = build(&classe_triangle, 0, {p, q, r}); break;
      case 6: made = build(&classe_symetrique, 0, {q, rng() % 3 ? p : q}); break;
      case 7: if (p != q) made = build(&classe_vecteur, 0, {p, q}); if (made) vectors.push_back(made); break;
      case 8: if (!vectors.empty()) made = build(&classe_translation, 0, {p, pick(vectors)}); break;
      case 9:
        if (p != q) made = build(&classe_length, 1, {p, q});
        else if (!segments.empty()) made = build(&classe_length, 0, {pick(segments)});
        if (made && rng() % 2) made->aux2 |= 4;
        break;
      case 10: all[rng() % all.size()]->settings.visible = 0; break;
      default: {
        // Take the last object away (nothing depends on it), or copy for undo.
        if (rng() % 2) {
          save_undo_state(0);
          break;
        }
        object* last = last_object();
        if (!last || std::count(points.begin(), points.begin() + 12, last)) break;
        for (auto* pool : {&points, &segments, &vectors, &all})
          pool->erase(std::remove(pool->begin(), pool->end(), last), pool->end());
        destroy_object(last);
        fig_->nbobj -= 1;
        break;
      }
    }
    if (made) all.push_back(made);
  }
  EXPECT_GT(found_, 200) << "the sequence finds identical objects often";
}

}  // namespace
