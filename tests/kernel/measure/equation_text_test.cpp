// Equation texts: the worked examples, texts read back by an independent
// parser and checked at points known to lie on their curves, the locus fit
// against exact null spaces (tests/data/equations, made with sympy), and
// the rational approximation against exact fractions.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <locale>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/conics/conic.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/equation_text.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/units.h"
#include "kernel/objects/locus_engine.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/handler_helpers.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Reads an equation text as lhs - rhs at a point. Exponent bytes raise the
// factor before them; juxtaposed factors multiply; r and t are the polar
// radius and angle; an angle may carry the unit "rd" or the degree byte.
class equation_reader {
 public:
  equation_reader(const std::string& text, double x, double y)
      : s_(text), x_(x), y_(y), r_(std::hypot(x, y)), t_(std::atan2(y, x)) {}

  bool value(double* out) {
    const double lhs = expr();
    skip();
    if (at_ != s_.size() && s_[at_] != '=') return false;
    if (at_ == s_.size()) return false;
    ++at_;
    const double rhs = expr();
    skip();
    *out = lhs - rhs;
    return ok_ && at_ == s_.size();
  }

 private:
  void skip() {
    while (at_ < s_.size() && s_[at_] == ' ') ++at_;
  }
  char peek() {
    skip();
    return at_ < s_.size() ? s_[at_] : '\0';
  }
  bool starts_factor(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'x' || c == 'y' || c == 'r' || c == 't' || c == '(' ||
           c == 'c' || c == 's';
  }
  double expr() {
    double v = 0;
    char op = '+';
    if (peek() == '-' || peek() == '+') op = s_[at_++];
    for (;;) {
      const double t = term();
      v = op == '+' ? v + t : v - t;
      const char c = peek();
      if (c != '+' && c != '-') return v;
      op = c;
      ++at_;
    }
  }
  double term() {
    double v = factor();
    for (;;) {
      const char c = peek();
      if (c == '*') {
        ++at_;
        v *= factor();
      } else if (c == '/') {
        ++at_;
        v /= factor();
      } else if (starts_factor(c)) {
        v *= factor();
      } else {
        return v;
      }
    }
  }
  double factor() {
    double v = primary();
    if (at_ < s_.size() && s_[at_] >= 1 && s_[at_] <= 9) v = std::pow(v, s_[at_++] + 1);
    return v;
  }
  double primary() {
    const char c = peek();
    if (c == '-') {
      ++at_;
      return -factor();
    }
    if (c == '(') {
      ++at_;
      const double v = expr();
      if (peek() != ')') ok_ = false;
      else ++at_;
      return v;
    }
    if (s_.compare(at_, 3, "cos") == 0 || s_.compare(at_, 3, "sin") == 0) {
      const bool cosine = s_[at_] == 'c';
      at_ += 3;
      const double a = factor();
      return cosine ? std::cos(a) : std::sin(a);
    }
    if (c == 'x' || c == 'y' || c == 'r' || c == 't') {
      ++at_;
      return c == 'x' ? x_ : c == 'y' ? y_ : c == 'r' ? r_ : t_;
    }
    const std::size_t start = at_;
    while (at_ < s_.size() && ((s_[at_] >= '0' && s_[at_] <= '9') || s_[at_] == '.')) ++at_;
    if (start == at_) {
      ok_ = false;
      ++at_;
      return 0;
    }
    double v = std::strtod(s_.substr(start, at_ - start).c_str(), nullptr);
    if (s_.compare(at_, 2, "rd") == 0) at_ += 2;
    else if (at_ < s_.size() && s_[at_] == '\xFB') ++at_, v *= kPi / 180;
    return v;
  }

  std::string s_;
  std::size_t at_ = 0;
  double x_, y_, r_, t_;
  bool ok_ = true;
};

double residual(const std::string& text, double x, double y) {
  equation_reader reader(text, x, y);
  double v = NAN;
  EXPECT_TRUE(reader.value(&v)) << text;
  return v;
}

// Coefficients of a polynomial text of degree up to 2 read back at points.
std::vector<double> quadratic_coefficients(const std::string& text) {
  const double f00 = residual(text, 0, 0);
  const double fp0 = residual(text, 1, 0), fm0 = residual(text, -1, 0);
  const double f0p = residual(text, 0, 1), f0m = residual(text, 0, -1), f11 = residual(text, 1, 1);
  const double A = (fp0 + fm0) / 2 - f00, D = (fp0 - fm0) / 2;
  const double C = (f0p + f0m) / 2 - f00, E = (f0p - f0m) / 2;
  return {A, f11 - A - C - D - E - f00, C, D, E, f00};
}

int64_t gcd_of(const std::vector<double>& c) {
  int64_t g = 0;
  for (double v : c) g = std::gcd(g, static_cast<int64_t>(std::llround(std::fabs(v))));
  return g;
}

const char* const kRows[][2] = {{"276", "r"}, {"277", "t"}, {"278", "no equation"}, {"279", "line at infinity"},
                                {"280", "infinite radius"}, {"306", "?"}, {"352", " and "}};

class EquationTexts : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    decimal_separator = '.';
    pixels_per_unit = 40;
    for (auto& row : kRows) {
      const int index = std::atoi(row[0]);
      saved_.push_back(kernel_strings[index]);
      kernel_strings[index] = const_cast<char*>(row[1]);
    }
  }
  void TearDown() override {
    for (std::size_t i = 0; i < saved_.size(); ++i) kernel_strings[std::atoi(kRows[i][0])] = saved_[i];
    GeometryTest::TearDown();
  }
  object* standard_axes() {
    const double g = pixels_per_unit;
    object* ax = make(classe_axe, 1, {point(0, 0), point(g, 0), point(0, -g)});
    EXPECT_EQ(ax->math.equa.standard, 1);
    return ax;
  }
  // A point given in centimetres of the standard frame.
  object* at(double x, double y) { return point(x * pixels_per_unit, -y * pixels_per_unit); }
  std::string equation_of(object* shape, object* ax, uint8_t format, uint8_t typeunite, uint8_t decimals) {
    object* eq = make(classe_equation, 1, {shape, ax});
    eq->math.equa.format = format;
    eq->math.equa.typeunite = typeunite;
    eq->settings.nbre_decimales = decimals;
    recompute_object(eq);
    return eq->te && eq->te->text ? eq->te->text : "";
  }
  static std::string conic_text(std::vector<double> c, uint8_t format, uint8_t typeunite = 0, int decimals = 2,
                                const conic_focal_data* focal = nullptr, int16_t kind = kConicEllipse) {
    set_equation_precision(decimals);
    equation_text.clear();
    write_conic_frame_text(c.data(), kind, format, typeunite, focal);
    return equation_text;
  }
  static std::string line_text(double a, double b, double c, uint8_t format, int decimals = 2) {
    set_equation_precision(decimals);
    equation_text.clear();
    write_line_equation(a, b, c, format, false, 0);
    return equation_text;
  }
  static std::string locus_text(int degree, std::vector<double> c) {
    set_equation_precision(2);
    equation_text.clear();
    write_locus_polynomial(degree, c.data());
    return equation_text;
  }
  std::vector<char*> saved_;
};

TEST_F(EquationTexts, WorkedExamples) {
  object* ax = standard_axes();
  object* through_origin = make(classe_droite, 1, {at(0, 0), at(1, 2)});
  object* vertical = make(classe_droite, 1, {at(3, 0), at(3, 5)});
  object* centred = make(classe_cercle, 1, {at(0, 0), at(2, 0)});
  object* through_pole = make(classe_cercle, 1, {at(1, 0), at(2, 0)});
  object* off_pole = make(classe_cercle, 1, {at(2, 0), at(3, 0)});
  struct {
    std::string got, expected;
  } cases[] = {
      {equation_of(through_origin, ax, 0, 0, 2), "2x - y = 0"},
      {equation_of(through_origin, ax, 1, 0, 2), "y = 2x"},
      {equation_of(vertical, ax, 1, 0, 2), "x = 3"},
      {line_text(0.5, 0.25, 1, 0), "2x + y + 4 = 0"},
      {line_text(2, -4, 2, 1), "y = (x + 1)/2"},
      {line_text(1, 2, 1, 1), "y = -(x + 1)/2"},
      {line_text(2, -1, 3, 1), "y = 2x + 3"},
      {line_text(1, -2, 2, 1), "y = x/2 + 1"},
      {line_text(2, 0, 4, 1), "x = -2"},
      // A multiplier above 100: the largest becomes 10, with decimals.
      {line_text(1, 1 / kPi, 0, 0, 4), "10x + 3.1831y = 0"},
      {locus_text(1, {-1, -1, 1}), "y =  x + 1"},
      {locus_text(1, {0, 2, 1}), "y =  - 2 x"},
      {conic_text({4, 0, 9, 0, 0, -36}, kFormReduced), "x\x01/3\x01 + y\x01/2\x01 = 1"},
      {conic_text({1, 0, -1, 0, 0, 1}, kFormReduced), "x\x01 - y\x01 = -1"},
      {conic_text({2, 0, 3, 0, 0, -6}, kFormGeneral), "2 x\x01 + 3 y\x01 - 6 = 0"},
      {conic_text({1, -2, 0, 0, 0, 1}, kFormGeneral), "x\x01 - 2 xy + 1 = 0"},
      {equation_of(centred, ax, 0, 3, 0), "r=2"},
      {equation_of(through_pole, ax, 0, 3, 0), "r=2cos(t)"},
      {equation_of(off_pole, ax, 0, 3, 0), "r\x01 - 4r*cos(t)+3 = 0"},
      // A circle of the frame keeps the circle forms in form 4.
      {equation_of(off_pole, ax, kFormReduced, 0, 2), "x\x01+y\x01-4x+3 = 0"},
      {equation_of(off_pole, ax, kFormCentre, 0, 2), "(x - 2)\x01 + y\x01 = 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
  EXPECT_EQ(integer_gcd(4, -6), 2);
  EXPECT_EQ(integer_gcd(0, -7), 7);
}

TEST_F(EquationTexts, PairsOfLinesAndTheLineAtInfinity) {
  object* ax = standard_axes();
  auto pair = [&](int16_t kind, std::vector<double> six) {
    conic_a = six[0], conic_b = six[1], conic_c = six[2], conic_d = six[3], conic_e = six[4], conic_f = six[5];
    conic_kind = kind;
    object* eq = make(classe_equation, 1, {at(0, 0), ax});
    eq->settings.nbre_decimales = 2;
    format_equation_text(eq);
    return equation_text;
  };
  const double g = pixels_per_unit;
  // Pixel lines (v down): x = 0 is 1 h + 0 v + 0; y = 0 is 0 h + 1 v + 0.
  EXPECT_EQ(pair(kConicCrossingLines, {1, 0, 0, 0, 1, 0}), "x y = 0");
  EXPECT_EQ(pair(kConicDoubleLine, {1, -1, -g, 1, -1, -g}), "(x + y - 1)\x01 = 0");
  EXPECT_EQ(pair(kConicDoubleLine, {1, 0, 0, 1, 0, 0}), "x\x01 = 0");
  EXPECT_EQ(pair(kConicCrossingLines, {1, -1, -g, 1, 1, 0}), "(x + y - 1) (x - y) = 0");
  EXPECT_EQ(pair(kConicLine, {1, 0, -g, 0, 0, 0}), "x - 1 = 0 and line at infinity");
  EXPECT_EQ(pair(kConicParallelLines, {1, 0, -g, 0, 0, 1}), "x - 1 = 0 and line at infinity");
  // Kinds that are no curve leave the text empty: the caller shows row 306.
  EXPECT_EQ(pair(kConicNothing, {1, 0, 1, 0, 0, 1}), "");
  object* line = make(classe_droite, 1, {at(0, 0), at(1, 0)});
  line->state |= OBJ_AT_INFINITY;
  EXPECT_EQ(equation_of(line, ax, 0, 0, 2), "line at infinity");
}

TEST_F(EquationTexts, PolarConicsNeedAFocusAtTheOrigin) {
  // Ellipse x^2/25 + y^2/16 = 1 moved by 3 along x: a focus at the origin.
  const double g = pixels_per_unit;
  conic_focal_data fd{};
  fd.ux = 1, fd.uv = 0, fd.pa = 1 / (25 * g * g), fd.pc = 1 / (16 * g * g), fd.ch = 3 * g, fd.cv = 0;
  fd.unit_length = g;
  // 16 (x - 3)^2 + 25 y^2 = 400 in centimetres.
  const std::vector<double> ellipse = {16, 0, 25, -96, 0, 144 - 400};
  const std::string text = conic_text(ellipse, 0, 3, 15, &fd);
  ASSERT_NE(text, "no equation");
  for (double a = 0.1; a < 6.2; a += 0.7)
    EXPECT_NEAR(residual(text, 3 + 5 * std::cos(a), 4 * std::sin(a)), 0, 1e-9) << text;
  fd.ch = 1 * g;
  EXPECT_EQ(conic_text(ellipse, 0, 3, 15, &fd), "no equation");
  fd.pa = 0.5 * g, fd.ch = 5 * g;
  EXPECT_EQ(conic_text({0, 0, 1, -2, 0, 1}, 0, 3, 15, &fd, kConicParabola), "no equation");
}

TEST_F(EquationTexts, LinesAndCirclesReadBackAtTheirPoints) {
  object* ax = standard_axes();
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> num(-24, 24), den(1, 4);
  auto rational = [&] { return static_cast<double>(num(rng)) / den(rng); };
  for (int i = 0; i < 25; ++i) {
    double px = rational(), py = rational(), qx = rational(), qy = rational();
    if (px == qx && py == qy) qx += 1;
    object* line = make(classe_droite, 1, {at(px, py), at(qx, qy)});
    for (uint8_t form : {0, 1}) {
      const std::string t = equation_of(line, ax, form, 0, 15);
      for (double s : {0.0, 1.0, -2.5}) EXPECT_NEAR(residual(t, px + s * (qx - px), py + s * (qy - py)), 0, 1e-9) << t;
      if (form == 0 && t.find('.') == std::string::npos) {
        // Integer coefficients are coprime.
        std::vector<double> c = quadratic_coefficients(t);
        EXPECT_EQ(gcd_of(c), 1) << t;
      }
    }
    const std::string polar = equation_of(line, ax, 0, 3, 15);
    if (polar[0] == 'r')
      for (double s : {0.25, 3.0}) EXPECT_NEAR(residual(polar, px + s * (qx - px), py + s * (qy - py)), 0, 1e-9) << polar;
    const double radius = std::abs(num(rng)) / 4.0 + 0.5;
    object* circle = make(classe_cercle, 1, {at(px, py), at(px + radius, py)});
    for (uint8_t typeunite : {0, 0, 3})
      for (uint8_t form : {0, 2}) {
        const std::string t = equation_of(circle, ax, form, typeunite, 15);
        for (double a = 0.3; a < 6.2; a += 1.1)
          EXPECT_NEAR(residual(t, px + radius * std::cos(a), py + radius * std::sin(a)), 0, 1e-9) << t;
      }
  }
}

TEST_F(EquationTexts, ConicsReadBackAtTheirPoints) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> coef(-9, 9), xs(-40, 40);
  int checked = 0;
  for (int i = 0; i < 200 && checked < 40; ++i) {
    std::vector<double> c(6);
    for (double& v : c) v = coef(rng);
    if (i % 2) c[1] = 0;
    if (c[2] == 0) continue;
    for (uint8_t form : {kFormGeneral, kFormReduced}) {
      const std::string t = conic_text(c, form, 0, 15);
      if (t.empty()) continue;
      int points = 0;
      for (int k = 0; k < 12; ++k) {
        const double x = xs(rng) / 8.0;
        const double qa = c[2], qb = c[1] * x + c[4], qc = c[0] * x * x + c[3] * x + c[5];
        const double disc = qb * qb - 4 * qa * qc;
        if (disc < 0) continue;
        const double y = (-qb + std::sqrt(disc)) / (2 * qa);
        EXPECT_NEAR(residual(t, x, y) / (1 + std::fabs(qc) + std::fabs(qb * y)), 0, 1e-9) << t;
        ++points;
      }
      if (form == kFormGeneral && points) {
        EXPECT_EQ(gcd_of(quadratic_coefficients(t)), 1) << t;
        ++checked;
      }
    }
  }
  EXPECT_GE(checked, 20);
}

struct locus_case {
  std::string name;
  int degree = 0;
  std::vector<double> coef, x, y;
};

std::vector<locus_case> read_locus_cases(std::vector<std::vector<double>>* ratios) {
  std::vector<locus_case> cases;
  std::ifstream in(KELVO_TEST_DATA "/equations/equation_reference.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    s.imbue(std::locale::classic());
    std::string kind;
    s >> kind;
    if (kind == "ratio") {
      double x, p, q;
      s >> x >> p >> q;
      ratios->push_back({x, p, q});
      continue;
    }
    locus_case c;
    int m = 0, n = 0;
    s >> c.name >> c.degree >> m;
    c.coef.resize(m);
    for (double& v : c.coef) s >> v;
    s >> n;
    c.x.resize(n), c.y.resize(n);
    for (int i = 0; i < n; ++i) s >> c.x[i] >> c.y[i];
    cases.push_back(c);
  }
  return cases;
}

TEST_F(EquationTexts, LocusFitMatchesExactNullSpacesAndReadsBack) {
  std::vector<std::vector<double>> ratios;
  const std::vector<locus_case> cases = read_locus_cases(&ratios);
  ASSERT_GE(cases.size(), 10u);
  for (const locus_case& c : cases) {
    int degree = 0;
    double coef[28] = {};
    ASSERT_EQ(fit_locus_polynomial(c.x.data(), c.y.data(), static_cast<int>(c.x.size()), 6, &degree, coef),
              kLocusFitted)
        << c.name;
    ASSERT_EQ(degree, c.degree) << c.name;
    // Same vector up to scale: integer coefficients, so equal up to sign.
    std::size_t lead = 0;
    while (c.coef[lead] == 0) ++lead;
    const double sign = coef[lead] * c.coef[lead] < 0 ? -1 : 1;
    for (std::size_t i = 0; i < c.coef.size(); ++i) EXPECT_EQ(sign * coef[i], c.coef[i]) << c.name << " " << i;
    const std::string t = locus_text(degree, std::vector<double>(coef, coef + c.coef.size()));
    for (std::size_t i = 0; i < c.x.size(); ++i)
      EXPECT_NEAR(residual(t, c.x[i], c.y[i]) / (1 + std::pow(std::hypot(c.x[i], c.y[i]), degree)), 0, 1e-9)
          << c.name << ": " << t;
  }
  for (const auto& r : ratios) {
    int64_t p = 0, q = 0;
    ASSERT_TRUE(rational_approximation(r[0], 6, &p, &q)) << r[0];
    EXPECT_LE(std::fabs(static_cast<double>(p) / q - r[0]), 1e-10);
    EXPECT_EQ(p, r[1]);
    EXPECT_EQ(q, r[2]);
  }
  int64_t p = 0, q = 0;
  EXPECT_FALSE(rational_approximation(kPi, 3, &p, &q));
  ASSERT_TRUE(rational_approximation(1e-12, 3, &p, &q));
  EXPECT_EQ(p, 0);
  EXPECT_EQ(q, 1);
}

TEST_F(EquationTexts, LociWithoutPolynomialAndTooFewPoints) {
  std::vector<double> x, y;
  // A spiral of three turns crosses every line six times and more.
  for (int i = 0; i < 84; ++i) {
    const double t = i * 6 * kPi / 83;
    x.push_back(t * std::cos(t));
    y.push_back(t * std::sin(t));
  }
  int degree = 0;
  double coef[28];
  EXPECT_EQ(fit_locus_polynomial(x.data(), y.data(), 84, 6, &degree, coef), kLocusNoPolynomial);
  EXPECT_EQ(fit_locus_polynomial(x.data(), y.data(), 4, 6, &degree, coef), kLocusTooFewPoints);
  double c[6] = {0.5, 0.25, 1, 0, 0, 0};
  scale_to_integers(6, c);
  EXPECT_EQ(c[0], 2);
  EXPECT_EQ(c[1], 1);
  EXPECT_EQ(c[2], 4);
}

TEST_F(EquationTexts, LocusOnACircleGivesIntegerQuadratic) {
  object* ax = standard_axes();
  const double g = pixels_per_unit;
  // Midpoints of the origin and a point on the circle of centre (4, 0) and
  // radius 2: the circle of centre (2, 0) and radius 1.
  object* fixed = at(0, 0);
  object* circle = make(classe_cercle, 1, {at(4, 0), at(6, 0)});
  object* driver = point_on(circle, 3, 6 * g, 0);
  object* mid = make(classe_milieu, 0, {fixed, driver});
  ASSERT_GT(collect_dependency_chain(driver, mid), 1);
  current_class = &classe_locus;
  variable_nb_values = 0;
  object* locus = create_object(0, nullptr, 1, 1, 1);
  ASSERT_NE(locus, nullptr);
  locus->math.locus.lkpt = 1;
  locus->math.locus.nb_pts = 50;
  recompute_object(locus);
  const std::string t = equation_of(locus, ax, 0, 0, 2);
  const std::vector<double> q = quadratic_coefficients(t);
  const std::vector<double> expected = {1, 0, 1, -4, 0, 3};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(q[i], expected[i], 1e-12) << t;
  EXPECT_EQ(equation_of(locus, ax, 0, 3, 2), "no equation");
}

}  // namespace
