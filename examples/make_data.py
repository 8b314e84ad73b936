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

# The table example: rents of flats as a letting agent keeps them, with a district and a yes/no
# column as text, a few unanswered cells (blank, or "?") and a few rents not yet known. A
# generator of its own, so that the data above stays as it was.
flats = random.Random(20261209)
districts = {"centre": 5.0, "harbour": 3.5, "hills": 2.5, "old town": 4.2}


def flat(district):
    rooms = flats.choice([1, 1, 2, 2, 2, 3, 3, 4, 5])
    area = round(rooms * flats.uniform(18, 30) + flats.uniform(5, 15), 1)
    age = flats.randint(1, 90)
    balcony = flats.choice(["yes", "no"])
    rent = (districts.get(district, 3.0) * area * (1.0 - age / 400.0) + (60 if balcony == "yes" else 0)
            + flats.gauss(0, 25))
    return [district, rooms, area, age, balcony], round(rent)


def gaps(cells, share):
    # A cell left blank or marked "?" here and there, as a survey comes back.
    return [("" if flats.random() < 0.5 else "?") if i > 0 and flats.random() < share else v
            for i, v in enumerate(cells)]


table = []
for _ in range(240):
    cells, rent = flat(flats.choice(sorted(districts)))
    table.append(gaps(cells, 0.06) + ["" if flats.random() < 0.03 else rent])
write_csv("flats.csv", ["district", "rooms", "area", "age", "balcony", "rent"], table)
new_flats = [flat(d)[0] for d in ["centre", "hills", "harbour", "old town", "airport"]]
new_flats[1][3] = ""
new_flats[2][2] = "?"
write_csv("flats_new.csv", ["district", "rooms", "area", "age", "balcony"], new_flats)
