#!/usr/bin/env python3
"""Writes the example job's data: a smooth function of three inputs with a little noise.

y = sin(pi * x1) + 0.5 * x2^2 - 0.3 * x3 + noise, inputs uniform in [0, 1].
Training: 120 rows (ti.txt inputs, to.txt output); prediction: 10 rows (pi.txt), whose
noise-free outputs go to pi_expected.txt for comparison. TAB-separated, fixed seed.
"""
import math
import os
import random

random.seed(20261207)
here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


def f(x1, x2, x3):
    return math.sin(math.pi * x1) + 0.5 * x2 * x2 - 0.3 * x3


def rows(count):
    return [[round(random.random(), 4) for _ in range(3)] for _ in range(count)]


def write(name, table):
    with open(os.path.join(here, name), "w", newline="\n") as out:
        for row in table:
            out.write("\t".join(f"{v:g}" for v in row) + "\n")


training = rows(120)
write("ti.txt", training)
write("to.txt", [[round(f(*r) + random.gauss(0, 0.02), 4)] for r in training])
prediction = rows(10)
write("pi.txt", prediction)
write("pi_expected.txt", [[round(f(*r), 4)] for r in prediction])

# The classification example: parts measured on a line, named by kind. Bolts are long and thin,
# nuts short and wide, washers flat and light; the measurements overlap a little. A generator of
# its own, so that the regression data above stays as it was.
parts = random.Random(20261208)


def part(kind):
    if kind == "bolt":
        length, diameter = parts.gauss(40, 8), parts.gauss(8, 1.5)
    elif kind == "nut":
        length, diameter = parts.gauss(9, 2.5), parts.gauss(13, 2)
    else:
        length, diameter = parts.gauss(2.5, 1), parts.gauss(16, 3)
    mass = 0.006 * length * diameter * diameter * parts.uniform(0.6, 1.0)
    return [round(max(length, 0.5), 2), round(max(diameter, 2), 2), round(mass, 2)]


def write_csv(name, header, table):
    with open(os.path.join(here, name), "w", newline="\n") as out:
        out.write(",".join(header) + "\n")
        for row in table:
            out.write(",".join(str(v) for v in row) + "\n")


kinds = ["bolt"] * 140 + ["nut"] * 100 + ["washer"] * 60
parts.shuffle(kinds)
write_csv("parts.csv", ["length", "diameter", "mass", "kind"], [part(k) + [k] for k in kinds])
new_kinds = ["bolt", "nut", "washer", "bolt", "washer", "nut", "bolt", "nut"]
write_csv("parts_new.csv", ["length", "diameter", "mass"], [part(k) for k in new_kinds])
write_csv("parts_new_expected.csv", ["kind"], [[k] for k in new_kinds])
