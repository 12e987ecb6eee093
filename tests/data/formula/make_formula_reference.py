#!/usr/bin/env python3
"""Writes formula_reference.txt: random formulas with their values, error
codes and unit exponents, computed by Python's own parser and arithmetic.

Each formula is written in the formula language and translated for Python
("^" as "**", ln as math.log, log as math.log10, round as floor(x + 0.5)).
Numbers are exact fractions; functions use math. The error classes map to
the formula codes: division by zero 3, a complex power 4, a power of zero 5,
square roots 6, logarithms 7 (6 when evaluated from objects), asin, acos and
argth 10. Run once; the table is kept beside the script.

Lines (tab-separated):
  value  <formula>  <formula with #n>  <n values>  <folded>  <evaluated>
         where a result is "=<value>" or "!<code>"
  unit   <formula>  <angle exponent>  <length exponent>   (as p/q)
"""

import math
import random
from fractions import Fraction

random.seed(20261209)


class Code(Exception):
    def __init__(self, code):
        super().__init__(code)
        self.code = code


MODE = ["fold"]


def near_integer(x):
    return abs(x) < 2147483647 and abs(x - math.floor(x + 0.5)) <= 1e-10


class R(Fraction):
    """An exact number with the formula language's checks."""

    def __new__(cls, value):
        if isinstance(value, complex):
            raise Code(4)
        if isinstance(value, float) and not math.isfinite(value):
            raise Code(99)
        return super().__new__(cls, value)

    def __add__(self, o): return R(Fraction(self) + Fraction(o))
    def __radd__(self, o): return R(Fraction(o) + Fraction(self))
    def __sub__(self, o): return R(Fraction(self) - Fraction(o))
    def __rsub__(self, o): return R(Fraction(o) - Fraction(self))
    def __mul__(self, o): return R(Fraction(self) * Fraction(o))
    def __rmul__(self, o): return R(Fraction(o) * Fraction(self))
    def __neg__(self): return R(-Fraction(self))
    def __pos__(self): return self

    def __truediv__(self, o):
        try:
            return R(Fraction(self) / Fraction(o))
        except ZeroDivisionError:
            raise Code(3)

    def __rtruediv__(self, o):
        return R(o).__truediv__(self)

    def __pow__(self, o):
        a, b = Fraction(self), Fraction(o)
        fb = float(b)
        if MODE[0] == "fold":
            if a < 0 and not near_integer(fb):
                raise Code(4)
            if near_integer(fb) and round(fb) < 1 and a == 0:
                raise Code(5)
        else:
            if a <= 0 and not near_integer(fb):
                raise Code(4)
            if a == 0 and b < 0:
                raise Code(5)
        if b.denominator == 1 and abs(b) <= 64:
            try:
                return R(a ** int(b))
            except ZeroDivisionError:
                raise Code(5)
        try:
            value = float(a) ** fb
        except ZeroDivisionError:
            raise Code(5)
        except OverflowError:
            raise Code(99)
        return R(value)

    def __rpow__(self, o):
        return R(o).__pow__(self)


def function(name, f, domain_code=None):
    def apply(x):
        v = float(x)
        try:
            return R(f(v))
        except ValueError:
            if domain_code is None:
                raise Code(99)
            raise Code(domain_code() if callable(domain_code) else domain_code)
        except OverflowError:
            raise Code(99)
    apply.__name__ = name
    return apply


def log_code():
    return 7 if MODE[0] == "fold" else 6


def ln(v):
    return -math.inf if v == 0 else math.log(v)


def log10(v):
    return -math.inf if v == 0 else math.log10(v)


def argth(v):
    if abs(v) > 1:
        raise ValueError
    return 0.5 * math.log((1 + v) / (1 - v))


NAMESPACE = {
    "sqrt": function("sqrt", math.sqrt, 6),
    "ln": function("ln", ln, log_code),
    "log": function("log", log10, log_code),
    "exp": function("exp", math.exp),
    "sin": function("sin", math.sin),
    "cos": function("cos", math.cos),
    "tan": function("tan", math.tan),
    "atan": function("atan", math.atan),
    "asin": function("asin", math.asin, 10),
    "acos": function("acos", math.acos, 10),
    "sinh": function("sinh", math.sinh),
    "cosh": function("cosh", math.cosh),
    "tanh": function("tanh", math.tanh),
    "argth": function("argth", argth, 10),
    "abs": lambda x: R(abs(Fraction(x))),
    "sqr": lambda x: R(Fraction(x) * Fraction(x)),
    "floor": lambda x: R(math.floor(Fraction(x))),
    "ceil": lambda x: R(math.ceil(Fraction(x))),
    "round": lambda x: R(math.floor(Fraction(x) + Fraction(1, 2))),
    "sign": lambda x: R((x > 0) - (x < 0)),
    "min": lambda a, b: b if b < a else a,
    "max": lambda a, b: b if b > a else a,
    "pi": R(math.pi),
    "R": R,
}

FUNCTIONS = ["sqrt", "ln", "log", "exp", "sin", "cos", "tan", "atan", "asin", "acos", "sinh", "cosh",
             "tanh", "argth", "abs", "sqr", "floor", "ceil", "round", "sign"]


def leaf():
    r = random.random()
    if r < 0.45:
        return str(random.randint(0, 12))
    if r < 0.9:
        return "%d.%d" % (random.randint(0, 9), random.randint(1, 99))
    return "pi"


def expression(depth):
    """(formula text, python text, leaves) of a random expression."""
    if depth == 0 or random.random() < 0.25:
        text = leaf()
        if text == "pi":
            return text, "pi", []
        return text, "R('%s')" % text, [text]
    r = random.random()
    if r < 0.55:
        op = random.choice("+-*/^")
        a = expression(depth - 1)
        if op == "^":
            b = exponent()
        else:
            b = expression(depth - 1)
        pyop = "**" if op == "^" else op
        # Parenthesised operands keep the text unambiguous whatever the
        # operators' precedence; bare ones test it.
        if random.random() < 0.5:
            return ("(%s)%s(%s)" % (a[0], op, b[0]), "(%s)%s(%s)" % (a[1], pyop, b[1]), a[2] + b[2])
        return ("%s%s%s" % (a[0], op, b[0]), "%s%s%s" % (a[1], pyop, b[1]), a[2] + b[2])
    if r < 0.65:
        a = expression(depth - 1)
        return ("-(%s)" % a[0], "-(%s)" % a[1], a[2])
    if r < 0.72:
        name = random.choice(["min", "max"])
        a, b = expression(depth - 1), expression(depth - 1)
        return ("%s(%s,%s)" % (name, a[0], b[0]), "%s(%s,%s)" % (name, a[1], b[1]), a[2] + b[2])
    name = random.choice(FUNCTIONS)
    a = expression(depth - 1)
    return ("%s(%s)" % (name, a[0]), "%s(%s)" % (name, a[1]), a[2])


def exponent():
    choice = random.choice(["2", "3", "-1", "-2", "0", "1", "0.5", "(1/3)", "1.5", "4"])
    if choice == "(1/3)":
        return "(1/3)", "(R('1')/R('3'))", ["1", "3"]
    if choice.startswith("-"):
        return choice, "-R('%s')" % choice[1:], [choice[1:]]
    return choice, "R('%s')" % choice, [choice]


def result(python_text, mode):
    MODE[0] = mode
    try:
        v = eval(python_text, dict(NAMESPACE))
    except Code as c:
        return None if c.code == 99 else "!%d" % c.code
    f = float(v)
    if not math.isfinite(f) or (f != 0 and not (1e-9 < abs(f) < 1e12)):
        return None
    return "=" + repr(f)


def float_value(python_text):
    """The same formula in plain floating point, to drop ill-conditioned
    cases whose rounding alone moves the value."""
    text = python_text.replace("R('", "float('")
    ns = dict(NAMESPACE)
    ns.update({k: (lambda f: (lambda *a: float(f(*[R(x) for x in a]))))(v)
               for k, v in NAMESPACE.items() if callable(v) and k != "R"})
    ns["pi"] = math.pi
    try:
        return float(eval(text, ns))
    except Exception:
        return None


def variable_text(text, leaves):
    """The formula with its number leaves replaced by #1, #2 ..."""
    out, n, i = [], 0, 0
    while i < len(text):
        c = text[i]
        if c.isdigit() or c == ".":
            j = i
            while j < len(text) and (text[j].isdigit() or text[j] == "."):
                j += 1
            n += 1
            out.append("#%d " % n)
            i = j
        else:
            out.append(c)
            i += 1
    assert n == len(leaves), (text, leaves)
    return "".join(out)


def value_rows(count):
    rows, seen = [], set()
    while len(rows) < count:
        text, python_text, leaves = expression(random.randint(1, 4))
        if text in seen or len(leaves) == 0 or len(leaves) > 20:
            continue
        folded = result(python_text, "fold")
        evaluated = result(python_text, "evaluate")
        if folded is None or evaluated is None:
            continue
        if folded.startswith("="):
            exact = float(folded[1:])
            approx = float_value(python_text)
            if approx is None or abs(approx - exact) > 1e-13 * max(abs(exact), 1e-300) and exact != 0:
                continue
        seen.add(text)
        rows.append("value\t%s\t%s\t%s\t%s\t%s" % (text, variable_text(text, leaves), " ".join(leaves),
                                                    folded, evaluated))
    return rows


def unit_rows(count):
    words = [("cm", 0, 1), ("mm", 0, 1), ("m", 0, 1), ("km", 0, 1), ("rad", 1, 0), ("gr", 1, 0)]
    rows = []
    while len(rows) < count:
        angle, length = Fraction(0), Fraction(0)
        parts = []
        for k in range(random.randint(1, 4)):
            word, a, l = random.choice(words)
            e = random.randint(1, 3)
            factor = "%d%s%s" % (random.randint(1, 9), word, "" if e == 1 else str(e))
            if k == 0 or random.random() < 0.6:
                parts.append(("*" if k else "") + factor)
                angle += a * e
                length += l * e
            else:
                parts.append("/" + factor)
                angle -= a * e
                length -= l * e
        text = "".join(parts)
        wrap = random.random()
        if wrap < 0.3:
            text = "sqrt(%s)" % text
            angle, length = angle / 2, length / 2
        elif wrap < 0.6:
            n = random.choice([2, 3, -1, -2])
            text = "(%s)^%s" % (text, n if n > 0 else "(%d)" % n)
            angle, length = angle * n, length * n
        elif wrap < 0.75:
            text = "sqrt(sqrt(%s))" % text
            angle, length = angle / 4, length / 4
        rows.append("unit\t%s\t%d/%d\t%d/%d" % (text, angle.numerator, angle.denominator,
                                                 length.numerator, length.denominator))
    return rows


def main():
    rows = value_rows(600) + unit_rows(150)
    with open(__file__.replace("make_formula_reference.py", "formula_reference.txt"), "w") as out:
        out.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
