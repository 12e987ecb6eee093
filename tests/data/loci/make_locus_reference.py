#!/usr/bin/env python3
"""Reference curves of three loci, in figure pixels (y grows downwards).

Each line: name, then the six coefficients A B C D E F of
A x^2 + 2B xy + C y^2 + 2D x + 2E y + F = 0, then the numbers that build
the figure (see the test that reads this file). The curves are derived
symbolically with sympy:

- midpoint: the midpoint of a fixed point P and a point M on the circle of
  centre O through Q traces the circle of centre (P + O)/2 and half radius.
- bisector_inside / bisector_outside: the perpendicular bisectors of F and
  M, M on the circle of centre O and radius R, envelope the conic
  |XF| + |XO| = R (an ellipse for F inside the circle, a hyperbola outside),
  squared out: (|XF|^2 - |XO|^2 - R^2)^2 = 4 R^2 |XO|^2.
- astroid_lines: the lines through (t, 0) and (0, 1 - t), in axes of origin
  (x0, y0) and unit u pixels, envelope sqrt(x) + sqrt(y) = 1, that is
  (x - y)^2 - 2(x + y) + 1 = 0 with x = (h - x0)/u, y = (y0 - v)/u.

Run once; the output is kept beside this script as locus_reference.txt.
"""
import sympy as sp

x, y = sp.symbols("x y", real=True)


def coefficients(expr):
    p = sp.Poly(sp.expand(expr), x, y)
    c = lambda i, j: p.coeff_monomial(x**i * y**j)
    a, b2, cc, d2, e2, f = c(2, 0), c(1, 1), c(0, 2), c(1, 0), c(0, 1), c(0, 0)
    vals = [a, b2 / 2, cc, d2 / 2, e2 / 2, f]
    scale = max(abs(v) for v in vals)
    return [sp.nsimplify(v / scale) for v in vals]


def fmt(vals):
    return " ".join(repr(float(sp.N(v, 30))) for v in vals)


lines = []

# Midpoint of P and M, M on the circle of centre O through Q.
P, O, Q = (300, 100), (200, 250), (320, 250)
R = sp.sqrt((Q[0] - O[0]) ** 2 + (Q[1] - O[1]) ** 2)
cx, cy = sp.Rational(P[0] + O[0], 2), sp.Rational(P[1] + O[1], 2)
lines.append("midpoint " + fmt(coefficients((x - cx) ** 2 + (y - cy) ** 2 - (R / 2) ** 2))
             + " %d %d %d %d %d %d" % (P + O + Q))

# Envelopes of perpendicular bisectors.
for name, F in (("bisector_inside", (300, 220)), ("bisector_outside", (480, 300))):
    O, Q = (250, 250), (400, 250)
    R = sp.Integer(Q[0] - O[0])
    pf2 = (x - F[0]) ** 2 + (y - F[1]) ** 2
    po2 = (x - O[0]) ** 2 + (y - O[1]) ** 2
    expr = (pf2 - po2 - R**2) ** 2 - 4 * R**2 * po2
    assert sp.degree(sp.expand(expr), x) == 2
    lines.append(name + " " + fmt(coefficients(expr)) + " %d %d %d %d %d %d" % (F + O + Q))

# Lines through (t, 0) and (0, 1 - t).
x0, y0, u = 100, 400, 200
X, Y = (x - x0) / sp.Integer(u), (y0 - y) / sp.Integer(u)
t = sp.symbols("t", real=True)
# Check the envelope symbolically: the family F(t) = 0 and dF/dt = 0.
family = X / t + Y / (1 - t) - 1
sol = sp.solve([sp.numer(sp.together(family)), sp.diff(sp.numer(sp.together(family)), t)], [x, y], dict=True)
curve = (X - Y) ** 2 - 2 * (X + Y) + 1
for s in sol:
    assert sp.simplify(curve.subs(s)) == 0
lines.append("astroid_lines " + fmt(coefficients(curve)) + " %d %d %d" % (x0, y0, u))

with open(__file__.replace("make_locus_reference.py", "locus_reference.txt"), "w") as out:
    out.write("\n".join(lines) + "\n")
