#!/usr/bin/python3
"""Writes the reference tables that the measure tests compare with.

measure_reference.txt: angles at a vertex from math.atan2, oriented polygon
areas from exact shoelace sums over Fractions, ellipse perimeters from
mpmath.ellipe with the truncation bound of the five-term series.
number_texts.txt: measure texts from Python's printf-style % (values within
1e-12 of zero count as zero; exponent forms are '%.15e' cut to the wanted
decimals and to ten digits, never rounded).
checks.txt: the property checks on integer figures, on and just off each
property, decided with exact rationals.
stepping.txt: up and down arrows on a digit of a number, worked out with
decimal.Decimal; the digit groups of the result come from Python's ','
format.
Run it from anywhere; it rewrites the .txt files beside it. Needs mpmath.
"""
import math
import os
import random
from decimal import Decimal
from fractions import Fraction

import mpmath

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(20261209)
mpmath.mp.dps = 40


def normalised(d):
    while d <= -math.pi:
        d += 2 * math.pi
    while d > math.pi:
        d -= 2 * math.pi
    return d


def angle_case(a, b, c):
    # Figure pixels have v pointing down; the usual orientation has y up.
    ta = math.atan2(-(a[1] - b[1]), a[0] - b[0])
    tc = math.atan2(-(c[1] - b[1]), c[0] - b[0])
    return normalised(tc - ta)


def shoelace(points):
    pts = [(Fraction(x), -Fraction(y)) for x, y in points]
    s = Fraction(0)
    for k in range(len(pts)):
        x0, y0 = pts[k]
        x1, y1 = pts[(k + 1) % len(pts)]
        s += x0 * y1 - x1 * y0
    return s / 2


def ellipse_perimeter(p, q):
    a, b = max(p, q), min(p, q)
    exact = 4 * a * mpmath.ellipe(1 - (mpmath.mpf(b) / a) ** 2)
    h = ((p - q) / (p + q)) ** 2
    bound = math.pi * (p + q) * (49 / 65536) * h ** 5 / (1 - h) if h < 1 else math.inf
    return exact, bound


def measures():
    lines = ["# angle Ah Av Bh Bv Ch Cv | radians, usual orientation, in (-pi, pi]",
             "# area x1 y1 ... xn yn | oriented area (usual orientation)",
             "# ellipse p q cx cy | perimeter bound"]
    for _ in range(150):
        pts = [(rng.randint(-300, 300), rng.randint(-300, 300)) for _ in range(3)]
        if pts[0] == pts[1] or pts[2] == pts[1]:
            continue
        lines.append("angle %d %d %d %d %d %d | %.17g" % (*pts[0], *pts[1], *pts[2], angle_case(*pts)))
    # Half turns, in every direction.
    for _ in range(20):
        b = (rng.randint(-200, 200), rng.randint(-200, 200))
        d = (rng.randint(-50, 50), rng.randint(-50, 50))
        if d == (0, 0):
            continue
        k = rng.randint(1, 4)
        a = (b[0] + d[0], b[1] + d[1])
        c = (b[0] - k * d[0], b[1] - k * d[1])
        lines.append("angle %d %d %d %d %d %d | %.17g" % (*a, *b, *c, math.pi))
    for _ in range(80):
        n = rng.randint(3, 9)
        cx, cy = rng.randint(-100, 100), rng.randint(-100, 100)
        # Angles less than half a turn apart keep the centre inside: the
        # polygon is simple.
        angles = [2 * math.pi * (k + rng.uniform(0, 0.8)) / n for k in range(n)]
        pts = []
        for t in angles:
            r = rng.randint(10, 200)
            pts.append((cx + round(r * math.cos(t)), cy + round(r * math.sin(t))))
        if len(set(pts)) < n:
            continue
        if rng.random() < 0.5:
            pts.reverse()
        area = shoelace(pts)
        if area == 0:
            continue
        flat = " ".join("%d %d" % p for p in pts)
        lines.append("area %s | %.17g" % (flat, float(area)))
    for _ in range(40):
        p = rng.uniform(5, 400)
        q = p * rng.choice([rng.uniform(0.05, 1), rng.uniform(0.9, 1), rng.uniform(0.3, 0.7)])
        exact, bound = ellipse_perimeter(p, q)
        lines.append("ellipse %.17g %.17g %d %d | %.17g %.17g" %
                     (p, q, rng.randint(-100, 100), rng.randint(-100, 100), float(exact), bound))
    return lines


def cut_exponent_form(value, decimals):
    mantissa, exponent = ("%.15e" % value).split("e")
    whole, fraction = mantissa.split(".")
    keep = min(decimals, 10 - 1)
    sign = exponent[0]
    digits = exponent[1:]
    if digits.startswith("0") and len(digits) > 1:
        digits = digits[1:]
    return whole + "." + fraction[:keep] + "e" + sign + digits


def measure_text(value, decimals):
    decimals = min(decimals, 99)
    if value > 1e12 or value < -1e12:
        return cut_exponent_form(value, decimals)
    if -1e-12 <= value <= 1e-12:
        value = 0.0
    return "%.*f" % (decimals, value)


def number_texts():
    lines = ["# value<TAB>decimals<TAB>text with '.' as the decimal point, no digit groups"]
    fixed = [(0.5, 12), (1e12, 2), (1.5e12, 2), (1.5e13, 0), (1.23456e13, 3), (1.2345678901234e13, 4),
             (-5e-13, 2), (-0.001, 2), (1e-12, 3), (-1e-12, 3), (2.5, 1), (-1.5e13, 2), (9.87654321e20, 15),
             (3.0, 0), (0.0, 0), (-0.0, 3), (123456.789, 99), (1e300, 5), (-2.5e-300, 2), (0.125, 2)]
    for v, n in fixed:
        lines.append("%r\t%d\t%s" % (v, n, measure_text(v, n)))
    for _ in range(300):
        exponent = rng.uniform(-14, 16)
        v = rng.choice([1, -1]) * 10 ** exponent
        n = rng.randint(0, 15)
        lines.append("%r\t%d\t%s" % (v, n, measure_text(v, n)))
    return lines


def stepping():
    lines = ["# text<TAB>cursor index<TAB>key (up or down)<TAB>shown text ('.' point, ',' groups)"]
    seen = set()
    fixed = [("9.5", 1, "up"), ("2.50", 3, "up"), ("2.50", 2, "up"), ("999.5", 3, "up"), ("0.05", 4, "down"),
             ("999999999.5", 9, "up"), ("99999999.5", 8, "up"), ("10.0", 2, "down"), ("1000", 4, "down")]
    cases = list(fixed)
    while len(cases) < 200:
        whole = str(rng.randint(0, 99999))
        d = rng.randint(0, 4)
        text = whole + ("." + "".join(rng.choice("0123456789") for _ in range(d)) if d else "")
        cursor = rng.randint(1, len(text))
        cases.append((text, cursor, rng.choice(["up", "down"])))
    for text, cursor, key in cases:
        if (text, cursor, key) in seen:
            continue
        seen.add((text, cursor, key))
        value = Decimal(text)
        point = text.find(".")
        whole_len = point if point >= 0 else len(text)
        decimals = len(text) - point - 1 if point >= 0 else 0
        # The digit just left of the cursor, the point skipped.
        left = cursor - 1
        if point >= 0 and left == point:
            left -= 1
        position = whole_len - 1 - left if left < whole_len else -(left - point)
        step = Decimal(10) ** position
        fresh = value + step if key == "up" else value - step
        magnitude = 0 if fresh == 0 else math.log10(abs(fresh))
        if decimals + magnitude >= 10:
            fresh = value
        quantum = Decimal(1).scaleb(-decimals)
        shown = "{:,.{}f}".format(fresh.quantize(quantum), decimals)
        lines.append("%s\t%d\t%s\t%s" % (text, cursor, key, shown))
    return lines


def pick(lo=-60, hi=60):
    return (rng.randint(lo, hi), rng.randint(lo, hi))


def cross(u, w):
    return Fraction(u[0]) * w[1] - Fraction(u[1]) * w[0]


def dot(u, w):
    return Fraction(u[0]) * w[0] + Fraction(u[1]) * w[1]


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1])


def checks():
    lines = ["# check points... | 1 when the property holds",
             "# collinear A B C; parallel/perpendicular: segments A1 B1 A2 B2; equidistant A B C;",
             "# segment/ray/line: P A B (ray from A through B); circle: P centre point-on"]
    for _ in range(60):
        a, b = pick(), pick()
        if a == b:
            continue
        k = rng.randint(-3, 3)
        c = (a[0] + k * (b[0] - a[0]), a[1] + k * (b[1] - a[1]))
        if rng.random() < 0.5:
            c = (c[0], c[1] + 1)
        holds = cross(sub(a, b), sub(a, c)) == 0
        lines.append("collinear %d %d %d %d %d %d | %d" % (*a, *b, *c, holds))
    for kind in ("parallel", "perpendicular"):
        for _ in range(40):
            a1, d = pick(), pick(-20, 20)
            if d == (0, 0):
                continue
            k = rng.choice([1, 2, -1, 3])
            e = (k * d[0], k * d[1]) if kind == "parallel" else (-k * d[1], k * d[0])
            if rng.random() < 0.5:
                e = (e[0] + 1, e[1])
            a2 = pick()
            b1 = (a1[0] + d[0], a1[1] + d[1])
            b2 = (a2[0] + e[0], a2[1] + e[1])
            if e == (0, 0):
                continue
            holds = cross(d, e) == 0 if kind == "parallel" else dot(d, e) == 0
            lines.append("%s %d %d %d %d %d %d %d %d | %d" % (kind, *a1, *b1, *a2, *b2, holds))
    triples = [(3, 4, 5), (5, 12, 13), (8, 15, 17), (7, 24, 25), (20, 21, 29)]
    for _ in range(40):
        x, y, r = rng.choice(triples)
        a = pick()
        b = (a[0] + rng.choice([x, -x, y, -y]), a[1] + rng.choice([y, -y, x, -x]))
        b = (a[0] + r, a[1]) if (b[0] - a[0]) ** 2 + (b[1] - a[1]) ** 2 != r * r else b
        c = (a[0] + x, a[1] - y)
        if rng.random() < 0.5:
            c = (c[0] + 1, c[1])
        holds = dot(sub(b, a), sub(b, a)) == dot(sub(c, a), sub(c, a))
        lines.append("equidistant %d %d %d %d %d %d | %d" % (*a, *b, *c, holds))
    for kind in ("segment", "ray", "line"):
        for _ in range(30):
            a, b = pick(), pick()
            if a == b:
                continue
            k = Fraction(rng.randint(-4, 8), 4)
            p = (a[0] + k * (b[0] - a[0]), a[1] + k * (b[1] - a[1]))
            if p[0].denominator != 1 or p[1].denominator != 1:
                continue
            p = (int(p[0]), int(p[1]))
            if rng.random() < 0.4:
                p = (p[0], p[1] + 1)
            on_line = cross(sub(p, a), sub(b, a)) == 0
            t = dot(sub(p, a), sub(b, a))
            if kind == "segment":
                holds = on_line and dot(sub(a, p), sub(b, p)) <= 0
            elif kind == "ray":
                holds = on_line and t >= 0
            else:
                holds = on_line
            lines.append("%s %d %d %d %d %d %d | %d" % (kind, *p, *a, *b, holds))
    for _ in range(30):
        x, y, r = rng.choice(triples)
        c = pick()
        on = (c[0] + r, c[1])
        p = (c[0] + rng.choice([x, -x]), c[1] + rng.choice([y, -y]))
        if rng.random() < 0.4:
            p = (p[0] + 1, p[1])
        holds = dot(sub(p, c), sub(p, c)) == r * r
        lines.append("circle %d %d %d %d %d %d | %d" % (*p, *c, *on, holds))
    return lines


def write(name, lines):
    with open(os.path.join(HERE, name), "w") as f:
        f.write("\n".join(lines) + "\n")


write("measure_reference.txt", measures())
write("number_texts.txt", number_texts())
write("stepping.txt", stepping())
write("checks.txt", checks())
