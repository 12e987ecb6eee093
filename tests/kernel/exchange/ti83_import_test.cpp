// Reading calculator figures of both versions: files built byte by byte
// from the record layouts, files written by the export and read back, and
// damaged files.
#include "kernel/exchange/ti83_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "../files/file_fixture.h"
#include "data/files/ti83_fixture.h"
#include "kernel/exchange/ti83_export.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_convert.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"

namespace {

class Ti83Import : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    original_ = fig_;
    scale_ = pixels_per_unit;
    saved_separator_ = decimal_separator;
    decimal_separator = '.';
    kernel_strings[770] = const_cast<char*>("partly read");
  }
  void TearDown() override {
    kernel_strings[770] = nullptr;
    decimal_separator = saved_separator_;
    for (kelvo_win_info* f : opened_) {
      KPGeoDocument::setCurrentInfo(f);
      kelvo_win_info* copy = f->undo;
      free_figure_info(f, false);
      free_figure_info(copy, false);
    }
    KPGeoDocument::setCurrentInfo(original_);
    FileTest::TearDown();
  }

  // Reads the bytes into a fresh figure as opening a file does; the
  // figure read stays current.
  int8_t open(const std::string& bytes) {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    kelvo_win_info* f = KPGeoDocument::currentInfo();
    opened_.push_back(f);
    return read_figure_file(bytes.data(), static_cast<uint32_t>(bytes.size()), "/tmp/calc.8xv");
  }

  // The image of the original figure.
  std::string exported() {
    KPGeoDocument::setCurrentInfo(original_);
    char* image = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(ti83_build_file("fig.8xv", &image, &length), 1);
    std::string out(image, length);
    GlobalFreeAndNull(reinterpret_cast<void**>(&image));
    return out;
  }

  static std::vector<object*> all(construct_class* cls) {
    std::vector<object*> out;
    for (object* o = KPGeoDocument::currentInfo()->first; o; o = o->next)
      if (o->classe == cls) out.push_back(o);
    return out;
  }
  static object* triangle_of() {
    for (object* o = KPGeoDocument::currentInfo()->first; o; o = o->next)
      if (o->classe == &classe_triangle) return o;
    return nullptr;
  }
  static std::string text_of(const object* o) { return o && o->te && o->te->text ? o->te->text : ""; }
  // The kinds of the figure: class short name and how many.
  static std::map<std::string, int> kinds() {
    std::map<std::string, int> out;
    for (object* o = KPGeoDocument::currentInfo()->first; o; o = o->next)
      ++out[o->classe && o->classe->short_name ? o->classe->short_name : "?"];
    return out;
  }

  kelvo_win_info* original_ = nullptr;
  std::vector<kelvo_win_info*> opened_;
  double scale_ = 28;
  char saved_separator_ = '.';
};

// ------------------------------------------------------------ version 2

TEST_F(Ti83Import, StandardRecordsGiveTheOriginAndTheAxesAtTheWindowCentre) {
  ti83_fixture f(2);
  f.at(0, 12032 + 2560, 7936 - 5120);
  ASSERT_EQ(open(f.file()), 1);
  EXPECT_EQ(KPGeoDocument::currentInfo()->nbobj, 2u);
  object* origin = KPGeoDocument::currentInfo()->first;
  EXPECT_NEAR(origin->valeurs[0].h, scale_, 1e-9);
  EXPECT_NEAR(origin->valeurs[0].v, -2 * scale_, 1e-9);
  EXPECT_EQ(origin->next->classe, &classe_axe);
  EXPECT_TRUE(files_seen().messages.empty());
}

TEST_F(Ti83Import, FreePointsLandAtTheCalculatorScale) {
  ti83_fixture f(2);
  f.at(f.add(1, 0), 12032, 7936);
  f.at(f.add(1, 0), 12032 + 256, 7936 - 256);
  ASSERT_EQ(open(f.file()), 1);
  const auto points = all(&classe_point);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_NEAR(points[1]->valeurs[0].h, 0, 1e-9);
  EXPECT_NEAR(points[1]->valeurs[0].v, 0, 1e-9);
  EXPECT_NEAR(points[2]->valeurs[0].h, scale_ / 10, 1e-9);
  EXPECT_NEAR(points[2]->valeurs[0].v, -scale_ / 10, 1e-9);
  EXPECT_NE(points[1]->settings.visible, 0);
}

TEST_F(Ti83Import, CountByteZeroReadsTwoHundredFiftySixRecords) {
  ti83_fixture f(2);
  while (f.records.size() < 256) f.at(f.add(1, 0), 12032, 7936);
  ASSERT_EQ(open(f.file(0)), 1);
  EXPECT_EQ(all(&classe_point).size(), 252u);
}

TEST_F(Ti83Import, NumbersAndCalculationsShowTheirValues) {
  ti83_fixture f(2);
  const int a = f.add(64, 0);
  ti83_fixture::put24(&f.records[a][9], 3200);
  const int b = f.add(64, 0);
  ti83_fixture::put24(&f.records[b][9], 2560);
  const int c = f.add(64, 0);
  ti83_fixture::put24(&f.records[c][9], -384);
  f.add(64, 0x48, static_cast<uint8_t>(a), static_cast<uint8_t>(b));
  ASSERT_EQ(open(f.file()), 1);
  const auto numbers = all(&classe_nombre);
  ASSERT_EQ(numbers.size(), 3u);
  EXPECT_EQ(text_of(numbers[0]), "1.25");
  EXPECT_EQ(text_of(numbers[1]), "1");
  EXPECT_EQ(text_of(numbers[2]), "-0.15");
  const auto sums = all(&classe_calculate);
  ASSERT_EQ(sums.size(), 1u);
  EXPECT_STREQ(reinterpret_cast<const char*>(sums[0]->parents[2]), "a+b");
  EXPECT_EQ(sums[0]->settings.nbre_decimales & 0x7F, 1);
  EXPECT_NEAR(sums[0]->valeurs[0].info.rayon, 2.25, 1e-9);
  EXPECT_EQ(all(&classe_text).size(), 1u) << "the calculation is shown in a text";

  const char saved = decimal_separator;
  decimal_separator = ',';
  char text[64];
  ti83_number_text(1.25, true, text);
  decimal_separator = saved;
  EXPECT_STREQ(text, "1,25");
}

TEST_F(Ti83Import, ALaterParentStopsTheImportWithOneMessage) {
  ti83_fixture f(2);
  const int a = f.add(1, 0);
  f.add(2, 0, static_cast<uint8_t>(a), 7);
  f.add(1, 0);
  f.add(1, 0);
  ASSERT_EQ(open(f.file()), 1);
  ASSERT_EQ(files_seen().messages.size(), 1u);
  EXPECT_NE(files_seen().messages[0].find("partly read"), std::string::npos);
  EXPECT_EQ(all(&classe_point).size(), 2u) << "what came before stays, nothing after";
  EXPECT_TRUE(all(&classe_segment).empty());
}

TEST_F(Ti83Import, TranslationsByTheSamePointsShareAVector) {
  ti83_fixture f(2);
  std::vector<uint8_t> p;
  for (int k = 0; k < 4; ++k) p.push_back(static_cast<uint8_t>(f.add(1, 0)));
  for (int k = 0; k < 4; ++k) f.at(p[k], 12032 + 512 * k, 7936 + 256 * k);
  f.add(1, 16, p[0], p[1], p[2]);
  f.add(1, 16, p[0], p[1], p[3]);
  f.add(1, 16, p[1], p[2], p[3]);
  ASSERT_EQ(open(f.file()), 1);
  EXPECT_EQ(all(&classe_translation).size(), 3u);
  EXPECT_EQ(all(&classe_vecteur).size(), 2u);
  EXPECT_TRUE(files_seen().messages.empty());
}

TEST_F(Ti83Import, AConstructionPointNamedLaterBecomesAHiddenPointOnItsLine) {
  ti83_fixture f(2);
  const int a = f.add(1, 0), b = f.add(1, 0), c = f.add(1, 0);
  f.at(a, 12032, 7936).at(b, 12032 + 2560, 7936).at(c, 12032, 7936 + 2560);
  const int ab = f.add(4, 0, static_cast<uint8_t>(a), static_cast<uint8_t>(b));
  const int cp = f.add(1, 1, static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c), 1);
  f.byte(cp, 17, 20).at(cp, 12032, 7936 + 5120);
  f.add(4, 0, static_cast<uint8_t>(c), static_cast<uint8_t>(cp), static_cast<uint8_t>(ab));
  f.add(2, 0, static_cast<uint8_t>(a), static_cast<uint8_t>(cp));
  ASSERT_EQ(open(f.file()), 1);
  EXPECT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  const auto perps = all(&classe_perpendiculaire);
  ASSERT_EQ(perps.size(), 1u);
  const auto on = all(&classe_ptsur);
  ASSERT_EQ(on.size(), 1u);
  EXPECT_EQ(on[0]->parents[0], perps[0]);
  EXPECT_EQ(on[0]->settings.visible, 0);
  ASSERT_EQ(all(&classe_segment).size(), 1u);
  EXPECT_EQ(all(&classe_segment)[0]->parents[1], on[0]);
}

TEST_F(Ti83Import, ASpringByteGivesASpringAndAnimatesTheDocument) {
  for (int drive : {100, 16, 240}) {
    ti83_fixture f(2);
    const int a = f.add(1, 0), b = f.add(1, 0);
    f.at(a, 12032, 7936).at(b, 12032 + 2560, 7936);
    const int s = f.add(2, 0, static_cast<uint8_t>(a), static_cast<uint8_t>(b));
    const int p = f.add(1, 4, static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(s));
    f.at(p, 12032 + 1280, 7936).byte(p, 17, drive);
    ASSERT_EQ(open(f.file()), 1);
    const auto springs = all(&classe_spring);
    ASSERT_EQ(springs.size(), 1u) << drive;
    EXPECT_EQ(KPGeoDocument::currentInfo()->animate_on_open, 1);
    // Along the segment towards its first end, whatever the byte holds.
    EXPECT_LT(springs[0]->valeurs[1].h - springs[0]->valeurs[0].h, 0) << drive;
    EXPECT_NEAR(springs[0]->valeurs[1].v - springs[0]->valeurs[0].v, 0, 1e-9) << drive;
  }
}

TEST_F(Ti83Import, ASpringWithoutDirectionStopsTheImport) {
  ti83_fixture f(2);
  const int a = f.add(1, 0), b = f.add(1, 0);
  f.at(a, 12032, 7936).at(b, 12032 + 2560, 7936);
  const int s = f.add(2, 0, static_cast<uint8_t>(a), static_cast<uint8_t>(b));
  const int p = f.add(1, 4, static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(s));
  f.at(p, 12032, 7936).byte(p, 17, 100);
  ASSERT_EQ(open(f.file()), 1);
  EXPECT_TRUE(all(&classe_spring).empty()) << "no direction, no spring";
  EXPECT_EQ(all(&classe_ptsur).size(), 1u);
  EXPECT_EQ(files_seen().messages.size(), 1u);
}

TEST_F(Ti83Import, CompassCirclesAreBuiltWithThePrebuiltCompass) {
  for (int version : {2, 1}) {
    files_seen().messages.clear();
    ti83_fixture f(version);
    const int unit = version == 2 ? 256 : 16;
    const int x0 = version == 2 ? 12032 : 752, y0 = version == 2 ? 7936 : 496;
    const int a = f.add(1, 0), b = f.add(1, 0), c = f.add(1, 0);
    f.at(a, x0, y0).at(b, x0 + 30 * unit, y0 + 40 * unit).at(c, x0 + 100 * unit, y0);
    if (version == 2) {
      const int cp = f.add(1, 1, static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c), 1);
      f.byte(cp, 17, 21);
      f.add(16, 0, static_cast<uint8_t>(c), static_cast<uint8_t>(cp));
      f.add(2, 0, static_cast<uint8_t>(c), static_cast<uint8_t>(cp));  // names the construction point
    } else {
      f.add(16, 3, static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c));
    }
    ASSERT_EQ(open(f.file()), 1);
    EXPECT_TRUE(files_seen().messages.empty()) << version << " " << files_seen().messages[0];
    const auto circles = all(&classe_cercle);
    ASSERT_EQ(circles.size(), 1u) << version;
    EXPECT_NEAR(circles[0]->valeurs[1].info.rayon, 5 * scale_, 1e-6) << "|AB| is 50 pixels, 5 centimetres";
    if (version == 2) EXPECT_EQ(all(&classe_segment).size(), 1u) << "the construction point has its object";
  }
}

TEST_F(Ti83Import, CoordinatesAndLabelsOfBothVersions) {
  for (int version : {2, 1}) {
    ti83_fixture f(version);
    const int p = f.add(1, 0);
    f.at(p, version == 2 ? 12032 + 2560 : 752 + 160, version == 2 ? 7936 : 496);
    f.add(version == 2 ? 64 : 32, version == 2 ? 20 : 2, static_cast<uint8_t>(p));
    const int label = f.add(32, 0, static_cast<uint8_t>(p));
    f.bytes_at(label, 11, "PQ");
    ASSERT_EQ(open(f.file()), 1);
    EXPECT_TRUE(files_seen().messages.empty()) << version << " " << files_seen().messages[0];
    EXPECT_EQ(all(&classe_equation).size(), 2u) << version;
    const auto texts = all(&classe_text);
    ASSERT_EQ(texts.size(), 1u) << version;
    EXPECT_EQ(text_of(texts[0]).front(), '(');
    EXPECT_EQ(text_of(all(&classe_point)[1]), "PQ") << version;
  }
}

// ------------------------------------------------------------ round trips

TEST_F(Ti83Import, EveryKindTheExportWritesReadsBack) {
  object* a = shown_point(0, 0);
  object* b = shown_point(56, 0);
  object* c = shown_point(0, 56);
  object* d = shown_point(40, 70);
  object* seg = make2(&classe_segment, 0, a, b);
  make2(&classe_vecteur, 0, a, c);
  object* line = make2(&classe_droite, 1, a, d);
  make2(&classe_demidroite, 1, b, d);
  object* circle = make2(&classe_cercle, 1, a, b);
  make(&classe_triangle, 0, {{a, 0}, {b, 0}, {c, 0}});
  make(&classe_polygone, 0, {{a, 0}, {b, 0}, {d, 0}, {c, 0}});
  make2(&classe_perpendiculaire, 0, d, seg);
  make2(&classe_parallele, 0, c, line);
  make2(&classe_mediatrice, 0, a, d);
  make(&classe_bissectrice, 0, {{b, 0}, {a, 0}, {d, 0}});
  make2(&classe_milieu, 0, b, d);
  make2(&classe_symetrique, 0, d, c);
  make2(&classe_symetriquedr, 0, d, seg);
  make(&classe_ptsur, 1, {{seg, 0}}, 20, 0);
  make(&classe_ptsur, 3, {{circle, 0}}, 0, 56);
  make(&classe_ptsur, 0, {{line, 0}}, 20, 35);
  object* triangle = nullptr;
  for (object* o = fig_->first; o; o = o->next)
    if (o->classe == &classe_triangle) triangle = o;
  make(&classe_ptsur, 2, {{triangle, 0}}, 30, 28);
  make(&classe_rotation, 1, {{c, 0}, {a, 0}, {b, 0}, {a, 0}, {d, 0}});
  // Intersections away from every point of the figure, with both roots.
  object* across = make2(&classe_droite, 1, shown_point(-30, 10), shown_point(70, 30));
  object* other = make2(&classe_cercle, 1, d, a);
  object* inner = make2(&classe_segment, 0, a, shown_point(80, 10));
  for (auto [x, y, index] : {std::tuple{across, circle, 0u}, std::tuple{across, circle, 0x10000u},
                             std::tuple{inner, circle, 0u}, std::tuple{line, across, 0u},
                             std::tuple{other, across, 0u}, std::tuple{other, across, 0x10000u},
                             std::tuple{circle, other, 0u}, std::tuple{circle, other, 0x10000u},
                             std::tuple{fig_->first->next, across, 0u}, std::tuple{fig_->first->next, across, 0x10000u},
                             std::tuple{fig_->first->next, circle, 0u}, std::tuple{fig_->first->next, circle, 1u},
                             std::tuple{fig_->first->next, circle, 0x10000u},
                             std::tuple{fig_->first->next, circle, 0x10001u},
                             std::tuple{triangle_of(), across, 2u}, std::tuple{triangle_of(), circle, 0x10002u}}) {
    object* set = get_intersection_set(x, y, nullptr);
    ASSERT_NE(set, nullptr);
    object* pt = create_intersection_point(set, index);
    ASSERT_NE(pt, nullptr);
  }
  for (object* o = fig_->first; o; o = o->next) recompute_object(o);
  std::map<std::string, int> before = kinds();
  std::vector<std::pair<double, double>> free_points;
  for (object* o : all(&classe_point)) free_points.emplace_back(o->valeurs[0].h, o->valeurs[0].v);
  construct_class* const built[] = {&classe_milieu, &classe_symetrique, &classe_symetriquedr, &classe_rotation,
                                    &classe_ptsur, &classe_ptint};
  std::vector<std::pair<double, double>> built_points;
  for (construct_class* cls : built)
    for (object* o : all(cls)) built_points.emplace_back(o->valeurs[0].h, o->valeurs[0].v);

  const std::string img = exported();
  ASSERT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  ASSERT_EQ(open(img), 1);
  EXPECT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  std::map<std::string, int> after = kinds();
  for (const char* k : {"Tr", "Pol", "Perp", "Par", "PBiss", "Biss", "Mid", "Sym", "Refl", "Pt/", "Rot", "Cir", "Int"})
    EXPECT_EQ(after[k], before[k]) << k;
  // Vectors and rays come back as segments and lines; the sides of the
  // triangle and the polygon come as segments, shared where they meet the
  // segment AB and the vector AC: AB, AC, BC, BD, DC, and the inner one.
  EXPECT_EQ(after["Seg"], 6);
  EXPECT_EQ(after["Line"], 3);
  const auto points = all(&classe_point);
  ASSERT_GE(points.size(), free_points.size());
  for (size_t k = 1; k < free_points.size(); ++k) {
    EXPECT_NEAR(points[k]->valeurs[0].h, free_points[k].first, scale_ / 10) << k;
    EXPECT_NEAR(points[k]->valeurs[0].v, free_points[k].second, scale_ / 10) << k;
  }
  size_t k = 0;
  for (construct_class* cls : built)
    for (object* o : all(cls)) {
      ASSERT_LT(k, built_points.size());
      EXPECT_NEAR(o->valeurs[0].h, built_points[k].first, scale_ / 10) << cls->short_name;
      EXPECT_NEAR(o->valeurs[0].v, built_points[k].second, scale_ / 10) << cls->short_name;
      ++k;
    }
  EXPECT_EQ(k, built_points.size());
}

TEST_F(Ti83Import, EquationsAndLociReadBack) {
  object* a = shown_point(0, 0);
  object* b = shown_point(56, 0);
  object* c = shown_point(20, 60);
  object* circle = make2(&classe_cercle, 1, a, b);
  object* line = make2(&classe_droite, 1, a, c);
  object* axes = fig_->first->next;
  ASSERT_NE(make2(&classe_equation, 1, line, axes), nullptr);
  ASSERT_NE(make2(&classe_equation, 1, circle, axes), nullptr);
  object* driver = make(&classe_ptsur, 3, {{circle, 0}}, 0, 56);
  object* mid = make2(&classe_milieu, 0, driver, c);
  ASSERT_NE(make2(&classe_locus, 0, driver, mid), nullptr);
  const std::string img = exported();
  ASSERT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  ASSERT_EQ(open(img), 1);
  EXPECT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  auto after = kinds();
  EXPECT_EQ(after["Eq/Co"], 2);
  EXPECT_EQ(after["Locus"], 1);
  const auto loci = all(&classe_locus);
  ASSERT_EQ(loci.size(), 1u);
  EXPECT_EQ(loci[0]->parents[0]->classe, &classe_ptsur);
  EXPECT_EQ(loci[0]->parents[loci[0]->nbparents - 1]->classe, &classe_milieu);
}

// The pre-built compass, its radius given by two points or by a segment,
// goes out as the calculator's own compass: a construction point that
// carries the centre along the radius, then the circle through it (with
// the segment as its third parent), and no record for the compass's hidden
// steps. It reads back as the compass, of the same radius.
TEST_F(Ti83Import, CompassCirclesTravelAsTheCompass) {
  ASSERT_TRUE(install_optional_class(0, 0));
  for (int method : {0, 1}) {
    SCOPED_TRACE(method);
    KPGeoDocument::setCurrentInfo(original_);
    object* a = shown_point(0, 0);
    object* b = shown_point(30, 40);
    object* c = shown_point(120, -20);
    object* segment = method == 1 ? make2(&classe_segment, 0, a, b) : nullptr;
    current_class = optional_classes[0];
    objlist_clear(fig_->inputs);
    if (segment != nullptr) {
      objlist_add(fig_->inputs, segment, 0);
    } else {
      objlist_add(fig_->inputs, a, 0);
      objlist_add(fig_->inputs, b, 0);
    }
    objlist_add(fig_->inputs, c, 0);
    ASSERT_NE(apply_macro(static_cast<int16_t>(method), 0), nullptr);
    current_class = nullptr;
    objlist_clear(fig_->inputs);
    object* circle = last_object();
    ASSERT_EQ(circle->classe, &classe_cercle);
    const double radius = std::hypot(circle->valeurs[1].h - circle->valeurs[0].h,
                                     circle->valeurs[1].v - circle->valeurs[0].v);
    ASSERT_NEAR(radius, 50, 1e-9);

    const std::string img = exported();
    ASSERT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
    const auto* r = reinterpret_cast<const uint8_t*>(img.data()) + 84;
    const int n = static_cast<int>((img.size() - 86) / 18);
    int through = -1, circles = 0, hidden_steps = 0;
    for (int i = 0; i < n; ++i) {
      const uint8_t* x = r + 18 * i;
      if (x[0] == 1 && (x[1] == 13 || x[1] == 14)) ++hidden_steps;
      if (x[0] == 1 && x[1] == 1 && x[17] == 21) {
        through = i;
        EXPECT_NE(x[4], 255);
      }
      if (x[0] == 16) {
        ++circles;
        EXPECT_EQ(x[3], through);
        EXPECT_EQ(x[2], r[18 * through + 4]) << "the circle is about the point the construction point moves";
        EXPECT_EQ(x[4] != 255, method == 1) << "the segment is the third parent";
      }
    }
    EXPECT_GE(through, 0);
    EXPECT_EQ(circles, 1);
    EXPECT_EQ(hidden_steps, 0);

    ASSERT_EQ(open(img), 1);
    EXPECT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
    const auto read = all(&classe_cercle);
    ASSERT_EQ(read.size(), 1u);
    ASSERT_NE(read[0]->macro, nullptr);
    EXPECT_EQ(read[0]->macro->im_class, optional_classes[0]);
    EXPECT_EQ(read[0]->macro->im_method, method);
    EXPECT_NEAR(std::hypot(read[0]->valeurs[1].h - read[0]->valeurs[0].h,
                           read[0]->valeurs[1].v - read[0]->valeurs[0].v),
                radius, scale_ / 10);
    KPGeoDocument::setCurrentInfo(original_);
    for (object* o : {c, b, a}) delete_object_quietly(o);
  }
}

// A hidden point on a line through one point stands for the line's
// direction point when nothing but the images of points uses it: it gets
// no record, and its image is made from that point's record. Used by
// anything else, it keeps its record.
TEST_F(Ti83Import, AHiddenPointOnALineThroughOnePointTakesItsDirectionPoint) {
  object* a = shown_point(0, 0);
  object* line = make(&classe_droite, 0, {{a, 0}}, 56, 28);
  ASSERT_NE(line, nullptr);
  ASSERT_EQ(line->nbparents, 1);
  object* hidden = make(&classe_ptsur, 0, {{line, 0}}, 28, 14);
  ASSERT_NE(hidden, nullptr);
  hidden->settings.visible = 0;
  object* centre = shown_point(-40, 30);
  object* image = make2(&classe_symetrique, 0, hidden, centre);
  ASSERT_NE(image, nullptr);
  auto on_line_records = [](const std::string& img) {
    int count = 0;
    for (size_t at = 84; at + 18 + 2 <= img.size(); at += 18) count += img[at] == 1 && img[at + 1] == 5;
    return count;
  };
  std::string img = exported();
  EXPECT_EQ(on_line_records(img), 0);
  // The image's moved point is the line's second defining record.
  const auto* r = reinterpret_cast<const uint8_t*>(img.data()) + 84;
  const int n = static_cast<int>((img.size() - 86) / 18);
  int line_record = -1, image_record = -1;
  for (int i = 0; i < n; ++i) {
    if (r[18 * i] == 4 && r[18 * i + 1] == 0) line_record = i;
    if (r[18 * i] == 1 && r[18 * i + 1] == 14) image_record = i;
  }
  ASSERT_GE(line_record, 0);
  ASSERT_GE(image_record, 0);
  EXPECT_EQ(r[18 * image_record + 3], r[18 * line_record + 3]);
  ASSERT_EQ(open(img), 1);
  EXPECT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  EXPECT_EQ(all(&classe_symetrique).size(), 1u);

  // A segment from it needs the point itself.
  KPGeoDocument::setCurrentInfo(original_);
  ASSERT_NE(make2(&classe_segment, 0, hidden, centre), nullptr);
  img = exported();
  EXPECT_EQ(on_line_records(img), 1);
}

// An angle measured on three points of circles has a kind of its own (38),
// any other angle the plain one (35); both read back as angle measures.
TEST_F(Ti83Import, AnAngleOfPointsOnCirclesHasItsOwnKind) {
  object* centre = shown_point(0, 0);
  object* circle = make2(&classe_cercle, 1, centre, shown_point(56, 0));
  ASSERT_NE(circle, nullptr);
  object* on[3] = {make(&classe_ptsur, 3, {{circle, 0}}, 56, 0), make(&classe_ptsur, 3, {{circle, 0}}, 0, 56),
                   make(&classe_ptsur, 3, {{circle, 0}}, -56, 0)};
  for (object* p : on) ASSERT_NE(p, nullptr);
  ASSERT_NE(make(&classe_angleMes, 0, {{on[0], 0}, {on[1], 0}, {on[2], 0}}), nullptr);
  ASSERT_NE(make(&classe_angleMes, 0, {{on[0], 0}, {centre, 0}, {on[1], 0}}), nullptr);
  const std::string img = exported();
  ASSERT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  std::vector<int> kinds;
  for (size_t at = 84; at + 18 + 2 <= img.size(); at += 18)
    if (static_cast<uint8_t>(img[at]) == 64) kinds.push_back(static_cast<uint8_t>(img[at + 1]) & 63);
  EXPECT_EQ(kinds, (std::vector<int>{38, 35}));
  ASSERT_EQ(open(img), 1);
  EXPECT_EQ(all(&classe_angleMes).size(), 2u);
}

TEST_F(Ti83Import, PerpendicularsAndReflectionsOnTheAxesReadBack) {
  object* axes = fig_->first->next;
  object* p = shown_point(30, 40);
  ASSERT_NE(make(&classe_perpendiculaire, 0, {{p, 0}, {axes, 1}}), nullptr);
  ASSERT_NE(make(&classe_parallele, 0, {{p, 0}, {axes, 2}}), nullptr);
  object* image = make(&classe_symetriquedr, 0, {{p, 0}, {axes, 1}});
  ASSERT_NE(image, nullptr);
  recompute_object(image);
  const double h = image->valeurs[0].h, v = image->valeurs[0].v;
  const std::string img = exported();
  ASSERT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  ASSERT_EQ(open(img), 1);
  EXPECT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  auto after = kinds();
  EXPECT_EQ(after["Perp"], 1);
  EXPECT_EQ(after["Par"], 1);
  const auto images = all(&classe_symetriquedr);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_NEAR(images[0]->valeurs[0].h, h, scale_ / 10);
  EXPECT_NEAR(images[0]->valeurs[0].v, v, scale_ / 10);
}

TEST_F(Ti83Import, LinesByDirectionAndCirclesByRadiusComeBackThroughPoints) {
  object* a = shown_point(10, 10);
  valeur dir{};
  make(&classe_droite, 0, {{a, 0}}, 0, 0);
  (void)dir;
  object* circle = make(&classe_cercle, 0, {{a, 0}}, 0, 0);
  ASSERT_NE(circle, nullptr);
  const std::string img = exported();
  ASSERT_EQ(open(img), 1);
  const auto lines = all(&classe_droite);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]->methode, 1);
  const auto circles = all(&classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  EXPECT_EQ(circles[0]->methode, 1);
}

TEST_F(Ti83Import, TextsCutIntoPiecesComeBackOnePerPiece) {
  object* t = make(&classe_text, 0, {}, 0, 0);
  ASSERT_NE(t, nullptr);
  ASSERT_NE(t->te, nullptr);
  set_text_record_text(t->te, "Twelve chars and more\rsecond line");
  t->te->pos = {0, 0};
  const std::string img = exported();
  ASSERT_EQ(open(img), 1);
  std::vector<std::string> pieces;
  for (object* o : all(&classe_text)) pieces.push_back(text_of(o));
  EXPECT_EQ(pieces, (std::vector<std::string>{"Twelve c", "hars and", " more"}));
}

TEST_F(Ti83Import, AnAccentedLabelReadsBackTheSame) {
  object* p = shown_point(20, 20);
  ASSERT_TRUE(init_object_text_records(p));
  set_text_record_text(p->te, "\x8E");
  const std::string img = exported();
  ASSERT_EQ(open(img), 1);
  const auto points = all(&classe_point);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(text_of(points[1]), "\x8E");
}

// A file whose container the independent library wrote around our records
// reads the same.
TEST_F(Ti83Import, AContainerWrittenByTheIndependentLibraryReadsTheSame) {
#ifndef KELVO_TI83_CHECKER
  GTEST_SKIP() << "libtifiles2 (Debian libtifiles-dev) is not installed: the independent check is skipped";
#else
  object* a = shown_point(0, 0);
  make2(&classe_cercle, 1, a, shown_point(30, 40));
  const std::string img = exported();
  const std::string in = path("ours.8xv"), out = path("theirs.8xv");
  write(in, img);
  const std::string cmd = "'" KELVO_TI83_CHECKER "' '" + in + "' '" + out + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_EQ(open(read(out)), 1);
  const auto theirs = kinds();
  ASSERT_EQ(open(img), 1);
  EXPECT_EQ(kinds(), theirs);
  EXPECT_EQ(theirs.at("Cir"), 1);
#endif
}

// ------------------------------------------------------------ version 1

TEST_F(Ti83Import, VersionOnePlacementAndValues) {
  ti83_fixture f(1);
  f.at(f.add(1, 0), 752, 496);
  f.at(f.add(1, 0), 752 + 16, 496 + 16);
  const int n1 = f.add(64, 0);
  ti83_fixture::put16(&f.records[n1][10], 200);
  const int n2 = f.add(64, 0);
  ti83_fixture::put16(&f.records[n2][10], 160);
  f.add(64, 45, static_cast<uint8_t>(n1), static_cast<uint8_t>(n2));
  f.add(64, 50, static_cast<uint8_t>(n1));
  ASSERT_EQ(open(f.file()), 1);
  EXPECT_TRUE(files_seen().messages.empty());
  object* origin = KPGeoDocument::currentInfo()->first;
  EXPECT_NEAR(origin->valeurs[0].h, 0, 1e-9);
  EXPECT_NEAR(origin->valeurs[0].v, 0, 1e-9);
  const auto points = all(&classe_point);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_NEAR(points[1]->valeurs[0].h, 0, 1e-9);
  EXPECT_NEAR(points[2]->valeurs[0].h, scale_ / 10, 1e-9);
  EXPECT_NEAR(points[2]->valeurs[0].v, scale_ / 10, 1e-9);
  const auto numbers = all(&classe_nombre);
  ASSERT_EQ(numbers.size(), 2u);
  EXPECT_EQ(text_of(numbers[0]), "1.3");
  EXPECT_EQ(text_of(numbers[1]), "1");
  const auto formulas = all(&classe_calculate);
  ASSERT_EQ(formulas.size(), 2u);
  EXPECT_STREQ(reinterpret_cast<const char*>(formulas[0]->parents[2]), "a-b");
  EXPECT_STREQ(reinterpret_cast<const char*>(formulas[1]->parents[1]), "sqrt(a)");
}

TEST_F(Ti83Import, VersionOneBadParentGivesTheComposedMessage) {
  ti83_fixture f(1);
  f.add(1, 0);
  f.add(64, 1, 4);  // record 4 names itself
  ASSERT_EQ(open(f.file()), 1);
  ASSERT_EQ(files_seen().messages.size(), 1u);
  const std::string& m = files_seen().messages[0];
  EXPECT_NE(m.find("Bad imported object parent."), std::string::npos) << m;
  EXPECT_NE(m.find("Index: 4"), std::string::npos) << m;
  EXPECT_NE(m.find("Type: 64"), std::string::npos) << m;
  EXPECT_NE(m.find("Method: 1"), std::string::npos) << m;
  EXPECT_EQ(all(&classe_point).size(), 2u);
}

TEST_F(Ti83Import, VersionOneTextsContinueAndEquationsOnTheAxesAreSkipped) {
  ti83_fixture f(1);
  const int t = f.add(32, 1);
  f.bytes_at(t, 9, "ABCDEFGHI");
  const int more = f.add(32, 32, static_cast<uint8_t>(t));
  f.bytes_at(more, 4, "JKLMNOPQRSTUVW");
  f.add(32, 3, 1);   // an equation of an axis: skipped with the next record
  f.add(1, 99);      // would be an unknown method
  f.at(f.add(1, 0), 752, 496);
  ASSERT_EQ(open(f.file()), 1);
  EXPECT_TRUE(files_seen().messages.empty()) << files_seen().messages[0];
  const auto texts = all(&classe_text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(text_of(texts[0]), "ABCDEFGHIJKLMNOPQRSTUVW");
  EXPECT_EQ(all(&classe_point).size(), 2u);
}

TEST_F(Ti83Import, VersionOneUnknownKindAndMethod) {
  for (auto [kind, sub, word] : {std::tuple{2, 0, "Unknown imported object type"},
                                 std::tuple{1, 99, "Unknown imported object method"}}) {
    files_seen().messages.clear();
    ti83_fixture f(1);
    f.add(static_cast<uint8_t>(kind == 2 ? 3 : kind), static_cast<uint8_t>(sub));
    ASSERT_EQ(open(f.file()), 1);
    ASSERT_EQ(files_seen().messages.size(), 1u);
    EXPECT_NE(files_seen().messages[0].find(word), std::string::npos) << files_seen().messages[0];
  }
}

// ------------------------------------------------------------ bad input

TEST_F(Ti83Import, DamagedFilesGiveOneMessageAndNoCrash) {
  std::vector<std::string> files;
  {  // the tag in the comment does not move the records
    ti83_fixture f(2);
    f.at(f.add(1, 0), 12032, 7936);
    files.push_back(f.file(-1, "ZoVefZoVefZoVef"));
  }
  {  // a segment naming itself, and one naming a record past the end
    ti83_fixture f(2);
    f.add(2, 0, 5, 5);
    files.push_back(f.file());
    ti83_fixture g(2);
    g.add(1, 0);
    g.add(2, 0, 5, 200);
    files.push_back(g.file());
  }
  {  // strings without a terminating zero
    ti83_fixture f(2);
    const int t = f.add(32, 1);
    f.bytes_at(t, 6, std::string(12, 'W'));
    const int p = f.add(1, 0);
    const int l = f.add(32, 0, static_cast<uint8_t>(p));
    f.bytes_at(l, 9, std::string(9, 'X'));
    files.push_back(f.file());
  }
  {  // unknown kinds and sub-kinds, in every kind
    for (uint8_t kind : {1, 2, 4, 8, 16, 32, 64, 128, 3, 0}) {
      ti83_fixture f(2);
      f.add(kind, 77, 0, 0, 0);
      files.push_back(f.file());
      ti83_fixture g(1);
      g.add(kind, 77, 0, 0, 0);
      files.push_back(g.file());
    }
  }
  for (const std::string& file : files) {
    files_seen().messages.clear();
    ASSERT_EQ(open(file), 1);
    EXPECT_LE(files_seen().messages.size(), 1u);
  }
  // The tag in the comment changes nothing.
  ASSERT_EQ(open(files[0]), 1);
  EXPECT_EQ(all(&classe_point).size(), 2u);
  // A count that does not fit the file is refused by the probe and the
  // reader says why.
  ti83_fixture f(2);
  f.add(1, 0);
  std::string cut = f.file(40);
  files_seen().messages.clear();
  EXPECT_EQ(open(cut), 0);
  EXPECT_NE(std::string(figure_file_error()).size(), 0u);
  // Read directly, a count past the image is a refused record.
  files_seen().messages.clear();
  KPGeoDocument::setCurrentInfo(nullptr);
  new_figure_info();
  opened_.push_back(KPGeoDocument::currentInfo());
  EXPECT_EQ(ti83_read_figure_v2(cut.data(), static_cast<uint32_t>(cut.size())), 1);
  EXPECT_EQ(files_seen().messages.size(), 1u);
}

}  // namespace
