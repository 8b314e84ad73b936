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
