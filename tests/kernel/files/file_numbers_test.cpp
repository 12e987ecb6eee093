// Large figures read back: the objects named by file number are the ones a
// walk of the figure names, an opened figure is the one that was saved, and
// each file opened is read as if it were the first.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kernel/files/figure_file.h"
#include "kernel/files/file_state.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_def.h"
#include "kernel/model/engine_fixture.h"
#include "kernel/model/units.h"
#include "kernel/model/version_info.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/files/text_convert.h"
#include "kernel/model/recompute.h"
#include "kernel/render/colors.h"
#include "kernel/text/text_record.h"

namespace {

// Two points: their midpoint and the segment from the first to it.
const char kMid2[] =
    "Mid2, M2\r\n"
    "Help:\r\n\"Half way\"\r\n"
    "Mth: 0\r\n"
    "CN:2, ON:2, FN:2, PO:0\r\n"
    "CT:\r\n"
    "point, CS 0, default settings, \r\n"
    "point, CS 0, default settings, \r\n"
    "Const:\r\n"
    "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n"
    "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n";

class FileNumbers : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    init_version_info();
    init_color_table();
    pixels_per_unit = 28.0;
    file_class = 0;
    file_platform = 0;
    file_mac_header = 1;
    home_ = fig_;
    // The macro's class lives until the class list goes: apart from the
    // blocks the figures must give back.
    const std::size_t before = kernel_live_blocks();
    ASSERT_GT(txt_load_used_macro(kMid2, 0), 0) << macro_text_error();
    baseline_ += kernel_live_blocks() - before;
  }
  void TearDown() override {
    for (kelvo_win_info* f : opened_) {
      KPGeoDocument::setCurrentInfo(f);
      kelvo_win_info* copy = f->undo;
      free_figure_info(f, false);
      free_figure_info(copy, false);
    }
    free_file_image();
    KPGeoDocument::setCurrentInfo(home_);
    EngineTest::TearDown();
  }

  object* build(construct_class* cls, int method, std::initializer_list<object*> picks, double x = 0,
                double y = 0) {
    current_class = cls;
    objlist_clear(fig_->inputs);
    for (object* p : picks) objlist_add(fig_->inputs, p, 0);
    rubber_points[0] = valeur{x, y, {}, 0};
    rubber_points[1] = valeur{x + 28, y, {}, 0};
    variable_nb_values = 0;
    uint16_t created = 0;
    object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 1);
    objlist_clear(fig_->inputs);
    current_class = nullptr;
    EXPECT_NE(o, nullptr) << cls->short_name;
    if (o) o->state &= ~OBJ_NEW;
    return o;
  }
  object* pt(double x, double y) { return build(&classe_point, 0, {}, x, y); }

  // Every other object hangs on the first point.
  void build_star(int n) {
    object* hub = pt(5, 5);
    for (int i = 0; i < n; ++i) {
      object* p = pt(i % 30 * 7.0, i / 30 * 5.0);
      build(&classe_milieu, 0, {hub, p});
      if (i % 5 == 0) build(&classe_segment, 0, {p, hub});
    }
  }
  // Groups of two points, their segment and midpoint; circles that cross,
  // with their intersection points; numbers; applications of a macro.
  void build_mixed(int groups) {
    construct_class* mid2 = find_macro_class_for_line("Mid2");
    ASSERT_NE(mid2, nullptr);
    for (int g = 0; g < groups; ++g) {
      object* a = pt(g * 3.0, -g * 2.0);
      object* b = pt(g * 3.0 + 40, -g * 2.0 + 10);
      build(&classe_segment, 0, {a, b});
      build(&classe_milieu, 0, {a, b});
      if (g % 3 == 0) {
        object* c1 = build(&classe_cercle, 1, {a, b});
        object* c2 = build(&classe_cercle, 1, {b, a});
        object* set = build(&classe_interset, 0, {c1, c2});
        object* i = build(&classe_ptint, 0, {set});
        if (i) i->math.inter_index = 0x10001;
      }
      if (g % 4 == 1) {
        object* c = pt(g * 3.0 - 20, g * 2.0);
        current_class = mid2;
        objlist_clear(fig_->inputs);
        objlist_add(fig_->inputs, a, 0);
        objlist_add(fig_->inputs, c, 0);
        EXPECT_NE(apply_macro(0, 0), nullptr);
        current_class = nullptr;
      }
      if (g % 5 == 2) {
        object* n = build(&classe_nombre, 0, {}, 10 + g, 10);
        ASSERT_NE(n, nullptr);
        GlobalFreeAndNull(&n->te->text);
        n->te->text = static_cast<char*>(GlobalAlloc(GPTR, 16));
        std::snprintf(n->te->text, 16, "%d%c5", g, decimal_separator);
        n->te->length = static_cast<int32_t>(std::strlen(n->te->text));
        recompute_object(n);  // a number's value follows its text
      }
    }
  }

  static std::string save() {
    EXPECT_EQ(txt_write_figure_file(), 1);
    return std::string(file_buffer, file_buffer_len);
  }
  // Opens the text into a fresh figure as a document does. The figure left
  // keeps what its macros remember of it.
  int8_t open(const std::string& text) {
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    opened_.push_back(fig_);
    return read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "/tmp/numbers.fig");
  }

  // Each object: class, method, number, its parents' numbers and (with
  // `values`) its values.
  static std::string describe(const kelvo_win_info* f, bool values = true) {
    std::string out;
    char buf[96];
    for (const object* o = f->first; o; o = o->next) {
      out += o->classe && o->classe->short_name ? o->classe->short_name : "?";
      std::snprintf(buf, sizeof buf, " m%d #%u (", o->methode, o->num);
      out += buf;
      for (int i = 0; i < o->nbparents && o->parents; ++i)
        out += std::to_string(o->parents[i] ? o->parents[i]->num : 0) + " ";
      out += ")";
      for (int i = 0; values && i < o->nbvaleurs && o->valeurs; ++i) {
        std::snprintf(buf, sizeof buf, " %.17g,%.17g,%.17g", o->valeurs[i].h, o->valeurs[i].v,
                      o->valeurs[i].info.rayon);
        out += buf;
      }
      out += "\n";
    }
    return out;
  }

  kelvo_win_info* home_ = nullptr;
  std::vector<kelvo_win_info*> opened_;
};

// The table answers what the walk of the figure answers, for numbers in
// order with gaps and objects numbered 0, and (by the walk) for numbers
// out of order.
TEST_F(FileNumbers, TheTableFindsWhatTheWalkFinds) {
  build_mixed(30);
  std::mt19937 rng(7);
  for (int round = 0; round < 6; ++round) {
    uint32_t n = 0;
    for (object* o = fig_->first; o; o = o->next) {
      const uint32_t r = rng() % 10;
      if (round < 4) o->num = r == 0 ? 0 : (n += 1 + (r == 1 ? rng() % 5 : 0));
      else o->num = rng() % (fig_->nbobj + 5);  // out of order, repeated
    }
    std::vector<object*> walk, table;
    for (uint32_t k = 0; k <= n + fig_->nbobj + 4; ++k) walk.push_back(find_object_by_file_number(k));
    begin_record_numbers();
    for (uint32_t k = 0; k <= n + fig_->nbobj + 4; ++k) table.push_back(find_object_by_file_number(k));
    resolve_record_numbers();
    EXPECT_EQ(table, walk) << "round " << round;
  }
}

// Records that name early objects, numbers with gaps and numbers out of
// order find the same parents.
TEST_F(FileNumbers, RecordsFindTheirParentsWhateverTheNumbering) {
  // The head of the file of an empty figure.
  const std::string head = save();
  // Gaps: 10 is the third point; 4 names no object, so the fourth record.
  ASSERT_EQ(open(head + "1: Pt, Val: 0 -0\r\n\r\n2: Pt, Val: 2 -0\r\n\r\n10: Pt, Val: 2 -2\r\n\r\n"
                        "11: Pt, Val: 3 -2\r\n\r\n12: Seg, Const: 10 1\r\n\r\n13: Seg, Const: 2 4\r\n\r\n"),
            1)
      << figure_file_error();
  object* p1 = fig_->first;
  object* p2 = p1->next;
  object* p10 = p2->next;
  object* p11 = p10->next;
  object* seg = p11->next;
  ASSERT_NE(seg, nullptr);
  ASSERT_NE(seg->next, nullptr);
  EXPECT_EQ(seg->parents[0], p10);
  EXPECT_EQ(seg->parents[1], p1);
  EXPECT_EQ(seg->next->parents[0], p2);
  EXPECT_EQ(seg->next->parents[1], p11);
  // Out of order: the walk from the end names the last object carrying 3.
  ASSERT_EQ(open(head + "1: Pt, Val: 0 -0\r\n\r\n5: Pt, Val: 2 -0\r\n\r\n3: Pt, Val: 2 -2\r\n\r\n"
                        "7: Seg, Const: 3 5\r\n\r\n"),
            1)
      << figure_file_error();
  object* seg2 = fig_->first->next->next->next;
  EXPECT_EQ(seg2->parents[0], fig_->first->next->next);
  EXPECT_EQ(seg2->parents[1], fig_->first->next);
}

// The first line where two descriptions differ, or "".
std::string first_difference(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  if (i == a.size() && i == b.size()) return "";
  const size_t line = a.rfind('\n', i) == std::string::npos ? 0 : a.rfind('\n', i) + 1;
  return a.substr(line, a.find('\n', i) - line) + " | " + b.substr(line, b.find('\n', i) - line);
}

// Opened figures are the figures saved, object for object, and write the
// same bytes again; opened again, they are the same to the last bit.
TEST_F(FileNumbers, OpenedFiguresAreTheSavedOnes) {
  for (int kind = 0; kind < 2; ++kind) {
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    opened_.push_back(fig_);
    ASSERT_EQ(create_default_objects(), 0);
    if (kind == 0) build_star(400);
    else build_mixed(80);
    const std::string text = save();
    const std::string objects = describe(fig_, false);
    ASSERT_EQ(open(text), 1) << figure_file_error();
    EXPECT_EQ(first_difference(describe(fig_, false), objects), "") << "kind " << kind;
    const std::string values = describe(fig_);
    EXPECT_EQ(first_difference(save(), text), "") << "kind " << kind;
    ASSERT_EQ(open(text), 1) << figure_file_error();
    EXPECT_EQ(first_difference(describe(fig_), values), "") << "kind " << kind;
  }
}

// A file opened after others is read as when it is opened first, after a
// refused file and after records read outside any file alike.
TEST_F(FileNumbers, EachFileIsReadAsIfItWereTheFirst) {
  ASSERT_EQ(create_default_objects(), 0);
  build_star(60);
  const std::string star = save();
  new_figure_info();
  fig_ = KPGeoDocument::currentInfo();
  opened_.push_back(fig_);
  ASSERT_EQ(create_default_objects(), 0);
  build_mixed(20);
  const std::string mixed = save();

  ASSERT_EQ(open(mixed), 1) << figure_file_error();
  const std::string mixed_alone = describe(fig_);
  ASSERT_EQ(open(star), 1) << figure_file_error();
  const std::string star_alone = describe(fig_);

  ASSERT_EQ(open(mixed), 1);
  ASSERT_EQ(open(star), 1);
  EXPECT_EQ(first_difference(describe(fig_), star_alone), "");
  ASSERT_EQ(open(mixed), 1);
  EXPECT_EQ(first_difference(describe(fig_), mixed_alone), "");
  EXPECT_EQ(first_difference(save(), mixed), "");

  // A file read without a record it names, and one read only half way.
  std::string cut = star.substr(0, star.find("40: "));
  cut += "40: Mid, Const: 1 99999\r\n\r\n";
  EXPECT_EQ(open(cut), 1);
  EXPECT_EQ(figure_file_left_out(), "40: parent 99999 is not in the figure\n");
  ASSERT_EQ(open(star), 1) << figure_file_error();
  EXPECT_EQ(first_difference(describe(fig_), star_alone), "");
  EXPECT_EQ(figure_file_left_out(), "");
  cut = star.substr(0, star.find("40: "));
  cut += "40: Pt, Val: 1\r\n\r\n";
  EXPECT_EQ(open(cut), 1);
  EXPECT_NE(figure_file_not_read(), "");
  ASSERT_EQ(open(star), 1) << figure_file_error();
  EXPECT_EQ(first_difference(describe(fig_), star_alone), "");
  EXPECT_EQ(figure_file_not_read(), "");

  // Records read one by one into a figure, without a file around them.
  new_figure_info();
  fig_ = KPGeoDocument::currentInfo();
  opened_.push_back(fig_);
  const char* records = "1: Pt, Val: 0 -0\r\n\r\n2: Pt, Val: 2 -0\r\n\r\n3: Seg, Const: 1 2\r\n\r\n";
  for (const char* p = records; *p;) {
    object* o = nullptr;
    const int32_t used = read_object_record(&o, p);
    ASSERT_GT(used, 0) << object_reader_error();
    p += used;
  }
  ASSERT_EQ(open(mixed), 1) << figure_file_error();
  EXPECT_EQ(first_difference(describe(fig_), mixed_alone), "");
}

}  // namespace
