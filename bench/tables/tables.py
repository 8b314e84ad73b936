"""The table benchmark's runs: python3 tables.py TARVEX FOLDER [TARVEX OPTIONS ...]

FOLDER holds one folder per table (train.csv, test.csv, the target last) as export.R writes
them. Prints one line per table: the test accuracy (classification) or RMSE (regression) of
tarvex with /cat=auto /mv=mean, of the same network on scikit-learn's encoding of the same rows,
and of Weka's MultilayerPerceptron, each with its wall seconds.
"""
import csv
import math
import os
import subprocess
import sys
import time

import numpy as np
from sklearn.impute import SimpleImputer
from sklearn.preprocessing import OneHotEncoder

TARVEX, FOLDER = sys.argv[1], sys.argv[2]
EXTRA = sys.argv[3:]
WEKA = "/usr/share/java/weka.jar"
# The table, its task and the options of every tarvex run on it.
TABLES = [
    ("HouseVotes84", "classification", ["/ep=300"]),
    ("BreastCancer", "classification", ["/ep=300"]),
    ("Soybean", "classification", ["/ep=300"]),
    ("PimaIndiansDiabetes2", "classification", ["/ep=300"]),
    ("Cars93", "regression", ["/ep=2000", "/af=3", "/lr=0.05"]),
]


def read(path):
    with open(path, newline="") as table:
        rows = list(csv.reader(table))
    return rows[0], rows[1:]


def number(text):
    try:
        return float(text)
    except ValueError:
        return None


def categorical_columns(rows, count):
    # The /cat=auto rule: a column with a cell that is neither blank nor a number.
    return [k for k in range(count) if any(r[k] != "" and number(r[k]) is None for r in rows)]


def timed(arguments, cwd):
    start = time.perf_counter()
    done = subprocess.run(arguments, cwd=cwd, capture_output=True, text=True)
    return done, time.perf_counter() - start


def score(task, predicted, actual):
    if task == "classification":
        return sum(p == a for p, a in zip(predicted, actual)) / len(actual)
    return math.sqrt(sum((float(p) - float(a)) ** 2 for p, a in zip(predicted, actual)) / len(actual))


def tarvex(folder, arguments):
    done, seconds = timed([TARVEX] + arguments + ["/log=run.log", "/sd=1"] + EXTRA, folder)
    if done.returncode != 0:
        with open(os.path.join(folder, "run.log")) as log:
            raise SystemExit(folder + ": " + log.read().strip().splitlines()[-1])
    with open(os.path.join(folder, "pred.csv")) as out:
        return [line.strip().split(",")[0] for line in out if line.strip()], seconds


def encode(train, test, inputs, categorical):
    blocks_train, blocks_test = [], []
    for k in range(inputs):
        if k in categorical:
            impute = lambda rows: np.array([[r[k] or "(missing)"] for r in rows], dtype=object)
            encoder = OneHotEncoder(handle_unknown="ignore", sparse_output=False)
            encoder.fit(impute(train))
            blocks_train.append(encoder.transform(impute(train)))
            blocks_test.append(encoder.transform(impute(test)))
        else:
            values = lambda rows: np.array([[number(r[k]) if r[k] != "" else np.nan] for r in rows])
            imputer = SimpleImputer(strategy="mean")
            imputer.fit(values(train))
            blocks_train.append(imputer.transform(values(train)))
            blocks_test.append(imputer.transform(values(test)))
    return np.hstack(blocks_train), np.hstack(blocks_test)


def write_rows(path, rows):
    with open(path, "w") as out:
        for r in rows:
            out.write(",".join(repr(float(v)) if not isinstance(v, str) else v for v in r) + "\n")


def arff(path, header, rows, categorical, levels, task):
    with open(path, "w") as out:
        out.write("@relation table\n")
        for k, name in enumerate(header):
            is_class = k == len(header) - 1
            if k in categorical or (is_class and task == "classification"):
                out.write("@attribute a%d {%s}\n" % (k, ",".join("'%s'" % v for v in levels[k])))
            else:
                out.write("@attribute a%d numeric\n" % k)
        out.write("@data\n")
        for r in rows:
            out.write(",".join("?" if v == "" else ("'%s'" % v if k in categorical or (
                k == len(r) - 1 and task == "classification") else v) for k, v in enumerate(r)) + "\n")


def weka(folder, header, train, test, categorical, task):
    levels = {k: sorted({r[k] for r in train + test if r[k] != ""}) for k in range(len(header))}
    arff(os.path.join(folder, "train.arff"), header, train, categorical, levels, task)
    arff(os.path.join(folder, "test.arff"), header, test, categorical, levels, task)
    done, seconds = timed(["java", "-Xmx1g", "-cp", WEKA,
                           "weka.classifiers.functions.MultilayerPerceptron",
                           "-t", "train.arff", "-T", "test.arff"], folder)
    if done.returncode != 0:
        raise SystemExit(folder + ": weka: " + done.stderr.strip()[-300:])
    text = done.stdout[done.stdout.index("=== Error on test data ==="):]
    for line in text.splitlines():
        if task == "classification" and line.startswith("Correctly Classified Instances"):
            return float(line.split()[-2]) / 100, seconds
        if task == "regression" and line.startswith("Root mean squared error"):
            return float(line.split()[-1]), seconds
    raise SystemExit(folder + ": no figure in Weka's output")


print("%-22s %-14s %6s %5s  %-24s %-24s %-24s" % (
    "table", "task", "rows", "cols", "tarvex /cat=auto /mv=mean", "tarvex on sklearn's rows",
    "Weka MultilayerPerceptron"))
for name, task, options in TABLES:
    folder = os.path.join(FOLDER, name)
    header, train = read(os.path.join(folder, "train.csv"))
    _, test = read(os.path.join(folder, "test.csv"))
    inputs = len(header) - 1
    actual = [r[-1] for r in test]
    task_options = ["/task=classification"] if task == "classification" else []
    names = ",".join(header[:-1])
    raw, raw_seconds = tarvex(folder, [
        "/tif=train.csv", "/tifh=" + names, "/tof=train.csv", "/tofh=" + header[-1],
        "/pif=test.csv", "/pifh=" + names, "/pof=pred.csv", "/cat=auto", "/mv=mean"]
        + task_options + options)
    categorical = categorical_columns(train, inputs)
    encoded_train, encoded_test = encode(train, test, inputs, categorical)
    write_rows(os.path.join(folder, "enc_train.csv"), encoded_train)
    write_rows(os.path.join(folder, "enc_test.csv"), encoded_test)
    write_rows(os.path.join(folder, "enc_y.csv"), [[r[-1]] for r in train])
    peer, peer_seconds = tarvex(folder, [
        "/tif=enc_train.csv", "/tof=enc_y.csv", "/pif=enc_test.csv", "/pof=pred.csv"]
        + task_options + options)
    weka_score, weka_seconds = weka(folder, header, train, test, categorical, task)
    cell = lambda value, seconds: "%.4f (%.2f s)" % (value, seconds)
    print("%-22s %-14s %6d %5d  %-24s %-24s %-24s" % (
        name, task, len(train) + len(test), inputs, cell(score(task, raw, actual), raw_seconds),
        cell(score(task, peer, actual), peer_seconds), cell(weka_score, weka_seconds)),
        flush=True)
