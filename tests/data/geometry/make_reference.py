#!/usr/bin/python3
"""Writes the reference tables of the graduation codes and of the
transformed points that the kernel's tests compare with.

Graduation codes come from exact rational arithmetic over the closed form
"the smallest step of the form {1, 2, 5} x 10^k units whose length exceeds
29 x 14/19 pixels"; transformed points from numpy matrix and complex
arithmetic. Run it from anywhere; it rewrites the .txt files beside it.
Needs python3-numpy.
"""
import os
import random
from fractions import Fraction

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(20261209)


def graduation_code(length):
    """Code e*8 + m of the smallest step 10^e/m (m in 1, 2, 5) whose pixel
    length exceeds the spacing."""
    g = Fraction(29 * 14, 19)
    best = None
    for k in range(-8, 8):
        for mult in (1, 2, 5):
            step = Fraction(mult) * (Fraction(10) ** k)
            if step * length > g and (best is None or step < best[0]):
                e, m = (k, 1) if mult == 1 else (k + 1, 5 if mult == 2 else 2)
                best = (step, e * 8 + m)
    return best[1]


def write_graduation():
    with open(os.path.join(HERE, "graduation_reference.txt"), "w") as out:
        out.write("# unit length in pixels | graduation code (exact closed form)\n")
        lengths = [Fraction(n) for n in range(1, 10001)]
        lengths += [Fraction(rng.randint(1, 10**7), 1000) for _ in range(300)]
        for length in lengths:
            out.write("%r | %d\n" % (float(length), graduation_code(length)))


def pt():
    return np.array([rng.uniform(-400, 400), rng.uniform(-400, 400)])


def cplx(p):
    return complex(p[0], p[1])


def fmt(*arrays):
    return " | ".join(" ".join(repr(float(x)) for x in np.atleast_1d(a)) for a in arrays)


def write_transforms():
    lines = ["# kind inputs... | expected image (h v); figure pixels, v downwards"]
    for _ in range(40):
        p, a, b = pt(), pt(), pt()
        n = (b - a) / np.linalg.norm(b - a)
        householder = 2 * np.outer(n, n) - np.eye(2)
        lines.append("reflect " + fmt(p, np.concatenate([a, b]), a + householder @ (p - a)))
    for _ in range(20):
        p, o = pt(), pt()
        lines.append("symmetry " + fmt(p, o, 2 * o - p))
    for _ in range(40):
        p, c = pt(), pt()
        internal = rng.uniform(-7, 7)  # an angle number in radians turns by minus its value
        theta = -internal
        rot = np.array([[np.cos(theta), -np.sin(theta)], [np.sin(theta), np.cos(theta)]])
        lines.append("rotate " + fmt(p, np.concatenate([c, [internal]]), c + rot @ (p - c)))
    for _ in range(30):
        p, c = pt(), pt()
        k = rng.uniform(-3, 3)
        lines.append("dilate " + fmt(p, np.concatenate([c, [k]]), c + k * (p - c)))
    for _ in range(30):
        p, a, c, b = pt(), pt(), pt(), pt()
        z = cplx(c) + (cplx(b) - cplx(c)) / (cplx(a) - cplx(c)) * (cplx(p) - cplx(c))
        lines.append("similar " + fmt(p, np.concatenate([a, c, b]), [z.real, z.imag]))
    for _ in range(40):
        p, q, on = pt(), pt(), pt()
        r2 = float(np.dot(on - q, on - q))
        lines.append("invert " + fmt(p, np.concatenate([q, on]), q + r2 * (p - q) / np.dot(p - q, p - q)))
    for _ in range(20):
        p, s, e = pt(), pt(), pt()
        lines.append("translate " + fmt(p, np.concatenate([s, e]), p + (e - s)))
    for _ in range(40):
        c, on, p = pt(), pt(), pt()
        r = np.linalg.norm(on - c)
        d = rng.uniform(-3 * r, 3 * r)
        # An arc length d from P, anticlockwise on the screen (v down).
        z = cplx(c) + (cplx(p) - cplx(c)) * np.exp(-1j * d / r)
        lines.append("circle " + fmt(np.concatenate([c, on, p, [d]]), [z.real, z.imag]))
    for _ in range(40):
        n = rng.randint(3, 7)
        verts = [pt() for _ in range(n)]
        edges = [np.linalg.norm(verts[(i + 1) % n] - verts[i]) for i in range(n)]
        perimeter = sum(edges)
        d = rng.uniform(-2.5 * perimeter, 2.5 * perimeter)
        order = list(range(n)) if d >= 0 else [0] + list(range(n - 1, 0, -1))
        rest = abs(d) % perimeter
        for i in range(n):
            u, w = verts[order[i]], verts[order[(i + 1) % n]]
            length = np.linalg.norm(w - u)
            if rest <= length:
                image = u + (w - u) * (rest / length)
                break
            rest -= length
        lines.append("polygon " + fmt(np.concatenate(verts), [d], image))
    with open(os.path.join(HERE, "transform_reference.txt"), "w") as out:
        out.write("\n".join(lines) + "\n")


write_graduation()
write_transforms()
