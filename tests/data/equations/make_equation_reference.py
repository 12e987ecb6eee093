#!/usr/bin/env python3
"""Reference data for the equation texts, generated once with exact
arithmetic (fractions and sympy) and kept beside this script.

Lines of equation_reference.txt:
  ratio X P Q             X = P/Q exactly, reduced (Q > 0)
  locus NAME D M c0..c{M-1} N x0 y0 ... x{N-1} y{N-1}
      N exact rational points of a curve; c the null space of their
      degree-D monomial rows (1; x, y; x^2, xy, y^2; ...), which spans a
      single vector, scaled to coprime integers.
"""
import random
from fractions import Fraction
from math import gcd
from functools import reduce

import sympy

random.seed(20261209)
out = []


def fmt(v):
    return repr(float(v))


for _ in range(40):
    q = random.randint(1, 99999)
    p = random.randint(-10 * q, 10 * q)
    f = Fraction(p, q)
    out.append(f"ratio {fmt(f)} {f.numerator} {f.denominator}")


def monomials(x, y, d):
    return [x ** (k - j) * y ** j for k in range(d + 1) for j in range(k + 1)]


def emit(name, d, points):
    rows = sympy.Matrix([monomials(sympy.Rational(x), sympy.Rational(y), d) for x, y in points])
    ns = rows.nullspace()
    assert len(ns) == 1, name
    v = ns[0]
    den = reduce(lambda a, b: a * b // gcd(a, b), [sympy.fraction(c)[1] for c in v], 1)
    ints = [int(c * den) for c in v]
    g = reduce(gcd, [abs(c) for c in ints if c != 0])
    ints = [c // g for c in ints]
    fields = [name, str(d), str(len(ints))] + [str(c) for c in ints] + [str(len(points))]
    for x, y in points:
        fields += [fmt(x), fmt(y)]
    out.append("locus " + " ".join(fields))


def ts(n):
    return [Fraction(random.randint(-30, 30), random.randint(1, 12)) for _ in range(n)]


# Circles and ellipses through rational parametrisations.
for i in range(4):
    a, b = Fraction(random.randint(-6, 6), random.randint(1, 4)), Fraction(random.randint(-6, 6), random.randint(1, 4))
    r, s = Fraction(random.randint(1, 8), random.randint(1, 3)), Fraction(random.randint(1, 8), random.randint(1, 3))
    if i % 2 == 0:
        s = r
    pts = [(a + r * (1 - t * t) / (1 + t * t), b + s * 2 * t / (1 + t * t)) for t in ts(30)]
    emit(f"conic{i}", 2, pts)
# Lines.
for i in range(3):
    m, c = Fraction(random.randint(-9, 9), random.randint(1, 5)), Fraction(random.randint(-9, 9), random.randint(1, 5))
    emit(f"line{i}", 1, [(t, m * t + c) for t in ts(20)])
# Cubic and quartic graphs, and a rational cubic with a node.
emit("cubic", 3, [(t, t ** 3 - 2 * t + Fraction(1, 3)) for t in ts(40)])
emit("quartic", 4, [(t, Fraction(1, 2) * t ** 4 - t ** 2 + 1) for t in ts(50)])
emit("nodal", 3, [(t * t - 1, t * (t * t - 1)) for t in ts(40)])

with open(__file__.replace("make_equation_reference.py", "equation_reference.txt"), "w") as f:
    f.write("\n".join(out) + "\n")
