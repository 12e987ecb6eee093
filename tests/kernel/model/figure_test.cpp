#include "kernel/model/figure.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/undo.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"

namespace {

type point_type{TYPE_POINT, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
type segment_type{TYPE_SEGMENT, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
type text_type{TYPE_TEXT, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
type number_type{TYPE_NUMBER, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
type polygon_type{TYPE_POLYGON, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
type interset_type{TYPE_INTERSECTION_SET, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
type property_type{TYPE_PROPERTY, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
construct_class point_class{};
construct_class segment_class{};

// Appends an object of the given type with `nvals` values and the given
// parents to the current figure, numbered as the next object.
object* add_object(type* t, construct_class* cls, int nvals, std::initializer_list<object*> parents = {}) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* o = append_new_object();
  EXPECT_NE(o, nullptr);
  fig->nbobj += 1;
  o->num = fig->nbobj;
  o->otype = t;
  o->classe = cls;
  o->final_no = 1;
  o->settings.visible = 1;
  o->nbvaleurs = static_cast<int16_t>(nvals);
  if (nvals) o->valeurs = alloc_block<valeur>(static_cast<uint32_t>(nvals));
  for (int i = 0; i < nvals; ++i) o->valeurs[i].h = 10.0 * o->num + i;
  o->nbparents = static_cast<int16_t>(parents.size());
  if (parents.size()) {
    o->parents = alloc_block<object*>(static_cast<uint32_t>(parents.size()));
    int i = 0;
    for (object* p : parents) o->parents[i++] = p;
  }
  return o;
}

object* add_point() { return add_object(&point_type, &point_class, 1); }

char* block_string(const char* s) {
  char* b = static_cast<char*>(GlobalAlloc(0, static_cast<uint32_t>(std::strlen(s) + 1)));
  std::strcpy(b, s);
  return b;
}

TErec* text_record(const char* s) {
  TErec* te = alloc_block<TErec>();
  te->text = block_string(s);
  te->length = static_cast<int32_t>(std::strlen(s));
  te->pos = {5, 6};
  return te;
}

bitmap_info* picture(const char* name) {
  bitmap_info* bi = alloc_block<bitmap_info>();
  bi->name = block_string(name);
  bi->pixels = alloc_block<uint8_t>(16);
  bi->width = 2;
  bi->height = 2;
  return bi;
}

std::vector<object*> objects_of(const kelvo_win_info* fig) {
  std::vector<object*> out;
  for (object* o = fig->first; o; o = o->next) out.push_back(o);
  return out;
}

class FigureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = kernel_live_blocks();
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    ASSERT_NE(fig_, nullptr);
  }

  // Frees the figure and its undo copy and checks that every block went back.
  void free_all(bool copy_first = false) {
    kelvo_win_info* copy = fig_->undo;
    if (copy_first) {
      free_figure_info(copy, false);
      free_figure_info(fig_, false);
    } else {
      free_figure_info(fig_, false);
      free_figure_info(copy, false);
    }
    fig_ = nullptr;
    EXPECT_EQ(kernel_live_blocks(), baseline_);
  }

  void TearDown() override {
    if (fig_) free_all();
  }

  std::size_t baseline_ = 0;
  kelvo_win_info* fig_ = nullptr;
};

// ------------------------------------------------------------------ lists

TEST(ObjectList, GrowsByTwentyWhenTheTerminatorSlotIsReached) {
  dyn_array_object list{};
  objlist_init(&list);
  EXPECT_EQ(list.capacity, 20);
  object objs[45]{};
  for (int i = 0; i < 19; ++i) objlist_add(&list, &objs[i], static_cast<uint16_t>(100 + i));
  EXPECT_EQ(list.capacity, 20);
  EXPECT_EQ(list.items[19], nullptr);
  objlist_add(&list, &objs[19], 119);
  EXPECT_EQ(list.capacity, 40);
  ASSERT_EQ(objlist_count(&list), 20);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(list.items[i], &objs[i]);
    EXPECT_EQ(list.tags[i], 100 + i);
  }
  EXPECT_EQ(list.items[20], nullptr);

  // Shrinking a grown list empties it back to 20 slots.
  objlist_shrink(&list);
  EXPECT_EQ(list.capacity, 20);
  EXPECT_EQ(objlist_count(&list), 0);

  // A list of 20 slots keeps its contents.
  objlist_add(&list, &objs[0], 1);
  objlist_shrink(&list);
  EXPECT_EQ(objlist_count(&list), 1);
  dyn_array_object* header = objlist_copy(&list);
  objlist_free(&header);
  EXPECT_EQ(header, nullptr);
  GlobalFreeAndNull(&list.items);
  GlobalFreeAndNull(&list.tags);
}

TEST(ObjectList, RemoveReplaceCopyAndMembership) {
  dyn_array_object* list = objlist_new();
  object a{}, b{}, c{}, d{};
  objlist_add(list, &a, 1);
  objlist_add(list, &b, 2);
  objlist_add(list, &c, 3);
  objlist_add(list, &b, 4);

  objlist_remove(list, &b);  // first occurrence with its tag
  ASSERT_EQ(objlist_count(list), 3);
  EXPECT_EQ(list->items[1], &c);
  EXPECT_EQ(list->tags[1], 3);
  EXPECT_EQ(list->tags[2], 4);

  objlist_replace(list, &b, &d);  // tags stay
  EXPECT_EQ(list->items[2], &d);
  EXPECT_EQ(list->tags[2], 4);

  objlist_remove_item(list, &a);  // items only: the tags do not move
  EXPECT_EQ(list->items[0], &c);
  EXPECT_EQ(list->tags[0], 1);

  dyn_array_object* copy = objlist_copy(list);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->items, list->items);
  EXPECT_EQ(objlist_count(copy), 2);
  EXPECT_EQ(copy->items[1], &d);

  dyn_array_object* dst = objlist_new();
  objlist_add_if_member(&d, list, &a, dst);
  objlist_add_if_member(&b, list, &c, dst);  // b is not in list
  ASSERT_EQ(objlist_count(dst), 1);
  EXPECT_EQ(dst->items[0], &a);
  EXPECT_EQ(dst->tags[0], list->tags[1]);

  objlist_free(&list);
  objlist_free(&copy);
  objlist_free(&dst);
}

TEST(ObjectList, GlobalListsAndTablesAreSetUpAndFreed) {
  free_object_lists();  // lists a tool grew before start over
  const std::size_t before = kernel_live_blocks();
  init_object_lists();
  EXPECT_EQ(picked.capacity, 20);
  EXPECT_EQ(points_on_objects.capacity, 20);
  EXPECT_EQ(designation_args.capacity, 20);
  EXPECT_NE(designation_intersectables.entries, nullptr);
  EXPECT_EQ(no_class_attrs.settings.dot_style.lg, kernel_default_attrs.settings.dot_style.lg);
  free_object_lists();
  EXPECT_EQ(picked.items, nullptr);
  EXPECT_EQ(kernel_live_blocks(), before);
}

// ---------------------------------------------------------- pool and list

TEST_F(FigureTest, NewFigureIsCurrentWithAnUndoCopyPointingBack) {
  EXPECT_EQ(fig_->bgcolor, back_color);
  ASSERT_NE(fig_->undo, nullptr);
  EXPECT_EQ(fig_->undo->undo, fig_);
  for (dyn_array_object* l : {fig_->inputs, fig_->selection, fig_->list3, fig_->list4}) {
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->capacity, 20);
  }
  EXPECT_EQ(fig_->first, nullptr);
  EXPECT_EQ(last_object(), nullptr);
}

// Pool blocks are made without clearing: a block made over the memory of a
// freed one (records written all over) still hands out clear records.
TEST_F(FigureTest, PoolBlockMadeOverFreedMemoryHandsOutClearRecords) {
  for (int i = 0; i < 2 * kSlabRecords; ++i) {
    object* o = add_point();
    o->aux1 = 77;
    o->aux2 = 78;
    o->state = OBJ_NEW | OBJ_CHOSEN;
    o->settings.marked = 1;
    o->math.bitsfield = 0xFFFFFFFFu;
  }
  free_all();
  new_figure_info();
  fig_ = KPGeoDocument::currentInfo();
  ASSERT_NE(fig_, nullptr);
  for (int i = 0; i < 2 * kSlabRecords; ++i) {
    object* o = append_new_object();
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->in_use, 1);
    EXPECT_EQ(o->aux1, 0u);
    EXPECT_EQ(o->aux2, 0u);
    EXPECT_EQ(o->state, 0u);
    EXPECT_EQ(o->settings.marked, 0);
    EXPECT_EQ(o->math.bitsfield, 0u);
    EXPECT_EQ(o->valeurs, nullptr);
    EXPECT_EQ(o->te, nullptr);
  }
  // Only the records handed out count: with them gone the block is empty.
  for (object* o = fig_->first; o;) {
    object* next = o->next;
    destroy_object(o);
    o = next;
  }
  EXPECT_TRUE(slab_is_empty(fig_->slabs));
}

TEST_F(FigureTest, PoolHandsOutBlocksOfRecordsAndReusesFreedSlotsCleared) {
  std::vector<object*> objs;
  for (int i = 0; i <= kSlabRecords; ++i) objs.push_back(add_point());
  object* const last = objs[kSlabRecords];
  ASSERT_NE(fig_->slabs, nullptr);
  ASSERT_NE(fig_->slabs->next, nullptr);
  EXPECT_EQ(fig_->slabs->next->next, nullptr);
  EXPECT_EQ(last, &fig_->slabs->next->records[0]);
  EXPECT_EQ(last_object(), last);
  EXPECT_EQ(last->prev, objs[kSlabRecords - 1]);

  // A destroyed slot is the first one handed out again, with nothing of
  // the object it held.
  object* third = objs[2];
  third->settings.marked = 1;
  third->aux1 = 77;
  destroy_object(third);
  fig_->nbobj -= 1;
  EXPECT_EQ(third->in_use, 0);
  EXPECT_EQ(objs[1]->next, objs[3]);
  object* again = add_point();
  EXPECT_EQ(again, third);
  EXPECT_EQ(again->settings.marked, 0);
  EXPECT_EQ(again->aux1, 0u);
  EXPECT_EQ(last_object(), again);
  EXPECT_EQ(again->prev, last);
  // The search goes on from the block it last gave from: the next slot
  // free after the refilled gap, no record handed out twice.
  object* next_free = add_point();
  EXPECT_EQ(next_free, &fig_->slabs->next->records[1]);
  destroy_object(next_free);
  fig_->nbobj -= 1;

  // Emptying the first block lets compaction give it back; the head moves.
  object_slab* second = fig_->slabs->next;
  for (object* o = fig_->first; o;) {
    object* next = o->next;
    if (o >= &fig_->slabs->records[0] && o < &fig_->slabs->records[kSlabRecords]) {
      destroy_object(o);
      fig_->nbobj -= 1;
    }
    o = next;
  }
  EXPECT_TRUE(slab_is_empty(fig_->slabs));
  compact_record_pool(fig_);
  EXPECT_EQ(fig_->slabs, second);
  EXPECT_EQ(fig_->first, last);
  renumber_objects();
  EXPECT_EQ(find_object_by_number(1), last);
  EXPECT_EQ(find_object_by_number(0), nullptr);
  EXPECT_EQ(find_object_by_number(3), nullptr);
}

// -------------------------------------------------------------- duplicate

TEST_F(FigureTest, DuplicatingAnEmptyFigureGivesEmptyLists) {
  kelvo_win_info* copy = duplicate_figure_info(nullptr, 0);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(KPGeoDocument::currentInfo(), fig_);
  EXPECT_EQ(copy->first, nullptr);
  EXPECT_EQ(copy->nbobj, 0u);
  EXPECT_NE(copy->inputs, fig_->inputs);
  for (dyn_array_object* l : {copy->inputs, copy->selection, copy->list3, copy->list4}) {
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(objlist_count(l), 0);
  }
  copy->undo = nullptr;
  free_figure_info(copy, true);
  EXPECT_EQ(KPGeoDocument::currentInfo(), fig_);
}

TEST_F(FigureTest, DeepCopyRemapsParentsAndRebuildsOwnedData) {
  object* a = add_point();
  object* b = add_point();
  object* seg = add_object(&segment_type, &segment_class, 2, {a, b});
  seg->te = text_record("AB");
  seg->label = static_cast<label_settings*>(GlobalAlloc(0, 12));
  seg->data = GlobalAlloc(0, 20);
  seg->bitmap = picture("photo.png");
  seg->state = OBJ_NEW | OBJ_CHOSEN | OBJ_UNDEFINED | 256;
  object* r = add_object(&number_type, &point_class, 1);
  object* txt = add_object(&text_type, &point_class, 1);
  txt->te = text_record("value $1$");
  insert_object* ref = alloc_block<insert_object>();
  ref->obj = seg;
  ref->number = 1;
  ref->area[0] = {3, 4};
  txt->inserted = ref;
  txt->associated = alloc_block<objectptrlist>();
  txt->associated->obj = a;
  ASSERT_TRUE(set_object_color_params(seg, r, nullptr, nullptr));
  objlist_add(fig_->selection, seg, 7);
  objlist_add(fig_->list3, b, 2);
  fig_->moving = seg;
  fig_->text0 = block_string("figure text");

  save_undo_state(0);
  kelvo_win_info* copy = fig_->undo;
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(KPGeoDocument::currentInfo(), fig_);
  ASSERT_EQ(copy->nbobj, 5u);
  auto c = objects_of(copy);
  ASSERT_EQ(c.size(), 5u);
  object* cseg = c[2];
  EXPECT_EQ(cseg->num, 3u);
  EXPECT_EQ(cseg->parents[0], c[0]);
  EXPECT_EQ(cseg->parents[1], c[1]);
  EXPECT_EQ(cseg->state, OBJ_UNDEFINED);
  EXPECT_NE(cseg->valeurs, seg->valeurs);
  EXPECT_EQ(cseg->valeurs[1].h, seg->valeurs[1].h);
  ASSERT_NE(cseg->te, nullptr);
  EXPECT_NE(cseg->te->text, seg->te->text);
  EXPECT_STREQ(cseg->te->text, "AB");
  EXPECT_EQ(GlobalSize(cseg->label), 12u);
  EXPECT_NE(cseg->data, seg->data);
  EXPECT_EQ(cseg->bitmap, seg->bitmap);  // pictures are shared
  ASSERT_NE(cseg->pcolor, nullptr);
  EXPECT_EQ(cseg->pcolor->red, c[3]);
  EXPECT_EQ(copy->moving, cseg);

  object* ctxt = c[4];
  ASSERT_NE(ctxt->inserted, nullptr);
  EXPECT_NE(ctxt->inserted, ref);
  EXPECT_EQ(ctxt->inserted->obj, cseg);
  EXPECT_EQ(ctxt->inserted->area[0].y, 4);
  ASSERT_NE(ctxt->associated, nullptr);
  EXPECT_EQ(ctxt->associated->obj, c[0]);

  ASSERT_EQ(objlist_count(copy->selection), 1);
  EXPECT_EQ(copy->selection->items[0], cseg);
  EXPECT_EQ(copy->selection->tags[0], 7);
  EXPECT_EQ(copy->list3->items[0], c[1]);
  EXPECT_EQ(objlist_count(copy->inputs), 0);
  ASSERT_NE(copy->text0, nullptr);
  EXPECT_STREQ(copy->text0, "figure text");

  // Deleting the object in the figure keeps the picture alive for the copy;
  // the next snapshot lets it go.
  destroy_object(txt);
  fig_->nbobj -= 1;
  destroy_object(seg);
  fig_->nbobj -= 1;
  EXPECT_EQ(cseg->bitmap->width, 2);
  save_undo_state(0);
  EXPECT_EQ(fig_->undo->nbobj, 3u);
}

TEST_F(FigureTest, LimitedCopyKeepsTheFirstObjectsAndOnlyTheirReferences) {
  object* a = add_point();
  object* b = add_point();
  object* c = add_point();
  infomacro* im = alloc_block<infomacro>();
  im->im_nb_initials = 2;
  im->im_initials = alloc_block<object*>(2);
  im->im_initials[0] = a;
  im->im_initials[1] = c;
  im->im_tags = alloc_block<uint8_t>(2);
  im->im_tags[1] = 5;
  b->macro = im;
  object* m2 = add_object(&segment_type, &segment_class, 2, {a, b});
  m2->macro = im;
  objlist_add(fig_->selection, a, 0);
  objlist_add(fig_->selection, c, 0);

  save_undo_state(2);
  kelvo_win_info* copy = fig_->undo;
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->nbobj, 2u);
  auto objs = objects_of(copy);
  ASSERT_EQ(objs.size(), 2u);
  EXPECT_EQ(objlist_count(copy->selection), 1);
  EXPECT_EQ(copy->selection->items[0], objs[0]);
  infomacro* cim = objs[1]->macro;
  ASSERT_NE(cim, nullptr);
  EXPECT_NE(cim, im);
  EXPECT_EQ(cim->im_initials[0], objs[0]);
  EXPECT_EQ(cim->im_initials[1], nullptr);  // c was not copied
  EXPECT_EQ(cim->im_tags[1], 5);

  // A full copy: both macro objects share one new record.
  save_undo_state(0);
  objs = objects_of(fig_->undo);
  ASSERT_EQ(objs.size(), 4u);
  EXPECT_EQ(objs[1]->macro, objs[3]->macro);
  EXPECT_NE(objs[1]->macro, im);
  EXPECT_EQ(objs[3]->parents[1], objs[1]);
}

TEST_F(FigureTest, RegularPolygonVerticesAndIntersectionRecordsFollowTheCopy) {
  object* centre = add_point();
  object* pol = add_object(&polygon_type, &segment_class, 6, {centre});
  object* vertex = add_object(&point_type, &classe_point_polyreg, 0, {pol});
  vertex->math.polreg.index = 2;
  vertex->nbvaleurs = 1;
  vertex->valeurs = pol->valeurs + 2;
  object* other = add_point();
  object* set = add_object(&interset_type, &segment_class, 0, {pol, centre});
  inter_rec* recs = alloc_block<inter_rec>(4);
  recs[0].owner = vertex;
  recs[0].index = 3;
  recs[1].owner = other;
  recs[1].index = 4;
  set->data = recs;

  save_undo_state(0);
  auto objs = objects_of(fig_->undo);
  ASSERT_EQ(objs.size(), 5u);
  EXPECT_EQ(objs[2]->valeurs, objs[1]->valeurs + 2);
  auto* crecs = static_cast<inter_rec*>(objs[4]->data);
  EXPECT_EQ(crecs[0].owner, objs[2]);
  EXPECT_EQ(crecs[0].index, 3u);
  EXPECT_EQ(crecs[1].owner, objs[3]);
  EXPECT_EQ(crecs[2].owner, nullptr);
}

TEST_F(FigureTest, PropertyChecksCopyBothTextRecords) {
  object* a = add_point();
  object* check = add_object(&property_type, &point_class, 0, {a});
  TErec** texts = alloc_block<TErec*>(2);
  texts[0] = text_record("yes");
  texts[1] = text_record("no");
  check->valeurs = reinterpret_cast<valeur*>(texts);
  check->te = texts[1];

  save_undo_state(0);
  auto objs = objects_of(fig_->undo);
  ASSERT_EQ(objs.size(), 2u);
  auto** ctexts = reinterpret_cast<TErec**>(objs[1]->valeurs);
  ASSERT_NE(ctexts, texts);
  EXPECT_STREQ(ctexts[0]->text, "yes");
  EXPECT_EQ(objs[1]->te, ctexts[1]);
}

// ------------------------------------------------------------------- free

class FreeOrder : public FigureTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FreeOrder, FigureAndUndoCopyFreeEverySharedBlockOnce) {
  object* a = add_point();
  a->bitmap = picture("pin.png");
  fig_->background = picture("sheet.png");
  fig_->text0 = block_string("zero");
  fig_->text1 = block_string("one");
  add_point();
  save_undo_state(0);
  ASSERT_EQ(fig_->undo->background, fig_->background);
  free_all(GetParam());  // sanitizers report any double free
}

INSTANTIATE_TEST_SUITE_P(BothOrders, FreeOrder, ::testing::Bool());

TEST_F(FigureTest, SwappedRecordsStillFreeOnce) {
  fig_->background = picture("sheet.png");
  add_point();
  save_undo_state(0);
  // After an undo the copy is the current figure and the old record its copy.
  kelvo_win_info* copy = fig_->undo;
  KPGeoDocument::setCurrentInfo(copy);
  add_point();
  fig_ = copy;
}

// A figure closed while a tool works on one of its lists: the selection the
// tool set aside is the figure's and goes with it, and the next figure's
// selection is its own again.
TEST_F(FigureTest, AFigureFreedWhileAToolWorksOnItsListsTakesTheSelectionSetAside) {
  if (!fig_->inputs) fig_->inputs = objlist_new();
  install_selection_list(fig_->inputs);
  ASSERT_FALSE(has_no_saved_selection());
  free_all();
  EXPECT_TRUE(has_no_saved_selection());
}

// ------------------------------------------------------------ text copies

TEST(TextRecordCopy, CopiesOwnedBlocksAndFailsCleanlyWithoutStringSupport) {
  const std::size_t before = kernel_live_blocks();
  TErec* te = text_record("hello");
  te->column_widths = alloc_block<int32_t>(3);
  te->column_widths[0] = 2;
  te->text_view = reinterpret_cast<void*>(0x10);
  TErec* copy = copy_terec(te);
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy->text, "hello");
  EXPECT_NE(copy->text, te->text);
  EXPECT_EQ(copy->column_widths[0], 2);
  EXPECT_EQ(copy->text_view, nullptr);
  EXPECT_EQ(copy->pos.x, 5);
  free_text_window(copy);

  // A stored string that nothing can copy makes the copy fail.
  te->text_view = nullptr;
  te->stored_string = reinterpret_cast<void*>(0x20);
  EXPECT_EQ(copy_terec(te), nullptr);
  te->stored_string = nullptr;
  free_text_window(te);
  EXPECT_EQ(copy_terec(nullptr), nullptr);
  EXPECT_EQ(kernel_live_blocks(), before);
}

// ------------------------------------------------------------------ macros

TEST(MacroBinding, PerFigureDataFollowsTheCurrentFigure) {
  macro_def* def = reinterpret_cast<macro_def*>(0x1);
  construct_method method{};
  method.def = def;
  construct_methodptr methods[] = {&method, nullptr};
  construct_class macro_class{};
  macro_class.methods = methods;
  construct_class* list[] = {&macro_class, nullptr};
  class_list = list;
  ASSERT_TRUE(is_macro_class(&macro_class));

  kelvo_win_info first{};
  kelvo_win_info second{};
  KPGeoDocument::setCurrentInfo(&first);
  void* data = GlobalAlloc(0, 16);
  method.figdata = data;

  bind_macro_classes(&second);
  EXPECT_EQ(KPGeoDocument::currentInfo(), &second);
  EXPECT_EQ(method.figdata, nullptr);
  ASSERT_NE(first.macro_inf, nullptr);
  EXPECT_EQ(first.macro_inf->figdata, data);

  bind_macro_classes(&first);
  EXPECT_EQ(method.figdata, data);
  EXPECT_EQ(first.macro_inf, nullptr);
  EXPECT_EQ(second.macro_inf, nullptr);  // nothing to save for it
  GlobalFreeAndNull(&method.figdata);
  class_list = nullptr;
  KPGeoDocument::setCurrentInfo(nullptr);
}

}  // namespace
