// Old binary figures and macros, built byte by byte from their layouts.
#include <cmath>
#include <string>
#include <vector>

#include "data/files/old_binary_builder.h"
#include "file_fixture.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_state.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/old_binary.h"
#include "kernel/model/units.h"
#include "kernel/text/text_record.h"
#include "kernel/macros/macro_def.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

using old_files::Record;

namespace {

Record old_point(double x, double y, const char* name = "") {
  Record r;
  r.kind = 0;
  r.points[0] = {x, y, 0};
  r.name = name;
  return r;
}
Record two(uint16_t kind, uint16_t a, uint16_t b, const char* name = "") {
  Record r;
  r.kind = kind;
  r.refs[0] = a;
  r.refs[1] = b;
  r.name = name;
  return r;
}

// The objects of a class, the figure's origin (its first object) left out.
std::vector<object*> objects_of(construct_class* cls) {
  std::vector<object*> out;
  object* first = KPGeoDocument::currentInfo()->first;
  for (object* o = first; o; o = o->next)
    if (o->classe == cls && o != first) out.push_back(o);
  return out;
}

std::vector<std::pair<double, double>> imported_points() {
  std::vector<std::pair<double, double>> out;
  for (object* o : objects_of(&classe_point)) out.emplace_back(o->valeurs[0].h, o->valeurs[0].v);
  return out;
}

}  // namespace

class OldBinary : public FileTest {
 protected:
  void TearDown() override {
    // The next reader of this process reads text of the current edition.
    file_class = 0;
    file_platform = 0;
    FileTest::TearDown();
  }
  int read(const std::string& bytes) {
    return read_figure_file(bytes.data(), static_cast<uint32_t>(bytes.size()), "/tmp/old.fig");
  }
};

TEST_F(OldBinary, VersionClassesExcludeTheirBoundaries) {
  struct Case {
    double v;
    int cls;
  } cases[] = {{1, 1},     {1.5, 2},    {2.005, 0}, {2.01, 3},  {2.015, 0}, {2.02, 4}, {2.025, 0}, {2.03, 5},
               {2.035, 0}, {2.04, 6},   {2.045, 0}, {2.1, 6},   {2.195, 0}, {2.2, 7},  {2.205, 0}, {3, 0}, {0.5, 0}};
  for (const Case& c : cases) EXPECT_EQ(old_version_class(c.v), c.cls) << c.v;
}

TEST_F(OldBinary, AVersion2005FileIsRefusedWithOldFileAndImportsNothing) {
  const std::string file = old_files::figure_v1({old_point(10, 10)}, "2.005");
  ASSERT_EQ(read(file), 1);
  ASSERT_EQ(files_seen().messages.size(), 1u);
  EXPECT_EQ(files_seen().messages[0].rfind("Vieux Fichier", 0), 0u);
  EXPECT_TRUE(imported_points().empty());
  // The window of a first-format figure is still set up.
  EXPECT_EQ(win_size_x, 512);
  EXPECT_EQ(win_size_y, 342);
}

TEST_F(OldBinary, TheFirstNamedSegmentScalesEveryCoordinate) {
  Record seg = two(3, 2, 3, "5");
  seg.points[0] = {0, 0, 0};
  seg.points[1] = {100, 0, 0};
  // The named segment comes first in the file; its points are its own.
  const std::string file = old_files::figure_v2({seg, old_point(20, 0), old_point(100, 40)});
  ASSERT_EQ(read(file), 1);
  const double s = 5 * pixels_per_unit / 100;
  const auto pts = imported_points();
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_DOUBLE_EQ(pts[0].first, 20 * s);
  EXPECT_DOUBLE_EQ(pts[1].first, 100 * s);
  EXPECT_DOUBLE_EQ(pts[1].second, 40 * s);
  // The segment referred forward: it is not made.
  EXPECT_TRUE(objects_of(&classe_segment).empty());
}

TEST_F(OldBinary, AScaleSegmentOfNoLengthIsIgnored) {
  Record seg = two(3, 1, 2, "5");
  const std::string file = old_files::figure_v2({old_point(10, 0), old_point(10, 0), seg});
  ASSERT_EQ(read(file), 1);
  // The second format's own scale, 3.
  EXPECT_DOUBLE_EQ(imported_points()[0].first, 30);
}

TEST_F(OldBinary, AKind12RecordStandsForTheFirstParentOfWhatItNames) {
  Record line = two(4, 1, 2);
  Record stand;
  stand.kind = 12;
  stand.refs[0] = 3;  // the line: its first parent is point 1
  Record mid = two(7, 4, 2);
  const std::string file = old_files::figure_v2({old_point(0, 0), old_point(100, 0), line, stand, mid});
  ASSERT_EQ(read(file), 1);
  const auto mids = objects_of(&classe_milieu);
  ASSERT_EQ(mids.size(), 1u);
  const auto pts = objects_of(&classe_point);
  EXPECT_EQ(mids[0]->parents[0], pts[0]);
  EXPECT_EQ(mids[0]->parents[1], pts[1]);
  // Kind 12 made no object: origin, axes, two points, line, midpoint.
  EXPECT_EQ(objects_of(&classe_droite).size(), 1u);
}

TEST_F(OldBinary, TwoIntersectionsOfOnePairTakeSides0And0x10000) {
  Record c1;
  c1.kind = 2;
  c1.points[0] = {0, 0, 0};
  c1.points[1] = {0, 0, 20};
  Record c2 = c1;
  c2.points[0] = {20, 0, 0};
  const std::string file = old_files::figure_v2({c1, c2, two(9, 1, 2), two(22, 1, 2)});
  ASSERT_EQ(read(file), 1);
  const auto ints = objects_of(&classe_ptint);
  ASSERT_EQ(ints.size(), 2u);
  EXPECT_EQ(ints[0]->math.inter_index, 0u);
  EXPECT_EQ(ints[1]->math.inter_index, 0x10000u);
  EXPECT_EQ(ints[0]->parents[0], ints[1]->parents[0]);
}

TEST_F(OldBinary, ANamedSegmentGetsALengthAndATextShowingIt) {
  Record seg = two(3, 1, 2, "AB");
  seg.box[0] = 10, seg.box[1] = 20, seg.box[2] = 30, seg.box[3] = 40;
  seg.color = 1;
  const std::string file = old_files::figure_v2({old_point(0, 0, "A"), old_point(30, 40), seg});
  ASSERT_EQ(read(file), 1);
  const auto lengths = objects_of(&classe_length);
  const auto texts = objects_of(&classe_text);
  ASSERT_EQ(lengths.size(), 1u);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(lengths[0]->parents[0], objects_of(&classe_segment)[0]);
  // Colour 1 is the palette's red.
  EXPECT_EQ(objects_of(&classe_segment)[0]->settings.Color, 0xFF0000u);
  EXPECT_EQ(texts[0]->parents[0], lengths[0]);
  EXPECT_EQ(lengths[0]->aux2 & 6u, 6u);
  ASSERT_NE(texts[0]->te, nullptr);
  EXPECT_STREQ(texts[0]->te->text, "$1$");
  // A named point keeps its name as its label.
  object* a = objects_of(&classe_point)[0];
  ASSERT_NE(a->te, nullptr);
  EXPECT_STREQ(a->te->text, "A");
}

TEST_F(OldBinary, FirstFormatRecordsColoursAndComment) {
  Record a = old_point(10, 20);
  a.number = 1;
  a.color = 4;
  Record b = old_point(50, 60);
  b.number = 2;
  b.hidden = true;
  Record s = two(3, 1, 2);
  s.number = 3;
  s.thick = true;
  const std::string file = old_files::figure_v1({a, b, s}, "2.2", true, 5, 6, "a comment");
  ASSERT_EQ(read(file), 1);
  EXPECT_TRUE(files_seen().messages.empty());
  const auto pts = objects_of(&classe_point);
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_DOUBLE_EQ(pts[0]->valeurs[0].h, 10);
  EXPECT_DOUBLE_EQ(pts[0]->valeurs[0].v, 20);
  EXPECT_EQ(pts[0]->settings.Color, palette16_color(4));
  EXPECT_EQ(pts[1]->settings.visible, 0);
  const auto segs = objects_of(&classe_segment);
  ASSERT_EQ(segs.size(), 1u);
  EXPECT_EQ(segs[0]->settings.thickness, 1);
  EXPECT_EQ(win_origin_x, 5);
  EXPECT_EQ(win_origin_y, 6);
}

TEST_F(OldBinary, AnExternalKindKeepsTheRecordsBeforeIt) {
  Record a = old_point(10, 20);
  a.number = 1;
  Record bad = old_point(0, 0);
  bad.kind = 31;
  const std::string file = old_files::figure_v1({a, bad, old_point(5, 5)}, "2.1");
  ASSERT_EQ(read(file), 1);
  ASSERT_EQ(files_seen().messages.size(), 1u);
  EXPECT_EQ(files_seen().messages[0].rfind("Classe externe", 0), 0u);
  EXPECT_EQ(imported_points().size(), 1u);
  Record bis;
  bis.kind = 29;
  files_seen().messages.clear();
  ASSERT_EQ(read(old_files::figure_v1({a, bis}, "1.5")), 1);
  ASSERT_EQ(files_seen().messages.size(), 1u);
  EXPECT_EQ(files_seen().messages[0].rfind("Probleme bissectrice", 0), 0u);
}

TEST_F(OldBinary, DamagedFilesGiveAPartialImportOrAMessage) {
  // Short files, partial records, references out of range or forward.
  const std::string whole = old_files::figure_v2({old_point(1, 1), two(3, 1, 9), two(3, 2, 3), two(3, 4, 1)});
  for (size_t cut : {size_t{20}, size_t{25}, whole.size() - 1, whole.size() - 84 + 3}) {
    const int done = read(whole.substr(0, cut));
    if (cut < 28) {
      EXPECT_EQ(done, 0) << cut;
      EXPECT_NE(std::string(figure_file_error()), "");
    } else {
      EXPECT_EQ(done, 1) << cut;
    }
  }
  ASSERT_EQ(read(whole), 1);
  EXPECT_EQ(imported_points().size(), 1u);
  EXPECT_TRUE(objects_of(&classe_segment).empty());

  // Over 1,000 records: only the first 1,000 are read.
  std::vector<Record> many(1200, old_point(1, 2));
  ASSERT_EQ(read(old_files::figure_v2(many)), 1);
  EXPECT_EQ(imported_points().size(), 1000u);

  // A first-format count larger than the records present.
  std::string v1 = old_files::figure_v1({old_point(1, 1)}, "2.1");
  v1[v1.find('\0') + 5] = '\x7f';
  ASSERT_EQ(read(v1), 1);
  EXPECT_EQ(imported_points().size(), 1u);
}

TEST_F(OldBinary, Version10RecordsMoveATriangleBehindItsVertices) {
  // Version 1.0 layout: built here directly, it has its own record form.
  std::string s = "Kelvo-planisto version 1.0";
  s.push_back('\0');
  old_files::be16(s, 0);
  old_files::be16(s, 0);
  old_files::be16(s, 4);
  auto record = [&s](uint8_t style, uint8_t kind, uint16_t x, uint16_t y, uint16_t number) {
    s.push_back(static_cast<char>(style));
    s.push_back(static_cast<char>(kind));
    s.append(5, '\0');
    s.append(8, '\0');
    s.append(3, '\0');
    for (int k = 0; k < 4; ++k) {
      old_files::be16(s, y);
      old_files::be16(s, x);
    }
    s.append(8, '\0');
    old_files::be16(s, 1);  // one value to skip
    old_files::be16(s, 0xBEEF);
    old_files::be16(s, number);
  };
  record(3, 5, 0, 0, 1);
  record(0, 0, 10, 10, 2);
  record(0, 0, 90, 10, 3);
  record(0, 0, 50, 80, 4);
  ASSERT_EQ(read(s), 1);
  EXPECT_TRUE(files_seen().messages.empty());
  const auto tri = objects_of(&classe_triangle);
  ASSERT_EQ(tri.size(), 1u);
  EXPECT_EQ(objects_of(&classe_point).size(), 3u);
  EXPECT_EQ(tri[0]->parents[0], objects_of(&classe_point)[0]);
}

TEST_F(OldBinary, AnOldMacroBecomesAMacroTool) {
  // Two points, their midpoint (final).
  old_files::MacroStep mid{7, true, {10, 11, 0, 0}};
  const std::string file = old_files::macro_v2("Centre", {0, 0}, {mid}, "Midpoint of two points");
  ASSERT_EQ(txt_read_macro_file(file.data(), static_cast<uint32_t>(file.size())), 1) << macro_text_error();
  construct_class* cls = find_class_by_name("Centre", 0);
  ASSERT_NE(cls, nullptr);
  ASSERT_NE(cls->methods, nullptr);
  const macro_def* def = cls->methods[0]->def;
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->macro_def_info[0], 1);
  EXPECT_EQ(def->macro_def_objects[0].mo_class, &classe_milieu);
  EXPECT_EQ(def->macro_def_objects[0].mo_parents[0], 1u);
  EXPECT_EQ(def->macro_def_objects[0].mo_parents[1], 2u);
  EXPECT_STREQ(cls->help_text, "Midpoint of two points");

  // Applied to two points, it builds their midpoint.
  object* a = shown_point(0, 0);
  object* b = shown_point(100, 40);
  current_class = cls;
  objlist_clear(fig_->inputs);
  objlist_add(fig_->inputs, a, 0);
  objlist_add(fig_->inputs, b, 0);
  object* m = apply_macro(0, 0);
  objlist_clear(fig_->inputs);
  ASSERT_NE(m, nullptr);
  EXPECT_DOUBLE_EQ(m->valeurs[0].h, 50);
  EXPECT_DOUBLE_EQ(m->valeurs[0].v, 20);
  current_class = nullptr;
  empty_figure(fig_);
  free_construct_classes();
  init_construct_classes();
}

TEST_F(OldBinary, BadOldMacrosAreRefused) {
  old_files::MacroStep mid{7, true, {10, 11, 0, 0}};
  struct Case {
    std::string file;
    const char* why;
  } cases[] = {
      {old_files::macro_v2("M", {0, 0}, {mid}).substr(0, 600), "short file"},
      {old_files::macro_v2("M", std::vector<uint16_t>(11, 0), {mid}), "eleven initials"},
      {old_files::macro_v2("M", {0, 0}, std::vector<old_files::MacroStep>(51, mid)), "51 steps"},
      {old_files::macro_v2("M", {0, 0}, {{7, true, {10, 12, 0, 0}}}), "missing initial"},
      {old_files::macro_v2("M", {0, 0}, {{7, true, {10, 10001, 0, 0}}}), "step refers to itself"},
      {old_files::macro_v2("M", {0, 0}, {{12, true, {10, 11, 0, 0}}}), "kind 12"},
      {old_files::macro_v2("M", {9}, {mid}), "unknown initial kind"},
      {old_files::macro_v2("M", {0, 0}, {{7, false, {10, 11, 0, 0}}}), "no final"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(txt_read_macro_file(c.file.data(), static_cast<uint32_t>(c.file.size())), 0) << c.why;
    EXPECT_EQ(find_class_by_name("M", 0), nullptr) << c.why;
    EXPECT_NE(std::string(macro_text_error()), "") << c.why;
  }
}
