#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/text/rtf_writer.h"
#include "kernel/render/fonts.h"
#include "platform/rtf_reader.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/tool_state.h"

namespace {

class ObjectRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    init_construct_classes();
    pixels_per_unit = 28.0;
    file_class = 0;
    file_platform = 0;
    file_mac_header = 1;
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    ASSERT_NE(fig_, nullptr);
  }
  void TearDown() override {
    figures_.push_back(KPGeoDocument::currentInfo());
    for (kelvo_win_info* f : figures_) {
      KPGeoDocument::setCurrentInfo(f);
      kelvo_win_info* copy = f->undo;
      free_figure_info(f, false);
      free_figure_info(copy, false);
    }
    KPGeoDocument::setCurrentInfo(nullptr);
    free_file_image();
    reset_pixels_per_unit();
    free_construct_classes();
  }

  object* make(construct_class* cls, int method, std::vector<object*> picks, double x = 0,
               double y = 0, int16_t nvals = 0) {
    current_class = cls;
    objlist_clear(fig_->inputs);
    for (object* p : picks) objlist_add(fig_->inputs, p, 0);
    rubber_points[0] = valeur{x, y, {}, 0};
    rubber_points[1] = valeur{x + 28, y, {}, 0};
    variable_nb_values = nvals;
    uint16_t created = 0;
    object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 1);
    objlist_clear(fig_->inputs);
    current_class = nullptr;
    EXPECT_NE(o, nullptr) << cls->short_name;
    if (o != nullptr) {
      o->state &= ~OBJ_NEW;
      plain_style(o);
    }
    return o;
  }
  object* point(double x, double y) { return make(&classe_point, 0, {}, x, y); }

  // The style a record without a style line stands for.
  static void plain_style(object* o) {
    const uint16_t t = object_type_id(o);
    object_settings& st = o->settings;
    st.Color = type_default_color(t);
    st.FillColor = 0xFFFFFF;
    st.thickness = 0;
    st.opaque = 0;
    st.dot_style = {1, 1};
    st.graph_type = t == 1 || t == 14 ? 1 : t == 15 ? 16 : 0;
    st.smartline_type = 0;
    st.visible = 1;
    st.sticky = 0;
    st.marked = 0;
  }

  static void set_text(object* o, const char* text) {
    ASSERT_NE(o->te, nullptr);
    GlobalFreeAndNull(&o->te->text);
    o->te->text = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(std::strlen(text) + 1)));
    std::strcpy(o->te->text, text);
    o->te->length = static_cast<int32_t>(std::strlen(text));
    o->te->format.size = 12;
    // A number's value follows its text.
    if (o->classe == &classe_nombre) recompute_object(o);
  }

  // The objects section of the current figure, written in two passes.
  static std::string write_all() {
    int32_t counted = txt_write_objects(nullptr);
    std::vector<char> buf(static_cast<size_t>(counted) + 1, '#');
    int32_t written = txt_write_objects(buf.data());
    EXPECT_EQ(counted, written);
    return std::string(buf.data(), static_cast<size_t>(written));
  }

  // Reads every record of text into a fresh current figure.
  void read_all(const std::string& text) {
    figures_.push_back(fig_);
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    const char* p = text.c_str();
    while (*p != '\0') {
      object* o = nullptr;
      int32_t used = read_object_record(&o, p);
      ASSERT_GT(used, 0) << object_reader_error() << "\nat: " << std::string(p).substr(0, 120);
      ASSERT_NE(o, nullptr);
      p += used;
    }
  }

  // Starts a new current figure; the previous one is kept until the end.
  void fresh_figure() {
    figures_.push_back(fig_);
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
  }

  // What a record gives an object, or its parents give it back by computing.
  static void expect_equal_objects(const object* x, const object* y) {
    EXPECT_EQ(x->classe, y->classe);
    EXPECT_EQ(x->methode, y->methode);
    EXPECT_EQ(object_type_id(x), object_type_id(y));
    ASSERT_EQ(x->nbparents, y->nbparents);
    for (int k = 0; k < x->nbparents; ++k) EXPECT_EQ(x->parents[k]->num, y->parents[k]->num) << "parent " << k;
    if (has_formula_blocks(x)) {
      const char* fx = reinterpret_cast<const char*>(x->parents[x->nbparents]);
      const char* fy = reinterpret_cast<const char*>(y->parents[y->nbparents]);
      EXPECT_STREQ(fx != nullptr ? fx : "", fy != nullptr ? fy : "") << "formula";
    }
    EXPECT_EQ(x->math.bitsfield, y->math.bitsfield);
    EXPECT_EQ(x->aux2 & 0x2Eu, y->aux2 & 0x2Eu);

    // Values: those the record carries, and all of them when the method
    // computes them from the parents.
    ASSERT_EQ(x->nbvaleurs, y->nbvaleurs);
    ASSERT_EQ(x->valeurs == nullptr, y->valeurs == nullptr);
    if (is_polyreg_vertex(x)) {
      // A vertex is an entry of its polygon's values, not a copy.
      EXPECT_EQ(x->valeurs - x->parents[0]->valeurs, y->valeurs - y->parents[0]->valeurs);
    }
    if (x->valeurs != nullptr && !is_property_check(x)) {
      uint8_t kinds[kFieldKindCount] = {};
      class_field_kinds(x->classe, x->methode, x->nbparents, kinds);
      const construct_method* m = class_method(x->classe, x->methode);
      const bool computed = m != nullptr && m->compute != nullptr;
      // A computed value is written on the grid of file values, and what it
      // gives back (a place along an object, a direction) is taken within
      // that grid's cell.
      const double grid = computed ? kFileValueStep : 0;
      auto near = [grid](double a, double b) { return std::fabs(a - b) <= 1e-9 * (1 + std::fabs(a)) + grid; };
      for (int i = 0; i < x->nbvaleurs; ++i) {
        const valeur& a = x->valeurs[i];
        const valeur& b = y->valeurs[i];
        // A coordinate computes its value 0 only; files keep no more of it.
        const bool coordinate = x->classe == &classe_equation && x->methode == 0;
        const bool all = computed && !(coordinate && i > 0);
        const uint8_t k = all ? (FIELD_H | FIELD_V | FIELD_RADIUS) : i < kFieldKindCount ? kinds[i] : 0;
        if (k & FIELD_H) {
          EXPECT_PRED2(near, a.h, b.h) << "value " << i;
        }
        if (k & FIELD_V) {
          EXPECT_PRED2(near, a.v, b.v) << "value " << i;
        }
        if (k & FIELD_RADIUS) {
          EXPECT_PRED2(near, a.info.rayon, b.info.rayon) << "value " << i;
        }
      }
      if (class_has_value(x->classe) && x->te != nullptr) {
        EXPECT_PRED2(near, x->valeurs[0].info.rayon, y->valeurs[0].info.rayon) << "number value";
      }
    }

    const object_settings& s = x->settings;
    const object_settings& t = y->settings;
    EXPECT_EQ(s.Color, t.Color);
    EXPECT_EQ(s.FillColor, t.FillColor);
    EXPECT_EQ(s.opaque, t.opaque);
    EXPECT_EQ(s.thickness, t.thickness);
    EXPECT_EQ(s.dot_style.lg, t.dot_style.lg);
    EXPECT_EQ(s.dot_style.cycle, t.dot_style.cycle);
    EXPECT_EQ(s.graph_type, t.graph_type);
    EXPECT_EQ(s.smartline_type, t.smartline_type);
    EXPECT_EQ(s.visible, t.visible);
    EXPECT_EQ(s.sticky, t.sticky);
    EXPECT_EQ(s.marked, t.marked);
    const uint16_t type = object_type_id(x);
    if (type == TYPE_NUMBER || type == TYPE_EQUATION) {
      EXPECT_EQ(s.nbre_decimales, t.nbre_decimales);
      EXPECT_EQ(s.contraint, t.contraint);
      EXPECT_EQ(s.unite, t.unite);
    }

    ASSERT_EQ(x->te == nullptr, y->te == nullptr);
    if (x->te != nullptr && !is_table_object(x)) {
      EXPECT_STREQ(x->te->text != nullptr ? x->te->text : "", y->te->text != nullptr ? y->te->text : "");
      EXPECT_EQ(x->te->pos.x, y->te->pos.x);
      EXPECT_EQ(x->te->pos.y, y->te->pos.y);
      EXPECT_EQ(x->te->size.w, y->te->size.w);
      EXPECT_EQ(x->te->size.h, y->te->size.h);
    }
    ASSERT_EQ(x->label == nullptr, y->label == nullptr);
    if (x->label != nullptr) {
      EXPECT_EQ(x->label->Color, y->label->Color);
      EXPECT_EQ(x->label->FillColor, y->label->FillColor);
      EXPECT_EQ(x->label->thickness, y->label->thickness);
      EXPECT_EQ(x->label->opaque, y->label->opaque);
    }
    std::vector<std::pair<int, uint32_t>> rx, ry;
    for (const insert_object* n = x->inserted; n != nullptr; n = n->next) rx.emplace_back(n->number, n->obj->num);
    for (const insert_object* n = y->inserted; n != nullptr; n = n->next) ry.emplace_back(n->number, n->obj->num);
    EXPECT_EQ(rx, ry) << "referenced objects";
    std::vector<uint32_t> ax, ay;
    for (const objectptrlist* n = x->associated; n != nullptr; n = n->next) ax.push_back(n->obj->num);
    for (const objectptrlist* n = y->associated; n != nullptr; n = n->next) ay.push_back(n->obj->num);
    EXPECT_EQ(ax, ay) << "associated objects";
  }

  // Both figures hold equal objects in the same order (intersection sets,
  // which have no record, aside).
  static void expect_equal_figures(const kelvo_win_info* a, const kelvo_win_info* b) {
    auto skip = [](const object* o) {
      while (o != nullptr && is_intersection_set(o)) o = o->next;
      return o;
    };
    const object* x = skip(a->first);
    const object* y = skip(b->first);
    for (; x != nullptr && y != nullptr; x = skip(x->next), y = skip(y->next)) {
      SCOPED_TRACE(std::string(x->classe->short_name) + " #" + std::to_string(x->num));
      EXPECT_EQ(x->num, y->num);
      expect_equal_objects(x, y);
    }
    EXPECT_EQ(x, nullptr) << "objects not read back";
    EXPECT_EQ(y, nullptr) << "objects read in excess";
  }

  kelvo_win_info* fig_ = nullptr;
  std::vector<kelvo_win_info*> figures_;
};

TEST_F(ObjectRecords, GoldenLines) {
  object* a = point(56, 0);
  std::string text = write_all();
  EXPECT_EQ(text, "1: Pt, Val: 2 -0\r\n\r\n");

  object* b = point(28.0000000001, -42);
  object* c = make(&classe_cercle, 0, {a}, 0, 0);
  ASSERT_NE(c, nullptr);
  c->valeurs[1].info.rayon = 70;
  object* s = make(&classe_segment, 0, {a, b});
  s->settings.graph_type = 2;
  s->settings.dot_style = {2, 6};
  s->settings.Color = 0x123456;
  text = write_all();
  EXPECT_NE(text.find("2: Pt, Val: 1 1.5\r\n\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("3: Cir, Const: 1, Val: 2.5\r\n\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("4: Seg, Const: 1,  2, \r\ncolor:dGr, DS:2 6, marks nb:2, COLOR 86 52 18, \r\n\r\n"),
            std::string::npos)
      << text;
}

// A mark's orientation sign and the size factor a drag gave it are written
// as they are (in the unit-free form the reader takes), so the mark comes
// back the size it was.
TEST_F(ObjectRecords, AngleMarkValuesAreWrittenWhole) {
  object* a = point(0, 0);
  object* b = point(28, 0);
  object* c = point(0, 28);
  object* m = make(&classe_angle, 0, {a, b, c});
  ASSERT_NE(m, nullptr);
  m->valeurs[0].info.rayon = -1;
  m->valeurs[1].info.rayon = 1.8372;
  std::string text = write_all();
  EXPECT_NE(text.find("4: Angle, Const: 1,  2,  3, Val: -1 1.8372\r\n"), std::string::npos) << text;
}

TEST_F(ObjectRecords, FigureOfManyClassesReadsBackEqual) {
  object* a = point(10, 20);
  object* b = point(84, -14.5);
  object* c = point(-30, 60);
  a->settings.graph_type = 3;
  a->settings.visible = 0;
  make(&classe_segment, 0, {a, b});
  make(&classe_droite, 1, {a, c})->settings.smartline_type = 1;
  make(&classe_demidroite, 1, {b, c});
  make(&classe_vecteur, 0, {c, a});
  object* tr = make(&classe_triangle, 0, {a, b, c});
  tr->settings.FillColor = 0x00FF00;
  tr->settings.opaque = 1;
  make(&classe_cercle, 1, {a, b});
  make(&classe_milieu, 0, {a, b});
  make(&classe_arc, 0, {a, b, c});
  make(&classe_polygone, 0, {a, b, c}, 0, 0, 4);
  object* n = make(&classe_nombre, 0, {}, 100, 120);
  set_text(n, "3,5");
  n->settings.nbre_decimales = 2;
  n->settings.unite = 33;
  recompute_object(n);
  object* t = make(&classe_text, 0, {}, 30, 40, 3);
  set_text(t, "a$1$;b \"q\"");
  auto* node = alloc_block<insert_object>();
  node->obj = n;
  node->number = 1;
  t->inserted = node;
  t->te->pos = {30, 40};
  t->te->size = {56, 28};
  // A label with a colour outside the table.
  b->te = static_cast<TErec*>(nullptr);
  init_object_text_records(b);  // with its label settings
  set_text(b, "B");
  ASSERT_NE(b->label, nullptr);
  b->label->Color = 0x00FE0001;

  std::string first = write_all();
  read_all(first);
  std::string second = write_all();
  EXPECT_EQ(first, second);
  EXPECT_EQ(fig_->nbobj, figures_.front()->nbobj);

  // The objects are equal: class, method, parents and settings.
  object* x = figures_.front()->first;
  object* y = fig_->first;
  for (; x != nullptr && y != nullptr; x = x->next, y = y->next) {
    SCOPED_TRACE(x->classe->short_name);
    EXPECT_EQ(x->classe, y->classe);
    EXPECT_EQ(x->methode, y->methode);
    ASSERT_EQ(x->nbparents, y->nbparents);
    for (int k = 0; k < x->nbparents; ++k) EXPECT_EQ(x->parents[k]->num, y->parents[k]->num);
    EXPECT_EQ(x->settings.Color, y->settings.Color);
    EXPECT_EQ(x->settings.FillColor, y->settings.FillColor);
    EXPECT_EQ(x->settings.graph_type, y->settings.graph_type);
    EXPECT_EQ(x->settings.visible, y->settings.visible);
  }
  EXPECT_EQ(x, nullptr);
  EXPECT_EQ(y, nullptr);
}

TEST_F(ObjectRecords, IntersectionsLociTablesChecksAndButtonsReadBackEqual) {
  object* a = point(0, 0);
  object* b = point(56, 0);
  object* c = point(0, 56);
  object* l1 = make(&classe_droite, 1, {a, b});
  object* l2 = make(&classe_droite, 1, {a, c});
  object* set = make(&classe_interset, 0, {l1, l2});
  object* i = make(&classe_ptint, 0, {set});
  ASSERT_NE(i, nullptr);
  i->math.inter_index = 0x10001;
  object* on = make(&classe_ptsur, 0, {l1}, 28, 0);
  make(&classe_locus, 0, {on, i});
  make(&classe_alignement, 0, {a, b, c});
  object* n = make(&classe_nombre, 0, {}, 10, 10);
  set_text(n, "2");
  object* table = make(&classe_table, 0, {n}, 0, 0, 0);
  ASSERT_NE(table, nullptr);
  make(&classe_axe, 0, {a});
  std::string first = write_all();
  EXPECT_NE(first.find("int ind:0x10001, "), std::string::npos) << first;
  EXPECT_NE(first.find(", TC: std"), std::string::npos) << first;
  EXPECT_EQ(first.find("IntSet"), std::string::npos) << "intersection sets have no record";
  read_all(first);
  EXPECT_EQ(write_all(), first);
}

// One figure per family: the object with its parents is written, read back
// into a fresh figure and compared; a second write gives the same bytes.
TEST_F(ObjectRecords, EveryFamilyReadsBackEqual) {
  auto number = [this](const char* text) {
    object* n = make(&classe_nombre, 0, {}, 20, 30);
    set_text(n, text);
    return n;
  };
  auto axes = [this] { return make(&classe_axe, 0, {point(0, 0)}, 0, 0); };
  auto owned = [](const char* text) {
    auto* block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(std::strlen(text) + 1)));
    std::strcpy(block, text);
    return block;
  };
  auto expression = [this, &owned](const char* text) {
    pending_extra[0] = owned(text);
    object* e = make(&classe_exp_num, 0, {}, 40, 50);
    GlobalFreeAndNull(&pending_extra[0]);
    return e;
  };
  struct Case {
    const char* family;
    std::function<void()> build;
  };
  const Case cases[] = {
      {"formula",
       [&] {
         object* a = number("2");
         object* b = number("3,5");
         // Decimal commas and a list separator between digits.
         pending_extra[0] = owned("max(1;2)*2,5+a;b");
         object* f = make(&classe_calculate, 0, {a, b}, 60, 70);
         f->settings.nbre_decimales = 3;
         f->te->pos = {84, 28};
         f->valeurs[0].h = 84;
         f->valeurs[0].v = 28;
         f->te->size = {56, 28};
       }},
      {"expression and its application",
       [&] {
         object* a = number("1,25");
         object* e = expression("x^2+1");
         e->te->pos = {28, 56};
         object* app = make(&classe_exp_num_app, 0, {a, e}, 0, 0);
         app->aux2 |= 2 | 4;
       }},
      {"button",
       [&] {
         object* p = point(10, 10);
         object* s = make(&classe_segment, 0, {p, point(40, 40)});
         object* n = number("7");
         object* b = make(&classe_button, 0, {}, 20, 20);
         set_text(b, "Show \"all\" $1$; x");
         auto* ref = alloc_block<insert_object>();
         ref->obj = n;
         ref->number = 1;
         b->inserted = ref;
         b->valeurs[0].h = b->valeurs[0].v = 28;
         recompute_object(b);
         b->aux2 |= 32;
         b->settings.FillColor = 0x00FFFF;
         objectptrlist** tail = &b->associated;
         for (object* target : {s, p}) {
           auto* node = alloc_block<objectptrlist>();
           node->obj = target;
           *tail = node;
           tail = &node->next;
         }
       }},
      {"angle mark",
       [&] {
         object* m = make(&classe_angle, 0, {point(0, 0), point(28, 0), point(0, 28)});
         m->valeurs[1].info.rayon = 1.5;
         m->settings.graph_type = 16 + 2;
         recompute_object(m);
       }},
      {"equations",
       [&] {
         object* ax = axes();
         object* l = make(&classe_droite, 1, {point(0, 0), point(28, 14)});
         object* eq = make(&classe_equation, 1, {l, ax});
         eq->math.equa.format = 1;
         eq->settings.nbre_decimales = 2;
         eq->settings.unite = 33;
         object* c = make(&classe_cercle, 1, {point(0, 0), point(28, 0)});
         make(&classe_equation, 1, {c, ax})->math.equa.typeunite = 3;
       }},
      {"coordinates",
       [&] {
         object* ax = axes();
         object* co = make(&classe_equation, 0, {point(14, 28), ax}, 30, 30);
         co->math.equa.typeunite = 1;
         co->settings.contraint = 1;
       }},
      {"springs",
       [&] {
         object* a = point(0, 0);
         make(&classe_spring, 0, {a, point(56, 0)}, 14, -28, 2);
         make(&classe_spring, 0, {number("4"), a}, 28, 14, 2);
       }},
      {"regular polygon and its vertices",
       [&] {
         object* c = point(0, 0);
         object* a = point(56, 0);
         const int n = 5;
         object* holder = make(&classe_point_polyreg, 1, {c, a}, 0, 0, n + 2);
         holder->math.polreg.nbsides = n;
         holder->math.polreg.index = 1;
         recompute_object(holder);
         std::vector<object*> corners = {a, holder};
         for (int i = 1; i <= n - 2; ++i) {
           object* v = make(&classe_point_polyreg, 0, {holder}, 0, 0, 0);
           GlobalFreeAndNull(&v->valeurs);
           v->valeurs = holder->valeurs + i;
           v->nbvaleurs = 1;
           v->math.polreg.index = static_cast<int16_t>(i);
           corners.push_back(v);
         }
         make(&classe_polyreg, 0, corners, 0, 0, n + 1);
       }},
      {"transformations",
       [&] {
         object* p = point(10, 20);
         object* o = point(0, 0);
         object* k = number("2");
         object* l = make(&classe_droite, 1, {o, point(28, 28)});
         object* image = make(&classe_translation, 0, {p, make(&classe_vecteur, 0, {o, point(28, 0)})});
         // A labelled image, its label in a colour and box of its own.
         init_object_text_records(image);
         set_text(image, "P'");
         image->te->pos = {14, 42};
         image->te->size = {28, 20};
         if (image->label == nullptr) image->label = get_default_font_info();  // made with the record
         image->label->Color = 0x0000FF;
         make(&classe_symetriquedr, 0, {p, l});
         object* t = make(&classe_triangle, 0, {o, point(56, 0), point(0, 56)});
         make(&classe_symetriquedr, 0, {p, t})->math.side.index = 2;
         make(&classe_symetriquedr, 0, {p, axes()})->math.side.index = 2;
         make(&classe_symetrique, 0, {l, o});
         make(&classe_rotation, 0, {p, o, k});
         make(&classe_rotation, 1, {p, o, point(1, 1), point(2, 1), point(3, 2)});
         make(&classe_dilatation, 0, {p, o, k});
         make(&classe_dilatation, 1, {p, o, point(5, 5), point(6, 6)});
         make(&classe_inverse, 0, {p, make(&classe_cercle, 1, {o, point(28, 0)})});
         make(&classe_rotation, 0, {t, o, make(&classe_angle, 0, {o, p, point(0, 28)})});
         make(&classe_compas3, 1, {make(&classe_cercle, 1, {p, o}), o, k}, 0, 0, 1);
         // The direction of a transfer from a point comes back from its
         // image, so it is the image's own here.
         object* from = make(&classe_compas3, 2, {p, k}, 42, -14, 2);
         from->valeurs[1].h = from->valeurs[0].h - p->valeurs[0].h;
         from->valeurs[1].v = from->valeurs[0].v - p->valeurs[0].v;
         make(&classe_compas3, 3, {t, k}, 0, 0, 1);
         make(&classe_compas3, 0, {axes(), k}, 0, 0, 1)->math.side.index = 1;
         // The side bytes set above take effect.
         for (object* o = fig_->first; o != nullptr; o = o->next) recompute_object(o);
       }},
      {"measures",
       [&] {
         object* a = point(0, 0);
         object* b = point(56, 42);
         object* len = make(&classe_length, 0, {make(&classe_segment, 0, {a, b})}, 70, 80);
         len->aux2 |= 2 | 4;
         len->valeurs[0].info.rayon = 12.5;
         len->te->pos = {70, -80};
         len->settings.nbre_decimales = 131;
         len->settings.unite = 33;
         make(&classe_length, 1, {a, b}, 10, 10);
         make(&classe_length, 1, {b, axes()}, 10, 10)->math.side.index = 2;
         make(&classe_aire, 0, {make(&classe_cercle, 1, {a, b})}, 10, 10)->settings.unite = 65;
         make(&classe_pente, 0, {make(&classe_droite, 1, {a, b})});
         object* c = point(0, 56);
         make(&classe_angleMes, 0, {a, b, c})->settings.unite = 129;
         make(&classe_angleMes, 1, {make(&classe_angle, 0, {a, b, c})});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    fresh_figure();
    c.build();
    // Settings changed after creation take effect, as in a figure on screen.
    for (object* o = fig_->first; o != nullptr; o = o->next) recompute_object(o);
    kelvo_win_info* written = fig_;
    const std::string first = write_all();
    read_all(first);
    resolve_record_numbers();
    expect_equal_figures(written, fig_);
    EXPECT_EQ(write_all(), first);
  }
}

TEST_F(ObjectRecords, ReferencesOutOfOrderOrRepeatedBindTheSameObjects) {
  object* a = make(&classe_nombre, 0, {}, 0, 0);
  set_text(a, "1");
  object* b = make(&classe_nombre, 0, {}, 0, 0);
  set_text(b, "2");
  object* t = make(&classe_text, 0, {}, 0, 0, 3);
  set_text(t, "x$2$y$1$z$2$w$7$");
  insert_object** tail = &t->inserted;
  for (auto [obj, n] : {std::pair{a, 1}, std::pair{b, 2}}) {
    auto* node = alloc_block<insert_object>();
    node->obj = obj;
    node->number = static_cast<int16_t>(n);
    *tail = node;
    tail = &node->next;
  }
  std::string first = write_all();
  EXPECT_NE(first.find("3: Text, inc.elmts: 2,  1,  2, "), std::string::npos) << first;
  EXPECT_NE(first.find("\"x\"#y\"#z\"#w$7$\""), std::string::npos) << first;
  read_all(first);
  object* read = fig_->first->next->next;
  ASSERT_NE(read->te, nullptr);
  EXPECT_STREQ(read->te->text, "x$1$y$2$z$3$w$7$");
  const uint32_t expected[3] = {2, 1, 2};
  int n = 0;
  for (insert_object* node = read->inserted; node != nullptr; node = node->next, ++n) {
    ASSERT_LT(n, 3);
    EXPECT_EQ(node->number, n + 1);
    EXPECT_EQ(node->obj->num, expected[n]);
  }
  EXPECT_EQ(n, 3);
  EXPECT_EQ(write_all(), first);
}

TEST_F(ObjectRecords, ButtonTargetsAndColourSourcesResolveAfterTheLastRecord) {
  const char* text =
      "1: Pt, Val: 1 1\r\n\r\n"
      "2: Pt, Val: 2 2\r\nParam color:red:3, blue:9, \r\n\r\n"
      "3: Num, Val: 0 0 1, nA, nP, \r\nNbD:2, nFD, WU, \r\n1\r\nTP:  0,  0, TS:  1,  1\r\n\r\n"
      "4: Seg, Const: 1,  2, ass.elmts: 1, \r\n\r\n";
  read_all(text);
  object* p2 = fig_->first->next;
  object* seg = p2->next->next;
  EXPECT_EQ(seg->associated, nullptr) << "only buttons keep targets";
  resolve_record_numbers();
  ASSERT_NE(p2->pcolor, nullptr);
  EXPECT_EQ(p2->pcolor->red, p2->next);
  EXPECT_EQ(p2->pcolor->green, nullptr);
  EXPECT_EQ(p2->pcolor->blue, nullptr) << "number 9 names no object";
  EXPECT_NE(write_all().find("Param color:red:3, "), std::string::npos);
}

TEST_F(ObjectRecords, FuzzFindingsStayFixed) {
  // Inputs the fuzz target once crashed on, kept as they were found.
  const std::string dir = std::string(KELVO_TEST_DATA) + "/files/fuzz_regressions/";
  for (const char* name : {"crash-1fec080899970def8ea257e4736c98d83f3dc07e"}) {
    SCOPED_TRACE(name);
    FILE* f = std::fopen((dir + name).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
    const char* p = text.c_str();
    while (*p != '\0') {
      object* o = nullptr;
      int32_t used = read_object_record(&o, p);
      if (used <= 0) break;
      p += used;
    }
    resolve_record_numbers();
    write_all();
  }
}

TEST_F(ObjectRecords, HostileRecordsAreRefusedWithoutAnObject) {
  point(0, 0);
  point(28, 28);
  const uint32_t before = fig_->nbobj;
  const char* cases[] = {
      "3: Foo, \r\n\r\n",
      "3: , \r\n\r\n",
      "3: Seg, Const: 1, \r\n\r\n",
      "3: Seg, Const: 1,  9, \r\n\r\n",
      "3: Seg, Const: 1,  0, \r\n\r\n",
      "3: Seg, Const: 1,  99999999999, \r\n\r\n",
      "99999999999: Pt, Val: 1 1\r\n\r\n",
      "3: Pt, Val: 1\r\n 2\r\n\r\n",
      "3: Pt, Val: 1e999 1\r\n\r\n",
      "3: Pt, Val: 1 -1e400\r\n\r\n",
      "3: Pt, Val: 1 1\r\nDS:1 0, \r\n\r\n",
      "3: Pt, Val: 1 1\r\nDS:300 2, \r\n\r\n",
      "3: Pt, Val: 1 1\r\nCOLOR 256 0 0, \r\n\r\n",
      "3: Pt, Val: 1 1\r\ncolor:Nope, \r\n\r\n",
      "3: Seg, Const: 1,  2, \r\nmarks nb:1000, \r\n\r\n",
      "3: Pt, Val: 1",
      "3: Num, Val: 1 2 3, nA, nP, \r\nNbD:999, nFD, WU, \r\n\r\n",
      "3: Ma R, F No1, \r\n\r\n",
      "",
      "\r\n\r\n",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    object* o = reinterpret_cast<object*>(1);
    EXPECT_EQ(read_object_record(&o, text), -1);
    EXPECT_EQ(o, nullptr);
    EXPECT_STRNE(object_reader_error(), "");
    EXPECT_EQ(fig_->nbobj, before);
  }
}

// A text record written by another program (a header without "(MAC")
// formats its text by runs: each run's font, size, colour and style over
// its range, a Windows line break counted as one position; the record's own
// format is the first run's, or the last one's for a text showing values.
TEST_F(ObjectRecords, RunsOfAnotherProgramFormatTheirRangesOfTheText) {
  object* t = make(&classe_text, 0, {}, 10, 10);
  ASSERT_NE(t, nullptr);
  set_text(t, "abc\r\ndefg");
  const std::string written = write_all();
  const size_t run = written.find("p: 0, ");
  ASSERT_NE(run, std::string::npos) << written;
  const size_t eol = written.find("\r\n", run);
  auto with_runs = [&](const std::string& runs) { return written.substr(0, run) + runs + written.substr(eol); };
  const std::string three =
      with_runs("p: 0, Courier, S: 14 C: 7 Fa: 1, p: 2, Times, S: -10 C: 3 Fa: 2, p: 5, Arial, S: 0 C: 5 Fa: 4");

  struct Case {
    uint8_t value_text;
    uint16_t style;  // of the run that gives the record's format
    int32_t size;
  } cases[] = {{0, 1, 14}, {1, 4, 12}};
  for (const Case& c : cases) {
    file_mac_header = 0;
    value_text_option = c.value_text;
    read_all(three);
    value_text_option = 0;
    const TErec* te = last_object()->te;
    ASSERT_NE(te, nullptr);
    EXPECT_EQ(te->format.style, c.style);
    EXPECT_EQ(te->format.size, c.size);
    ASSERT_NE(te->rtf_data, nullptr);
    // Each character's format, as the rich text gives it back (a line break
    // may start a run of its own).
    const rtf_document doc = read_rtf(te->rtf_data, std::strlen(te->rtf_data));
    std::u16string letters;
    std::vector<const rtf_run*> of;
    for (const rtf_run& r : doc.runs)
      for (char16_t ch : r.text)
        if (ch != u'\r' && ch != u'\n' && ch != 0x2029) letters += ch, of.push_back(&r);
    ASSERT_EQ(letters, u"abcdefg");
    for (int k : {0, 1}) {
      EXPECT_TRUE(of[k]->bold) << k;
      EXPECT_EQ(of[k]->size, 14) << k;
      EXPECT_EQ(of[k]->color, color_by_index(7) & 0xFFFFFF) << k;
    }
    // From position 2 to position 5 of the file, which is 6 in the text.
    for (int k : {2, 3}) {
      EXPECT_TRUE(of[k]->italic) << k;
      EXPECT_FALSE(of[k]->bold) << k;
      EXPECT_EQ(of[k]->size, 10) << k;
    }
    for (int k : {4, 5, 6}) {
      EXPECT_TRUE(of[k]->underline) << k;
      EXPECT_EQ(of[k]->size, 12) << k;
      EXPECT_EQ(of[k]->font, "Arial") << k;
    }
  }

  // Positions that go back make empty ranges: no run reaches past the one
  // before it.
  file_mac_header = 0;
  read_all(with_runs("p: 0, Courier, S: 14 C: 7 Fa: 1, p: 5, Times, S: 10 C: 3 Fa: 2, p: 2, Arial, S: 9 C: 5 Fa: 4"));
  const TErec* back = last_object()->te;
  ASSERT_NE(back->rtf_data, nullptr);
  for (const rtf_run& r : read_rtf(back->rtf_data, std::strlen(back->rtf_data)).runs) {
    EXPECT_FALSE(r.italic);
    EXPECT_FALSE(r.underline);
  }

  // One run over the whole text is the record's format alone; no run at all
  // is Arial at 12 points in black.
  file_mac_header = 0;
  read_all(with_runs("p: 0, Courier, S: 16 C: 7 Fa: 2"));
  EXPECT_EQ(last_object()->te->rtf_data, nullptr);
  EXPECT_EQ(last_object()->te->format.size, 16);
  EXPECT_EQ(last_object()->te->format.style, 2);
  read_all(written.substr(0, run) + written.substr(eol + 2));
  const TErec* plain = last_object()->te;
  EXPECT_EQ(plain->rtf_data, nullptr);
  EXPECT_EQ(plain->format.size, 12);
  EXPECT_EQ(plain->format.color, 0u);
  EXPECT_EQ(plain->format.font_id, font_id_by_name_or_create("Arial", 12));

  // This program's own files: the last run is the format, the text plain.
  file_mac_header = 1;
  read_all(three);
  EXPECT_EQ(last_object()->te->rtf_data, nullptr);
  EXPECT_EQ(last_object()->te->format.style, 4);
}

// Characters the 8-bit record text has no byte for (an angle sign, an
// arrow, one beyond 16 bits) travel in the text's rich-text block as
// Unicode escapes, each followed by the '?' that the record's own text and
// readers without Unicode show. The block reads back to the same
// characters and writes back to the same bytes; damaged escapes read as the
// replacement character, the rest of the text kept.
TEST_F(ObjectRecords, CharactersBeyondMacRomanTravelEscapedInTheRichText) {
  object* t = make(&classe_text, 0, {}, 10, 10);
  ASSERT_NE(t, nullptr);
  set_text(t, "? ABC = 30? ?\r2nd");
  rtf_run run = record_rtf_run(t->te);
  run.text = u"\u2220 ABC = 30\u00b0 \u2192\n2nd \U0001F600";
  const std::string rtf = runs_to_rtf({run});
  EXPECT_NE(rtf.find("\\u8736?"), std::string::npos) << rtf;
  t->te->rtf_data = alloc_block<char>(static_cast<uint32_t>(rtf.size() + 1));
  std::memcpy(t->te->rtf_data, rtf.c_str(), rtf.size() + 1);
  const std::string written = write_all();

  read_all(written);
  const TErec* te = last_object()->te;
  ASSERT_NE(te->rtf_data, nullptr);
  EXPECT_STREQ(te->rtf_data, rtf.c_str());
  EXPECT_EQ(read_rtf(te->rtf_data, std::strlen(te->rtf_data)).plain(), run.text);
  // The group is written back as it was read, and the record, once read,
  // writes the same bytes again and again.
  const auto group = [](const std::string& file) {
    const size_t at = file.find("{\\rtf1");
    return at == std::string::npos ? std::string() : file.substr(at, file.find("\r\n", at) - at);
  };
  const std::string again = write_all();
  EXPECT_EQ(group(again), group(written));
  read_all(again);
  EXPECT_EQ(write_all(), again) << "an unchanged text writes other bytes";

  const struct {
    const char* from;
    const char* to;
    std::u16string text;
  } damaged[] = {
      {"\\u8736?", "\\u87360000000000000?", u"\ufffd ABC"},
      {"\\u8736?", "\\u-99999?", u"\ufffd ABC"},
      {"\\u8736?", "\\u0?", u"\ufffd ABC"},
      {"\\u8736?", "\\u-10179?", u"\ufffd ABC"},
      {"\\u8736? ABC", "\\u87", u""},  // the line cut inside the escape
  };
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.to);
    std::string file = written;
    const size_t at = file.find(d.from);
    ASSERT_NE(at, std::string::npos);
    const bool cut = std::string(d.to) == "\\u87";
    if (cut)
      file.replace(at, file.find("\r\n", at) - at, d.to);
    else
      file.replace(at, std::strlen(d.from), d.to);
    read_all(file);
    const TErec* back = last_object()->te;
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->text, te->text);
    const std::u16string shown =
        back->rtf_data ? read_rtf(back->rtf_data, strnlen(back->rtf_data, GlobalSize(back->rtf_data))).plain()
                       : std::u16string();
    EXPECT_EQ(shown.substr(0, d.text.size()), d.text);
    if (!cut) EXPECT_NE(shown.find(u"\u2192"), std::u16string::npos);
  }
}

TEST_F(ObjectRecords, OddButHarmlessItemsKeepTheirDefaults) {
  object* o = nullptr;
  // An unknown point shape stops the style items; the point keeps its shape.
  ASSERT_GT(read_object_record(&o, "1: Pt, Val: 1 1\r\nSQUARE, invisible, \r\n\r\n"), 0);
  EXPECT_EQ(o->settings.graph_type, 1);
  EXPECT_EQ(o->settings.visible, 1);
  // A stored block that claims more bytes than the text holds is not read.
  ASSERT_GT(read_object_record(&o, "2: Num, Val: 0 0 1, nA, nP, \r\nNbD:2, nFD, cm, \r\n1\r\n"
                                   "TP:  0,  0, TS:  1,  1\r\np: 0, Arial, S: 0 C: 99 Fa: 1rtfdFFFFFFFF00\r\n\r\n"),
            0);
  ASSERT_NE(o->te, nullptr);
  EXPECT_EQ(o->te->rtf_data, nullptr);
  EXPECT_EQ(o->te->format.size, 12);
  EXPECT_EQ(o->te->format.style, 1);
  EXPECT_EQ(o->settings.unite, 33);
}

TEST_F(ObjectRecords, FramesAndColumnWidthsAreNeverBelowTheirMinimum) {
  object* n = nullptr;
  ASSERT_GT(read_object_record(&n, "1: Num, Val: 0 0 1, nA, nP, \r\nNbD:2, nFD, WU, \r\n1\r\n"
                                   "TP:  0,  0, TS:  -3,  0\r\n\r\n"),
            0);
  ASSERT_NE(n->te, nullptr);
  EXPECT_EQ(n->te->size.w, 5);
  EXPECT_EQ(n->te->size.h, 5);
  object* t = nullptr;
  ASSERT_GT(read_object_record(&t, "2: Table, Const: 1, \r\nTP:  0,  0, TS:  4,  3\r\n"
                                   "p: 0, Arial, S: 12 C: 40 Fa: 0, TC: 1:0 2:3 3:250\r\n\r\n"),
            0)
      << object_reader_error();
  ASSERT_NE(t->te, nullptr);
  ASSERT_NE(t->te->column_widths, nullptr);
  ASSERT_EQ(t->te->column_widths[0], 3);
  EXPECT_EQ(t->te->column_widths[1], 20);
  EXPECT_EQ(t->te->column_widths[2], 20);
  EXPECT_EQ(t->te->column_widths[3], 250);
  EXPECT_GE(t->te->size.w, 5);
}

TEST_F(ObjectRecords, NumbersAreReadInTheCLocaleWhateverTheUsersLocale) {
  // Build a locale whose decimal separator is a comma.
  const std::string dir = std::string(KELVO_TEST_OUTPUT) + "/locales";
  std::string make = "mkdir -p '" + dir + "' && localedef -i de_DE -f UTF-8 '" + dir +
                     "/de_DE.UTF-8' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "localedef cannot build a comma locale here";
  setenv("LOCPATH", dir.c_str(), 1);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "comma locale unavailable";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  EXPECT_STREQ(probe, "1,5");

  object* o = nullptr;
  ASSERT_GT(read_object_record(&o, "1: Pt, Val: 1.5 -2.25\r\n\r\n"), 0);
  EXPECT_DOUBLE_EQ(o->valeurs[0].h, 1.5 * 28);
  EXPECT_DOUBLE_EQ(o->valeurs[0].v, 2.25 * 28);
  std::string text = write_all();
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(text, "1: Pt, Val: 1.5 -2.25\r\n\r\n");
}

}  // namespace
