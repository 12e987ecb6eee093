// The calculator container, character set, records and export: images are
// built from figures made with the engine and checked byte by byte.
#include "kernel/exchange/ti83_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "../files/file_fixture.h"
#include "app/kernel_iface/figure_description.h"
#include "kernel/exchange/ti83_container.h"
#include "kernel/exchange/ti_probe.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_state.h"

namespace {

int32_t s24(const uint8_t* p) {
  int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return v > 0x7FFFFF ? v - 0x1000000 : v;
}
uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

class Ti83Export : public FileTest {
 protected:
  // The image of the current figure, or "" when the export was declined.
  std::string build(const char* name = "fig.8xv") {
    char* image = nullptr;
    uint32_t length = 0;
    if (!ti83_build_file(name, &image, &length)) {
      EXPECT_EQ(length, 0u);
      return {};
    }
    std::string out(image, length);
    GlobalFreeAndNull(reinterpret_cast<void**>(&image));
    return out;
  }
  static const uint8_t* rec(const std::string& img, int i) {
    return reinterpret_cast<const uint8_t*>(img.data()) + 84 + 18 * i;
  }
  static int count(const std::string& img) { return static_cast<int>((img.size() - 86) / 18); }
  // The records of a kind and sub-kind.
  static int records_of(const std::string& img, uint8_t kind, int sub = -1) {
    int n = 0;
    for (int i = 0; i < count(img); ++i)
      if (rec(img, i)[0] == kind && (sub < 0 || rec(img, i)[1] == sub)) ++n;
    return n;
  }
  object* point_on(object* carrier, int method, double h, double v) {
    return make(&classe_ptsur, method, {{carrier, 0}}, h, v);
  }
  object* arc(object* a, object* b, object* c) { return make(&classe_arc, 0, {{a, 0}, {b, 0}, {c, 0}}); }
  double unit() const { return fig_->first->next->valeurs[1].h; }
};

// ------------------------------------------------------------------ probe

TEST_F(Ti83Export, ProbeAcceptsWhatWeWriteAndRefusesEveryDamage) {
  shown_point(30, 40);
  const std::string img = build();
  ASSERT_FALSE(img.empty());
  const int n = count(img);
  ASSERT_EQ(img.size(), ti83_file_size(static_cast<uint32_t>(n)));
  double version = 0;
  EXPECT_EQ(ti83_check_file(img.data(), static_cast<uint32_t>(img.size()), &version), 1);
  EXPECT_EQ(version, 2.0);
  version = -1;
  EXPECT_EQ(ti83_check_file(img.data(), static_cast<uint32_t>(img.size() - 1), &version), 0);
  EXPECT_EQ(version, -1) << "the out value is left alone";
  EXPECT_EQ(ti83_check_file((img + "tail").data(), static_cast<uint32_t>(img.size() + 4), &version), 1);

  for (size_t k = 11; k < img.size(); ++k) {
    std::string bad = img;
    bad[k] = static_cast<char>(bad[k] ^ 0x40);
    const int ok = ti83_check_file(bad.data(), static_cast<uint32_t>(bad.size()), &version);
    if (k <= 54)
      EXPECT_EQ(ok, 1) << "byte " << k << " is not checked";
    else
      EXPECT_EQ(ok, 0) << "byte " << k << " is checked";
  }
  // A wrong tag letter or type byte is refused even with a fixed checksum.
  for (auto [at, byte] : {std::pair{78, 'G'}, std::pair{59, '\x16'}}) {
    std::string bad = img;
    bad[at] = byte;
    auto* b = reinterpret_cast<uint8_t*>(bad.data());
    const uint16_t sum = ti83_checksum(b, static_cast<uint32_t>(n));
    b[84 + 18 * n] = static_cast<uint8_t>(sum & 0xFF);
    b[85 + 18 * n] = static_cast<uint8_t>(sum >> 8);
    EXPECT_EQ(ti83_check_file(bad.data(), static_cast<uint32_t>(bad.size()), &version), 0) << at;
  }
  // A version-1 tag reads as version 1.
  std::string v1 = img;
  v1[78] = 'F';
  auto* b = reinterpret_cast<uint8_t*>(v1.data());
  const uint16_t sum = ti83_checksum(b, static_cast<uint32_t>(n));
  b[84 + 18 * n] = static_cast<uint8_t>(sum & 0xFF);
  b[85 + 18 * n] = static_cast<uint8_t>(sum >> 8);
  EXPECT_EQ(ti83_check_file(v1.data(), static_cast<uint32_t>(v1.size()), &version), 1);
  EXPECT_EQ(version, 1.0);
}

TEST_F(Ti83Export, CountByteZeroMeansTwoHundredFiftySix) {
  for (int k = 0; k < 251; ++k) point(k, k);  // 5 standard records + 251
  const std::string img = build();
  ASSERT_EQ(count(img), 256);
  EXPECT_EQ(static_cast<uint8_t>(img[83]), 0);
  double version = 0;
  EXPECT_EQ(ti83_check_file(img.data(), static_cast<uint32_t>(img.size()), &version), 1);
  // A header claiming 256 records over an image without them is refused.
  const std::string empty = img.substr(0, 86);
  EXPECT_EQ(ti83_check_file(empty.data(), static_cast<uint32_t>(empty.size()), &version), 0);
  // The lengths of the header agree with the file.
  const auto* b = reinterpret_cast<const uint8_t*>(img.data());
  EXPECT_EQ(u16(b + 53), img.size() - 57);
  EXPECT_EQ(u16(b + 57), img.size() - 74);
  EXPECT_EQ(u16(b + 70), img.size() - 74);
  EXPECT_EQ(u16(b + 72), img.size() - 76);
  EXPECT_EQ(u16(b + 55), 13);
}

// --------------------------------------------------------- names, characters

TEST_F(Ti83Export, VariableNamesFromFileNames) {
  struct {
    const char* file;
    const char* name;
    int message;
  } cases[] = {{"my-fig.fig", "MYFIG", 1},     {"Triangle2.fig", "TRIANGLE", 2}, {"2cercles", "CERCLES", 1},
               {".fig", "", 0},                {"Triangle.fig", "TRIANGLE", 0}, {"abc9", "ABC9", 0}};
  for (const auto& c : cases) {
    uint8_t field[8];
    std::memset(field, 0xAA, 8);
    EXPECT_EQ(ti83_variable_name(c.file, field), c.message) << c.file;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(field), strnlen(reinterpret_cast<char*>(field), 8)), c.name);
    for (size_t k = std::strlen(c.name); k < 8; ++k) EXPECT_EQ(field[k], 0);
  }
  // The export shows the renamed name once, and goes on.
  shown_point(1, 1);
  kernel_strings[771] = const_cast<char*>("renamed to %1");
  EXPECT_FALSE(build("my-fig.fig").empty());
  kernel_strings[771] = nullptr;
  ASSERT_EQ(files_seen().messages.size(), 1u);
  EXPECT_NE(files_seen().messages[0].find("renamed to MYFIG"), std::string::npos);
  files_seen().messages.clear();
  EXPECT_EQ(build(".fig").substr(60, 8), std::string(8, '\0'));
  EXPECT_TRUE(files_seen().messages.empty());
}

TEST_F(Ti83Export, CharactersAndWidths) {
  EXPECT_EQ(ti83_map_char(233, 1, kTi83ToCalculator), 150);
  EXPECT_EQ(ti83_map_char(195, 1, kTi83ToCalculator), 65);
  EXPECT_EQ(ti83_map_char(9, 1, kTi83ToCalculator), 6);
  EXPECT_EQ(ti83_map_char(91, 1, kTi83ToCalculator), 193);
  EXPECT_EQ(ti83_map_char(45, 1, kTi83ToCalculator), 45);
  EXPECT_EQ(ti83_map_char(233, 0, kTi83ToCalculator), '?');
  EXPECT_EQ(ti83_map_char(200 + 0, 1, kTi83ToCalculator), 147);
  EXPECT_EQ(ti83_map_char(131, 1, kTi83ToCalculator), '?') << "unmapped above 127";
  EXPECT_EQ(ti83_map_char(65, 1, kTi83ToHost), 65) << "one-way rows are not used back";
  EXPECT_EQ(ti83_map_char(26, 1, kTi83ToHost), 45);
  EXPECT_EQ(ti83_map_char(150, 1, kTi83ToHost), 233);
  EXPECT_EQ(ti83_map_char(150, 0, kTi83ToHost), '?');
  EXPECT_EQ(ti83_map_char(200, 1, kTi83ToHost), '?');
  // Kernel texts are Mac Roman: e acute is 0x8E there.
  EXPECT_EQ(ti83_kernel_to_calculator(0x8E), 150);
  EXPECT_EQ(ti83_calculator_to_kernel(150), 0x8E);

  const uint8_t abc[] = {65, 66, 67};
  EXPECT_EQ(ti83_text_width(abc, 3), 12);
  uint8_t wide[64];
  std::memset(wide, 64, sizeof wide);  // '@' is 6 pixels wide
  EXPECT_EQ(ti83_text_width(wide, 64), 128);
  EXPECT_EQ(ti83_text_width(wide, 50), 44);
}

TEST_F(Ti83Export, AccentedLabelGoesOutInCalculatorCodes) {
  object* p = shown_point(20, 20);
  ASSERT_TRUE(init_object_text_records(p));
  GlobalFreeAndNull(reinterpret_cast<void**>(&p->te->text));
  p->te->text = static_cast<char*>(GlobalAlloc(GPTR, 2));
  p->te->text[0] = static_cast<char>(0x8E);
  p->te->length = 1;
  p->te->pos = {static_cast<int32_t>(20 + unit()), 20};
  const std::string img = build();
  ASSERT_EQ(count(img), 7);
  const uint8_t* label = rec(img, 6);
  EXPECT_EQ(label[0], 32);
  EXPECT_EQ(label[1], 0);
  EXPECT_EQ(label[2], 5);
  EXPECT_EQ(label[11], 150);
  EXPECT_EQ(label[12], 0);
  EXPECT_EQ(label[8], 4) << "the width of calculator code 150";
  EXPECT_EQ(static_cast<int8_t>(label[9]), 11) << "ten pixels per unit, plus one";
}

// ------------------------------------------------------------------ records

TEST_F(Ti83Export, StandardRecordsAndCoordinates) {
  object* far = point(1e12, -1e12);
  object* origin = point(0, 0);
  (void)far;
  (void)origin;
  const std::string img = build();
  ASSERT_EQ(count(img), 7);
  EXPECT_EQ(rec(img, 0)[0], 1);
  EXPECT_EQ(rec(img, 0)[6], 0) << "record 0 is snapped to a pixel";
  EXPECT_EQ(rec(img, 0)[9], 0);
  EXPECT_EQ(rec(img, 3)[0], 4);
  EXPECT_EQ(rec(img, 3)[1], 1);
  EXPECT_EQ(rec(img, 4)[1], 2);
  EXPECT_EQ(rec(img, 3)[17], 1);
  EXPECT_EQ(rec(img, 4)[17], 4);
  EXPECT_EQ(s24(rec(img, 5) + 6), 8388607);
  EXPECT_EQ(s24(rec(img, 5) + 9), -8388608);
  const int32_t ox = s24(rec(img, 0) + 6), oy = s24(rec(img, 0) + 9);
  const double o0h = fig_->first->valeurs[0].h, o0v = fig_->first->valeurs[0].v;
  if (o0h == 0 && o0v == 0) {
    EXPECT_EQ(s24(rec(img, 6) + 6), 12032);
    EXPECT_EQ(s24(rec(img, 6) + 9), 7936);
  }
  EXPECT_EQ(s24(rec(img, 6) + 6) - ox, s24(rec(img, 6) + 6) - ox);
  (void)oy;
}

TEST_F(Ti83Export, FreePointAtTheOriginWhenNotRecordZero) {
  ti83_encoder e;
  e.set_context();
  e.unit = 28;
  e.records.push_back({});  // record 0 is taken
  object* p = point(0, 0);
  ASSERT_EQ(ti83_encode_object(p, &e), 1);
  EXPECT_EQ(s24(e.records[1].b + 6), 12032);
  EXPECT_EQ(s24(e.records[1].b + 9), 7936);
  EXPECT_EQ(e.records[1].b[5] & 9, 9);
  // As record 0, the low bytes go and the origins move with them.
  ti83_encoder first;
  first.set_context();
  first.unit = 28;
  object* q = point(0.5, 0.25);  // 45.7 and 22.9 units right and down
  ASSERT_EQ(ti83_encode_object(q, &first), 1);
  EXPECT_EQ(first.records[0].b[6], 0);
  EXPECT_EQ(first.records[0].b[9], 0);
  EXPECT_EQ(first.origin_x, 12032 - ((12032 + 46) & 0xFF));
  // A unit that is not a length never makes a coordinate undefined.
  fig_->first->next->valeurs[1].h = 0;
  ti83_encoder broken;
  broken.set_context();
  EXPECT_GT(broken.unit, 0);
  EXPECT_EQ(broken.coordinate(std::nan(""), 0), 12032);
  EXPECT_EQ(broken.coordinate(-1e300, 1), -8388608);
}

TEST_F(Ti83Export, SegmentsAndSidesShareRecords) {
  object* a = shown_point(0, 0);
  object* b = shown_point(100, 0);
  object* c = shown_point(0, 100);
  make2(&classe_segment, 0, a, b);
  make2(&classe_segment, 0, b, a);
  make(&classe_triangle, 0, {{a, 0}, {b, 0}, {c, 0}});
  const std::string img = build();
  // 5 + 3 points + segment AB + sides BC, CA + triangle.
  ASSERT_EQ(count(img), 12);
  EXPECT_EQ(records_of(img, 2), 3);
  const uint8_t* tri = rec(img, 11);
  EXPECT_EQ(tri[0], 8);
  EXPECT_EQ(tri[1], 0);
  EXPECT_EQ(tri[6], 8) << "side 1-2 is the segment AB";
  EXPECT_EQ(tri[2], 5);
  EXPECT_EQ(tri[3], 6);
  EXPECT_EQ(tri[4], 7);
  EXPECT_EQ(rec(img, 8)[17], 1);
}

TEST_F(Ti83Export, PositionsOnSegmentsAndCircles) {
  object* a = shown_point(0, 0);
  object* b = shown_point(100, 0);
  object* s = make2(&classe_segment, 0, a, b);
  object* mid = point_on(s, 1, 50, 0);
  object* line = make2(&classe_droite, 1, a, b);
  object* beyond = point_on(line, 0, -100, 0);
  object* circle = make2(&classe_cercle, 1, a, b);
  object* at_b = point_on(circle, 3, 100, 0);
  object* quarter = point_on(circle, 3, 0, -100);
  for (object* o : {mid, beyond, at_b, quarter}) ASSERT_NE(o, nullptr);
  const std::string img = build();
  auto t_of = [&](int i) { return u16(rec(img, i) + 15); };
  // 5 + A, B, segment, mid, line, beyond, circle, at_b, quarter.
  ASSERT_EQ(count(img), 14);
  EXPECT_EQ(rec(img, 8)[1], 4);
  EXPECT_EQ(t_of(8), 128);
  EXPECT_EQ(rec(img, 10)[1], 5);
  EXPECT_EQ(t_of(10), 65280);
  EXPECT_EQ(rec(img, 12)[1], 6);
  EXPECT_EQ(t_of(12), 0);
  EXPECT_EQ(t_of(13), 900);
  EXPECT_EQ(rec(img, 13)[4], 11) << "parent 4 is the circle";
}

TEST_F(Ti83Export, RotationsByOneAngleShareItsRecord) {
  object* centre = point(0, 0);
  object* a = point(10, 0);
  object* v = point(0, 0);
  object* c = point(0, 10);
  for (int k = 0; k < 3; ++k) {
    object* p = point(20 + k, 5);
    ASSERT_NE(make(&classe_rotation, 1, {{p, 0}, {centre, 0}, {a, 0}, {v, 0}, {c, 0}}), nullptr);
  }
  const std::string img = build();
  EXPECT_EQ(records_of(img, 64, 4), 1);
  EXPECT_EQ(records_of(img, 1, 17), 3);
}

TEST_F(Ti83Export, PentagonsAndRegularPolygonsAreNotExportable) {
  ti83_encoder e;
  e.set_context();
  std::vector<object*> pts;
  for (int k = 0; k < 5; ++k) {
    pts.push_back(point(k * 10, k * k));
    ASSERT_EQ(ti83_encode_object(pts.back(), &e), 1);
  }
  object* pentagon = make(&classe_polygone, 0, {{pts[0], 0}, {pts[1], 0}, {pts[2], 0}, {pts[3], 0}, {pts[4], 0}});
  ASSERT_NE(pentagon, nullptr);
  const size_t before = e.records.size();
  EXPECT_EQ(ti83_encode_object(pentagon, &e), 0);
  EXPECT_EQ(e.records.size(), before) << "nothing is left behind";
  object* quad = make(&classe_polygone, 0, {{pts[0], 0}, {pts[1], 0}, {pts[2], 0}, {pts[3], 0}});
  EXPECT_EQ(ti83_encode_object(quad, &e), 1);
  EXPECT_EQ(e.records.back().b[1], 1);
  object* regular = make(&classe_polyreg, 0, {{pts[0], 0}, {pts[1], 0}, {pts[2], 0}});
  if (regular) EXPECT_EQ(ti83_encode_object(regular, &e), 0);
}

// ------------------------------------------------------------------ export

TEST_F(Ti83Export, ExportableFigureIsSavedWithoutAQuestionAndUnchanged) {
  object* a = shown_point(0, 0);
  object* b = shown_point(50, 0);
  make2(&classe_segment, 0, a, b);
  make2(&classe_cercle, 1, a, b);
  select_figure_object(a, 0, 0);
  const uint32_t objects = fig_->nbobj;
  const uint32_t num_a = a->num;
  const std::string img = build();
  EXPECT_FALSE(img.empty());
  EXPECT_TRUE(files_seen().messages.empty());
  EXPECT_EQ(objlist_count(fig_->selection), 0);
  EXPECT_EQ(fig_->nbobj, objects);
  EXPECT_EQ(a->num, num_a);
}

TEST_F(Ti83Export, UnexportableObjectsAreListedAndLeftOutOnYes) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  for (int n : {10, 11}) {
    std::vector<object*> arcs;
    for (int k = 0; k < n; ++k) arcs.push_back(arc(a, b, point(k, 20)));
    files_seen().messages.clear();
    files_seen().answer = 0;  // Yes
    const std::string img = build();
    ASSERT_EQ(files_seen().messages.size(), 1u);
    const std::string& m = files_seen().messages[0];
    // The question, an empty line, then one line an object, none indented.
    const std::string list = m.substr(m.find("\n\n") + 2);
    size_t lines = 1;
    for (char c : list) lines += c == '\n';
    EXPECT_EQ(lines, n == 11 ? 11u : 10u) << m;
    EXPECT_EQ(list.find('\t'), std::string::npos) << m;
    EXPECT_EQ(m.find("\n[...]") != std::string::npos, n == 11);
    EXPECT_EQ(m.find(" => "), std::string::npos) << "unnamed objects show their description only";
    int points = 0;
    for (object* o = fig_->first; o; o = o->next) points += o->classe == &classe_point;
    EXPECT_EQ(records_of(img, 1), points + 2) << "the points stay";
    EXPECT_EQ(records_of(img, 4), 2) << "the arcs are left out";
    EXPECT_EQ(objlist_count(fig_->selection), 0);
    for (object* o : arcs) EXPECT_EQ(o->classe, &classe_arc) << "the figure keeps them";
    for (object* o : arcs) delete_object_quietly(o);
  }
}

TEST_F(Ti83Export, ANamedObjectIsListedWithItsName) {
  object* a = point(0, 0);
  object* named = arc(a, point(10, 0), point(0, 10));
  ASSERT_TRUE(init_object_text_records(named));
  set_text_record_text(named->te, "c1");
  files_seen().answer = 1;
  EXPECT_TRUE(build().empty());
  ASSERT_EQ(files_seen().messages.size(), 1u);
  EXPECT_NE(files_seen().messages[0].find("\nc1 => "), std::string::npos) << files_seen().messages[0];
}

// An object built on one the calculator cannot show goes too, and the
// question names it after the one it is built on.
TEST_F(Ti83Export, WhatIsBuiltOnALeftOutObjectIsNamedToo) {
  object* a = point(0, 0);
  object* the_arc = arc(a, point(100, 0), point(0, 100));
  object* on_arc = point_on(the_arc, 4, 100, 0);
  ASSERT_NE(on_arc, nullptr);
  ASSERT_TRUE(init_object_text_records(on_arc));
  ASSERT_TRUE(set_text_record_text(on_arc->te, "P"));
  files_seen().answer = 0;
  EXPECT_FALSE(build().empty());
  ASSERT_EQ(files_seen().messages.size(), 1u);
  const std::string& m = files_seen().messages[0];
  const size_t arc_line = m.find("\n" + describe_object(the_arc, nullptr));
  ASSERT_NE(arc_line, std::string::npos) << m;
  EXPECT_GT(m.find("\nP => "), arc_line) << m;
}

// A measure left out is listed with its text as the figure shows it: an
// area's unit keeps its raised 2.
TEST_F(Ti83Export, AnAreaLeftOutShowsItsUnitSign) {
  object* a = point(0, 0);
  object* b = point(56, 0);
  object* c = point(0, 56);
  object* area = make(&classe_aire, 0, {{make(&classe_triangle, 0, {{a, 0}, {b, 0}, {c, 0}}), 0}});
  ASSERT_NE(area, nullptr);
  // A calculation from it has no calculator record.
  auto* formula = static_cast<char*>(GlobalAlloc(GPTR, 2));
  formula[0] = 'a';
  pending_extra[0] = formula;
  object* calc = make(&classe_calculate, 0, {{area, 0}});
  ASSERT_NE(calc, nullptr);
  ASSERT_NE(calc->te, nullptr);
  ASSERT_NE(std::string(calc->te->text).find("cm\xB2"), std::string::npos) << calc->te->text;
  files_seen().answer = 1;
  EXPECT_TRUE(build().empty());
  ASSERT_EQ(files_seen().messages.size(), 1u);
  const std::string& m = files_seen().messages[0];
  EXPECT_NE(m.find("cm\u00b2"), std::string::npos) << m;
  EXPECT_EQ(m.find("\u2264"), std::string::npos) << m;
}

TEST_F(Ti83Export, DecliningWritesNothingAndChangesNothing) {
  object* a = point(0, 0);
  arc(a, point(10, 0), point(0, 10));
  const uint32_t objects = fig_->nbobj;
  files_seen().answer = 1;  // No
  EXPECT_TRUE(build().empty());
  EXPECT_EQ(fig_->nbobj, objects);
  EXPECT_EQ(objlist_count(fig_->selection), 0);
  EXPECT_EQ(ti83_export_figure("x.8xv"), 2);
  EXPECT_EQ(file_buffer, nullptr);
}

TEST_F(Ti83Export, TooManyRecordsAsksOnceAndKeepsTwoHundredFiftySix) {
  object* a = point(0, 0);
  object* b = point(50, 0);
  object* s = make2(&classe_segment, 0, a, b);
  object* driven = point_on(s, 1, 10, 0);
  for (int k = 0; k < 295; ++k) point(k, 1);
  // A spring placed after the 256th record still drives its point.
  object* spring = make(&classe_spring, 0, {{driven, 0}});
  ASSERT_NE(spring, nullptr);
  ASSERT_EQ(spring->nbparents, 1);
  kernel_strings[769] = const_cast<char*>("too many");
  files_seen().answer = 0;
  const std::string img = build();
  kernel_strings[769] = nullptr;
  ASSERT_EQ(files_seen().messages.size(), 1u);
  EXPECT_NE(files_seen().messages[0].find("too many"), std::string::npos);
  EXPECT_EQ(files_seen().messages[0].find("\t\t"), std::string::npos);
  ASSERT_EQ(count(img), 256);
  EXPECT_EQ(img[83], 0);
  EXPECT_EQ(rec(img, 8)[0], 1);
  EXPECT_EQ(rec(img, 8)[1], 4);
  EXPECT_NE(rec(img, 8)[17], 0) << "the spring sets the point's byte 17";
}

TEST_F(Ti83Export, ExportPutsTheImageInTheFileBufferThroughSave) {
  object* a = shown_point(0, 0);
  make2(&classe_segment, 0, a, shown_point(30, 30));
  install_file_services({.ti83_export_figure = &ti83_export_figure});
  save_format_code = 9;
  const std::string p = path("fig.8xv");
  ASSERT_EQ(save_to(p, SAVE_EXPORT), 1);
  const std::string img = read(p);
  double version = 0;
  EXPECT_EQ(ti83_check_file(img.data(), static_cast<uint32_t>(img.size()), &version), 1);
  EXPECT_EQ(img.substr(60, 8), std::string("FIG\0\0\0\0\0", 8));
  EXPECT_EQ(files_seen().undo_dirty, 0) << "an export leaves the edited state alone";
}

// The independent reader sees our files as TI-83 Plus application
// variables and writes them back byte for byte.
TEST_F(Ti83Export, IndependentReaderAgrees) {
#ifndef KELVO_TI83_CHECKER
  GTEST_SKIP() << "libtifiles2 (Debian libtifiles-dev) is not installed: the independent check is skipped";
#else
  object* a = shown_point(0, 0);
  object* b = shown_point(40, 10);
  make2(&classe_segment, 0, a, b);
  make2(&classe_cercle, 1, a, b);
  const std::string img = build("Circles.8xv");
  const std::string in = path("circles.8xv"), out = path("again.8xv");
  write(in, img);
  FILE* pipe = popen(("'" KELVO_TI83_CHECKER "' '" + in + "' '" + out + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[512] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  const int status = pclose(pipe);
  ASSERT_TRUE(got);
  EXPECT_EQ(status, 0) << line;
  const std::string seen = line;
  const int n = count(img);
  EXPECT_NE(seen.find("model=TI83+"), std::string::npos) << seen;
  EXPECT_NE(seen.find("entries=1 "), std::string::npos) << seen;
  EXPECT_NE(seen.find("type=APPV "), std::string::npos) << seen;
  EXPECT_NE(seen.find("name=CIRCLES "), std::string::npos) << seen;
  EXPECT_NE(seen.find(" size=" + std::to_string(18 * n + 12) + " "), std::string::npos) << seen;
  const auto* bytes = reinterpret_cast<const uint8_t*>(img.data());
  const std::string sum = std::to_string(u16(bytes + img.size() - 2));
  EXPECT_NE(seen.find("checksum=" + sum + " stored=" + sum), std::string::npos) << seen;
  EXPECT_EQ(read(out), img);
#endif
}

}  // namespace
