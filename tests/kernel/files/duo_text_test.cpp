// The older edition's text format: what the writer leaves out and how it
// writes styles and boxes, what the object-line reader makes of platform
// words, point counts, column widths and name boxes, and round trips.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "file_fixture.h"
#include "app/kernel_iface/figure_description.h"
#include "kernel/text/text_services.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/files/duo_text.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_state.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/object_writer.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace {

std::string image() { return file_buffer != nullptr ? std::string(file_buffer, file_buffer_len) : std::string(); }

// The block of the object numbered n in a written file.
std::string block_of(const std::string& file, int n) {
  const std::string head = "\r\n" + std::to_string(n) + ": ";
  size_t at = file.find(head);
  if (at == std::string::npos) return "";
  at += 2;
  const size_t end = file.find("\r\n\r\n", at);
  return file.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::vector<std::string> class_names(kelvo_win_info* fig) {
  std::vector<std::string> out;
  for (object* o = fig->first; o; o = o->next)
    if (o->classe != nullptr && o->classe->short_name != nullptr && !is_intersection_set(o))
      out.emplace_back(o->classe->short_name);
  return out;
}

const char kDuoHead[] = "FIGURE KelvoDuo vers. MS-Windows 1.0\r\n\r\nWindow center x: 0 y: 0 Window size x: 10 y: 10\r\n\r\n";

// A file with the widths of its text boxes left out: read back, a box is a
// twentieth wider than written.
std::string without_box_widths(std::string file) {
  for (size_t at = file.find("TS: "); at != std::string::npos; at = file.find("TS: ", at + 1)) {
    const size_t comma = file.find(',', at);
    if (comma != std::string::npos) file.replace(at + 4, comma - at - 4, "w");
  }
  return file;
}

}  // namespace

class DuoText : public FileTest {
 protected:
  void SetUp() override {
    // Before the figure's axes are made, so that their unit is the standard one.
    saved_ppu_ = pixels_per_unit;
    pixels_per_unit = 28.0;
    FileTest::SetUp();
  }
  void TearDown() override {
    pixels_per_unit = saved_ppu_;
    file_class = 0;
    file_platform = 0;
    FileTest::TearDown();
  }
  double saved_ppu_ = 0;

  std::string write_duo() {
    free_file_image();
    EXPECT_EQ(write_duo_figure_text(), 1);
    return image();
  }

  // Reads a whole older-format figure into a fresh figure.
  int read_duo(const std::string& text) {
    empty_figure(fig_);
    return read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "/tmp/duo.fig");
  }

  object* number(const char* text, double x = 20, double y = 30) {
    object* n = make(&classe_nombre, 0, {}, x, y);
    GlobalFreeAndNull(&n->te->text);
    n->te->text = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(std::strlen(text) + 1)));
    std::strcpy(n->te->text, text);
    n->te->length = static_cast<int32_t>(std::strlen(text));
    recompute_object(n);
    return n;
  }
};

TEST_F(DuoText, UnwritableObjectsAreLeftOutOfTheFileOnly) {
  object* a = shown_point(10, 20);
  object* b = shown_point(110, 60);
  make2(&classe_segment, 0, a, b);
  variable_nb_values = 1;
  object* button = make(&classe_button, 0, {{a, 0}}, 30, 40);
  ASSERT_NE(button, nullptr);
  save_undo_state(0);
  const uint32_t before = fig_->nbobj;

  // Declined: no file.
  files_seen().answer = 1;
  free_file_image();
  EXPECT_EQ(write_duo_figure_text(), 1);
  EXPECT_EQ(file_buffer, nullptr);
  EXPECT_EQ(files_seen().messages.size(), 1u);

  // Confirmed: the segment without the button.
  files_seen().answer = 0;
  const std::string file = write_duo();
  EXPECT_EQ(file.rfind("FIGURE KelvoDuo vers. MS-Windows 1.0\r\n\r\n", 0), 0u) << file;
  EXPECT_NE(file.find(": Seg, "), std::string::npos) << file;
  EXPECT_EQ(file.find("Button"), std::string::npos) << file;
  // The figure, its numbers and its undo copy are as they were.
  EXPECT_EQ(fig_->nbobj, before);
  EXPECT_EQ(object_type_id(last_object()), TYPE_BUTTON);
  ASSERT_NE(fig_->undo, nullptr);
  EXPECT_EQ(fig_->undo->nbobj, fig_->nbobj);
  EXPECT_EQ(class_names(fig_->undo), class_names(fig_));
}

// Every object the format cannot hold is named in the question and left
// out, the second one too (the first one's deletion renumbers the others);
// an object that only loses its colour driven by a number is named apart.
TEST_F(DuoText, TheQuestionNamesEveryObjectLeftOutAndTheFileHoldsNone) {
  object* a = shown_point(10, 20);
  object* b = shown_point(110, 60);
  object* seg = make2(&classe_segment, 0, a, b);
  variable_nb_values = 1;
  object* button = make(&classe_button, 0, {{a, 0}}, 30, 40);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(set_text_record_text(button->te, "Go"));
  object* expression = make(&classe_exp_num, 0, {}, 60, 80);
  ASSERT_NE(expression, nullptr);
  object* n = number("0.5");
  seg->pcolor = static_cast<param_color*>(GlobalAlloc(GPTR, sizeof(param_color)));
  seg->pcolor->red = n;
  files_seen().messages.clear();
  files_seen().answer = 0;
  const std::string file = write_duo();
  ASSERT_EQ(files_seen().messages.size(), 1u);
  const std::string& m = files_seen().messages[0];
  const size_t apart = m.find("\n\n", m.find("\n\n") + 2);
  ASSERT_NE(apart, std::string::npos) << m;
  EXPECT_LT(m.find("\nGo => "), apart) << m;
  EXPECT_LT(m.find("\n" + describe_object(expression, nullptr)), apart) << m;
  EXPECT_GT(m.find("\n" + describe_object(seg, nullptr)), apart) << m;
  EXPECT_EQ(file.find("Button"), std::string::npos) << file;
  EXPECT_EQ(file.find("Exp_num"), std::string::npos) << file;
  EXPECT_NE(file.find(": Seg, "), std::string::npos) << file;
}

TEST_F(DuoText, AnEmptyFigureGetsAWholeFile) {
  empty_figure(fig_);
  const std::string file = write_duo();
  EXPECT_EQ(file.rfind("FIGURE KelvoDuo vers. MS-Windows 1.0\r\n\r\nWindow center x:", 0), 0u) << file;
  ASSERT_EQ(read_duo(file), 1) << figure_file_error();
  EXPECT_EQ(fig_->first, nullptr);
}

TEST_F(DuoText, StylesBoxesAndRadiiAreWrittenInTheOlderForm) {
  object* p = shown_point(10, 20);
  p->settings.graph_type = 0;
  p->settings.thickness = 1;
  object* q = shown_point(50, 20);
  q->settings.Color = fig_->bgcolor;
  object* r = shown_point(50, 80);
  object* mark = make(&classe_angle, 0, {{p, 0}, {q, 0}, {r, 0}});
  ASSERT_NE(mark, nullptr);
  mark->valeurs[1].info.rayon = 123.456;
  object* n = number("2");
  object* table = make(&classe_table, 0, {{n, 0}});
  ASSERT_NE(table, nullptr);
  ASSERT_NE(table->te, nullptr);
  table->te->size.h = 12;

  const std::string file = write_duo();
  const std::string point = block_of(file, static_cast<int>(p->num));
  EXPECT_NE(point.find(", t, DS:1 1, GT:2, V, nSt\r\n"), std::string::npos) << point;
  const std::string background = block_of(file, static_cast<int>(q->num));
  EXPECT_NE(background.find("\r\nB, "), std::string::npos) << background;
  const std::string angle = block_of(file, static_cast<int>(mark->num));
  EXPECT_NE(angle.find(", 1.2E+02"), std::string::npos) << angle;
  const std::string tab = block_of(file, static_cast<int>(table->num));
  char height[32];
  std::snprintf(height, sizeof height, ",  %.15G\r\n", -12 / 28.0);
  EXPECT_NE(tab.find(height), std::string::npos) << tab;
  EXPECT_NE(tab.find("TC: std"), std::string::npos) << tab;

  // A table 0 high keeps 0.
  table->te->size.h = 0;
  const std::string again = block_of(write_duo(), static_cast<int>(table->num));
  EXPECT_NE(again.find(",  0\r\n"), std::string::npos) << again;
}

// The older format writes no colour of its own for a table (its style line
// leaves text-like objects in the background colour): read back, the table
// is drawn in the colour of its text, not in the background's.
TEST_F(DuoText, ATableReadBackIsDrawnInTheColourOfItsText) {
  object* n = number("2");
  object* table = make(&classe_table, 0, {{n, 0}}, 40, 60);
  ASSERT_NE(table, nullptr);
  ASSERT_NE(table->te, nullptr);
  table->te->format.color = palette16_color(3);
  set_object_color(table, table->te->format.color);
  const std::string file = write_duo();
  ASSERT_EQ(read_duo(file), 1) << figure_file_error() << "\n" << file;
  object* read = last_object();
  ASSERT_EQ(object_type_id(read), TYPE_TABLE);
  ASSERT_NE(read->te, nullptr);
  EXPECT_NE(read->settings.Color, fig_->bgcolor);
  EXPECT_EQ(read->settings.Color, read->te->format.color);
  EXPECT_EQ(read->settings.Color, palette16_color(3));
}

// The older edition keeps a font's height where this one keeps points: a
// run's size is a height turned into points (negative for a character
// height), and the sizes this program writes in that format read back
// whatever the screen's resolution.
TEST_F(DuoText, RunSizesAreFontHeights) {
  const std::string text = std::string(kDuoHead) +
                           "1: Text, 0, CN:0, VN:3\r\nB, W, BTh:0, DS:1 1, GT:2, V, nSt\r\n"
                           "Val: 5 6 0, nA, nP, TP:  1,  1, TS:  3,  1\r\n\"x\"\r\np: 0, Arial, S: -16 C: 15 Fa: 0\r\n\r\n";
  ASSERT_EQ(read_duo(text), 1) << figure_file_error();
  ASSERT_NE(fig_->first->te, nullptr);
  EXPECT_EQ(fig_->first->te->format.size, 16 * 96 / screen_pixels_per_inch);

  const int saved = screen_pixels_per_inch;
  screen_pixels_per_inch = 72;
  for (int32_t points : {9, 12, 13, 24}) {
    fig_->first->te->format.size = points;
    const std::string written = write_duo();
    ASSERT_EQ(read_duo(written), 1) << figure_file_error();
    EXPECT_EQ(fig_->first->te->format.size, points) << written;
  }
  screen_pixels_per_inch = saved;
}

// The older edition measured its texts narrower: the width of a text's box
// read from its format is a twentieth wider (truncated), property checks'
// boxes too; the current format reads the width as it is.
TEST_F(DuoText, TextBoxesOfTheOlderFormatAreReadATwentiethWider) {
  object* text = make(&classe_text, 0, {});
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(set_text_record_text(text->te, "Some words"));
  text->te->pos = {20, 40};
  text->te->size = {141, 28};
  object* check = make(&classe_alignement, 0, {{shown_point(0, 0), 0}, {shown_point(50, 0), 0}, {shown_point(90, 0), 0}});
  ASSERT_NE(check, nullptr);
  ASSERT_NE(check->valeurs, nullptr);
  auto* boxes = reinterpret_cast<TErec**>(check->valeurs);
  ASSERT_NE(boxes[0], nullptr);
  ASSERT_NE(boxes[1], nullptr);
  boxes[0]->size.w = 100;
  boxes[1]->size.w = 61;
  const std::string written = write_duo();
  ASSERT_EQ(read_duo(written), 1) << figure_file_error();
  object* read_text = nullptr;
  object* read_check = nullptr;
  for (object* o = fig_->first; o != nullptr; o = o->next) {
    if (o->classe == &classe_text) read_text = o;
    if (o->classe == &classe_alignement) read_check = o;
  }
  ASSERT_NE(read_text, nullptr);
  EXPECT_EQ(read_text->te->size.w, 148);  // 141 * 1.05 = 148.05
  EXPECT_EQ(read_text->te->size.h, 28);
  EXPECT_EQ(read_text->te->pos.x, 20);
  ASSERT_NE(read_check, nullptr);
  auto* read_boxes = reinterpret_cast<TErec**>(read_check->valeurs);
  EXPECT_EQ(read_boxes[0]->size.w, 105);
  EXPECT_EQ(read_boxes[1]->size.w, 64);  // 61 * 1.05 = 64.05

  // The current format keeps the width.
  free_file_image();
  ASSERT_EQ(txt_write_figure_file(), 1);
  const std::string current = image();
  empty_figure(fig_);
  ASSERT_EQ(read_figure_file(current.data(), static_cast<uint32_t>(current.size()), "/tmp/now.fig"), 1)
      << figure_file_error();
  for (object* o = fig_->first; o != nullptr; o = o->next)
    if (o->classe == &classe_text) EXPECT_EQ(o->te->size.w, 148);
}

TEST_F(DuoText, TheAWordDependsOnThePlatform) {
  struct Case {
    const char* platform;
    const char* word;
    bool bit;
  } cases[] = {{"MacOS", "nA", true}, {"MS-Windows", "nA", false}, {"MacOS", "A", false}, {"MS-Windows", "A", true}};
  for (const Case& c : cases) {
    const std::string text = std::string("FIGURE KelvoDuo vers. ") + c.platform +
                             " 1.0\r\n\r\nWindow center x: 0 y: 0 Window size x: 10 y: 10\r\n\r\n"
                             "1: Num, 0, CN:0, VN:1\r\nB, W, NbD:2, nFD, WU, GT:0, V, nSt\r\nVal: 3 4 2, " +
                             c.word + ", nP, TP:  0,  0, TS:  1,  1\r\n2\r\n\r\n";
    ASSERT_EQ(read_duo(text), 1) << figure_file_error();
    ASSERT_NE(fig_->first, nullptr);
    EXPECT_EQ((fig_->first->aux2 & 2) != 0, c.bit) << c.platform << " " << c.word;
  }
}

TEST_F(DuoText, ALocusCountsItsPointsByWhatItTraces) {
  const std::string base = std::string(kDuoHead) +
                           "1: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nVal: 0 0\r\n\r\n"
                           "2: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nVal: 2 0\r\n\r\n"
                           "3: Line, 0, CN:2, VN:2\r\nG, W, t, DS:1 1, GT:0, V, nSt\r\nConst: 1 2\r\n\r\n"
                           "4: Pt/, 0, CN:1, VN:2\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nConst: 3, Val: 1 0\r\n\r\n"
                           "5: Cir, 0, CN:2, VN:2\r\nBl, W, t, DS:1 1, GT:0, V, nSt\r\nConst: 1 4\r\n\r\n"
                           "6: Mid, 0, CN:2, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nConst: 4 2\r\n\r\n";
  for (auto [traced, points] : {std::pair{6, 50}, std::pair{5, 25}}) {
    const std::string text = base + "7: Locus, 32768, CN:2, VN:50\r\nR, W, t, DS:1 1, GT:0, V, nSt\r\nConst: 4 " +
                             std::to_string(traced) + "\r\n\r\n";
    ASSERT_EQ(read_duo(text), 1) << figure_file_error();
    object* locus = last_object();
    ASSERT_EQ(object_type_id(locus), TYPE_LOCUS);
    EXPECT_EQ(locus->math.locus.nb_pts, points) << traced;
  }
}

TEST_F(DuoText, ColumnWidthsNameBoxesAndNumbers) {
  // Column widths.
  const std::string table = std::string(kDuoHead) +
                            "1: Num, 0, CN:0, VN:1\r\nB, W, NbD:2, nFD, WU, GT:0, V, nSt\r\nVal: 3 4 2, nA, nP, "
                            "TP:  0,  0, TS:  1,  1\r\n2\r\n\r\n"
                            "2: Table, 0, CN:1, VN:1\r\nB, W, BTh:2, DS:0 0, GT:0, V, nSt\r\nConst: 1, TP:  0,  0, TS:  2,  -1\r\n"
                            "2\r\nTC: 1:80 3:90\r\n\r\n";
  ASSERT_EQ(read_duo(table), 1) << figure_file_error();
  object* t = last_object();
  ASSERT_EQ(object_type_id(t), TYPE_TABLE);
  ASSERT_NE(t->te->column_widths, nullptr);
  EXPECT_EQ(GlobalSize(t->te->column_widths) / sizeof(int32_t), 4u);
  EXPECT_EQ(t->te->column_widths[1], 80);
  EXPECT_EQ(t->te->column_widths[3], 90);
  std::string bad = table;
  bad.replace(bad.find("1:80 3:90"), 9, "-4:80 999999:1 2:-5");
  ASSERT_EQ(read_duo(bad), 1) << figure_file_error();
  EXPECT_EQ(last_object()->te->column_widths, nullptr);
  std::string standard = table;
  standard.replace(standard.find("1:80 3:90"), 9, "std");
  ASSERT_EQ(read_duo(standard), 1) << figure_file_error();
  EXPECT_EQ(last_object()->te->column_widths, nullptr);

  // Name boxes: rescaled for the first MacOS version and DOS only.
  struct Case {
    const char* platform;
    bool rescaled;
  } cases[] = {{"MacOS 1.0", true}, {"DOS 1.0", true}, {"MacOS 1.1", false}, {"MS-Windows 1.0", false}};
  for (const Case& c : cases) {
    const std::string text = std::string("FIGURE KelvoDuo vers. ") + c.platform +
                             "\r\n\r\nWindow center x: 0 y: 0 Window size x: 10 y: 10\r\n\r\n"
                             "\"A\", NP: 30, 60, NS: 15, 20\r\n1: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\n"
                             "Val: 0 0\r\np: 0, Arial, S: 12 C: 0 Fa: 0\r\n\r\n";
    ASSERT_EQ(read_duo(text), 1) << c.platform << ": " << figure_file_error();
    object* p = fig_->first;
    ASSERT_NE(p->te, nullptr);
    EXPECT_STREQ(p->te->text, "A");
    // The width: the position is the label placement's to change.
    const int expected = c.rescaled ? static_cast<int>(std::floor(15 * 28.0 / 30 + 0.5)) : 15;
    EXPECT_EQ(p->te->size.w, expected) << c.platform;
  }

  // A number: the locale separator, the caret before it.
  const char saved = decimal_separator;
  decimal_separator = ',';
  const std::string num = std::string(kDuoHead) +
                          "1: Num, 0, CN:0, VN:1\r\nB, W, NbD:2, nFD, WU, GT:0, V, nSt\r\nVal: 3 4 2, nA, nP, "
                          "TP:  0,  0, TS:  1,  1\r\n12.5\r\n\r\n";
  const int read = read_duo(num);
  decimal_separator = saved;
  ASSERT_EQ(read, 1) << figure_file_error();
  EXPECT_STREQ(fig_->first->te->text, "12,5");
  EXPECT_EQ(fig_->first->te->sel_start, 2);
  EXPECT_EQ(fig_->first->te->sel_end, 2);
}

TEST_F(DuoText, AnUnknownClassMakesNothingAndRestoresTheReader) {
  file_class = 1;
  file_platform = 0;
  current_class = &classe_segment;
  object* o = nullptr;
  const uint32_t before = fig_->nbobj;
  EXPECT_EQ(read_duo_object_line(&o, "1: Frob, 0, CN:0, VN:0\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\n\r\n"), -1);
  EXPECT_EQ(o, nullptr);
  EXPECT_EQ(fig_->nbobj, before);
  EXPECT_EQ(current_class, &classe_segment);
  EXPECT_EQ(renumber_lock, 0);
  EXPECT_NE(std::string(object_reader_error()).find("Frob"), std::string::npos);
  current_class = nullptr;
}

TEST_F(DuoText, HostileBlocksAreRefusedOrBounded) {
  const std::string cases[] = {
      // Constituents that are not there, or fewer than announced.
      "1: Seg, 0, CN:2, VN:2\r\nR, W, t, DS:1 1, GT:0, V, nSt\r\nConst: 7 9\r\n\r\n",
      "1: Seg, 0, CN:4000000000, VN:2\r\nR, W, t, DS:1 1, GT:0, V, nSt\r\nConst: 1\r\n\r\n",
      "1: Pt, 0, CN:0, VN:99999999\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nVal: 0 0\r\n\r\n",
      "1: Pt, 0, CN:0, VN:30000\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\nVal: 0 0\r\n\r\n",
      // Regular polygon with a huge or no side count.
      "1: PReg, 4294967295, CN:0, VN:1\r\nR, W, t, DS:1 1, GT:1, V, nSt\r\n\r\n",
      // A style that ends early.
      "1: Pt, 0, CN:0, VN:1\r\nR, W\r\n\r\n",
  };
  for (const std::string& c : cases) {
    const std::string text = std::string(kDuoHead) + c;
    EXPECT_EQ(read_duo(text), 0) << c;
    EXPECT_FALSE(std::string(figure_file_error()).empty()) << c;
  }
  // A dash with a period of 0 draws solid.
  ASSERT_EQ(read_duo(std::string(kDuoHead) + "1: Pt, 0, CN:0, VN:1\r\nR, W, t, DS:3 0, GT:1, V, nSt\r\nVal: 0 0\r\n\r\n"),
            1);
  EXPECT_EQ(fig_->first->settings.dot_style.cycle, 1);
}

// The same bytes but for the widths of the text boxes, which the reading
// widens.
TEST_F(DuoText, AFigureWrittenAndReadBackIsTheSameAndWritesTheSameBytes) {
  object* a = shown_point(10, 20);
  object* b = shown_point(110, 60);
  object* c = shown_point(40, 140);
  object* s = make2(&classe_segment, 0, a, b);
  object* circle = make2(&classe_cercle, 1, a, c);
  make2(&classe_milieu, 0, a, b);
  object* l1 = make2(&classe_droite, 1, a, c);
  object* l2 = make2(&classe_droite, 1, b, shown_point(160, 150));
  object* set = make(&classe_interset, 0, {{l1, 0}, {l2, 0}});
  ASSERT_NE(set, nullptr);
  make(&classe_ptint, 0, {{set, 0}});
  object* on = make(&classe_ptsur, 0, {{s, 0}}, 50, 30);
  ASSERT_NE(on, nullptr);
  const std::string value = std::string("2") + decimal_separator + "5";
  object* n = number(value.c_str(), 30, 200);
  object* text = make(&classe_text, 0, {}, 60, 220);
  ASSERT_NE(text, nullptr);
  (void)circle;
  (void)n;
  const std::string first = write_duo();
  ASSERT_EQ(read_duo(first), 1) << figure_file_error() << "\n" << first;
  const std::vector<std::string> names = class_names(fig_);
  EXPECT_EQ(names, (std::vector<std::string>{"Pt", "Axes", "Pt", "Pt", "Pt", "Seg", "Cir", "Mid", "Line", "Pt", "Line", "Int",
                                             "Pt/", "Num", "Text"}));
  const std::string second = write_duo();
  EXPECT_EQ(without_box_widths(second), without_box_widths(first));
}

TEST_F(DuoText, AnIntersectionPointOnAPointOfBothObjectsGivesWayToThatPoint) {
  object* a = shown_point(10, 20);
  object* b = shown_point(110, 60);
  object* c = shown_point(40, 140);
  object* l1 = make2(&classe_droite, 1, a, c);
  object* l2 = make2(&classe_droite, 1, b, c);
  object* set = make(&classe_interset, 0, {{l1, 0}, {l2, 0}});
  ASSERT_NE(set, nullptr);
  // The older edition made the crossing's point although c lies there.
  object* crossing = make(&classe_ptint, 0, {{set, 0}});
  ASSERT_NE(crossing, nullptr);
  object* far = shown_point(200, 30);
  make2(&classe_segment, 0, crossing, far);
  const std::string file = write_duo();
  ASSERT_NE(file.find("Int"), std::string::npos) << file;
  ASSERT_EQ(read_duo(file), 1) << figure_file_error() << "\n" << file;
  const std::vector<std::string> names = class_names(fig_);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Int"), 0);
  object* segment = nullptr;
  for (object* o = fig_->first; o; o = o->next)
    if (o->classe == &classe_segment) segment = o;
  ASSERT_NE(segment, nullptr);
  object* end = segment->parents[0];
  EXPECT_EQ(end->classe, &classe_point);
  EXPECT_NEAR(end->valeurs[0].h, 40, 1e-6);
  EXPECT_NEAR(end->valeurs[0].v, 140, 1e-6);
  EXPECT_FALSE(segment->state & OBJ_UNDEFINED);
  for (object* o = fig_->first; o; o = o->next)
    for (int k = 0; k < o->nbparents; ++k) EXPECT_NE(o->parents[k], nullptr);
}

TEST_F(DuoText, AMacroWrittenAndReadBackIsTheSame) {
  const char mid2[] =
      "Mid2, M2\r\nHelp:\r\n\"Half way\"\r\nMth: 0\r\nCN:2, ON:2, FN:2, PO:0\r\nCT:\r\n"
      "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\nConst:\r\n"
      "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n"
      "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n";
  ASSERT_GT(txt_load_used_macro(mid2, 0), 0) << macro_text_error();
  construct_class* cls = find_class_by_second_name("Mid2");
  ASSERT_NE(cls, nullptr);
  ASSERT_EQ(write_duo_macro_file_text(cls), 1);
  const std::string first = image();
  EXPECT_EQ(first.rfind("MACRO KelvoDuo vers. MS-Windows 1.0\r\nMid2, M2\r\nIcon:\r\n", 0), 0u) << first;
  current_class = nullptr;
  free_construct_classes();
  init_construct_classes();
  ASSERT_EQ(txt_read_macro_file(first.data(), static_cast<uint32_t>(first.size())), 1) << macro_text_error();
  cls = find_class_by_second_name("Mid2");
  ASSERT_NE(cls, nullptr);
  ASSERT_EQ(write_duo_macro_file_text(cls), 1);
  EXPECT_EQ(image(), first);
  const macro_def* def = cls->methods[0]->def;
  EXPECT_EQ(def->macro_def_objects[0].mo_class, &classe_milieu);
  EXPECT_EQ(def->macro_def_objects[1].mo_parents[1], 3u);
  free_construct_classes();
  init_construct_classes();
}

// A macro whose text shows a number, saved in the older format: the format
// has no text for a step, so the number goes as the text's parent, and a
// macro of an older file turns such parents back into the text's
// references. Applied, it shows the number.
TEST_F(DuoText, AnOlderMacrosTextShowsTheNumbersItsParentsAre) {
  const char half[] =
      "Half, H\r\nMth: 0\r\nCN:2, ON:3, FN:1, PO:2\r\nCT:\r\n"
      "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\nConst:\r\n"
      "Lgth, Mth:1, 0, CN:2, VN:1, Const: 1 2\r\n"
      "Formula, Mth:0, 0, CN:1, VN:1, Const: 3, formula: a/2\r\n"
      "Text, Mth:0, 1, CN:0, VN:1, inc.elmts: 4, default settings, \r\n\"half: $1$\"\r\n";
  ASSERT_GT(txt_load_used_macro(half, 0), 0) << macro_text_error();
  construct_class* cls = find_class_by_second_name("Half");
  ASSERT_NE(cls, nullptr);
  ASSERT_EQ(write_duo_macro_file_text(cls), 1);
  const std::string first = image();
  EXPECT_NE(first.find("\r\nText, Mth:0, 1, 0, CN:1, VN:1, Const: 4, "), std::string::npos) << first;
  current_class = nullptr;
  free_construct_classes();
  init_construct_classes();

  ASSERT_EQ(txt_read_macro_file(first.data(), static_cast<uint32_t>(first.size())), 1) << macro_text_error();
  cls = find_class_by_second_name("Half");
  ASSERT_NE(cls, nullptr);
  const macro_object& text_step = cls->methods[0]->def->macro_def_objects[2];
  EXPECT_EQ(text_step.mo_nb_parents, 0);
  ASSERT_STREQ(text_step.mo_text, "$1$");
  ASSERT_EQ(text_step.mo_nb_text_refs, 1);
  EXPECT_EQ(text_step.mo_text_refs[0], 4u);
  ASSERT_EQ(write_duo_macro_file_text(cls), 1);
  EXPECT_EQ(image(), first);

  object* a = shown_point(0, 0);
  object* b = shown_point(56, 0);
  current_class = cls;
  objlist_clear(fig_->inputs);
  objlist_add(fig_->inputs, a, 0);
  objlist_add(fig_->inputs, b, 0);
  ASSERT_NE(apply_macro(0, 0), nullptr);
  current_class = nullptr;
  objlist_clear(fig_->inputs);
  object* text = last_object();
  ASSERT_EQ(text->classe, &classe_text);
  ASSERT_NE(text->inserted, nullptr);
  EXPECT_EQ(text->inserted->obj->classe, &classe_calculate);
  EXPECT_STREQ(text->te->text, "$1$");
  free_construct_classes();
  init_construct_classes();
}

// The first MacOS edition kept no icon and may name a list of initials
// instead; a help text may come under a keyword of another language; the
// wait cursor shows while a macro loads.
TEST_F(DuoText, OlderMacroHeadsAreReadWhateverTheirIconAndHelpLines) {
  const std::string steps =
      "Mth: 0\r\nCN:2, ON:1, FN:1, PO:0\r\nCT:\r\n"
      "point, CS 0, R, W, t, DS:1 1, GT:1, V, nSt\r\npoint, CS 0, R, W, t, DS:1 1, GT:1, V, nSt\r\nConst:\r\n"
      "Mid, Mth:0, 1, 0, CN:2, VN:1, Const: 1 2, R, W, t, DS:1 1, GT:1, V, nSt\r\n";
  const std::string mac10 =
      "MACRO KelvoDuo vers. MacOS 1.0\r\nMid3, no name\r\nlettrine list 2\r\nAide:\r\n\"Au milieu\"\r\n" + steps;
  KPCursor::setCursorByID(kCursorArrow);
  ASSERT_EQ(txt_read_macro_file(mac10.data(), static_cast<uint32_t>(mac10.size())), 1) << macro_text_error();
  ASSERT_NE(KPCursor::lastSet(), nullptr);
  EXPECT_EQ(KPCursor::lastSet()->resID(), kCursorBusy);
  construct_class* cls = find_class_by_second_name("Mid3");
  ASSERT_NE(cls, nullptr);
  ASSERT_NE(cls->icon, nullptr);
  EXPECT_EQ(std::memcmp(cls->icon, default_macro_icon16(), 256), 0);
  ASSERT_NE(cls->help_text, nullptr);
  EXPECT_STREQ(cls->help_text, "Au milieu");

  const std::string windows = "MACRO KelvoDuo vers. MS-Windows 1.0\r\nMid4, no name\r\nIcon:\r\n" +
                              [] {
                                std::string rows;
                                for (int y = 0; y < 16; ++y) rows += "0123456789ABCDEF\r\n";
                                return rows;
                              }() +
                              "Aide:\r\n\"Halfway\"\r\n" + steps;
  ASSERT_EQ(txt_read_macro_file(windows.data(), static_cast<uint32_t>(windows.size())), 1) << macro_text_error();
  cls = find_class_by_second_name("Mid4");
  ASSERT_NE(cls, nullptr);
  EXPECT_STREQ(cls->help_text, "Halfway");
  free_construct_classes();
  init_construct_classes();
}

TEST_F(DuoText, TheMacroSaveDialogOffersTheSourceTablesApart) {
  const char mid2[] =
      "Mid2, M2\r\nMth: 0\r\nCN:2, ON:1, FN:1, PO:0\r\nCT:\r\n"
      "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\nConst:\r\n"
      "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n";
  ASSERT_GT(txt_load_used_macro(mid2, 0), 0) << macro_text_error();
  construct_class* cls = find_class_by_second_name("Mid2");
  ASSERT_NE(cls, nullptr);
  // The dialog's filters are named by the language.
  std::vector<const char*> rows(kKernelStringCount, "");
  rows[695] = "Macros";
  rows[920] = "Source tables (*.c)";
  lang_fill_kernel_strings(rows.data(), kKernelStringCount);
  files_seen().next_choice = path("mid2.c");
  const int saved = save_file_as_dialog(nullptr, DIALOG_MACRO, cls);
  lang_reset_kernel_strings();
  ASSERT_EQ(saved, 1);
  ASSERT_FALSE(files_seen().dialogs.empty());
  const std::vector<std::string>& offered = files_seen().dialogs.back().name_filters;
  EXPECT_TRUE(std::any_of(offered.begin(), offered.end(),
                          [](const std::string& f) { return f.find("Source tables") != std::string::npos; }));
  const std::string source = read(path("mid2.c"));
  EXPECT_EQ(source.rfind("//Mid2\r\n", 0), 0u) << source;
  EXPECT_NE(source.find("construct_class classe_Mid2="), std::string::npos);
  // The macro file stays a macro file.
  files_seen().next_choice = path("mid2.mac");
  ASSERT_EQ(save_file_as_dialog(nullptr, DIALOG_MACRO, cls), 1);
  EXPECT_EQ(read(path("mid2.mac")).rfind("Macro Kelvo Nova", 0), 0u);
  current_class = nullptr;
  free_construct_classes();
  init_construct_classes();
}

TEST_F(DuoText, TheFuzzSeedReadsWholeAndWritesBackTheSameObjects) {
  const std::string seed = read(KELVO_TEST_DATA "/../fuzz/corpus/figure_file_fuzz/older_text.fig");
  ASSERT_FALSE(seed.empty());
  ASSERT_EQ(read_duo(seed), 1) << figure_file_error();
  const std::vector<std::string> names = class_names(fig_);
  EXPECT_EQ(names, (std::vector<std::string>{"Pt", "Pt", "Seg", "Cir", "Line", "Int", "Pt/", "Mid", "Locus", "Num",
                                             "Text", "Table", "Angle"}));
  object* text = nullptr;
  for (object* o = fig_->first; o; o = o->next)
    if (o->classe == &classe_text) text = o;
  ASSERT_NE(text, nullptr);
  ASSERT_NE(text->inserted, nullptr);
  EXPECT_EQ(text->inserted->obj->classe, &classe_nombre);
  EXPECT_EQ(text->nbparents, 0);
  const std::string first = write_duo();
  ASSERT_EQ(read_duo(first), 1) << figure_file_error() << "\n" << first;
  EXPECT_EQ(class_names(fig_), names);
  EXPECT_EQ(without_box_widths(write_duo()), without_box_widths(first));
}

TEST_F(DuoText, AFigureWithAMacroApplicationReadsBack) {
  const char mid2[] =
      "Mid2, M2\r\nMth: 0\r\nCN:2, ON:2, FN:2, PO:0\r\nCT:\r\n"
      "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\nConst:\r\n"
      "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n"
      "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n";
  ASSERT_GT(txt_load_used_macro(mid2, 0), 0) << macro_text_error();
  construct_class* cls = find_class_by_second_name("Mid2");
  ASSERT_NE(cls, nullptr);
  object* a = shown_point(10, 20);
  object* b = shown_point(110, 60);
  current_class = cls;
  objlist_clear(fig_->inputs);
  objlist_add(fig_->inputs, a, 0);
  objlist_add(fig_->inputs, b, 0);
  ASSERT_NE(apply_macro(0, 0), nullptr);
  objlist_clear(fig_->inputs);
  current_class = nullptr;
  const std::string first = write_duo();
  EXPECT_NE(first.find("Used macro\r\n\r\nMid2, M2\r\nIcon:\r\n"), std::string::npos) << first;
  EXPECT_NE(first.find("Figure description:\r\n\r\n"), std::string::npos);
  EXPECT_NE(first.find("Ma: Mid2, Const:"), std::string::npos) << first;
  EXPECT_NE(first.find(": Ma R, F No1, VN:1\r\n"), std::string::npos) << first;
  // Read into a fresh class list: the figure brings its macro.
  empty_figure(fig_);
  free_construct_classes();
  init_construct_classes();
  ASSERT_EQ(read_duo(first), 1) << figure_file_error() << "\n" << first;
  EXPECT_EQ(class_names(fig_), (std::vector<std::string>{"Pt", "Axes", "Pt", "Pt", "Mid", "Seg"}));
  EXPECT_EQ(write_duo(), first);
  current_class = nullptr;
  empty_figure(fig_);
  free_construct_classes();
  init_construct_classes();
}
