// Creation, slotting of parents, numbering and identical constructions.
#include <QAction>
#include <gtest/gtest.h>

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/model/engine_fixture.h"
#include "kernel/files/file_state.h"
#include "kernel/model/object_store.h"
#include "kernel/model/units.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/text/text_record.h"
#include "platform/kp_menu.h"

namespace {

using CreateTest = EngineTest;

TEST_F(CreateTest, FreshFigureHoldsHiddenOriginAndAxes) {
  ASSERT_EQ(create_default_objects(), 0);
  ASSERT_EQ(fig_->nbobj, 2u);
  object* origin = find_object_by_number(1);
  object* axes = find_object_by_number(2);
  ASSERT_NE(origin, nullptr);
  ASSERT_NE(axes, nullptr);
  EXPECT_EQ(origin->classe, &classe_point);
  EXPECT_EQ(axes->classe, &classe_axe);
  EXPECT_EQ(axes->parents[0], origin);
  EXPECT_EQ(origin->settings.visible, 0);
  EXPECT_EQ(axes->settings.visible, 0);
  EXPECT_EQ(origin->state & OBJ_NEW, 0u);
  EXPECT_EQ(axes->state & OBJ_NEW, 0u);
  EXPECT_EQ(fig_->cur2, axes);
  EXPECT_EQ(axes->valeurs[1].h, pixels_per_unit);
  EXPECT_EQ(axes->valeurs[2].v, -pixels_per_unit);
  EXPECT_EQ(current_class, nullptr);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
  EXPECT_EQ(find_unique_axes(), nullptr);  // the default axes are hidden
}

TEST_F(CreateTest, AFreshFigureGivesTheChosenToolItsClassAndAttributesBack) {
  // A new figure made while the point tool is chosen: its next point still
  // takes the tool's shape, not the axes' record the origin borrowed.
  current_class = &classe_point;
  current_default_attrs = &default_attrs[ATTRS_POINT];
  ASSERT_EQ(create_default_objects(), 0);
  EXPECT_EQ(current_class, &classe_point);
  EXPECT_EQ(current_default_attrs, &default_attrs[ATTRS_POINT]);
  current_class = nullptr;
  current_default_attrs = nullptr;
}

TEST_F(CreateTest, PicksAreSlottedByArgumentType) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* c = point(5, 5);
  object* seg = make2(&classe_segment, 0, a, b);
  object* perp = make(&classe_perpendiculaire, 0, {{seg, 0}, {c, 0}});
  ASSERT_NE(perp, nullptr);
  EXPECT_EQ(perp->parents[0], c);
  EXPECT_EQ(perp->parents[1], seg);
  EXPECT_EQ(perp->settings.smartline_length[0], -1.0);

  // The side of a triangle picked for a parallel goes into `index`.
  object* tri = make(&classe_triangle, 0, {{a, 0}, {b, 0}, {c, 0}});
  object* par = make(&classe_parallele, 0, {{tri, 2}, {c, 0}});
  EXPECT_EQ(par->parents[0], c);
  EXPECT_EQ(par->parents[1], tri);
  EXPECT_EQ(par->math.side.index, 2);
  EXPECT_EQ(pack_object_side_info(par), 2u << 16);
  EXPECT_EQ(pack_parent_side_info(&classe_parallele, par->math.bitsfield, tri, 1), 2u);
}

TEST_F(CreateTest, AxesPickContributesWhichAxis) {
  ASSERT_EQ(create_default_objects(), 0);
  object* axes = find_object_by_number(2);
  object* p = point(3, 3);
  for (auto [tag, expected] : {std::pair{1, 1}, {3, 1}, {2, 2}, {4, 2}}) {
    object* len = make(&classe_length, 1, {{p, 0}, {axes, static_cast<uint16_t>(tag)}});
    ASSERT_NE(len, nullptr);
    EXPECT_EQ(len->math.side.index, expected) << "tag " << tag;
    destroy_object(len);
    fig_->nbobj -= 1;
  }
}

TEST_F(CreateTest, ValuesStartAtTheRubberBandWithoutCompute) {
  rubber_points[1] = valeur{7, 8, {}, 2};
  current_class = &classe_ptsur;
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* seg = make2(&classe_segment, 0, a, b);
  current_class = &classe_ptsur;
  objlist_add(fig_->inputs, seg, 0);
  rubber_points[0] = valeur{4, 5, {}, 1};
  uint16_t created = 0;
  object* on = create_object(1, &created, 0, 1, 0);
  ASSERT_NE(on, nullptr);
  EXPECT_EQ(created, 1);
  EXPECT_EQ(on->valeurs[0].h, 4);
  EXPECT_EQ(on->valeurs[0].infini_inexist_indetermine, 0);
  EXPECT_EQ(on->valeurs[1].h, 5);  // one to the right of value 0
  EXPECT_EQ(on->valeurs[1].v, 8);
  EXPECT_NE(on->state & OBJ_NEW, 0u);
  EXPECT_EQ(on->num, fig_->nbobj);
}

TEST_F(CreateTest, NumbersStayOneToNAndObjectsAreFoundByNumber) {
  object* objs[5];
  for (int i = 0; i < 5; ++i) objs[i] = point(i, i);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(objs[i]->num, static_cast<uint32_t>(i + 1));
  destroy_object(objs[2]);
  fig_->nbobj -= 1;
  renumber_objects();
  EXPECT_EQ(find_object_by_number(3), objs[3]);
  EXPECT_EQ(find_object_by_number(4), objs[4]);
  EXPECT_EQ(find_object_by_number(5), nullptr);
  EXPECT_EQ(find_object_by_number(0), nullptr);
  object* p = point(9, 9);
  EXPECT_EQ(p->num, 5u);
  EXPECT_EQ(count_objects_of_type(TYPE_POINT), 5u);

  // While a file is read, objects keep the numbers they were read with.
  p->num = 42;
  reading_file = 1;
  renumber_objects();
  reading_file = 0;
  EXPECT_EQ(p->num, 42u);
}

TEST_F(CreateTest, IdenticalSegmentReturnsTheExistingOneAndShowsIt) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* ab = make2(&classe_segment, 0, a, b);
  const uint32_t n = fig_->nbobj;
  uint16_t created = 9;
  EXPECT_EQ(make2(&classe_segment, 0, b, a, &created), ab);
  EXPECT_EQ(created, 0);
  EXPECT_EQ(fig_->nbobj, n);

  ab->settings.visible = 0;
  EXPECT_EQ(make2(&classe_segment, 0, a, b, &created), ab);
  EXPECT_EQ(ab->settings.visible, 1);
  EXPECT_EQ(fig_->nbobj, n);

  // A vector has a direction: BA is another vector than AB.
  object* v = make2(&classe_vecteur, 0, a, b);
  EXPECT_NE(make2(&classe_vecteur, 0, b, a, &created), v);
  EXPECT_EQ(created, 1);
}

TEST_F(CreateTest, ObjectsBuiltByAMacroStepAreNeverMerged) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* ab = make2(&classe_segment, 0, a, b);
  current_class = &classe_segment;
  objlist_add(fig_->inputs, a, 0);
  objlist_add(fig_->inputs, b, 0);
  uint16_t created = 0;
  object* again = create_object(0, &created, 1, 0, 0);
  EXPECT_NE(again, ab);
  EXPECT_EQ(created, 1);
  objlist_clear(fig_->inputs);
}

TEST_F(CreateTest, ANewSpringReplacesTheIdenticalOneAndTakesItsReferences) {
  object* p = point(0, 0);
  object* q = point(5, 0);
  object* s1 = make2(&classe_spring, 0, p, q);
  ASSERT_NE(s1, nullptr);
  object* button = make(&classe_button, 0, {});
  ASSERT_NE(button, nullptr);
  button->associated = alloc_block<objectptrlist>();
  button->associated->obj = s1;
  objlist_add(fig_->selection, s1, 0);

  uint16_t created = 0;
  object* s2 = make2(&classe_spring, 0, p, q, &created);
  ASSERT_NE(s2, nullptr);
  EXPECT_NE(s2, s1);
  EXPECT_EQ(created, 1);
  EXPECT_EQ(button->associated->obj, s2);
  EXPECT_EQ(fig_->selection->items[0], s2);
  EXPECT_EQ(count_objects_of_type(TYPE_SPRING), 1u);
  EXPECT_EQ(fig_->nbobj, 4u);
  uint32_t n = 0;
  for (object* o = fig_->first; o; o = o->next) EXPECT_EQ(o->num, ++n);
}

TEST_F(CreateTest, TextLikeObjectsGetTheirTextRecords) {
  object* n = make(&classe_nombre, 0, {});
  ASSERT_NE(n, nullptr);
  EXPECT_NE(n->te, nullptr);
  object* a = point(0, 0);
  object* b = point(1, 0);
  object* c = point(2, 0);
  object* col = make(&classe_alignement, 0, {{a, 0}, {b, 0}, {c, 0}});
  ASSERT_NE(col, nullptr);
  EXPECT_NE(col->te, nullptr);
  EXPECT_EQ(reinterpret_cast<TErec**>(col->valeurs)[0], col->te);

  static char text[] = "a+b";
  pending_extra[0] = text;
  object* e = make(&classe_exp_num, 0, {{n, 0}});
  pending_extra[0] = nullptr;
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->nbparents, 0);
  EXPECT_STREQ(e->te->text, "a+b");
  EXPECT_EQ(e->te->length, 3);
}

TEST_F(CreateTest, CalculationKeepsItsFormulaBlocksAfterTheParents) {
  object* n = make(&classe_nombre, 0, {});
  void* formula = GlobalAlloc(0, 4);
  void* code = GlobalAlloc(0, 4);
  pending_extra[0] = formula;
  pending_extra[1] = code;
  object* calc = make(&classe_calculate, 0, {{n, 0}});
  ASSERT_NE(calc, nullptr);
  EXPECT_EQ(calc->nbparents, 1);
  EXPECT_EQ(calc->parents[1], formula);
  EXPECT_EQ(calc->parents[2], code);
  EXPECT_EQ(pending_extra[0], nullptr);
  EXPECT_EQ(pending_extra[1], nullptr);
}

TEST_F(CreateTest, FullSnapshotGreysUndoAndLimitedOneEnablesIt) {
  KPMenusWrapper* menu = KPMenusWrapper::createPopupMenu();
  menu->appendMenu(0, kUndoMenuItem, "Undo");
  KPMenusWrapper::setMainMenu(menu);
  auto undo_enabled = [&] {
    return static_cast<QAction*>(KPMenusWrapper::LookingForTheItemMenu(menu, kUndoMenuItem))->isEnabled();
  };
  for (int i = 0; i < 5; ++i) point(i, 0);
  save_undo_state(0);
  EXPECT_FALSE(undo_enabled());
  EXPECT_EQ(remembered_object_count, 5u);
  make2(&classe_segment, 0, find_object_by_number(1), find_object_by_number(2));
  save_undo_state(remembered_object_count);
  EXPECT_TRUE(undo_enabled());
  EXPECT_EQ(undo_available, 1);
  EXPECT_EQ(fig_->undo->nbobj, 5u);
  KPMenusWrapper::setMainMenu(nullptr);
  delete menu;
}

}  // namespace
