"""The peer of Tarvex's table options: one table with a text column and missing cells, written
as a CSV file, a workbook, an SQLite database and direct values, and encoded by scikit-learn's
OneHotEncoder and SimpleImputer into a plain copy.

python3 table_peer.py SEED RULE INDICATORS writes train.csv (header colour,size,weight,y,kind:
kind a label, missing in a few rows), valid.csv (the same columns), pred.csv, train.xlsx (sheet Data, no header), train.mdb (table t), values.ini (the direct
values), enc_train.csv and enc_pred.csv (the encoded inputs, no header, shortest digits: the
numeric columns and one column per category in the table's order, then the indicators) and
enc_y.csv; it prints the imputer's fill values as JSON.
"""
import json
import os
import random
import sqlite3
import sys

import numpy as np
import openpyxl
from sklearn.impute import SimpleImputer
from sklearn.preprocessing import OneHotEncoder

seed, rule, indicators = int(sys.argv[1]), sys.argv[2], sys.argv[3] == "1"
draw = random.Random(seed)
COLOURS = ["red", "green", "blue", "Grün"]


def row(missing_share):
    colour = draw.choice(COLOURS) if draw.random() > missing_share else draw.choice(["", "NA"])
    size = round(draw.uniform(-3, 9), 3) if draw.random() > missing_share else draw.choice(["", "NA"])
    weight = draw.randint(1, 50) if draw.random() > missing_share else ""
    return [colour, size, weight]


train = [row(0.15) for _ in range(40)]
y = [round(draw.uniform(0, 1) + (0.5 if r[0] == "red" else 0), 4) for r in train]
kind = [("" if draw.random() < 0.5 else "NA") if draw.random() < 0.08 else
        ("high" if v > 0.9 else "low") for v in y]
pred = [row(0.3) for _ in range(8)] + [["violet", 1.0, 2]]
valid = [row(0.15) for _ in range(10)]
valid_y = [round(draw.uniform(0, 1), 4) for _ in valid]


def write_csv(name, rows, header=None):
    with open(name, "w", newline="\n") as out:
        if header:
            out.write(",".join(header) + "\n")
        for r in rows:
            out.write(",".join(str(v) for v in r) + "\n")


write_csv("train.csv", [r + [v, k] for r, v, k in zip(train, y, kind)],
          ["colour", "size", "weight", "y", "kind"])
write_csv("pred.csv", pred, ["colour", "size", "weight"])
write_csv("valid.csv", [r + [v, "high" if v > 0.9 else "low"] for r, v in zip(valid, valid_y)],
          ["colour", "size", "weight", "y", "kind"])

book = openpyxl.Workbook()
sheet = book.active
sheet.title = "Data"
for r, v in zip(train, y):
    sheet.append([None if c == "" else c for c in r] + [v])
book.save("train.xlsx")

if os.path.exists("train.mdb"):
    os.remove("train.mdb")
with sqlite3.connect("train.mdb") as db:
    db.execute("CREATE TABLE t (id INTEGER, colour, size, weight, y)")
    db.executemany("INSERT INTO t VALUES (?, ?, ?, ?, ?)",
                   [(i, *[None if c == "" else c for c in r], v)
                    for i, (r, v) in enumerate(zip(train, y))])

with open("values.ini", "w") as out:
    out.write("[Parameter]\n/na=NA\n")
    out.write("/tiv=" + ";".join(",".join(str(c) for c in r) for r in train) + "\n")
    out.write("/tov=" + ";".join(str(v) for v in y) + "\n")


def column(rows, k, numeric):
    values = [r[k] for r in rows]
    if numeric:
        return np.array([[np.nan if v in ("", "NA") else float(v)] for v in values])
    return np.array([["(missing)" if v in ("", "NA") else v] for v in values], dtype=object)


encoder = OneHotEncoder(handle_unknown="ignore", sparse_output=False)
encoder.fit(column(train, 0, False))
imputers = []
for k in (1, 2):
    imputer = SimpleImputer(strategy=rule, add_indicator=indicators)
    imputer.fit(column(train, k, True))
    imputers.append(imputer)


def encode(rows):
    main = [encoder.transform(column(rows, 0, False))]
    tail = []
    for k, imputer in zip((1, 2), imputers):
        block = imputer.transform(column(rows, k, True))
        main.append(block[:, :1])
        tail.append(block[:, 1:])
    return np.hstack(main + tail)


for name, rows in (("enc_train.csv", train), ("enc_pred.csv", pred)):
    write_csv(name, [[repr(float(v)) for v in r] for r in encode(rows)])
write_csv("enc_y.csv", [[v] for v in y])
print(json.dumps({"size": float(imputers[0].statistics_[0]),
                  "weight": float(imputers[1].statistics_[0]),
                  "colour": [str(c) for c in encoder.categories_[0]]}))
