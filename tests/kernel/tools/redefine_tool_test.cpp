// The redefinition tool through scripted clicks: the choice menu answered by
// the test, the nested construction clicked as a user clicks it.
#include <cmath>
#include <string>
#include <vector>

#include "construction_fixture.h"
#include "kernel/model/deletion.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/redefine_tool.h"
#include "platform/kp_dialog.h"

namespace {

construct_class* g_choice = nullptr;
bool g_merge = false;
std::vector<redefine_menu_item> g_offered;

uint16_t scripted_menu(const std::vector<redefine_menu_item>& items, tagPOINT) {
  g_offered = items;
  for (const redefine_menu_item& item : items)
    if ((g_merge && !item.cls) || (!g_merge && item.cls && item.cls == g_choice)) return item.id;
  return 0;
}

class Redefine : public ConstructionTest {
 protected:
  void SetUp() override {
    ConstructionTest::SetUp();
    std::vector<const char*> rows(kKernelStringCount, "");
    rows[190] = "Which object?";
    rows[281] = "two objects";
    rows[282] = "depends on itself";
    rows[504] = "Merge";
    lang_fill_kernel_strings(rows.data(), kKernelStringCount);
    install_redefine_menu_tracker(scripted_menu);
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest& r) {
      messages_.push_back(r.message);
      return 0;
    });
    reset_redefinition();
    g_choice = nullptr;
    g_merge = false;
    g_offered.clear();
  }
  void TearDown() override {
    KPDialog::setMessageBoxResponder(nullptr);
    install_redefine_menu_tracker(nullptr);
    reset_redefinition();
    ConstructionTest::TearDown();
  }

  // The first click of the tool on (x, y), answering the menu with `cls`
  // (the merge item for null).
  void choose(int x, int y, construct_class* cls) {
    use_tool(&classe_redefine);
    g_choice = cls;
    g_merge = cls == nullptr;
    click(x, y);
  }

  void name(object* o, const char* text) {
    o->te = create_text_record(0, 0, 20, 12, 0);
    ASSERT_TRUE(set_text_record_text(o->te, text));
  }
  static std::string text_of(const object* o) { return o && o->te && o->te->text ? o->te->text : ""; }

  bool alive(const object* o) const {
    for (object* x = fig_->first; x; x = x->next)
      if (x == o) return true;
    return false;
  }
  object* named(const char* text) const {
    for (object* x = fig_->first; x; x = x->next)
      if (text_of(x) == text) return x;
    return nullptr;
  }
  void recompute_everything() {
    for (object* o = fig_->first; o; o = o->next) recompute_object(o);
  }

  std::vector<std::string> messages_;
};

TEST_F(Redefine, TheMenuOffersTheConstructionsOfTheObjectsTypeThenTheMergeItem) {
  object* a = free_point(0, 0);
  const std::vector<redefine_menu_item> for_point = redefine_menu_entries(a);
  ASSERT_EQ(for_point.size(), 4u);
  EXPECT_EQ(for_point[0].cls, &classe_point);
  EXPECT_EQ(for_point[1].cls, &classe_ptsur);
  EXPECT_EQ(for_point[2].cls, &classe_interset);
  EXPECT_EQ(for_point[3].cls, nullptr);
  EXPECT_EQ(for_point[3].text, "Merge");
  for (size_t i = 0; i < for_point.size(); ++i) EXPECT_EQ(for_point[i].id, kRedefineMenuBase + i + 1);

  object* s = segment(a, free_point(50, 0));
  const std::vector<redefine_menu_item> for_segment = redefine_menu_entries(s);
  ASSERT_GE(for_segment.size(), 2u);
  EXPECT_EQ(for_segment.back().cls, nullptr);
  for (size_t i = 0; i + 1 < for_segment.size(); ++i) {
    ASSERT_NE(for_segment[i].cls, nullptr);
    EXPECT_EQ(for_segment[i].cls->ctype->id, TYPE_SEGMENT);
  }
}

// Two classes with the same localised name stay apart: the item's
// identifier, not its text, names the class.
TEST_F(Redefine, TheChosenItemNamesItsClassEvenWhenNamesRepeat) {
  const char* before = classe_ptsur.name;
  classe_ptsur.name = classe_point.name && *classe_point.name ? classe_point.name : classe_point.english_name;
  object* p = free_point(100, 100);
  choose(100, 100, &classe_ptsur);
  EXPECT_EQ(current_class, &classe_ptsur);
  EXPECT_FALSE(redefinition_waiting());
  EXPECT_EQ(redefined_object, p);
  classe_ptsur.name = before;
}

TEST_F(Redefine, AFreePointPutOnACircleKeepsItsLookAndItsDependantsFollow) {
  object* centre = free_point(0, 0);
  object* circle = make(classe_cercle, 1, {centre, free_point(100, 0)});
  object* p = free_point(150, 150);
  name(p, "P");
  p->settings.Color = 0x123456;
  p->label = get_default_font_info();
  p->label->Color = 0xABCDEF;
  object* q = free_point(300, 200);
  object* s = segment(p, q);

  choose(150, 150, &classe_ptsur);
  ASSERT_EQ(current_class, &classe_ptsur);
  click(0, 100);  // the nested tool puts a point on the circle

  EXPECT_EQ(current_class, &classe_redefine);
  EXPECT_TRUE(redefinition_waiting());
  EXPECT_EQ(redefined_object, nullptr);
  EXPECT_FALSE(alive(p));
  object* n = s->parents[0];
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->classe, &classe_ptsur);
  EXPECT_EQ(n->parents[0], circle);
  EXPECT_EQ(text_of(n), "P");
  EXPECT_EQ(n->settings.Color, 0x123456u);
  ASSERT_NE(n->label, nullptr);
  EXPECT_EQ(n->label->Color, 0xABCDEFu);
  EXPECT_LT(n->num, s->num);  // still before what is built on it
  EXPECT_NEAR(std::hypot(n->valeurs[0].h, n->valeurs[0].v), 100, 1e-6);

  // Dragging the centre carries the point and the segment's end.
  centre->valeurs[0].h = 40;
  recompute_everything();
  EXPECT_NEAR(std::hypot(n->valeurs[0].h - 40, n->valeurs[0].v), 60, 1e-6);  // through (100, 0)
  EXPECT_NEAR(s->valeurs[0].h, n->valeurs[0].h, 1e-9);
  EXPECT_NEAR(s->valeurs[0].v, n->valeurs[0].v, 1e-9);
}

TEST_F(Redefine, APointOnAnObjectBecomesFreeAtTheFirstClick) {
  object* circle = make(classe_cercle, 1, {free_point(0, 0), free_point(100, 0)});
  use_tool(&classe_point);
  object* on = click(0, 100);
  ASSERT_EQ(on->classe, &classe_ptsur);
  name(on, "M");
  object* s = segment(on, free_point(200, 200));
  const int objects = static_cast<int>(fig_->nbobj);

  choose(0, 100, &classe_point);
  EXPECT_EQ(current_class, &classe_redefine);
  EXPECT_TRUE(redefinition_waiting());
  EXPECT_EQ(suspended_tool_count(), 0);
  EXPECT_FALSE(alive(on));
  object* m = s->parents[0];
  EXPECT_EQ(m->classe, &classe_point);
  EXPECT_EQ(text_of(m), "M");
  EXPECT_NEAR(m->valeurs[0].h, 0, 1e-9);
  EXPECT_NEAR(m->valeurs[0].v, 100, 1e-9);
  EXPECT_EQ(static_cast<int>(fig_->nbobj), objects);
  EXPECT_TRUE(alive(circle));
}

TEST_F(Redefine, ADefinitionThatDependsOnTheObjectIsRefused) {
  object* p = free_point(100, 100);
  name(p, "P");
  object* d1 = line(p, free_point(200, 300));       // depends on P
  line(free_point(0, 200), free_point(300, 200));  // crosses d1
  const int objects = static_cast<int>(fig_->nbobj);

  choose(100, 100, &classe_interset);
  ASSERT_EQ(current_class, &classe_interset);
  click(150, 200);  // the crossing of the two lines, one built on P
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("depends on itself", 0), 0u);
  EXPECT_TRUE(alive(p));
  EXPECT_EQ(d1->parents[0], p);
  EXPECT_EQ(static_cast<int>(fig_->nbobj), objects);  // what was built for it is gone
  EXPECT_EQ(current_class, &classe_redefine);
  EXPECT_TRUE(redefinition_waiting());
  for (object* o = fig_->first; o; o = o->next) EXPECT_EQ(o->state & OBJ_WALK, 0u);
}

TEST_F(Redefine, AFreePointBecomesTheCrossingOfTwoLines) {
  object* p = free_point(100, 100);
  name(p, "P");
  object* s = segment(p, free_point(300, 250));
  line(free_point(0, 200), free_point(300, 200));
  line(free_point(150, 0), free_point(150, 280));
  choose(100, 100, &classe_interset);
  ASSERT_EQ(current_class, &classe_interset);
  click(150, 200);
  EXPECT_TRUE(messages_.empty());
  EXPECT_FALSE(alive(p));
  object* n = s->parents[0];
  EXPECT_EQ(text_of(n), "P");
  EXPECT_NEAR(n->valeurs[0].h, 150, 1e-9);
  EXPECT_NEAR(n->valeurs[0].v, 200, 1e-9);
  EXPECT_NEAR(s->valeurs[0].h, 150, 1e-9);
  EXPECT_LT(n->num, s->num);
}

TEST_F(Redefine, SegmentABRedefinedAsCDCarriesAAndBOntoCAndD) {
  object* a = free_point(0, 0);
  object* b = free_point(100, 0);
  name(a, "A");
  name(b, "B");
  object* ab = segment(a, b);
  name(ab, "s");
  object* c = free_point(0, 200);
  object* d = free_point(100, 200);
  object* mid = make(classe_milieu, 1, {ab});

  choose(20, 0, &classe_segment);  // away from the midpoint
  ASSERT_EQ(current_class, &classe_segment);
  click(0, 200);
  click(100, 200);

  EXPECT_FALSE(alive(ab));
  EXPECT_FALSE(alive(a));
  EXPECT_FALSE(alive(b));
  object* cd = mid->parents[0];
  ASSERT_EQ(cd->classe, &classe_segment);
  EXPECT_EQ(text_of(cd), "s");
  EXPECT_EQ(cd->parents[0], c);
  EXPECT_EQ(cd->parents[1], d);
  EXPECT_EQ(text_of(c), "A");  // C had no name: it takes A's
  EXPECT_EQ(text_of(d), "B");
  EXPECT_NEAR(mid->valeurs[0].v, 200, 1e-9);
}

TEST_F(Redefine, AnEndUsedElsewhereStays) {
  object* a = free_point(0, 0);
  object* b = free_point(100, 0);
  object* ab = segment(a, b);
  object* other = segment(a, free_point(0, 100));
  choose(50, 0, &classe_segment);
  click(0, 200);
  click(100, 200);
  EXPECT_FALSE(alive(ab));
  EXPECT_TRUE(alive(a));  // the other segment still uses A
  EXPECT_EQ(other->parents[0], a);
  EXPECT_FALSE(alive(b));
}

TEST_F(Redefine, MergingAPointRemovesTheObjectsMadeIdentical) {
  object* p = free_point(0, 0);
  object* q = free_point(100, 0);
  object* r = free_point(50, 100);
  name(p, "P");
  object* pr = segment(p, r);
  object* qr = segment(q, r);
  object* on_pr = make(classe_milieu, 1, {pr});

  choose(0, 0, nullptr);
  EXPECT_EQ(current_class, &classe_redefine);
  EXPECT_FALSE(redefinition_waiting());
  EXPECT_TRUE(redefine_same);
  click(100, 0);  // the existing point merged into

  EXPECT_TRUE(redefinition_waiting());
  EXPECT_FALSE(alive(p));
  EXPECT_TRUE(alive(q));
  EXPECT_EQ(text_of(q), "");  // a merge keeps the target as it is
  // PR became QR, identical to the older QR: one stays, the midpoint follows.
  // PR became QR, identical to QR: the older one stays and the midpoint
  // built on it follows.
  EXPECT_TRUE(alive(pr));
  EXPECT_FALSE(alive(qr));
  EXPECT_EQ(pr->parents[0], q);
  EXPECT_EQ(on_pr->parents[0], pr);
  // The marks that kept the merge to points are gone.
  for (TYPEOBJ* code = class_method(&classe_redefine, 0)->args; *code; ++code) EXPECT_EQ(*code & ARG_MATCHED, 0);
}

TEST_F(Redefine, TwoObjectsUnderTheCursorAreRefusedWithAMessage) {
  object* a = free_point(100, 100);
  object* b = free_point(101, 100);
  use_tool(&classe_redefine);
  g_choice = &classe_ptsur;
  // Both points are under the cursor and none is preferred.
  objlist_clear(&picked);
  objlist_add(&picked, a, 0);
  objlist_add(&picked, b, 0);
  ambiguous_designation = 0;
  uint16_t method = 0;
  object* designated = nullptr;
  EXPECT_FALSE(redefine_tool_handler(&method, &designated));
  EXPECT_EQ(designated, nullptr);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("two objects", 0), 0u);
  EXPECT_TRUE(redefinition_waiting());
  EXPECT_TRUE(g_offered.empty());
  EXPECT_EQ(redefined_object, nullptr);
}

TEST_F(Redefine, NoChoiceLeavesTheToolWaiting) {
  object* p = free_point(100, 100);
  choose(100, 100, &classe_cercle);  // not offered for a point: the menu answers 0
  EXPECT_EQ(current_class, &classe_redefine);
  EXPECT_TRUE(redefinition_waiting());
  EXPECT_EQ(redefined_object, nullptr);
  EXPECT_TRUE(alive(p));
}

TEST_F(Redefine, LeavingTheNestedToolResetsTheRedefinition) {
  free_point(100, 100);
  choose(100, 100, &classe_ptsur);
  ASSERT_FALSE(redefinition_waiting());
  end_tool_action();
  EXPECT_TRUE(redefinition_waiting());
  EXPECT_EQ(redefined_object, nullptr);
  EXPECT_EQ(suspended_tool_count(), 0);
}

TEST_F(Redefine, ALocusWhoseChainBreaksIsDeleted) {
  object* circle = make(classe_cercle, 1, {free_point(0, 0), free_point(100, 0)});
  use_tool(&classe_point);
  object* driver = click(0, 100);
  ASSERT_EQ(driver->classe, &classe_ptsur);
  object* fixed = free_point(200, 0);
  object* mid = make(classe_milieu, 0, {driver, fixed});
  // As the locus tool builds it: the chain from the driver to the traced point.
  ASSERT_EQ(collect_dependency_chain(driver, mid), 2);
  current_class = &classe_locus;
  variable_nb_values = 0;
  object* locus = create_object(0, nullptr, 1, 1, 1);
  ASSERT_NE(locus, nullptr);
  locus->settings.visible = 0;  // out of the way of the clicks

  rebuild_locus_chains();  // an intact chain stays
  EXPECT_TRUE(alive(locus));
  ASSERT_EQ(locus->nbparents, 2);
  EXPECT_EQ(locus->parents[1], mid);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);

  // The midpoint redefined on the circle no longer depends on the driver.
  choose(static_cast<int>(mid->valeurs[0].h), static_cast<int>(mid->valeurs[0].v), &classe_ptsur);
  ASSERT_EQ(current_class, &classe_ptsur);
  click(60, 80);
  EXPECT_FALSE(alive(mid));
  EXPECT_FALSE(alive(locus));
  EXPECT_TRUE(alive(circle));
}

}  // namespace
