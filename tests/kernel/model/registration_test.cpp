// The class list after start-up, checked against the registration table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_state.h"

namespace {

using Codes = std::vector<uint16_t>;
constexpr uint16_t P = 1, SEG = 2, VEC = 3, TRI = 4, POL = 5, LIN = 7, RAY = 8, AXE = 9, CIR = 10,
                   ARC = 11, CON = 12, GRI = 13, LOC = 14, ANG = 15, TXT = 16, NUM = 17, PRO = 18,
                   EXP = 22, ISET = 50, BUT = 51, ANY = 0x1FFF, VAR = 0xFFFF;
constexpr uint16_t of(int n) { return static_cast<uint16_t>(0x2000 + n); }

const Codes kTen = {of(10), P, LIN, RAY, SEG, VEC, TRI, POL, CIR, ARC, CON};
const Codes kStraight7 = {of(7), LIN, RAY, AXE, SEG, VEC, TRI, POL};
Codes cat(std::initializer_list<Codes> parts) {
  Codes out;
  for (const Codes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct Row {
  const char* short_name;
  const char* code;  // null: none
  uint32_t nbvals;
  uint32_t drawable;
  uint16_t type_id;
  std::vector<Codes> methods;  // null for the lists built at start-up
};

const Codes kLabel = {of(16), P, SEG, VEC, TRI, POL, POL, LIN, RAY, AXE, CIR, ARC, CON, GRI, LOC, ANG, LIN};
const Codes kInterSet13 = {of(13), SEG, VEC, TRI, POL, POL, LIN, RAY, AXE, CIR, ARC, CON, LOC, LIN};

const std::vector<Row>& table() {
  static const std::vector<Row> rows = {
      {"Pt", "PL", 1, 1, P, {{}}},
      {"Pt/", "PS", 2, 0, P,
       {{of(3), LIN, RAY, AXE}, {of(2), SEG, VEC}, {of(2), TRI, POL}, {CIR}, {ARC}, {CON}, {GRI}, {LOC}}},
      {"IntSet", "IntSet", 0, 0, ISET, {cat({kInterSet13, kInterSet13})}},
      {"Int", "PI", 1, 0, P, {{ISET}}},
      {"Line", "DR", 4, 1, LIN, {{P}, {P, P}}},
      {"Seg", "SE", 2, 1, SEG, {{P, P}}},
      {"Ray", "DD", 3, 1, RAY, {{P}, {P, P}}},
      {"Vec", "VE", 2, 1, VEC, {{P, P}}},
      {"Tr", "TT", 4, 1, TRI, {{P, P, P}}},
      {"Pol", "PO", VAR, 1, POL, {{ANY, P}}},
      {"PolReg", "PR", VAR, 1, POL, {{ANY, P}}},
      {"Cir", "CE", 2, 1, CIR, {{P}, {P, P}}},
      {"Arc", "AR", 4, 1, ARC, {{P, P, P}}},
      {"Con", nullptr, 11, 1, CON, {{P, P, P, P, P}}},
      {"Perp", "PE", 4, 1, LIN, {cat({{P}, kStraight7})}},
      {"Par", "PA", 4, 1, LIN, {cat({{P}, kStraight7})}},
      {"Mid", "MI", 1, 1, P, {{P, P}, {of(4), SEG, VEC, TRI, POL}}},
      {"PBiss", "ME", 4, 1, LIN, {{P, P}, {of(4), SEG, VEC, TRI, POL}}},
      {"Biss", "BI", 4, 1, LIN, {{P, P, P}}},
      // The two optional macro classes come here (checked separately).
      {"Transf", "RE", VAR, 0, P,
       {{of(3), VEC, RAY, AXE, NUM}, {CIR, P, NUM}, {P, NUM}, {of(2), TRI, POL, NUM}}},
      {"Locus", "LI", 0, 0, LOC, {{of(12), P, LIN, SEG, RAY, CIR, VEC, ARC, CON, TRI, POL, POL, LOC, P}}},
      {"", nullptr, 0, 0, P, {{P, LIN, SEG, VEC, RAY, CIR, ARC, CON, TRI, POL}}},
      {"Tran", "TR", 1, 1, P, {cat({kTen, {VEC}})}},
      {"Refl", "SD", 1, 1, P, {cat({kTen, {101}})}},
      {"Sym", "SP", 1, 1, P, {cat({kTen, {P}})}},
      {"Rot", "RO", 1, 1, P, {cat({kTen, {P, of(2), NUM, ANG}}), cat({kTen, {P, P, P, P}})}},
      {"Dil", "DI", 1, 1, P, {cat({kTen, {P, NUM}}), cat({kTen, {P, P, P}})}},
      {"Inv", "IN", 1, 1, P, {{P, of(2), CIR, ARC}}},
      {"Col?", "AL", 0, 0, PRO, {{P, P, P}}},
      {"Par?", "Pa", 0, 0, PRO, {cat({kStraight7, kStraight7})}},
      {"Perp?", "Pe", 0, 0, PRO, {cat({kStraight7, kStraight7})}},
      {"Equi?", nullptr, 0, 0, PRO, {{P, P, P}}},
      {"IsOn?", nullptr, 0, 0, PRO, {{P, of(10), RAY, LIN, AXE, SEG, VEC, TRI, POL, CIR, ARC, CON}}},
      {"Lgth", "LO", 1, 0, NUM, {{of(7), SEG, VEC, CIR, ARC, TRI, POL, CON}, {P, of(4), P, LIN, AXE, CIR}}},
      {"Area", "SU", 1, 0, NUM, {{of(4), CIR, TRI, POL, CON}}},
      {"Slo", "PN", 1, 0, NUM, {{of(4), LIN, RAY, SEG, VEC}}},
      {"AngVal", "MA", 1, 0, NUM, {{P, P, P}, {ANG}}},
      {"Eq/Co", "EQ", 3, 0, 19, {{P, AXE}, {of(4), LIN, CIR, CON, LOC, AXE}}},
      {"Formula", "FO", 1, 0, NUM, {{ANY, NUM}}},
      {"Exp_num_App", "FO", 1, 0, NUM, {{ANY, NUM, EXP}, {AXE, EXP}}},
      {"Table", nullptr, VAR, 0, 20, {{ANY, NUM}}},
      {"", nullptr, 0, 0, P, {kLabel}},
      {"Text", "TE", VAR, 0, TXT, {{TXT, PRO, BUT}}},
      {"Num", "NO", 1, 0, NUM, {{}}},
      {"Exp_num", "EN", 1, 0, EXP, {{EXP}}},
      {"Angle", "AN", 4, 1, ANG, {{P, P, P}}},
      {"Axes", "AX", 3, 1, AXE, {{P}, {P, P, P}}},
      {"Grid", "GR", 3, 1, GRI, {{AXE}}},
      {"Button", "BU", 1, 0, BUT, {{BUT}}},
      {"Spr", nullptr, 2, 0, 21, {{of(11), P, LIN, RAY, SEG, VEC, TRI, POL, CIR, ARC, CON, NUM, P}}},
      {"PReg", "PP", VAR, 0, P, {{P}, {P, P}}},
  };
  return rows;
}

Codes codes_of(const construct_method* m) {
  Codes out;
  for (const TYPEOBJ* c = m->args; c && *c; ++c) out.push_back(*c);
  return out;
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { init_construct_classes(); }
  void TearDown() override { free_construct_classes(); }
};

TEST_F(Registration, ClassListMatchesTheRegistrationTable) {
  ASSERT_EQ(class_list_count(), 53);
  EXPECT_EQ(class_list[19], optional_classes[1]);
  EXPECT_EQ(class_list[20], optional_classes[0]);
  int total_methods = 0;
  const auto& rows = table();
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const construct_class* cls = class_list[i < 19 ? i : i + 2];
    SCOPED_TRACE(std::string("class ") + std::to_string(i + 1) + " " + row.short_name);
    EXPECT_STREQ(cls->short_name, row.short_name);
    if (row.code)
      EXPECT_STREQ(cls->code, row.code);
    else
      EXPECT_EQ(cls->code, nullptr);
    EXPECT_EQ(cls->nbvals, row.nbvals);
    EXPECT_EQ(cls->drawable, row.drawable);
    EXPECT_EQ(cls->ctype->id, row.type_id);
    ASSERT_EQ(class_method_count(cls), static_cast<int>(row.methods.size()));
    for (size_t m = 0; m < row.methods.size(); ++m) EXPECT_EQ(codes_of(cls->methods[m]), row.methods[m]) << "method " << m;
    total_methods += class_method_count(cls);
  }
  EXPECT_EQ(total_methods, 74);
}

// Start-up may run twice in one process (two parts of a program each making
// sure the classes exist): the second run must not list the methods again,
// or a segment read from a file finds no method for its two points.
TEST_F(Registration, ASecondStartUpRegistersNothingTwice) {
  const int classes = class_list_count();
  std::vector<int> methods;
  for (int i = 0; i < classes; ++i) methods.push_back(class_method_count(class_list[i]));
  init_construct_classes();
  ASSERT_EQ(class_list_count(), classes);
  for (int i = 0; i < classes; ++i) EXPECT_EQ(class_method_count(class_list[i]), methods[i]) << class_list[i]->short_name;
  EXPECT_EQ(class_method_count(&classe_segment), 1);
}

TEST_F(Registration, RecordsAreTheNamedOnesAndTransformationsAreKnown) {
  EXPECT_EQ(class_list[0], &classe_point);
  EXPECT_EQ(class_list[52], &classe_point_polyreg);
  EXPECT_EQ(classe_polyreg.ctype, &type_regular_polygon);
  EXPECT_EQ(type_regular_polygon.id, TYPE_POLYGON);
  EXPECT_EQ(type_slots[22]->id, TYPE_LINE);
  for (construct_class* c : {&classe_translation, &classe_symetrique, &classe_symetriquedr, &classe_rotation,
                             &classe_dilatation})
    EXPECT_TRUE(is_transformation_class(c));
  EXPECT_FALSE(is_transformation_class(&classe_inverse));
  EXPECT_FALSE(is_transformation_class(&classe_point));
}

TEST_F(Registration, NamesAreFilledAtStartUp) {
  EXPECT_STREQ(type_slots[8]->english_name, "coordinate system");
  EXPECT_STREQ(type_interset.english_name, "point");
  EXPECT_STREQ(classe_segment.english_name, "Segment");
  EXPECT_STREQ(classe_redefine.english_name, "Redefine Object");
}

TEST_F(Registration, MethodsWithoutIdentityTestOrEvent) {
  EXPECT_EQ(classe_redefine.methods[0]->ident, nullptr);
  EXPECT_EQ(classe_label.methods[0]->ident, nullptr);
  EXPECT_EQ(classe_label.methods[0]->event, nullptr);
  EXPECT_NE(classe_segment.methods[0]->event, nullptr);
  EXPECT_EQ(classe_perpendiculaire.methods[0]->event, nullptr);
}

TEST_F(Registration, ResetRestoresMarkedCodes) {
  construct_method* m = classe_perpendiculaire.methods[0];
  const Codes before = codes_of(m);
  m->args[0] |= 0x8000;
  for (TYPEOBJ* c = m->args; *c; ++c) *c |= 0x4000;
  reset_class_type_marks(&classe_perpendiculaire);
  EXPECT_EQ(codes_of(m), before);
}

TEST_F(Registration, StraightCodesAcceptRegularPolygons) {
  const uint16_t polyreg = classe_polyreg.ctype->id;
  EXPECT_TRUE(argument_code_accepts(TYPE_POLYGON, polyreg));
  EXPECT_TRUE(argument_code_accepts(100, polyreg));
  EXPECT_TRUE(argument_code_accepts(101, polyreg));
  EXPECT_FALSE(argument_code_accepts(100, TYPE_LINE));
  EXPECT_TRUE(argument_code_accepts(101, TYPE_AXES));
  EXPECT_FALSE(argument_code_accepts(101, TYPE_CIRCLE));
}

// Each argument of a built-in method is described by its text of the
// method's row, in the order of the codes; a group header and the repeat
// mark have none; a text the row leaves out is the argument word of the
// type; the calculation takes the argument-description list.
TEST_F(Registration, ArgumentsAreDescribedByTheLanguagesRows) {
  // Whatever happens below, the next test starts without a language.
  struct NoLanguageAfter {
    ~NoLanguageAfter() {
      lang_reset_kernel_strings();
      init_tool_names_and_help();
    }
  } no_language_after;
  std::vector<const char*> rows(kKernelStringCount, "");
  rows[113] = "this point";
  rows[114] = "this line";
  rows[116] = "this segment";
  rows[121] = "this number";
  rows[176] = "this object";
  rows[181] = "this value";
  rows[108] = "through this point|parallel to this line||parallel to these axes";
  rows[90] = "first point";
  ASSERT_TRUE(lang_fill_kernel_strings(rows.data(), kKernelStringCount));
  init_tool_names_and_help();
  const construct_method* parallel = class_method(&classe_parallele, 0);
  ASSERT_EQ(codes_of(parallel), cat({{P}, kStraight7}));
  // Codes: the point, the group header, then line, ray, axes, segment...
  const char* const expected[] = {"through this point", nullptr, "parallel to this line", nullptr,
                                  "parallel to these axes", "this segment", nullptr, nullptr, nullptr};
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    const char* text = method_argument_text(parallel, i);
    if (!expected[i]) {
      EXPECT_EQ(text, nullptr);
    } else {
      ASSERT_NE(text, nullptr);
      EXPECT_STREQ(text, expected[i]);
    }
  }
  EXPECT_EQ(method_argument_text(parallel, 99), nullptr);
  // The segment's second point has no text of its own: a point's word.
  EXPECT_STREQ(method_argument_text(class_method(&classe_segment, 0), 0), "first point");
  EXPECT_STREQ(method_argument_text(class_method(&classe_segment, 0), 1), "this point");
  // The intersection set calls its arguments by their types' words.
  const construct_method* set = class_method(&classe_interset, 0);
  for (int i = 0; set->args[i]; ++i)
    if ((set->args[i] & 0x3FFF) == LIN) EXPECT_STREQ(method_argument_text(set, i), "this line");
  const construct_method* calculate = class_method(&classe_calculate, 0);
  EXPECT_STREQ(method_argument_text(calculate, 0), "this object");
  EXPECT_STREQ(method_argument_text(calculate, 1), "this value");
  // The two pairs share their texts.
  EXPECT_EQ(method_argument_text(class_method(&classe_perpendism, 0), 1),
            method_argument_text(class_method(&classe_parallelism, 0), 1));
  // Back to no language: no text anywhere.
  lang_reset_kernel_strings();
  init_tool_names_and_help();
  EXPECT_EQ(method_argument_text(parallel, 0), nullptr);
  EXPECT_EQ(method_argument_text(calculate, 1), nullptr);
  EXPECT_STREQ(type_button.name, "button");
}

TEST(ClassList, GrowsByTenWhenTheFiftiethClassArrives) {
  static construct_class dummies[60];
  for (int i = 0; i < 49; ++i) ASSERT_TRUE(register_construct_class(&dummies[i]));
  EXPECT_EQ(class_list_capacity, 50);
  ASSERT_TRUE(register_construct_class(&dummies[49]));
  EXPECT_EQ(class_list_capacity, 60);
  EXPECT_EQ(class_list_count(), 50);
  EXPECT_EQ(class_list[50], nullptr);
  free_construct_classes();
  EXPECT_EQ(class_list, nullptr);
}

TEST(ClassList, MethodsAreAppendedInOrder) {
  construct_class cls{};
  construct_method a{}, b{};
  ASSERT_TRUE(add_construct_method(&cls, &a));
  ASSERT_TRUE(add_construct_method(&cls, &b));
  EXPECT_EQ(class_method(&cls, 0), &a);
  EXPECT_EQ(class_method(&cls, 1), &b);
  EXPECT_EQ(class_method(&cls, 2), nullptr);
  GlobalFreeAndNull(&cls.methods);
}

}  // namespace
