#include "kernel/files/figure_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/figure_bitmaps.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/version_info.h"
#include "kernel/objects/locus_type.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/support/intersection_clicks.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_args.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace {

using namespace std::string_literals;

// A macro of two points: their midpoint and the segment from the first
// point to it, both final.
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

class FigureFile : public ::testing::Test {
 protected:
  void SetUp() override {
    init_version_info();
    init_construct_classes();
    init_color_table();
    pixels_per_unit = 28.0;
    file_class = 0;
    file_platform = 0;
    file_mac_header = 1;
    fresh();
  }
  void TearDown() override {
    drop_figures();
    free_file_image();
    reset_pixels_per_unit();
    free_construct_classes();
  }
  void drop_figures() {
    for (kelvo_win_info* f : figures_) {
      KPGeoDocument::setCurrentInfo(f);
      kelvo_win_info* copy = f->undo;
      free_figure_info(f, false);
      free_figure_info(copy, false);
    }
    figures_.clear();
    KPGeoDocument::setCurrentInfo(nullptr);
  }
  void fresh() {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    ASSERT_NE(fig_, nullptr);
    figures_.push_back(fig_);
  }
  object* make(construct_class* cls, int method, std::vector<object*> picks, double x = 0, double y = 0) {
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
    if (o != nullptr) o->state &= ~OBJ_NEW;
    return o;
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
  static std::string image() { return std::string(file_buffer, file_buffer_len); }
  std::string save() {
    EXPECT_EQ(txt_write_figure_file(), 1);
    return image();
  }
  // Reads a text into a fresh figure as the open path does.
  int8_t open(const std::string& text) {
    fresh();
    return read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "/tmp/figure.fig");
  }
  object* apply_mid2(object* a, object* b) {
    construct_class* mid2 = find_macro_class_for_line("Mid2");
    EXPECT_NE(mid2, nullptr);
    current_class = mid2;
    objlist_clear(fig_->inputs);
    objlist_add(fig_->inputs, a, 0);
    objlist_add(fig_->inputs, b, 0);
    object* r = apply_macro(0, 0);
    current_class = nullptr;
    return r;
  }
  static std::vector<double> values(const kelvo_win_info* f) {
    std::vector<double> v;
    for (const object* o = f->first; o != nullptr; o = o->next)
      for (int i = 0; i < o->nbvaleurs && o->valeurs != nullptr; ++i) {
        v.push_back(o->valeurs[i].h);
        v.push_back(o->valeurs[i].v);
      }
    return v;
  }
  // The figure of the round trip: default axes, a password, a background
  // colour, a table, a button with targets, colours driven by numbers and
  // two applications of a used macro.
  void build_full_figure() {
    ASSERT_EQ(create_default_objects(), 0);
    ASSERT_GT(txt_load_used_macro(kMid2, 0), 0) << macro_text_error();
    fig_->password = static_cast<char*>(GlobalAlloc(GPTR, 8));
    std::strcpy(fig_->password, "secret");
    fig_->bgcolor = color_by_index(4);
    object* a = make(&classe_point, 0, {}, 28, -56);
    object* b = make(&classe_point, 0, {}, 112, -28);
    object* c = make(&classe_point, 0, {}, 56, 28);
    object* n = make(&classe_nombre, 0, {}, 10, 10);
    set_text(n, "2");
    object* s = make(&classe_segment, 0, {a, c});
    ASSERT_TRUE(set_object_color_params(s, n, nullptr, n));
    ASSERT_NE(make(&classe_table, 0, {n}, 0, 0), nullptr);
    object* button = make(&classe_button, 0, {}, 20, 20);
    ASSERT_NE(button, nullptr);
    for (object* target : {a, s}) {
      auto* node = alloc_block<objectptrlist>();
      node->obj = target;
      node->next = button->associated;
      button->associated = node;
    }
    ASSERT_NE(apply_mid2(a, b), nullptr);
    ASSERT_NE(apply_mid2(b, c), nullptr);
    make(&classe_cercle, 1, {a, b});
  }

  kelvo_win_info* fig_ = nullptr;
  std::vector<kelvo_win_info*> figures_;
};

TEST_F(FigureFile, AWholeFigureReadsBackAndWritesAgainByteForByte) {
  build_full_figure();
  const std::string first = save();
  const std::vector<double> before = values(fig_);
  EXPECT_EQ(first.rfind("Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nUsed macro\r\n\r\nMid2, M2\r\n", 0), 0u)
      << first;
  EXPECT_NE(first.find("\r\nFigure description:\r\n\r\nWindow center x: 10.71cm y: -7.50cm Window size x: "
                       "21.43cm y: 15.00cm\r\nResolution: 28 ppc\r\n"),
            std::string::npos)
      << first;
  EXPECT_NE(first.find("Background Color:PaleTurquoise\r\nPassword:secret\r\n\r\n"), std::string::npos) << first;
  // One line per application, before its first object.
  EXPECT_NE(first.find("Ma: Mid2, Const: 3 i: 0 4 i: 0\r\n"), std::string::npos) << first;
  EXPECT_NE(first.find("Ma: Mid2, Const: 4 i: 0 5 i: 0\r\n"), std::string::npos) << first;
  EXPECT_NE(first.find(": Ma R, F No2, "), std::string::npos) << first;

  ASSERT_EQ(open(first), 1) << figure_file_error();
  EXPECT_EQ(save(), first);
  EXPECT_EQ(values(fig_), before);
  ASSERT_NE(fig_->password, nullptr);
  EXPECT_STREQ(fig_->password, "secret");
  EXPECT_EQ(fig_->bgcolor, color_by_index(4));
  ASSERT_NE(fig_->cur2, nullptr);
  EXPECT_EQ(fig_->cur2->otype->id, TYPE_AXES);
  ASSERT_NE(fig_->table_object, nullptr);
  // The reloaded macro was equal to the registered one: no second class.
  int macros = 0;
  for (construct_class** c = class_list; *c != nullptr; ++c) macros += is_macro_class(*c) ? 1 : 0;
  EXPECT_EQ(macros, 1);
  // Targets and number-driven colours point at objects again.
  for (object* o = fig_->first; o != nullptr; o = o->next) {
    if (o->otype->id == TYPE_BUTTON) {
      ASSERT_NE(o->associated, nullptr);
      EXPECT_EQ(o->associated->obj->otype->id, TYPE_SEGMENT);
    }
    if (o->pcolor != nullptr) {
      ASSERT_NE(o->pcolor->red, nullptr);
      EXPECT_EQ(o->pcolor->red->otype->id, TYPE_NUMBER);
    }
  }
}

TEST_F(FigureFile, PreambleCases) {
  // Nothing to save still gives a whole file.
  const std::string empty = save();
  EXPECT_EQ(empty,
            "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
            "Window center x: 10.71cm y: -7.50cm Window size x: 21.43cm y: 15.00cm\r\n"
            "Resolution: 28 ppc\r\n\r\n");
  ASSERT_EQ(open(empty), 1) << figure_file_error();
  EXPECT_EQ(fig_->first, nullptr);
  EXPECT_EQ(win_origin_x, 0);
  EXPECT_EQ(win_origin_y, 0);
  EXPECT_EQ(win_size_x, 600);

  // Window placement: centre minus half the size, clamped to the view limits.
  struct Case {
    const char* line;
    int32_t x, y, w, h;
  } cases[] = {
      {"Window center x: 10.00cm y: -5.00cm Window size x: 4.00cm y: 2.00cm", 224, 112, 112, 56},
      {"Window center x: 100.00cm y: -100.00cm Window size x: 4.00cm y: 2.00cm", 1900, 1900, 112, 56},
      {"Window center x: -100.00cm y: 100.00cm", -1900, -1900, 0, 0},
      {"Window center x: 1.00cm y: 1.00cm", 28 - 300, -28 - 210, 0, 0},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n") + c.line +
                             "\r\nResolution: 28 ppc\r\n\r\n1: Pt, Val: 1 -1\r\n\r\n";
    ASSERT_EQ(open(text), 1) << c.line;
    EXPECT_EQ(win_origin_x, c.x) << c.line;
    EXPECT_EQ(win_origin_y, c.y) << c.line;
    EXPECT_EQ(win_size_x, c.w) << c.line;
    EXPECT_EQ(win_size_y, c.h) << c.line;
    EXPECT_EQ(win_pos_from_file, 1);
    ASSERT_NE(fig_->first, nullptr);
  }

  // Every colour of the table comes back as itself.
  for (int i = 1; i < color_count; ++i) {
    fresh();
    fig_->bgcolor = color_by_index(i);
    const std::string text = save();
    ASSERT_EQ(open(text), 1);
    EXPECT_EQ(fig_->bgcolor, color_by_index(i)) << color_name_by_index(i);
  }
  // No spring: the animate flag is not written.
  fig_->animate_on_open = 1;
  EXPECT_EQ(save().find("Animate on open"), std::string::npos);
}

TEST_F(FigureFile, BadFiguresAreRefusedOrReadAsFarAsTheyGo) {
  build_full_figure();
  const std::string whole = save();
  // Cut anywhere: never a crash, never a figure taken for whole when its
  // text stops in the middle of a line or of a record: what the records
  // before the cut made is kept, and the cut is named.
  for (size_t cut = 1; cut < whole.size(); ++cut) {
    const std::string part = whole.substr(0, cut);
    const int8_t ok = open(part);
    if (!ok) {
      EXPECT_EQ(fig_->first, nullptr) << "a failed read leaves no object, cut at " << cut;
      continue;
    }
    if (figure_file_not_read().empty()) {
      EXPECT_TRUE(part.back() == '\r' || part.back() == '\n') << "read although cut inside a line at " << cut;
      continue;
    }
    // A cut after a whole line may leave a record that ends early.
    const std::string& why = figure_file_not_read();
    EXPECT_TRUE(why.rfind("the file ends inside a record, at line ", 0) == 0 ||
                ((part.back() == '\r' || part.back() == '\n') && why.rfind("the record at line ", 0) == 0))
        << why << ", cut at " << cut;
    EXPECT_NE(fig_->first, nullptr) << "nothing kept, cut at " << cut;
  }
  const size_t last_record = whole.rfind("\r\n\r\n", whole.size() - 5);
  ASSERT_EQ(open(whole.substr(0, last_record + 4)), 1) << figure_file_error();
  EXPECT_NE(fig_->first, nullptr);

  const std::string head = "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n";
  // A record whose object cannot be built (an unknown class, a missing
  // parent, parents that fit no method) is left out with what rests on it;
  // the rest of the figure is read, and the records left out are named.
  struct LeftOut {
    const char* body;
    const char* named;
  } left_out[] = {
      {"1: Pt, Val: 1 1\r\n\r\n2: Nonsense, Const: 1, \r\n\r\n3: Pt, Val: 2 2\r\n\r\n",
       "2: unknown class \"Nonsense\"\n"},
      {"1: Pt, Val: 1 1\r\n\r\n2: Seg, Const: 1,  9, \r\n\r\n3: Pt, Val: 2 2\r\n\r\n",
       "2: parent 9 is not in the figure\n"},
      {"1: Pt, Val: 1 1\r\n\r\n2: Pt, Val: 2 2\r\n\r\n3: Angle, Const: 1,  2, Val: 1 1\r\n\r\n"
       "4: Mid, Const: 1,  3, \r\n\r\n",
       "3: no method of Angle takes these parents\n4: parent 3 is not in the figure\n"},
  };
  for (const LeftOut& c : left_out) {
    ASSERT_EQ(open(head + c.body), 1) << c.body << figure_file_error();
    EXPECT_EQ(figure_file_left_out(), c.named) << c.body;
    int points = 0, others = 0;
    for (const object* o = fig_->first; o != nullptr; o = o->next) (o->classe == &classe_point ? points : others)++;
    EXPECT_EQ(points, 2) << c.body;
    EXPECT_EQ(others, 0) << c.body;
  }
  // The list names the records of the last file read, whatever its kind: a
  // file refused or read by another reader names none of the one before.
  EXPECT_EQ(open("**TI89**\x01\x00main"), 0);
  EXPECT_EQ(figure_file_left_out(), "");
  ASSERT_EQ(open(head + left_out[0].body), 1);
  ASSERT_EQ(open(head + "1: Pt, Val: 1 1\r\n\r\n"), 1);
  EXPECT_EQ(figure_file_left_out(), "");
  // A macro line that names what is not there: nothing kept.
  for (const char* body : {"Ma: Unknown, Const: 1 i: 0\r\n", "1: Ma R, F No1, \r\n\r\n"}) {
    EXPECT_EQ(open(head + body), 0) << body;
    EXPECT_EQ(fig_->first, nullptr) << body;
    EXPECT_STRNE(figure_file_error(), "") << body;
  }
  // Used macros without "Figure description:" end with the text.
  EXPECT_EQ(open(head + "Used macro\r\n\r\n" + kMid2), 0);
  // Names beyond their bounds are cut.
  const std::string long_name(5000, 'x');
  EXPECT_EQ(open(head + "Window center x: 0cm y: 0cm\r\nResolution: 28 ppc\r\nBackground Color:" + long_name +
                 "\r\n\r\n1: Pt, Val: 1 1\r\n\r\n"),
            1);
  EXPECT_EQ(fig_->bgcolor, default_color);
  EXPECT_EQ(open(head + "Window center x: 0cm y: 0cm\r\nResolution: 28 ppc\r\nBackground:" + long_name +
                 "\r\n\r\n1: Pt, Val: 1 1\r\n\r\n"),
            1);
  EXPECT_EQ(fig_->background, nullptr);
  // A colour reference to something that is not a number is cleared.
  ASSERT_EQ(open(head + "1: Pt, Val: 1 1\r\n\r\n2: Pt, Val: 2 2\r\nParam color:red:1, \r\n\r\n"), 1);
  ASSERT_NE(fig_->first->next->pcolor, nullptr);
  EXPECT_EQ(fig_->first->next->pcolor->red, nullptr);
  // Not a figure at all.
  EXPECT_EQ(open("Macro Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"), 0);
  EXPECT_EQ(open("hello"), 0);
  EXPECT_EQ(open(std::string()), 0);
}

TEST_F(FigureFile, AFileEndingInsideItsDescriptionIsRefusedWithItsLine) {
  const std::string head = "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n";
  const std::string window = "Window center x: 10.71cm y: -7.50cm Window size x: 21.43cm y: 15.00cm\r\n";
  const std::string preamble = head + window + "Resolution: 28 ppc\r\n\r\n";
  const std::string number = "2: Num, Val: 0 0 1, nA, nP, \r\nNbD:2, nFD, WU, \r\n1\r\n";
  struct Case {
    std::string text;
    const char* error;
  } cases[] = {
      {"Figure Kelvo Nova vers. MS-Windows (MAC 1.40)", "the file ends inside its first line, at line 1"},
      {head + "Window center x: 10.71cm y: -7.5", "the file ends inside the window line, at line 3"},
      {head + window + "Resolution: 2", "the file ends inside the figure description, at line 4"},
      {head + window + "Resolution: 28 ppc\r\nBackground Color:Pale", "the file ends inside the figure description, at line 5"},
      {head + window + "Resolution: 28 ppc\r\nPassword:sec", "the file ends inside the figure description, at line 5"},
      // Nothing whole before the cut: nothing to keep.
      {preamble + "1: Pt, Val: 1 -1", "the file ends inside a record, at line 6"},
      // A NUL byte is not the end of the file.
      {head + "Window center x: 10.71cm y: -7.5\0cm\r\n"s, "the file holds a NUL byte at line 3"},
      {preamble + "1: Pt, Val: 1\0 -1\r\n\r\n"s, "the file holds a NUL byte at line 6"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(open(c.text), 0) << c.text;
    EXPECT_STREQ(figure_file_error(), c.error) << c.text;
    EXPECT_EQ(fig_->first, nullptr) << c.text;
  }
  // Whole lines and records, however the text ends (a text editor may drop
  // the last empty line; NUL bytes may pad the end).
  for (const std::string& text : {head, head + window, preamble, preamble + "1: Pt, Val: 1 -1\r\n\r\n",
                                  preamble + "1: Pt, Val: 1 -1\r\n", preamble + "1: Pt, Val: 1 -1\n",
                                  preamble + "1: Pt, Val: 1 -1\r\n\r\n" + number,
                                  preamble + "1: Pt, Val: 1 -1\n\n", preamble + "1: Pt, Val: 1 -1\r\n  \r\n",
                                  preamble + "1: Pt, Val: 1 -1\r\n\r\n" + number + "\r\n",
                                  preamble + "1: Pt, Val: 1 -1\r\n\r\n\0\0\r\n"s}) {
    EXPECT_EQ(open(text), 1) << text << figure_file_error();
    EXPECT_EQ(figure_file_not_read(), "") << text;
  }
}

// A figure whose objects stop before the end of its text (a cut inside a
// record, a NUL byte, a line that belongs to no record, a record that
// cannot be read) keeps the objects of the records before it, and says
// where and why the rest was not read.
TEST_F(FigureFile, AFigureCutOrDamagedKeepsTheRecordsBeforeTheDamage) {
  const std::string preamble =
      "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
      "Window center x: 10.71cm y: -7.50cm Window size x: 21.43cm y: 15.00cm\r\nResolution: 28 ppc\r\n\r\n";
  const std::string two = preamble + "1: Pt, Val: 1 -1\r\n\r\n2: Pt, Val: 3 -1\r\n\r\n";
  const std::string segment = "3: Seg, Const: 1,  2, \r\n\r\n";
  struct Case {
    std::string text;
    const char* not_read;
  } cases[] = {
      {two + "3: Seg, Const: 1,", "the file ends inside a record, at line 10"},
      {two + "3: Num, Val: 0 0 1, nA, nP, \r\nNbD:2, nF", "the file ends inside a record, at line 11"},
      {two + "3: Seg, Const: 1,\0  2, \r\n\r\n"s, "the file holds a NUL byte at line 10"},
      {two + "\0"s + segment, "the file holds a NUL byte at line 10"},
      {two + "Some note\r\n\r\n" + segment, "line 10 is not part of a record: Some note"},
      {two + "3 Seg, Const: 1,  2, \r\n\r\n", "line 10 is not part of a record: 3 Seg, Const: 1,  2, "},
      {two + "3: Table, Const: 1, \r\n1\r\nTC: 0:1\r\n\r\n" + segment,
       "the record at line 10 cannot be read: bad column width"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(open(c.text), 1) << c.text << figure_file_error();
    EXPECT_EQ(figure_file_not_read(), c.not_read) << c.text;
    EXPECT_EQ(figure_file_left_out(), "") << c.text;
    std::vector<construct_class*> classes;
    for (const object* o = fig_->first; o != nullptr; o = o->next) classes.push_back(o->classe);
    EXPECT_EQ(classes, (std::vector<construct_class*>{&classe_point, &classe_point})) << c.text;
    // The objects kept are whole: numbered and computed.
    EXPECT_EQ(fig_->first->next->num, 2u);
    EXPECT_NEAR(fig_->first->next->valeurs[0].h, 3 * 28.0, 1e-9);
  }
  // A record left out before the damage is still named, and a whole file
  // read after a damaged one says nothing was left unread.
  ASSERT_EQ(open(preamble + "1: Pt, Val: 1 -1\r\n\r\n2: Seg, Const: 1,  9, \r\n\r\n3: Pt, Val: 2 2\r\n\r\n4: Pt"), 1);
  EXPECT_EQ(figure_file_left_out(), "2: parent 9 is not in the figure\n");
  EXPECT_EQ(figure_file_not_read(), "the file ends inside a record, at line 12");
  ASSERT_EQ(open(two + segment), 1);
  EXPECT_EQ(figure_file_not_read(), "");
}

TEST_F(FigureFile, ValuesWrittenAtAnotherResolutionRescaleOnlyPixelQuantities) {
  // Written at 28 pixels per centimetre, read on a screen of 40.
  pixels_per_unit = 40.0;
  const std::string head =
      "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
      "Window center x: 10.71cm y: -7.50cm Window size x: 21.43cm y: 15.00cm\r\nResolution: 28 ppc\r\n\r\n";
  // The number's text is what the user saw in its unit at 28 ppc.
  struct Case {
    const char* unit;
    double written;
    const char* text;
    double read;
  } cases[] = {
      {"WU", 1, "1", 1},                     // a plain number
      {"deg", 0.5, "28.6478897565412", 0.5},  // an angle, in radians
      {"cm", 28, "1", 40},                   // a length, in pixels
      {"mm", 2.8, "1", 4},                   // another length unit, still pixels inside
      {"cm2", 784, "1", 1600},               // an area, in square pixels
      {"cm3", 5, "5", 5},                    // a volume has no pixel factor
  };
  for (const Case& c : cases) {
    char record[200];
    std::snprintf(record, sizeof record, "1: Num, Val: 28 -56 %g, nA, nP, \r\nNbD:2, nFD, %s, \r\n%s\r\n\r\n",
                  c.written, c.unit, c.text);
    ASSERT_EQ(open(head + record), 1) << record << figure_file_error();
    const object* n = fig_->first;
    ASSERT_NE(n, nullptr);
    ASSERT_NE(n->valeurs, nullptr);
    EXPECT_NEAR(n->valeurs[0].info.rayon, c.read, 1e-9 * c.read) << c.unit;
  }
  // Without a resolution line, nothing is rescaled.
  ASSERT_EQ(open("Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
                 "1: Num, Val: 28 -56 28, nA, nP, \r\nNbD:2, nFD, cm, \r\n0.7\r\n\r\n"),
            1);
  EXPECT_NEAR(fig_->first->valeurs[0].info.rayon, 28, 1e-9);
}

TEST_F(FigureFile, FuzzFindingsStayFixed) {
  // Figures the fuzz target once crashed on, kept as they were found.
  const QDir dir(KELVO_TEST_DATA "/files/figure_regressions");
  const QStringList names = dir.entryList(QDir::Files);
  ASSERT_FALSE(names.isEmpty());
  for (const QString& name : names) {
    std::ifstream in(dir.filePath(name).toStdString(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (open(bytes.str()) == 1) EXPECT_EQ(txt_write_figure_file(), 1) << name.toStdString();
  }
}

// The search for a free name stops at 999: a macro whose every name up to
// "#999" is taken gets that one all the same.
TEST_F(FigureFile, ARenamedMacroStopsCountingAt999) {
  for (int n = 1; n <= 999; ++n) {
    std::string taken = kMid2;
    taken.replace(0, 4, "Mid2 #" + std::to_string(n));
    ASSERT_GT(txt_load_used_macro(taken.c_str(), 0), 0) << n;
  }
  ASSERT_GT(txt_load_used_macro(kMid2, 0), 0);
  std::string other = kMid2;
  other.replace(other.find("Const: 1 3"), 10, "Const: 2 3");
  ASSERT_GT(txt_load_used_macro(other.c_str(), 0), 0);
  int last = 0;
  for (construct_class** c = class_list; *c != nullptr; ++c) {
    EXPECT_STRNE((*c)->name, "Mid2 #1000");
    last += is_macro_class(*c) && std::strcmp((*c)->name, "Mid2 #999") == 0;
  }
  EXPECT_EQ(last, 2);
}

TEST_F(FigureFile, UsedMacrosMergeOrAreRenamed) {
  ASSERT_GT(txt_load_used_macro(kMid2, 0), 0) << macro_text_error();
  ASSERT_GT(txt_load_used_macro(kMid2, 0), 0);
  int count = 0;
  for (construct_class** c = class_list; *c != nullptr; ++c) count += is_macro_class(*c) ? 1 : 0;
  EXPECT_EQ(count, 1) << "an equal definition adds no class";

  std::string other = kMid2;
  other.replace(other.find("Const: 1 3"), 10, "Const: 2 3");
  txt_next_load_number();
  ASSERT_GT(txt_load_used_macro(other.c_str(), 0), 0);
  std::string third = kMid2;
  third.replace(third.find("Const: 1 2"), 10, "Const: 2 1");
  ASSERT_GT(txt_load_used_macro(third.c_str(), 0), 0);
  construct_class* first = find_class_by_second_name("Mid2");
  construct_class* renamed1 = find_class_by_second_name("Mid2 #1");
  construct_class* renamed2 = find_class_by_second_name("Mid2 #2");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(renamed1, nullptr);
  ASSERT_NE(renamed2, nullptr);
  // A "Ma:" line of this load names the copy renamed in this load.
  EXPECT_EQ(find_macro_class_for_line("Mid2"), renamed1);
  txt_next_load_number();
  EXPECT_EQ(find_macro_class_for_line("Mid2"), first);

  // Refused definitions add nothing.
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"Const: 1 2", "Const: 1 9"},           // a parent that is no earlier object
      {"Const: 1 3", "Const: 1 4"},           // the step itself
      {"Mid, Mth:0", "Nope, Mth:0"},          // no such class
      {"Mid, Mth:0", "Mid, Mth:7"},           // no such method
      {"CN:2, ON:2", "CN:2, ON:99999"},       // counts out of range
      {"point, CS 0", "blob, CS 0"},          // no such type
  };
  for (const auto& [from, to] : bad) {
    std::string text = kMid2;
    text.replace(text.find(from), from.size(), to);
    EXPECT_LT(txt_load_used_macro(text.c_str(), 0), 0) << to;
  }
  std::string icon = "Bad, B\r\nIcon:\r\n16x16\r\n";
  for (int i = 0; i < 256; ++i) icon += i == 3 ? "16 " : " 1 ";
  icon += std::string(kMid2).substr(std::strlen("Mid2, M2\r\n"));
  EXPECT_LT(txt_load_used_macro(icon.c_str(), 0), 0) << "icon values lie in the palette";
  count = 0;
  for (construct_class** c = class_list; *c != nullptr; ++c) count += is_macro_class(*c) ? 1 : 0;
  EXPECT_EQ(count, 3);
}

TEST_F(FigureFile, MacroFilesRoundTrip) {
  std::string with_icon = "Mid2, M2\r\nIcon:\r\n16x16\r\n";
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) with_icon += (x + y) % 16 > 9 ? std::to_string((x + y) % 16) + " " : " " + std::to_string((x + y) % 16) + " ";
    with_icon += "\r\n";
  }
  with_icon += std::string(kMid2).substr(std::strlen("Mid2, M2\r\n"));
  for (const std::string& definition : {std::string(kMid2), with_icon}) {
    ASSERT_GT(txt_load_used_macro(definition.c_str(), 0), 0) << macro_text_error();
    construct_class* mid2 = find_class_by_second_name("Mid2");
    ASSERT_NE(mid2, nullptr);
    set_macro_password(mid2, static_cast<char*>(GlobalAlloc(GPTR, 4)));
    std::strcpy(macro_password(mid2), "pw");
    ASSERT_TRUE(txt_write_macro_file(mid2));
    const std::string first = image();
    EXPECT_EQ(first.rfind("Macro Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nPassword:pw\r\n\r\nMid2, M2\r\n", 0), 0u)
        << first;
    EXPECT_EQ(first.find("Icon:") == std::string::npos, definition == kMid2) << first;
    // Read into an empty class list, written again: the same file.
    free_construct_classes();
    init_construct_classes();
    ASSERT_EQ(txt_read_macro_file(first.c_str(), static_cast<uint32_t>(first.size())), 1) << macro_text_error();
    mid2 = find_class_by_second_name("Mid2");
    ASSERT_NE(mid2, nullptr);
    EXPECT_STREQ(macro_password(mid2), "pw");
    ASSERT_TRUE(txt_write_macro_file(mid2));
    EXPECT_EQ(image(), first);
    free_construct_classes();
    init_construct_classes();
  }
}

TEST_F(FigureFile, MacroResultsWithoutARecordAreDeleted) {
  ASSERT_GT(txt_load_used_macro(kMid2, 0), 0);
  const std::string text =
      "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
      "Used macro\r\n\r\n" + std::string(kMid2) + "\r\nFigure description:\r\n\r\n"
      "Window center x: 0cm y: 0cm\r\nResolution: 28 ppc\r\n\r\n"
      "1: Pt, Val: 0 -0\r\n\r\n2: Pt, Val: 2 -0\r\n\r\n"
      "Ma: Mid2, Const: 1 i: 0 2 i: 0\r\n"
      "3: Ma R, F No1, \r\n\r\n"
      "4: Pt, Val: 5 -5\r\n\r\n";
  ASSERT_EQ(open(text), 1) << figure_file_error();
  // Final 2 (the segment) had no record: the next ordinary record deletes it.
  std::vector<uint16_t> types;
  for (object* o = fig_->first; o != nullptr; o = o->next) types.push_back(o->otype->id);
  EXPECT_EQ(types, (std::vector<uint16_t>{TYPE_POINT, TYPE_POINT, TYPE_POINT, TYPE_POINT}));
  EXPECT_EQ(fig_->nbobj, 4u);
  EXPECT_EQ(fig_->first->next->next->num, 3u);
  // A record for a final the macro did not make: nothing deleted, the
  // record refused, and the objects stop before it.
  std::string gone = text;
  gone.replace(gone.find("3: Ma R, F No1"), 14, "3: Ma R, F No7");
  ASSERT_EQ(open(gone), 1) << figure_file_error();
  EXPECT_EQ(figure_file_not_read(), "the record at line 27 cannot be read: macro result 7 was not built");
  EXPECT_EQ(fig_->first->num, 1u);
  EXPECT_EQ(fig_->first->next->num, 2u);
}

TEST_F(FigureFile, AMacroLineThatDoesNotFitItsMacroRefusesTheFile) {
  // A point declared with four defining points shifts every step's number.
  std::string shifted = kMid2;
  shifted.replace(shifted.find("point, CS 0"), 11, "point, CS 4");
  const std::string text =
      "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
      "Used macro\r\n\r\n" + shifted + "\r\nFigure description:\r\n\r\n"
      "Window center x: 0cm y: 0cm\r\nResolution: 28 ppc\r\n\r\n"
      "1: Pt, Val: 0 -0\r\n\r\n2: Pt, Val: 2 -0\r\n\r\n"
      "Ma: Mid2, Const: 1 i: 0 2 i: 0\r\n"
      "3: Ma R, F No1, \r\n\r\n";
  EXPECT_EQ(open(text), 0);
  EXPECT_NE(std::string(figure_file_error()).find("does not fit"), std::string::npos) << figure_file_error();
}

// The pre-built compass and vector sum are written under their file codes
// and read back; the lines that earlier writings left without a name still
// read, the objects telling the two classes apart; a user macro named like
// the compass's key keeps its own applications.
TEST_F(FigureFile, PrebuiltMacrosAreWrittenUnderTheirCodesAndReadBack) {
  const char user_co[] =
      "CO, UC\r\n"
      "Mth: 0\r\n"
      "CN:2, ON:1, FN:1, PO:0\r\n"
      "CT:\r\n"
      "point, CS 0, default settings, \r\n"
      "point, CS 0, default settings, \r\n"
      "Const:\r\n"
      "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n";
  ASSERT_GT(txt_load_used_macro(user_co, 0), 0) << macro_text_error();
  construct_class* user = nullptr;
  for (int k = 0; class_list[k] != nullptr; ++k)
    if (is_macro_class(class_list[k])) user = class_list[k];
  ASSERT_NE(user, nullptr);
  ASSERT_STREQ(user->english_name, "CO");
  auto apply = [this](construct_class* cls, std::vector<object*> args) {
    current_class = cls;
    objlist_clear(fig_->inputs);
    for (object* a : args) objlist_add(fig_->inputs, a, 0);
    object* r = apply_macro(0, 0);
    current_class = nullptr;
    return r;
  };
  object* a = make(&classe_point, 0, {}, 0, 0);
  object* b = make(&classe_point, 0, {}, 56, 0);
  object* c = make(&classe_point, 0, {}, 140, 84);
  object* u = make(&classe_vecteur, 0, {a, b});
  object* v = make(&classe_vecteur, 0, {b, c});
  ASSERT_NE(apply(optional_classes[0], {a, b, c}), nullptr);
  ASSERT_NE(apply(optional_classes[1], {u, v, a}), nullptr);
  ASSERT_NE(apply(user, {a, c}), nullptr);
  auto kinds = [](const kelvo_win_info* f) {
    std::vector<std::pair<construct_class*, construct_class*>> k;
    for (object* o = f->first; o != nullptr; o = o->next) k.emplace_back(o->classe, o->macro ? o->macro->im_class : nullptr);
    return k;
  };
  const auto made = kinds(fig_);
  const std::vector<double> at = values(fig_);
  const std::string text = save();
  EXPECT_NE(text.find("Ma: CO, Const: 1 i: 0 2 i: 0 3 i: 0"), std::string::npos) << text;
  EXPECT_NE(text.find("Ma: S2, Const:"), std::string::npos) << text;

  std::string earlier = text;
  for (const char* key : {"Ma: CO, Const: 1 i: 0 2", "Ma: S2,"}) earlier.replace(earlier.find(key), 7, "Ma: ,");
  for (const std::string& file : {text, earlier}) {
    ASSERT_EQ(open(file), 1) << figure_file_error();
    EXPECT_EQ(kinds(fig_), made);
    EXPECT_EQ(values(fig_), at);
    EXPECT_EQ(save(), text);
  }
}

TEST_F(FigureFile, PicturesTravelInsideTheFile) {
  figure_picture picture;
  picture.width = 5;
  picture.height = 3;
  for (int i = 0; i < 15; ++i)
    for (uint8_t b : {uint8_t(i * 10), uint8_t(255 - i), uint8_t(i), uint8_t(0)}) picture.pixels.push_back(b);
  ASSERT_TRUE(set_bitmap_holder_image(picture, nullptr, "/some/where/photo.bmp", &fig_->background));
  object* p = make(&classe_point, 0, {}, 10, 10);
  ASSERT_TRUE(set_bitmap_holder_image(picture, nullptr, "pin.bmp", &p->bitmap));
  const std::string first = save();
  EXPECT_NE(first.find("Background:photo.bmp\r\n"), std::string::npos) << first;
  EXPECT_NE(first.find(std::string(kBitmapsTitle) + "\r\nphoto.bmp\r\n"), std::string::npos) << first;
  ASSERT_EQ(open(first), 1) << figure_file_error();
  ASSERT_NE(fig_->background, nullptr);
  EXPECT_EQ(fig_->background->width, 5);
  EXPECT_EQ(std::vector<uint8_t>(fig_->background->pixels, fig_->background->pixels + 60), picture.pixels);
  ASSERT_NE(fig_->first->bitmap, nullptr);
  EXPECT_EQ(fig_->first->bitmap->height, 3);
  EXPECT_EQ(save(), first);

  // Base64 lines: 76 characters, '*' after the last one.
  std::vector<uint8_t> bytes(100, 7);
  const std::string b64 = base64_encode_lines(bytes.data(), 100);
  EXPECT_EQ(b64.find("\r\n"), 76u);
  EXPECT_EQ(b64.back(), '*');
  EXPECT_EQ(base64_decode(b64.data(), static_cast<uint32_t>(b64.size() - 1)), bytes);
  EXPECT_EQ(base64_encode_lines(bytes.data(), 2), "Bwc=*");
  // A record announcing more than it holds, or an absurd size, is no picture.
  std::vector<uint8_t> record = compress_bitmap(fig_->background);
  ASSERT_FALSE(record.empty());
  figure_picture out;
  EXPECT_TRUE(decompress_bitmap(record.data(), static_cast<uint32_t>(record.size()), &out));
  record[4] = 200;
  EXPECT_FALSE(decompress_bitmap(record.data(), static_cast<uint32_t>(record.size()), &out));
  EXPECT_FALSE(decompress_bitmap(record.data(), 10, &out));
}

TEST_F(FigureFile, ALoadedFigureDrawsTheSameImageEveryTime) {
  build_full_figure();
  const std::string text = save();
  auto draw = [&]() {
    EXPECT_EQ(open(text), 1) << figure_file_error();
    DisplayDevice* s = dd_create();
    DisplayDevice* m = dd_create();
    for (DisplayDevice* d : {s, m}) {
      ensure_display_dc(d);
      d->portRect = {-100, -100, 300, 200};
      dd_select_bitmap(d, create_dib_record(d, 400, 300));
      d->dc->allowsAntialiasing(false);
    }
    static_display = s;
    moving_display = m;
    pixel_pen = PixelPen{};
    redraw_figure(1);
    QImage picture =
        QImage(reinterpret_cast<const uchar*>(s->bm->pixels), 400, 300, s->bm->pitch * 4, QImage::Format_RGB32).copy();
    static_display = moving_display = nullptr;
    destroy_display_device(s);
    destroy_display_device(m);
    return picture;
  };
  const QImage first = draw();
  int inked = 0;
  for (int y = 0; y < first.height(); ++y)
    for (int x = 0; x < first.width(); ++x) inked += (first.pixel(x, y) & 0xFFFFFF) != (fig_->bgcolor & 0xFFFFFF);
  EXPECT_GT(inked, 100) << "the objects are drawn";
  ASSERT_TRUE(QDir().mkpath(KELVO_TEST_OUTPUT "/files"));
  ASSERT_TRUE(first.save(KELVO_TEST_OUTPUT "/files/figure.png", "PNG"));
  EXPECT_EQ(QImage(KELVO_TEST_OUTPUT "/files/figure.png").convertToFormat(QImage::Format_RGB32), first);
  EXPECT_EQ(draw(), first);
}

}  // namespace

TEST_F(FigureFile, AxesGridsMarksAndTransformedPointsReadBackAndRecompute) {
  object* o = make(&classe_point, 0, {}, 100, 100);
  object* ax = make(&classe_axe, 1, {o, make(&classe_point, 0, {}, 140, 100), make(&classe_point, 0, {}, 100, 60)});
  object* grid = make(&classe_grid, 0, {ax});
  grid->math.equa.typeunite = 1;
  object* on_tick = make(&classe_ptsur, 0, {ax}, 100, 20);
  object* p = make(&classe_point, 0, {}, 180, 150);
  object* mark = make(&classe_angle, 0, {make(&classe_point, 0, {}, 300, 100), o, p});
  mark->settings.graph_type = 5;
  object* line = make(&classe_droite, 1, {o, p});
  make(&classe_symetriquedr, 0, {make(&classe_point, 0, {}, 50, 170), line});
  make(&classe_rotation, 0, {p, o, mark});
  for (object* x = fig_->first; x != nullptr; x = x->next) recompute_object(x);
  ASSERT_EQ(on_tick->math.side.index, 2);
  ASSERT_EQ(on_tick->math.side.force_grad, 1);
  const std::string text = save();
  ASSERT_EQ(open(text), 1) << figure_file_error();
  EXPECT_EQ(save(), text);
  // The point on the tick keeps to its axis and its tick.
  object* back = fig_->first;
  while (back != nullptr && back->classe != &classe_ptsur) back = back->next;
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->math.side.index, 2);
  EXPECT_EQ(back->math.side.force_grad, 1);
  EXPECT_NEAR(back->valeurs[0].h, 100, 1e-6);
  EXPECT_NEAR(back->valeurs[0].v, 20, 1e-6);
}

TEST_F(FigureFile, AConicWithAPointOnItAndItsCrossingsWithALineRoundTrips) {
  const double pts[5][2] = {{300, 200}, {220, 260}, {120, 210}, {130, 130}, {260, 120}};
  std::vector<object*> defining;
  for (const auto& p : pts) defining.push_back(make(&classe_point, 0, {}, p[0], p[1]));
  object* conic = make(&classe_conic, 0, defining);
  object* a = make(&classe_point, 0, {}, 80, 190);
  object* b = make(&classe_point, 0, {}, 340, 170);
  object* line = make(&classe_droite, 1, {a, b});
  object* on = make(&classe_ptsur, 5, {conic}, 200, 280);
  intersection_by_clicks(line, conic);
  const valeur placed = on->valeurs[0];
  const std::string text = save();
  ASSERT_NE(text.find("Con, Const: 1,  2,  3,  4,  5,"), std::string::npos) << text;
  ASSERT_NE(text.find("int ind:0x10000"), std::string::npos) << text;

  // On a line, the object of each class in order; the two crossings lie on
  // the conic, apart.
  size_t points = 0;
  auto check = [&](bool crossings_exist) {
    std::vector<object*> found;
    object* read_conic = nullptr;
    for (object* o = fig_->first; o; o = o->next) {
      if (o->classe == &classe_conic) read_conic = o;
      if (o->classe == &classe_ptint || o->classe == &classe_ptsur) found.push_back(o);
    }
    ASSERT_NE(read_conic, nullptr);
    ASSERT_FALSE(read_conic->state & OBJ_UNDEFINED);
    conic_load_equation(read_conic->valeurs);
    for (object* o : found) {
      if (o->classe == &classe_ptint && !crossings_exist) continue;
      ASSERT_FALSE(o->state & OBJ_UNDEFINED) << o->classe->short_name;
      const valeur& v = o->valeurs[0];
      const double gx = conic_a * v.h + conic_b * v.v + conic_d, gy = conic_b * v.h + conic_c * v.v + conic_e;
      EXPECT_LT(std::fabs(conic_value_at(v.h, v.v)) / std::hypot(gx, gy), 1e-7);
    }
    points = found.size();
  };
  ASSERT_EQ(open(text), 1) << figure_file_error();
  check(true);
  EXPECT_EQ(points, 3u);
  for (object* o = fig_->first; o; o = o->next)
    if (o->classe == &classe_ptsur) {
      EXPECT_NEAR(o->valeurs[0].h, placed.h, 1e-6);
      EXPECT_NEAR(o->valeurs[0].v, placed.v, 1e-6);
    }

  // Indices a file may carry that name no root or no part: read, never
  // used to index anything.
  for (const char* index : {"0x40000", "0xFFFFFFFF", "0xDFFFFFFF", "0xEFFFFFFF", "0x10005", "0xFFFF0000", "7"}) {
    std::string bad = text;
    bad.replace(bad.find("int ind:0x10000"), 15, std::string("int ind:") + index);
    if (open(bad) == 1) check(false);
    else EXPECT_NE(figure_file_error(), nullptr);
  }
}

// Intersection points of objects that already share points in every way a
// point lies on an object by construction: a vertex, a point the line or
// circle is drawn through, a point on the object, an intersection point of
// another pair. Read back, each set finds the same common points, in the
// same order, as a walk of the whole figure finds once the figure is read,
// and the figure saves to the same bytes.
TEST_F(FigureFile, IntersectionPointsReadBackWithTheSetsAndCommonPointsTheyWereMadeWith) {
  auto p = [&](double x, double y) { return make(&classe_point, 0, {}, x, y); };
  auto polygon = [&](std::vector<object*> vertices) {
    current_class = &classe_polygone;
    objlist_clear(fig_->inputs);
    for (object* v : vertices) objlist_add(fig_->inputs, v, 0);
    variable_nb_values = static_cast<int16_t>(vertices.size() + 1);
    uint16_t created = 0;
    object* o = create_object(0, &created, 1, 1, 1);
    objlist_clear(fig_->inputs);
    current_class = nullptr;
    return o;
  };
  object* a = p(40, 40);
  object* b = p(200, 160);
  object* c = p(40, 160);
  object* d = p(200, 40);
  object* ab = make(&classe_segment, 0, {a, b});
  object* cd = make(&classe_segment, 0, {c, d});
  intersection_by_clicks(ab, cd);
  // A circle and a line through the same point.
  object* o = p(300, 200);
  object* on_circle = p(360, 200);
  object* circle = make(&classe_cercle, 1, {o, on_circle});
  object* line = make(&classe_droite, 1, {on_circle, p(250, 120)});
  intersection_by_clicks(line, circle);
  // A point on the circle, and a line through it.
  object* s = make(&classe_ptsur, 3, {circle}, 300, 260);
  intersection_by_clicks(make(&classe_droite, 1, {s, p(420, 300)}), circle);
  // A triangle with two vertices on the circle: two common points, in the
  // order of the figure.
  intersection_by_clicks(make(&classe_triangle, 0, {on_circle, s, p(200, 230)}), circle);
  // A line through an intersection point of the circle.
  object* crossing = nullptr;
  for (object* q = fig_->first; q; q = q->next)
    if (q->classe == &classe_ptint && (q->parents[0]->parents[0] == circle || q->parents[0]->parents[1] == circle))
      crossing = q;
  ASSERT_NE(crossing, nullptr);
  intersection_by_clicks(circle, make(&classe_droite, 1, {crossing, p(200, 320)}));
  // Vertices shared by a triangle, a polygon, a segment and a perpendicular.
  object* e = p(120, 10);
  object* triangle = make(&classe_triangle, 0, {a, b, e});
  intersection_by_clicks(triangle, make(&classe_cercle, 1, {p(60, 90), a}));
  object* quad = polygon({a, p(10, 100), p(-30, 60), p(0, 0)});
  ASSERT_NE(quad, nullptr);
  intersection_by_clicks(quad, ab);
  intersection_by_clicks(make(&classe_perpendiculaire, 0, {a, line}), make(&classe_cercle, 1, {p(20, 70), a}));
  // An arc and a conic with a segment and a line from one of their points.
  object* u = p(500, 100);
  object* arc = make(&classe_arc, 0, {u, p(560, 60), p(620, 100)});
  intersection_by_clicks(arc, make(&classe_segment, 0, {u, p(560, 200)}));
  std::vector<object*> five;
  for (const auto& q : {std::pair{700.0, 200.0}, {620.0, 260.0}, {520.0, 210.0}, {530.0, 130.0}, {660.0, 120.0}})
    five.push_back(p(q.first, q.second));
  object* conic = make(&classe_conic, 0, five);
  intersection_by_clicks(make(&classe_droite, 1, {five[2], p(740, 170)}), conic);

  // The records of every set as numbers: each owner's number and index.
  auto records = [&]() {
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> all;
    for (object* q = fig_->first; q; q = q->next) {
      if (q->classe != &classe_interset) continue;
      auto& one = all.emplace_back();
      for (auto* r = static_cast<inter_rec*>(q->data); r && r->owner; ++r) one.emplace_back(r->owner->num, r->index);
    }
    return all;
  };
  const std::string text = save();
  renumber_objects();
  const auto made = records();
  int common = 0;
  for (const auto& set : made)
    for (const auto& r : set) common += r.second == kNoIndex ? 1 : 0;
  // Each kind of sharing above gave its common point (the quadrilateral and
  // the segment share a vertex of both: four records).
  EXPECT_GE(common, 12);

  ASSERT_EQ(open(text), 1) << figure_file_error();
  EXPECT_EQ(save(), text);
  renumber_objects();
  EXPECT_EQ(records(), made);
  // Outside a reading, the walks of the whole figure find the same.
  for (object* q = fig_->first; q; q = q->next) {
    if (q->classe == &classe_ptint) {
      object* set = q->parents[0];
      EXPECT_EQ(get_intersection_set(set->parents[0], set->parents[1], nullptr), set);
      EXPECT_EQ(get_intersection_set(set->parents[1], set->parents[0], nullptr), set);
    }
    if (q->classe == &classe_interset) collect_points_on_objects(q);
  }
  EXPECT_EQ(records(), made);
}

// Objects deleted between two intersection records (the results of a macro
// that have no record of their own): the second point still finds the set
// of the first.
TEST_F(FigureFile, AnIntersectionPointReadAfterDeletedObjectsFindsItsSet) {
  ASSERT_GT(txt_load_used_macro(kMid2, 0), 0);
  const std::string text =
      "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
      "Used macro\r\n\r\n" + std::string(kMid2) + "\r\nFigure description:\r\n\r\n"
      "Window center x: 0cm y: 0cm\r\nResolution: 28 ppc\r\n\r\n"
      "1: Pt, Val: 0 -0\r\n\r\n2: Pt, Val: 2 -0\r\n\r\n3: Pt, Val: -3 -1\r\n\r\n4: Pt, Val: 3 -1\r\n\r\n"
      "5: Cir, Const: 1,  2, \r\n\r\n6: Line, Const: 3,  4, \r\n\r\n"
      "7: Int, Const: 6,  5, int ind:0, \r\n\r\n"
      "Ma: Mid2, Const: 1 i: 0 3 i: 0\r\n"
      "8: Ma R, F No1, \r\n\r\n"
      "9: Int, Const: 6,  5, int ind:0x10000, \r\n\r\n";
  ASSERT_EQ(open(text), 1) << figure_file_error();
  std::vector<object*> sets, points;
  for (object* o = fig_->first; o != nullptr; o = o->next) {
    if (o->classe == &classe_interset) sets.push_back(o);
    if (o->classe == &classe_ptint) points.push_back(o);
    EXPECT_NE(o->otype->id, TYPE_SEGMENT);
  }
  ASSERT_EQ(sets.size(), 1u);
  ASSERT_EQ(points.size(), 2u);
  for (object* p : points) {
    EXPECT_EQ(p->parents[0], sets[0]);
    EXPECT_FALSE(p->state & OBJ_UNDEFINED);
  }
  EXPECT_EQ(intersection_record_count(sets[0]), 2);
  EXPECT_NE(points[0]->valeurs[0].h, points[1]->valeurs[0].h);
}

// Values a construction computes from what a file gives back (the place of
// a point along its object, the direction of a transfer from a point, the
// place of an equation's text along its curve) are computed again at each
// opening: an unchanged figure opened and saved three times writes the
// same bytes every time, wherever its points lie.
TEST_F(FigureFile, ComputedValuesReadBackWriteTheSameBytesAtEverySave) {
  ASSERT_EQ(create_default_objects(), 0);
  object* axes = fig_->first;
  while (axes != nullptr && (axes->otype == nullptr || axes->otype->id != TYPE_AXES)) axes = axes->next;
  ASSERT_NE(axes, nullptr);
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> at(-300, 300), turn(0, 2 * std::acos(-1.0)), size(20, 90);
  auto point = [&](double x, double y) { return make(&classe_point, 0, {}, x, y); };
  object* k = make(&classe_nombre, 0, {}, 10, 10);
  set_text(k, "2");
  for (int i = 0; i < 12; ++i) {
    const double cx = at(rng), cy = at(rng), r = size(rng), a = turn(rng);
    object* centre = point(cx, cy);
    object* circle = make(&classe_cercle, 1, {centre, point(cx + r * std::cos(a), cy + r * std::sin(a))});
    object* ends[2] = {point(at(rng), at(rng)), point(at(rng), at(rng))};
    object* segment = make(&classe_segment, 0, {ends[0], ends[1]});
    object* tri = make(&classe_triangle, 0, {centre, ends[0], ends[1]});
    for (int j = 0; j < 3; ++j) {
      const double b = turn(rng);
      make(&classe_ptsur, 3, {circle}, cx + r * std::cos(b), cy + r * std::sin(b));
      const double t = std::uniform_real_distribution<double>(0.1, 0.9)(rng);
      const double sx = ends[0]->valeurs[0].h + t * (ends[1]->valeurs[0].h - ends[0]->valeurs[0].h);
      const double sy = ends[0]->valeurs[0].v + t * (ends[1]->valeurs[0].v - ends[0]->valeurs[0].v);
      make(&classe_ptsur, 1, {segment}, sx, sy);
      make(&classe_ptsur, 2, {tri}, sx, sy);
      const double c = turn(rng);
      make(&classe_equation, 1, {circle, axes}, cx + r * std::cos(c), cy + r * std::sin(c));
    }
    variable_nb_values = 2;
    current_class = &classe_compas3;
    objlist_clear(fig_->inputs);
    objlist_add(fig_->inputs, centre, 0);
    objlist_add(fig_->inputs, k, 0);
    rubber_points[0] = valeur{cx + 40 * std::cos(a), cy + 40 * std::sin(a), {}, 0};
    uint16_t created = 0;
    object* transfer = create_object(2, &created, 1, 1, 1);
    ASSERT_NE(transfer, nullptr);
    transfer->state &= ~OBJ_NEW;
    objlist_clear(fig_->inputs);
    current_class = nullptr;
  }
  std::string text = save();
  for (int round = 1; round <= 3; ++round) {
    ASSERT_EQ(open(text), 1) << figure_file_error();
    const std::string again = save();
    if (again != text) {
      std::istringstream was(text), now(again);
      std::string a, b;
      for (int line = 1; std::getline(was, a) && std::getline(now, b); ++line)
        if (a != b) ADD_FAILURE() << "round " << round << ", line " << line << ":\n  " << a << "\n  " << b;
    }
    text = again;
  }
}

TEST_F(FigureFile, ConicFiguresOfTheFuzzCorpusOpenAndSave) {
  // Conics with points on them and crossings, degenerate conics and
  // indices that name no root.
  const QDir dir(KELVO_TEST_DATA "/../fuzz/corpus/figure_file_fuzz");
  const QStringList names = dir.entryList({"conic_*.fig"}, QDir::Files);
  ASSERT_GE(names.size(), 4);
  for (const QString& name : names) {
    std::ifstream in(dir.filePath(name).toStdString(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    ASSERT_EQ(open(bytes.str()), 1) << name.toStdString() << ": " << figure_file_error();
    for (object* o = fig_->first; o; o = o->next) {
      if ((o->state & OBJ_UNDEFINED) || o->valeurs == nullptr || o->nbvaleurs < 1) continue;
      ASSERT_TRUE(std::isfinite(o->valeurs[0].h) && std::isfinite(o->valeurs[0].v)) << name.toStdString();
    }
    EXPECT_EQ(txt_write_figure_file(), 1) << name.toStdString();
  }
}


TEST_F(FigureFile, LocusFiguresOfTheFuzzCorpusOpenDrawAndSave) {
  // Loci with points and crossings on them, envelopes, point counts out of
  // range, indices beyond the locus and a chain that leads nowhere: read,
  // drawn, hit-tested and saved, with nothing that does not exist used.
  const QDir dir(KELVO_TEST_DATA "/../fuzz/corpus/figure_file_fuzz");
  const QStringList names = dir.entryList({"locus_*.fig"}, QDir::Files);
  ASSERT_GE(names.size(), 4);
  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  dd->portRect = {0, 0, 0, 0};
  dd_select_bitmap(dd, create_dib_record(dd, 300, 300));
  dd->ratio = 1.0;
  dd->portRect.right = 300;
  dd->portRect.bottom = 300;
  int loci = 0, existing = 0;
  for (const QString& name : names) {
    std::ifstream in(dir.filePath(name).toStdString(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    ASSERT_EQ(open(bytes.str()), 1) << name.toStdString() << ": " << figure_file_error();
    for (object* o = fig_->first; o; o = o->next) {
      if (o->otype != &type_locus) continue;
      ++loci;
      const bool exists = !(o->state & OBJ_UNDEFINED);
      existing += exists;
      const int16_t nb = o->math.locus.nb_pts;
      if (nb < 5 || nb > 1000) EXPECT_FALSE(exists) << name.toStdString();
      draw_locus(dd, o);
      tagPOINT p{150, 150};
      locus_hit_test(o, &p);
    }
    for (object* o = fig_->first; o; o = o->next) {
      if ((o->state & OBJ_UNDEFINED) || o->valeurs == nullptr || o->nbvaleurs < 1) continue;
      if (o->valeurs[0].infini_inexist_indetermine & VAL_NOT_EXIST) continue;
      ASSERT_TRUE(std::isfinite(o->valeurs[0].h) && std::isfinite(o->valeurs[0].v)) << name.toStdString();
    }
    EXPECT_EQ(txt_write_figure_file(), 1) << name.toStdString();
  }
  destroy_display_device(dd);
  EXPECT_EQ(loci, 5);
  EXPECT_GE(existing, 3);
}

TEST_F(FigureFile, ObjectsAfterAPropertyCheckAreReadOrTheReadFails) {
  // Written by the program: the check and everything after it come back.
  object* a = make(&classe_point, 0, {}, 28, -56);
  object* b = make(&classe_point, 0, {}, 112, -28);
  object* c = make(&classe_point, 0, {}, 56, 28);
  ASSERT_NE(make(&classe_alignement, 0, {a, b, c}, 40, 40), nullptr);
  make(&classe_segment, 0, {a, c});
  make(&classe_membership, 0, {b, fig_->first->next->next->next->next});
  make(&classe_point, 0, {}, 5, 5);
  auto classes = [this] {
    std::vector<construct_class*> v;
    for (object* o = fig_->first; o != nullptr; o = o->next) v.push_back(o->classe);
    return v;
  };
  const std::vector<construct_class*> written = classes();
  const std::string first = save();
  ASSERT_EQ(open(first), 1) << figure_file_error();
  EXPECT_EQ(classes(), written);
  EXPECT_EQ(save(), first);

  // Written by hand: a record that ends early or a line that belongs to no
  // record stops the objects there, and the reader names the line: the
  // objects after it are never left out silently.
  const std::string head =
      "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nWindow center x: 0cm y: 0cm\r\nResolution: 28 ppc\r\n\r\n"
      "1: Pt, Val: 1 2\r\n\r\n2: Pt, Val: 4 1\r\n\r\n3: Pt, Val: 2 -1\r\n\r\n";
  const std::string check = "4: Col?, Const: 1,  2,  3, \r\nTr: TP:  0,  0, TS:  3,  1\r\n\"Aligned\"\r\n"
                            "p: 0, DejaVu Sans, S: 12 C: 40 Fa: 0\r\nFa: TP:  0,  0, TS:  3,  1\r\n\"Not\"\r\n"
                            "p: 0, DejaVu Sans, S: 12 C: 40 Fa: 0\r\n";
  const std::string tail = "5: Seg, Const: 1,  3, \r\n\r\n6: Pt, Val: 0.5 -0.5\r\n\r\n";
  ASSERT_EQ(open(head + check + "\r\n" + tail), 1) << figure_file_error();
  EXPECT_EQ(classes().size(), 6u);
  EXPECT_EQ(classes().back(), &classe_point);
  const struct {
    std::string text;
    const char* line;
    size_t kept;
  } broken[] = {
      {head + check + "{\\rtf1 x}\r\n\r\n" + tail, "line 19 is not part of a record: {\\rtf1 x}", 4},
      {head + "Some note\r\n\r\n" + tail, "line 12 is not part of a record: Some note", 3},
      {head + check + "\r\n" + "5 Seg, Const: 1,  3, \r\n\r\n6: Pt, Val: 0.5 -0.5\r\n\r\n",
       "line 20 is not part of a record: 5 Seg", 4},
      {head + "4: Seg, Const: 1,  3, \n\nnot a record\n", "line 14 is not part of a record: not a record", 4},
  };
  for (const auto& c : broken) {
    ASSERT_EQ(open(c.text), 1) << c.line << figure_file_error();
    EXPECT_EQ(classes().size(), c.kept) << c.line;
    EXPECT_EQ(figure_file_not_read().rfind(c.line, 0), 0u) << figure_file_not_read();
  }
}

// An object whose parents fit no method of its class (a construction left
// half made) never reaches the file: the file opens whole with everything
// else.
TEST_F(FigureFile, AnObjectTheReaderCouldNotBuildIsNotWritten) {
  object* a = make(&classe_point, 0, {}, 10, 10);
  object* b = make(&classe_point, 0, {}, 80, 10);
  object* c = make(&classe_point, 0, {}, 40, 60);
  object* half = make(&classe_angle, 0, {a, b});
  ASSERT_NE(half, nullptr);
  ASSERT_EQ(half->nbparents, 2);
  make(&classe_milieu, 0, {half->parents[0], c});
  const std::string text = save();
  EXPECT_EQ(text.find("Angle"), std::string::npos) << text;
  ASSERT_EQ(open(text), 1) << figure_file_error();
  EXPECT_EQ(figure_file_left_out(), "");
  int points = 0, mids = 0;
  for (const object* o = fig_->first; o != nullptr; o = o->next) {
    points += o->classe == &classe_point;
    mids += o->classe == &classe_milieu;
  }
  EXPECT_EQ(points, 3);
  EXPECT_EQ(mids, 1);
}
