// Macros: the pre-built classes, application, definition from initial and
// final objects, the definition dialog's logic and the tool menus.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../tools/tool_fixture.h"
#include "kernel/files/file_services.h"
#include "kernel/files/macro_text.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_dialog.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/compute_basic.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/text_tool_handlers.h"
#include "kernel/tools/tool_handler.h"
#include "platform/kp_dialog.h"

namespace {

double px(const object* o) { return o->valeurs[0].h; }
double py(const object* o) { return o->valeurs[0].v; }

// The dialog as a script: the texts typed, the conflict answer, and what
// the kernel asked.
struct dialog_script {
  int answer = 1;
  macro_dialog_texts texts;
  int conflict = 2;
  std::vector<std::pair<bool, bool>> conflicts_asked;
  int runs = 0;
};
dialog_script& script() {
  static dialog_script s;
  return s;
}

class MacroTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    init_color_table();
    script() = dialog_script{};
    macro_dialog_services().run = [](macro_dialog_texts* t) {
      ++script().runs;
      *t = script().texts;
      return script().answer;
    };
    macro_dialog_services().ask_conflict = [](bool replace, bool add) {
      script().conflicts_asked.emplace_back(replace, add);
      return script().conflict;
    };
    for (int row : {283, 284, 285, 286, 287, 288, 290}) {
      saved_strings_.emplace_back(row, kernel_strings[row]);
      texts_.push_back("s" + std::to_string(row));
    }
    for (size_t i = 0; i < saved_strings_.size(); ++i)
      kernel_strings[saved_strings_[i].first] = texts_[i].data();
    kernel_strings[288] = base_.data();
    // Point symmetries compute with the transformations; until they are
    // bound, the plain point-about-point case stands in.
    construct_method* sym = class_method(&classe_symetrique, 0);
    if (sym->compute == nullptr) {
      sym->compute = [](object* o) { midpoint_or_symmetric(o, 2); };
      saved_symmetry_ = true;
    }
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest& r) {
      std::string m = r.message;
      while (!m.empty() && m.back() == ' ') m.pop_back();
      messages_.push_back(m);
      return 0;
    });
  }
  void TearDown() override {
    KPDialog::setMessageBoxResponder(nullptr);
    for (auto& [row, text] : saved_strings_) kernel_strings[row] = text;
    macro_dialog_services() = macro_dialog_hooks{};
    validate_macro_password = nullptr;
    // User macros leave the class list before the blocks are counted.
    std::vector<construct_class*> macros;
    for (int i = 0; i < class_list_count(); ++i)
      if (is_macro_class(class_list[i])) macros.push_back(class_list[i]);
    for (construct_class* c : macros) {
      remove_class_from_list(c);
      free_construct_class(c);
    }
    if (saved_symmetry_) class_method(&classe_symetrique, 0)->compute = nullptr;
    ToolTest::TearDown();
  }

  object* apply(construct_class* cls, int method, std::vector<std::pair<object*, uint16_t>> args,
                uint8_t with_styles = 0) {
    current_class = cls;
    objlist_clear(fig_->inputs);
    for (auto& [o, t] : args) objlist_add(fig_->inputs, o, t);
    object* r = apply_macro(static_cast<int16_t>(method), with_styles);
    current_class = nullptr;
    return r;
  }
  std::vector<object*> objects_after(object* mark) {
    std::vector<object*> v;
    for (object* o = mark->next; o != nullptr; o = o->next) v.push_back(o);
    return v;
  }
  construct_class* load(const std::string& text) {
    EXPECT_GT(txt_load_used_macro(text.c_str(), 0), 0) << macro_text_error();
    return class_list[class_list_count() - 1];
  }
  void mark(std::vector<object*> initials, std::vector<object*> finals) {
    objlist_clear(fig_->list3);
    objlist_clear(fig_->list4);
    for (object* o : initials) objlist_add(fig_->list3, o, 0);
    for (object* o : finals) objlist_add(fig_->list4, o, 0);
  }
  construct_class* define(const char* name) {
    script().texts.name = name;
    return define_macro();
  }

  std::vector<std::pair<int, char*>> saved_strings_;
  std::vector<std::string> texts_;
  std::string base_ = "B";
  std::vector<std::string> messages_;
  bool saved_symmetry_ = false;
};

// Two points, their midpoint and the segment from the first one to it.
const char kMid2[] =
    "Mid2, M2\r\nMth: 0\r\nCN:2, ON:2, FN:2, PO:0\r\nCT:\r\n"
    "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\n"
    "Const:\r\n"
    "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n"
    "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n";

TEST_F(MacroTest, CompassFromThreePointsBuildsHiddenStepsAndTheCircle) {
  object* a = point(0, 0);
  object* b = point(30, 40);
  object* c = point(100, 100);
  object* r = apply(optional_classes[0], 0, {{a, 0}, {b, 0}, {c, 0}});
  const std::vector<object*> made = objects_after(c);
  ASSERT_EQ(made.size(), 3u);
  EXPECT_EQ(made[0]->classe, &classe_milieu);
  EXPECT_EQ(made[1]->classe, &classe_symetrique);
  EXPECT_EQ(made[2]->classe, &classe_cercle);
  EXPECT_EQ(made[0]->settings.visible, 0);
  EXPECT_EQ(made[1]->settings.visible, 0);
  EXPECT_NE(made[2]->settings.visible, 0);
  EXPECT_EQ(made[2]->final_no, 1);
  EXPECT_EQ(r, made[2]);
  EXPECT_EQ(made[2]->parents[0], c);
  EXPECT_DOUBLE_EQ(px(made[1]), 130);  // B + C - A
  EXPECT_DOUBLE_EQ(py(made[1]), 140);
  EXPECT_DOUBLE_EQ(std::hypot(px(made[1]) - px(c), py(made[1]) - py(c)), 50);
  EXPECT_EQ(made[2]->macro->im_class, optional_classes[0]);
}

TEST_F(MacroTest, VectorSumGivesTheEndPointAndTheVector) {
  object* u = make2(&classe_vecteur, 0, point(0, 0), point(10, 0));
  object* v = make2(&classe_vecteur, 0, point(0, 0), point(0, 7));
  object* p = point(3, 4);
  object* r = apply(optional_classes[1], 0, {{u, 0}, {v, 0}, {p, 0}});
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->classe, &classe_vecteur);
  EXPECT_EQ(r->final_no, 2);
  object* end = r->parents[1];
  EXPECT_EQ(r->parents[0], p);
  EXPECT_EQ(end->final_no, 1);
  EXPECT_DOUBLE_EQ(px(end), 13);
  EXPECT_DOUBLE_EQ(py(end), 11);
}

TEST_F(MacroTest, PrebuiltClassesInstallOnceAndTheirStepsNameEarlierObjects) {
  const int before = class_list_count();
  const int blocks = kernel_live_blocks();
  ASSERT_TRUE(install_optional_class(4, 0));
  ASSERT_TRUE(install_optional_class(4, 0));
  EXPECT_EQ(class_list_count(), before + 1);
  EXPECT_EQ(class_method_count(optional_classes[4]), 1);
  EXPECT_TRUE(install_optional_class(0, 0));
  EXPECT_EQ(class_method_count(optional_classes[0]), 3);
  for (int i = 2; i < kOptionalClassCount; ++i) ASSERT_TRUE(install_optional_class(i, 0));
  baseline_ += kernel_live_blocks() - blocks;  // their method lists live with the class list
  for (construct_class* cls : optional_classes) {
    ASSERT_GT(class_method_count(cls), 0);
    EXPECT_FALSE(is_macro_class(cls));
    for (int m = 0; m < class_method_count(cls); ++m) {
      const construct_method* method = cls->methods[m];
      const macro_def* def = method->def;
      int n = 0, p = 0;
      while (method->args[n] != 0) p += def->macro_def_info[1 + n++] + 1;
      EXPECT_GE(def->macro_def_info[n + 1], 0);
      EXPECT_LT(def->macro_def_info[n + 1], def->macro_def_info[0]);
      for (int i = 0; i < def->macro_def_info[0]; ++i) {
        const macro_object& s = def->macro_def_objects[i];
        for (int k = 0; k < s.mo_nb_parents; ++k) {
          EXPECT_GE(s.mo_parents[k], 1u);
          EXPECT_LE(s.mo_parents[k], static_cast<uint32_t>(p + i)) << cls->name << " step " << i;
        }
        for (int k = 0; k < s.mo_nb_text_refs; ++k)
          EXPECT_LE(s.mo_text_refs[k], static_cast<uint32_t>(p + i)) << cls->name << " text " << i;
      }
      EXPECT_EQ(def->macro_def_objects[def->macro_def_info[n + 1]].mo_final, 1);
      EXPECT_TRUE(macro_method_equal(method, method));
    }
  }
  // The organizer and a redefinition never free them.
  free_construct_class(optional_classes[4]);
  EXPECT_EQ(class_method_count(optional_classes[4]), 1);
}

TEST_F(MacroTest, AnIdenticalResultIsReusedAndTheFinalCountStillAdvances) {
  construct_class* mid2 = load(kMid2);
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* m = make2(&classe_milieu, 0, a, b);
  const int live = kernel_live_blocks();
  object* r = apply(mid2, 0, {{a, 0}, {b, 0}});
  EXPECT_EQ(r, nullptr);  // the main result existed: it is reused, not the instance's
  const std::vector<object*> made = objects_after(m);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->classe, &classe_segment);
  EXPECT_EQ(made[0]->final_no, 2);
  EXPECT_EQ(made[0]->parents[1], m);
  EXPECT_EQ(m->macro, nullptr);
  // Applying again builds nothing and keeps no record.
  const int after_first = kernel_live_blocks();
  EXPECT_GT(after_first, live);
  apply(mid2, 0, {{a, 0}, {b, 0}});
  EXPECT_EQ(kernel_live_blocks(), after_first);
}

TEST_F(MacroTest, InitialStylesComeFromTheDefinitionOnlyWhenAsked) {
  std::string text = kMid2;
  const std::string plain = "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\nConst";
  text.replace(text.find(plain), plain.size() - 5,
               "point, CS 0, color:Blue, thick, \r\npoint, CS 0, default settings, \r\n");
  construct_class* mid2 = load(text);
  object* a = point(0, 0);
  object* b = point(10, 0);
  const uint32_t colour = a->settings.Color;
  const uint32_t styled = mid2->methods[0]->def->macro_def_styles[0].Color;
  ASSERT_NE(colour, styled);
  apply(mid2, 0, {{a, 0}, {b, 0}}, 0);
  EXPECT_EQ(a->settings.Color, colour);
  object* c = point(0, 5);
  object* d = point(10, 5);
  apply(mid2, 0, {{c, 0}, {d, 0}}, 1);
  EXPECT_EQ(c->settings.Color, styled);
  EXPECT_EQ(c->settings.thickness, 2);
  EXPECT_EQ(d->settings.Color, colour);
}

TEST_F(MacroTest, APolygonPickedByItsSecondSideStartsAtTheSecondVertex) {
  construct_class* side = load(
      "Side, S\r\nMth: 0\r\nCN:1, ON:1, FN:1, PO:0\r\nCT:\r\nsegment, CS 2, default settings, \r\n"
      "Const:\r\nMid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n");
  object* p0 = point(0, 0);
  object* p1 = point(10, 0);
  object* p2 = point(10, 10);
  object* p3 = point(0, 10);
  current_class = &classe_polygone;
  objlist_clear(fig_->inputs);
  for (object* p : {p0, p1, p2, p3, p0}) objlist_add(fig_->inputs, p, 0);
  variable_nb_values = 6;
  uint16_t created = 0;
  object* poly = create_object(0, &created, 1, 1, 0);
  objlist_clear(fig_->inputs);
  ASSERT_NE(poly, nullptr);
  object* mid = apply(side, 0, {{poly, 1}});
  ASSERT_NE(mid, nullptr);
  EXPECT_EQ(mid->parents[0], poly->parents[1]);
  EXPECT_EQ(mid->parents[1], poly->parents[2]);
  EXPECT_EQ(mid->macro->im_tags[0], 1);
}

TEST_F(MacroTest, NumbersOutsideTheInstanceEndTheApplicationWithAMessage) {
  std::string text = kMid2;
  text.replace(text.find("Const: 1 3"), 10, "Const: 1 3");
  construct_class* mid2 = load(text);
  // A step naming a later step cannot come from the reader; damage it here.
  mid2->methods[0]->def->macro_def_objects[0].mo_parents[1] = 7;
  object* a = point(0, 0);
  object* b = point(10, 0);
  const int live = kernel_live_blocks();
  EXPECT_EQ(apply(mid2, 0, {{a, 0}, {b, 0}}, 1), nullptr);
  EXPECT_EQ(fig_->last_hint, b);
  EXPECT_EQ(kernel_live_blocks(), live);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], kMacroOutsideNumbering);
  EXPECT_EQ(macro_application_refused, 1);
  // A reader is told through the flag, without a message box.
  EXPECT_EQ(apply(mid2, 0, {{a, 0}, {b, 0}}, 0), nullptr);
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_EQ(macro_application_refused, 1);
  // Too few arguments shift the numbering: refused the same way.
  mid2->methods[0]->def->macro_def_objects[0].mo_parents[1] = 2;
  EXPECT_EQ(apply(mid2, 0, {{a, 0}}, 1), nullptr);
  EXPECT_EQ(fig_->last_hint, b);
  EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(MacroTest, RemovingAMethodLowersTheLaterMethodsOfThatMacroOnly) {
  construct_class* mine = load(kMid2);
  construct_class* other = load(std::string("Other") + (kMid2 + 4));
  std::vector<infomacro*> records;
  auto instance = [&](construct_class* cls, uint16_t method) {
    object* o = point(0, 0);
    o->macro = alloc_block<infomacro>();
    o->macro->im_class = cls;
    o->macro->im_method = method;
    records.push_back(o->macro);
  };
  instance(mine, 1);
  instance(mine, 3);
  instance(mine, 4);
  instance(other, 3);
  shift_method_indices_in_figures(mine, 2);
  EXPECT_EQ(records[0]->im_method, 1);
  EXPECT_EQ(records[1]->im_method, 2);
  EXPECT_EQ(records[2]->im_method, 3);
  EXPECT_EQ(records[3]->im_method, 3);
  EXPECT_TRUE(class_used_in_figures(other));
  EXPECT_FALSE(class_unused_in_figures(mine));
}

TEST_F(MacroTest, APasswordAcceptedOnceUnlocksEveryMacroSharingIt) {
  construct_class* one = load("Password:pw\r\n" + std::string(kMid2));
  construct_class* two = load("Password:pw\r\nTwo" + std::string(kMid2 + 4));
  construct_class* three = load("Password:other\r\nThree" + std::string(kMid2 + 4));
  ASSERT_STREQ(macro_password(one), "pw");
  static int asked;
  static bool accept;
  asked = 0;
  accept = true;
  validate_macro_password = [](const char*) {
    ++asked;
    return accept;
  };
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* hidden = point(5, 5);
  hidden->final_no = 0;
  hidden->macro = alloc_block<infomacro>();
  hidden->macro->im_class = one;
  EXPECT_TRUE(macro_object_may_show(hidden));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(macro_password_state(two), 2);
  EXPECT_EQ(macro_password_state(three), 0);
  hidden->macro->im_class = two;
  EXPECT_TRUE(macro_object_may_show(hidden));
  EXPECT_EQ(asked, 1);
  accept = false;
  hidden->macro->im_class = three;
  EXPECT_FALSE(macro_object_may_show(hidden));
  EXPECT_FALSE(macro_object_may_show(hidden));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(macro_password_state(three), 1);
  (void)a;
  (void)b;
}

// ---- Definition

TEST_F(MacroTest, DefinitionRebuildsTheConstructionInAnotherFigure) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* m = make2(&classe_milieu, 0, a, b);
  object* n = make2(&classe_symetrique, 0, a, b);
  object* seg = make2(&classe_segment, 0, m, n);
  mark({a, b}, {seg});
  script().texts.option = true;
  script().texts.short_name = "Sp";
  construct_class* cls = define("Span");
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(script().runs, 1);
  EXPECT_TRUE(macro_asks_save(cls->methods[0]->def));
  EXPECT_STREQ(cls->short_name, "\x01Sp");
  EXPECT_TRUE(is_macro_class(cls));
  EXPECT_EQ(objlist_count(fig_->list3), 0);
  EXPECT_EQ(objlist_count(fig_->list4), 0);
  const macro_def* def = cls->methods[0]->def;
  ASSERT_EQ(def->macro_def_info[0], 3);
  // The segment's end points are intermediates: they become finals.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(def->macro_def_objects[i].mo_final, 1) << i;
  EXPECT_EQ(def->macro_def_info[3], 2);
  EXPECT_EQ(cls->methods[0]->args[0], TYPE_POINT);
  EXPECT_STREQ(cls->help_text, kernel_string(289));
  EXPECT_EQ(find_tool_id_by_name("Span") >> 16, 134u);

  object* c = point(0, 20);
  object* d = point(4, 20);
  object* r = apply(cls, 0, {{c, 0}, {d, 0}}, 1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->classe, &classe_segment);
  EXPECT_DOUBLE_EQ(px(r->parents[0]), 2);
  EXPECT_DOUBLE_EQ(px(r->parents[1]), 8);
}

TEST_F(MacroTest, DefinitionRefusals) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* free_point = point(50, 50);
  (void)free_point;
  object* seg = make2(&classe_segment, 0, a, b);
  object* late = point(60, 60);
  object* needs_free = make2(&classe_segment, 0, a, late);

  mark({a, b}, {a});  // a final that is an initial object goes
  EXPECT_EQ(define("X"), nullptr);
  EXPECT_EQ(messages_.back(), "s285");
  EXPECT_EQ(objlist_count(fig_->list4), 0);

  mark({seg}, {b});  // a defining point of an initial object goes too
  EXPECT_EQ(define("X"), nullptr);
  EXPECT_EQ(messages_.back(), "s285");

  mark({a}, {needs_free});
  EXPECT_EQ(define("X"), nullptr);
  EXPECT_EQ(messages_.back(), "s286");
  EXPECT_EQ(objlist_count(fig_->list4), 1);  // a refusal leaves the lists

  mark({a}, {});
  EXPECT_EQ(define("X"), nullptr);
  EXPECT_EQ(messages_.back(), "s284");
  mark({}, {seg});
  EXPECT_EQ(define("X"), nullptr);
  EXPECT_EQ(messages_.back(), "s283");

  object* axes = fig_->cur2;
  object* grid = make(&classe_grid, 0, {{axes, 0}});
  ASSERT_NE(grid, nullptr);
  mark({axes}, {grid});  // a grid never depends on the initial objects
  EXPECT_EQ(define("X"), nullptr);
  EXPECT_EQ(messages_.back(), "s286");
  EXPECT_EQ(script().runs, 0);
  for (object* o = fig_->first; o != nullptr; o = o->next)
    EXPECT_EQ(o->state & (OBJ_MACRO_NEEDED | OBJ_MACRO_DEPENDS), 0u);
}

TEST_F(MacroTest, IntersectionStepsRecordTheTwoObjects) {
  object* a = point(0, 0);
  object* b = point(10, 10);
  object* c = point(0, 10);
  object* d = point(10, 0);
  object* l1 = make2(&classe_droite, 1, a, b);
  object* l2 = make2(&classe_droite, 1, c, d);
  ASSERT_NE(l1, nullptr);
  current_class = &classe_interset;
  objlist_clear(fig_->inputs);
  object* set = get_intersection_set(l1, l2, nullptr);
  ASSERT_NE(set, nullptr);
  object* last = fig_->last_hint;
  current_class = &classe_ptint;
  objlist_clear(fig_->inputs);
  objlist_add(fig_->inputs, set, 0);
  uint16_t created = 0;
  object* x = create_object(0, &created, 1, 1, 0);
  ASSERT_NE(x, last);
  objlist_clear(fig_->inputs);
  mark({a, b, c, d}, {x});
  construct_class* cls = define("Cross");
  ASSERT_NE(cls, nullptr);
  const macro_def* def = cls->methods[0]->def;
  ASSERT_EQ(def->macro_def_info[0], 3);
  const macro_object& step = def->macro_def_objects[2];
  EXPECT_EQ(step.mo_class, &classe_ptint);
  ASSERT_EQ(step.mo_nb_parents, 2);
  EXPECT_EQ(step.mo_parents[0], 5u);
  EXPECT_EQ(step.mo_parents[1], 6u);
}

// An intersection step with a third object takes the other root when its
// own lands on that object.
TEST_F(MacroTest, AnIntersectionStepAvoidsItsThirdObject) {
  object* a = point(-10, 0);
  object* b = point(10, 0);
  object* c = point(0, 0);
  object* e = point(0, 5);
  object* d = point(100, 100);
  object* line = make2(&classe_droite, 1, a, b);
  object* circle = make2(&classe_cercle, 1, c, e);
  ASSERT_NE(circle, nullptr);
  current_class = &classe_interset;
  objlist_clear(fig_->inputs);
  object* set = get_intersection_set(line, circle, nullptr);
  ASSERT_NE(set, nullptr);
  current_class = &classe_ptint;
  objlist_clear(fig_->inputs);
  objlist_add(fig_->inputs, set, 0);
  uint16_t created = 0;
  object* x = create_object(0, &created, 1, 1, 0);
  ASSERT_NE(x, nullptr);
  add_intersection_record(set, 0, &x->valeurs[0], x);
  recompute_object(set);
  objlist_clear(fig_->inputs);
  mark({a, b, c, e, d}, {x});
  construct_class* cls = define("Other");
  ASSERT_NE(cls, nullptr);
  macro_def* def = cls->methods[0]->def;
  macro_object* step = nullptr;
  for (int i = 0; i < def->macro_def_info[0]; ++i)
    if (def->macro_def_objects[i].mo_class == &classe_ptint) step = &def->macro_def_objects[i];
  ASSERT_NE(step, nullptr);
  ASSERT_EQ(step->mo_nb_parents, 2);
  // The step names the fifth initial object as the point not to be.
  uint32_t* parents = alloc_block<uint32_t>(3);
  ASSERT_NE(parents, nullptr);
  parents[0] = step->mo_parents[0];
  parents[1] = step->mo_parents[1];
  parents[2] = 5;
  GlobalFreeAndNull(&step->mo_parents);
  step->mo_parents = parents;
  step->mo_nb_parents = 3;

  // A figure of its own: the line y = 0 crosses the circle of radius 5 at
  // (-5, 0) and (5, 0); the object not to be stands on each in turn.
  for (double at : {-5.0, 5.0}) {
    object* a2 = point(-20, 200);
    object* b2 = point(20, 200);
    object* c2 = point(0, 200);
    object* e2 = point(0, 205);
    object* d2 = point(at, 200);
    object* r = apply(cls, 0, {{a2, 0}, {b2, 0}, {c2, 0}, {e2, 0}, {d2, 0}});
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->classe, &classe_ptint);
    EXPECT_NEAR(px(r), -at, 1e-9) << "the point lands on the object it must not be";
    EXPECT_NEAR(py(r), 200, 1e-9);
  }
}

TEST_F(MacroTest, RedefiningAnUnusedMacroPutsTheNewMethodFirst) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* m = make2(&classe_milieu, 0, a, b);
  mark({a, b}, {m});
  construct_class* cls = define("Half");
  ASSERT_NE(cls, nullptr);
  object* seg = make2(&classe_segment, 0, a, b);
  object* m2 = make(&classe_milieu, 1, {{seg, 0}});
  mark({seg}, {m2});
  script().conflict = kConflictAddMethod;
  EXPECT_EQ(define("Half"), cls);
  ASSERT_EQ(script().conflicts_asked.size(), 1u);
  EXPECT_EQ(script().conflicts_asked[0], std::make_pair(true, true));
  ASSERT_EQ(class_method_count(cls), 2);
  EXPECT_EQ(cls->methods[0]->args[0], ARG_STRAIGHT_BOUNDED);
  EXPECT_EQ(cls->methods[1]->args[0], TYPE_POINT);
}

TEST_F(MacroTest, ConflictButtonsFollowTheFiguresUse) {
  construct_class* half = load(kMid2);
  int16_t codes[] = {TYPE_POINT, TYPE_POINT, 0};
  macro_new_arguments = reinterpret_cast<TYPEOBJ*>(codes);
  EXPECT_EQ(find_conflicting_macro_method(half), 0);
  object* a = point(0, 0);
  object* b = point(10, 0);
  apply(half, 0, {{a, 0}, {b, 0}});
  EXPECT_EQ(find_conflicting_macro_method(half), -1);
  ask_macro_name_conflict(half);
  EXPECT_EQ(script().conflicts_asked.back(), std::make_pair(false, false));
  int16_t other[] = {TYPE_CIRCLE, 0};
  macro_new_arguments = reinterpret_cast<TYPEOBJ*>(other);
  EXPECT_EQ(find_conflicting_macro_method(half), -2);
  ask_macro_name_conflict(half);
  EXPECT_EQ(script().conflicts_asked.back(), std::make_pair(false, true));
  macro_new_arguments = nullptr;
}

TEST_F(MacroTest, ProposedNamesAndTheIconEditor) {
  EXPECT_EQ(proposed_macro_name(), "B");
  load("B1" + std::string(kMid2 + 4));
  load("B" + std::string(kMid2 + 4));
  EXPECT_EQ(proposed_macro_name(), "B2");

  init_macro_icon(macro_working_icon, nullptr);
  EXPECT_TRUE(is_default_icon(macro_working_icon));
  EXPECT_EQ(icon_pixel_get(2, 2, 16), 15);  // the letter is black
  macro_pen_color = 15;
  // A press on a pixel of the pen colour erases for the whole stroke.
  EXPECT_TRUE(macro_icon_editor_mouse(513, 2 * 5 + 1, 2 * 5 + 1, 16));
  EXPECT_EQ(icon_pixel_get(2, 2, 16), 0);
  EXPECT_TRUE(macro_icon_editor_mouse(512, 3 * 5 + 1, 2 * 5 + 1, 16));
  EXPECT_EQ(icon_pixel_get(3, 2, 16), 0);
  EXPECT_FALSE(macro_icon_editor_mouse(512, 4 * 5 + 1, 2 * 5 + 1, 16));  // white stays white
  macro_icon_editor_mouse(514, 0, 0, 16);
  EXPECT_FALSE(macro_icon_editor_mouse(512, 1, 1, 16));  // no stroke after the release
  EXPECT_TRUE(macro_icon_editor_mouse(513, 1, 1, 16));   // a white pixel takes the pen
  EXPECT_EQ(icon_pixel_get(0, 0, 16), 15);
  EXPECT_FALSE(macro_icon_editor_mouse(513, 16 * 5 + 1, 1, 16));  // outside the grid
  erase_macro_icon();
  for (uint8_t v : macro_working_icon) EXPECT_EQ(v, 0);
}

TEST_F(MacroTest, TheIconOrganizerKeepsMacrosInUse) {
  construct_class* used = load(kMid2);
  construct_class* unused = load("Spare" + std::string(kMid2 + 4));
  ASSERT_NE(trash_toolbox, nullptr);
  for (construct_class* c : {used, unused, optional_classes[0]})
    add_tool_to_toolbox(trash_toolbox, c->icon, c->name, -1, 0);
  apply(used, 0, {{point(0, 0), 0}, {point(10, 0), 0}});
  current_class = unused;  // the tool in hand goes back to the pointer
  icon_organizer_command();
  EXPECT_EQ(current_class, nullptr);
  EXPECT_EQ(find_class_by_name("Spare", 0), nullptr);
  EXPECT_EQ(find_class_by_name("Mid2", 0), used);
  ASSERT_EQ(menu_entry_count(trash_toolbox), 2);
  EXPECT_STREQ(trash_toolbox->names[1], "Mid2");
  EXPECT_STREQ(trash_toolbox->names[2], optional_classes[0]->name);
}

TEST_F(MacroTest, TheFirstMacroWithoutAMacroGroupGetsANewGroup) {
  menu* macros = find_tool_menu(134);
  ASSERT_NE(macros, nullptr);
  while (menu_entry_count(macros) > 0) remove_toolbox_tool_at(macros, 1);
  int16_t last = 0;
  for (int g = 0; tool_menus[g] != nullptr; ++g) last = tool_menus[g]->id;
  construct_class* cls = load(kMid2);
  add_class_to_tools_menu(cls);
  EXPECT_EQ(find_tool_id_by_name("Mid2") >> 16, static_cast<uint32_t>(last + 1));
  // The next one joins it.
  construct_class* next = load("Next" + std::string(kMid2 + 4));
  add_class_to_tools_menu(next);
  EXPECT_EQ(find_tool_id_by_name("Next") >> 16, static_cast<uint32_t>(last + 1));
}

}  // namespace

namespace {

TEST_F(MacroTest, AStepThatCannotBeBuiltEndsTheApplicationWithWhatWasBuiltComputed) {
  // A step with no class to build it by stops the application there.
  construct_class* broken = load(std::string("Broken") + (kMid2 + 4));
  broken->methods[0]->def->macro_def_objects[1].mo_class = nullptr;
  object* a = point(0, 0);
  object* b = point(10, 4);
  object* r = apply(broken, 0, {{a, 0}, {b, 0}});
  const std::vector<object*> made = objects_after(b);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(r, made[0]);
  EXPECT_DOUBLE_EQ(px(made[0]), 5);
  EXPECT_DOUBLE_EQ(py(made[0]), 2);
  EXPECT_NE(made[0]->macro, nullptr);
  // With nothing built before the failing step, no record is kept (the
  // fixture counts the blocks).
  broken->methods[0]->def->macro_def_objects[0].mo_class = nullptr;
  broken->methods[0]->def->macro_def_objects[1].mo_class = &classe_segment;
  const int live = kernel_live_blocks();
  EXPECT_EQ(apply(broken, 0, {{a, 0}, {b, 0}}), nullptr);
  EXPECT_EQ(kernel_live_blocks(), live);
  EXPECT_EQ(fig_->last_hint, made[0]);
}

TEST_F(MacroTest, AMacroCannotBeAStepOfAMacro) {
  load(kMid2);
  std::string text = std::string("Outer") + (kMid2 + 4);
  text.replace(text.find("Mid, Mth:0"), 10, "\x01M2, Mth:0");
  EXPECT_LT(txt_load_used_macro(text.c_str(), 0), 0);
  text.replace(text.find("\x01M2, Mth:0"), 10, "M2, Mth:0");
  EXPECT_LT(txt_load_used_macro(text.c_str(), 0), 0);
}

TEST_F(MacroTest, RatioAndTheExpressionPlotBuildTheirSteps) {
  const int blocks = kernel_live_blocks();
  ASSERT_TRUE(install_optional_class(4, 0));
  baseline_ += kernel_live_blocks() - blocks;
  object* s1 = make2(&classe_segment, 0, point(0, 0), point(30, 40));
  object* s2 = make2(&classe_segment, 0, point(0, 0), point(10, 0));
  apply(optional_classes[4], 0, {{s1, 0}, {s2, 0}});
  const std::vector<object*> made = objects_after(s2);
  ASSERT_EQ(made.size(), 4u);
  EXPECT_EQ(made[0]->classe, &classe_length);
  EXPECT_EQ(made[2]->classe, &classe_calculate);
  EXPECT_EQ(made[3]->classe, &classe_text);
  EXPECT_EQ(made[2]->final_no, 1);
  EXPECT_EQ(made[3]->final_no, 2);
  ASSERT_NE(made[3]->inserted, nullptr);
  EXPECT_EQ(made[3]->inserted->obj, made[2]);
  // The ratio lives in the text: drawn and picked with it only.
  EXPECT_EQ(made[2]->aux2 & 6, 6u);
  EXPECT_EQ(made[3]->aux2 & 2, 0u);
  EXPECT_NE(std::string(made[3]->te->text).find('$'), std::string::npos);

  object* axes = fig_->cur2;
  object* expression = make(&classe_exp_num, 0, {});
  ASSERT_NE(expression, nullptr);
  object* last = fig_->last_hint;
  current_class = &classe_exp_num_app;
  objlist_clear(fig_->inputs);
  objlist_add(fig_->inputs, axes, 0);
  objlist_add(fig_->inputs, expression, 0);
  object* plot = prepare_macro_application();
  current_class = nullptr;
  const std::vector<object*> steps = objects_after(last);
  ASSERT_GE(steps.size(), 8u);
  EXPECT_EQ(plot, steps.back());
  EXPECT_EQ(plot->classe, &classe_locus);
  EXPECT_EQ(plot->final_no, 1);
  EXPECT_EQ(steps[0]->classe, &classe_ptsur);
  EXPECT_EQ(steps[2]->classe, &classe_exp_num_app);
}

}  // namespace

namespace {

// Found by fuzzing: a macro file's bytes need not end with a NUL, and a
// point declared with defining points shifts the instance numbering.
TEST_F(MacroTest, MacroFilesAreReadWithinTheirBytesAndBadCountsRefuseTheApplication) {
  const std::string file = std::string("Macro Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n") + kMid2;
  const std::vector<char> bytes(file.begin(), file.end() - 2);  // no NUL, cut inside the last line
  txt_read_macro_file(bytes.data(), static_cast<uint32_t>(bytes.size()));

  std::string shifted = std::string("Shifted") + (kMid2 + 4);
  shifted.replace(shifted.find("point, CS 0"), 11, "point, CS 4");
  construct_class* cls = load(shifted);
  object* a = point(0, 0);
  object* b = point(10, 0);
  EXPECT_EQ(apply(cls, 0, {{a, 0}, {b, 0}}, 1), nullptr);
  EXPECT_EQ(fig_->last_hint, b);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], kMacroOutsideNumbering);
}

}  // namespace

namespace {

std::vector<kelvo_win_info*>& open_figures() {
  static std::vector<kelvo_win_info*> figures;
  return figures;
}

TEST_F(MacroTest, WalksReachEveryOpenFigure) {
  construct_class* mine = load(kMid2);
  construct_class* other = load(std::string("Other") + (kMid2 + 4));
  kelvo_win_info* first = fig_;
  object* a = point(0, 0);
  object* b = point(10, 0);
  apply(mine, 0, {{a, 0}, {b, 0}});
  new_figure_info();
  kelvo_win_info* second = KPGeoDocument::currentInfo();
  fig_ = second;
  object* c = point(0, 0);
  object* d = point(10, 0);
  apply(other, 0, {{c, 0}, {d, 0}});
  object* built = d->next;
  ASSERT_NE(built, nullptr);
  built->macro->im_method = 3;
  fig_ = first;
  KPGeoDocument::setCurrentInfo(first);
  open_figures() = {first, second};
  file_services services;
  services.enum_figure_windows = [](bool (*visit)(HWND, kelvo_win_info*, void*), void* context) {
    for (kelvo_win_info* f : open_figures())
      if (!visit(nullptr, f, context)) return;
  };
  install_file_services(services);
  EXPECT_TRUE(class_used_in_figures(other));
  EXPECT_FALSE(class_unused_in_figures(mine));
  shift_method_indices_in_figures(other, 2);
  EXPECT_EQ(built->macro->im_method, 2);
  shift_method_indices_in_figures(mine, 2);
  ASSERT_NE(b->next->macro, nullptr);
  EXPECT_EQ(b->next->macro->im_method, 0);
  install_file_services(file_services{});
  // The second figure closes: the other macro is no longer used.
  KPGeoDocument::setCurrentInfo(second);
  kelvo_win_info* copy = second->undo;
  free_figure_info(second, false);
  free_figure_info(copy, false);
  KPGeoDocument::setCurrentInfo(first);
  EXPECT_FALSE(class_used_in_figures(other));
}

}  // namespace

namespace {

TEST_F(MacroTest, AReplacedMacroReturnsToItsGroupWithItsNewIcon) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* m = make2(&classe_milieu, 0, a, b);
  mark({a, b}, {m});
  construct_class* first = define("Half");
  ASSERT_NE(first, nullptr);
  // Moved by the user to another group.
  const uint32_t id = find_tool_id_by_name("Half");
  remove_toolbox_tool_at(find_tool_menu(static_cast<int16_t>(id >> 16)), static_cast<int16_t>(id & 0xFFFF));
  add_tool_from_descriptor(131, first, 0);
  object* m2 = make2(&classe_milieu, 0, b, a);
  mark({b, a}, {m2});
  script().conflict = kConflictReplace;
  construct_class* second = define("Half");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(class_method_count(second), 1);
  EXPECT_EQ(find_tool_id_by_name("Half") >> 16, 131u);
  EXPECT_EQ(find_tool_menu(131)->icons[0], second->icon);
  int named = 0;
  for (int g = 0; tool_menus[g] != nullptr; ++g)
    for (int i = 1; i <= menu_entry_count(tool_menus[g]); ++i) named += std::strcmp(tool_menus[g]->names[i], "Half") == 0;
  EXPECT_EQ(named, 1);
}

}  // namespace

namespace {

TEST_F(MacroTest, APointOnAnObjectLandsOnItsCarrier) {
  construct_class* cls = load(std::string("OnSeg") + (kMid2 + 4));
  macro_object* steps = cls->methods[0]->def->macro_def_objects;
  steps[0].mo_class = &classe_segment;
  steps[0].mo_nb_values = 2;
  steps[1].mo_class = &classe_ptsur;
  steps[1].mo_method = 1;
  steps[1].mo_nb_parents = 1;
  steps[1].mo_parents[0] = 3;
  steps[1].mo_nb_values = 2;
  object* a = point(0, 0);
  object* b = point(10, 0);
  apply(cls, 0, {{a, 0}, {b, 0}});
  object* on = b->next->next;
  ASSERT_NE(on, nullptr);
  ASSERT_EQ(on->classe, &classe_ptsur);
  EXPECT_EQ(on->state & OBJ_UNDEFINED, 0u);
  EXPECT_DOUBLE_EQ(py(on), 0);
  EXPECT_GE(px(on), 0);
  EXPECT_LE(px(on), 10);
}

}  // namespace

namespace {

TEST_F(MacroTest, OptionBindsArgumentsThatLaterClicksReuseUntilAnEmptyOptionClick) {
  construct_class* cls = load(kMid2);
  ASSERT_EQ(cls->select, macro_tool_handler);
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* c = point(0, 20);
  current_class = cls;
  objlist_clear(fig_->inputs);
  auto click = [&](object* o) {
    objlist_clear(&picked);
    if (o) objlist_add(&picked, o, 0);
    uint16_t method = 0;
    object* designated = nullptr;
    const bool done = cls->select(&method, &designated);
    objlist_clear(&picked);
    return done;
  };
  auto start_again = [&] {
    reset_class_type_marks(cls);
    clear_object_flags(OBJ_CHOSEN);
    objlist_clear(fig_->inputs);
  };
  constexpr uint32_t kOption = 1u << 8;
  services_seen().modifiers = kOption;
  EXPECT_FALSE(click(a));
  auto* bound = static_cast<binding_entry*>(cls->methods[0]->figdata);
  ASSERT_NE(bound, nullptr);
  EXPECT_EQ(bound[0].obj, a);
  start_again();

  // Without Option one click is enough: the bound point fills the code
  // left open.
  services_seen().modifiers = 0;
  EXPECT_TRUE(click(b));
  ASSERT_EQ(objlist_count(fig_->inputs), 2);
  EXPECT_EQ(fig_->inputs->items[0], b);
  EXPECT_EQ(fig_->inputs->items[1], a);
  start_again();

  services_seen().modifiers = kOption;
  EXPECT_FALSE(click(nullptr));
  EXPECT_EQ(bound[0].obj, nullptr);
  services_seen().modifiers = 0;
  EXPECT_FALSE(click(c));
  EXPECT_EQ(objlist_count(fig_->inputs), 1);
  start_again();
  current_class = nullptr;
}

}  // namespace
