#!/usr/bin/python3
"""The exported models in real runtimes: every model passes Debian's onnx checker (full_check) and,
run in onnxruntime-node on the rows that a /nif job predicts, gives Tarvex's own predictions within
1e-12 of each output column's range (the float model within 1e-5); a model converted from the
saved network by a /nif job gives them as well. A classifier's models give its /pp=1 probabilities
within 1e-12 (float 1e-5) and its labels. Then the bad inputs of /onnx.
  runtime_test.py BIN-FOLDER NODE-MODULES-FOLDER
Exits 77 (skipped) when onnx or onnxruntime-node is missing, unless TARVEX_ONNX_REQUIRED is set
(scripts/test installs both and sets it). Prints the largest difference seen per activation code."""
import json
import math
import os
import random
import sqlite3
import struct
import subprocess
import sys
import tempfile

BIN, MODULES = (os.path.abspath(folder) for folder in sys.argv[1:3])
RUNTIME = os.path.join(MODULES, "onnxruntime-node")
HERE = os.path.dirname(os.path.abspath(__file__))
try:
    import onnx
    if not os.path.isfile(os.path.join(RUNTIME, "package.json")):
        raise ImportError("onnxruntime-node is not installed in " + MODULES)
except ImportError as missing:
    print(missing, "(Debian: python3-onnx; npm: onnxruntime-node)")
    sys.exit(1 if os.environ.get("TARVEX_ONNX_REQUIRED") else 77)

TOLERANCE, FLOAT_TOLERANCE = 1e-12, 1e-5
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def tarvex(folder, *options):
    run = subprocess.run([os.path.join(BIN, "tarvex"), *options], cwd=folder,
                         capture_output=True, text=True)
    return run.returncode


def write_rows(path, rows, header=None):
    with open(path, "w") as out:
        if header:
            out.write("\t".join(header) + "\n")
        for row in rows:
            out.write("\t".join(repr(v) for v in row) + "\n")


def run_model(folder, model, rows):
    with open(os.path.join(folder, "rows.json"), "w") as out:
        json.dump(rows, out)
    run = subprocess.run(["node", os.path.join(HERE, "run_model.js"), RUNTIME, model,
                          os.path.join(folder, "rows.json")], capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError(run.stderr)
    return json.loads(run.stdout)


def largest_difference(result, expected, ranges, float_model):
    """The largest |model - Tarvex| over rows and columns, relative to the column's range; a
    constant column (range 0) must come out exactly, or as the float nearest to it."""
    width = len(ranges)
    largest = 0.0
    for i, row in enumerate(expected):
        for k, value in enumerate(row):
            got = result["data"][i * width + k]
            if ranges[k]:
                largest = max(largest, abs(got - value) / ranges[k])
            elif got != (struct.unpack("<f", struct.pack("<f", value))[0] if float_model else value):
                largest = math.inf
    return largest


def job(folder, af, training_rows, prediction_rows, outputs, header, extra=()):
    """Trains, predicts with /nif into SQLite (whole doubles), converts with /nif; returns the
    largest differences of the three models."""
    rng = random.Random(33 + af)
    inputs = [[rng.uniform(0, 1), 0.75, rng.uniform(-2, 3)] for _ in range(training_rows)]
    targets = [[100 + 50 * math.sin(3 * x[0]) + 10 * x[2], 2.5, -1e-3 * x[0] * x[2]][:outputs]
               for x in inputs]
    if outputs == 1:
        targets = [[t[0]] for t in targets]
    # Beyond the training ranges too, the constant column included.
    rows = [[rng.uniform(-1, 2), rng.choice([0.75, 0.5, 3.0]), rng.uniform(-5, 6)]
            for _ in range(prediction_rows)]
    names = ["a", "b", "c"] if header else None
    write_rows(os.path.join(folder, "ti.txt"), inputs, names)
    write_rows(os.path.join(folder, "to.txt"), targets)
    write_rows(os.path.join(folder, "pi.txt"), rows)
    selector = ["/tifh=a,b,c"] if header else []
    status = tarvex(folder, "/tif=ti.txt", "/tof=to.txt", *selector, f"/af={af}", "/ep=200",
                    "/n=5", "/nof=net.json", "/onnxf=1", *extra,
                    # Written with backslashes, as the command line needs: its folder is made.
                    "/onnx=" + os.path.join(folder, "models", "trained.onnx").replace("/", "\\"),
                    "/log=run.log")
    check(status == 0, f"af {af}: the training job exits 0")
    columns = ", ".join(f"y{k}" for k in range(outputs))
    with sqlite3.connect(os.path.join(folder, "p.mdb")) as db:
        db.execute(f"create table p (id integer primary key, {columns})")
    status = tarvex(folder, "/nif=net.json", "/pif=pi.txt", "/pof=p.mdb",
                    f"/pos=insert into p ({columns}) values (0)", "/log=run.log")
    check(status == 0, f"af {af}: the /nif prediction exits 0")
    with sqlite3.connect(os.path.join(folder, "p.mdb")) as db:
        expected = [list(r) for r in db.execute(f"select {columns} from p order by id")]
    check(len(expected) == prediction_rows, f"af {af}: {prediction_rows} predictions")
    status = tarvex(folder, "/nif=net.json", "/onnx=converted.onnx", "/log=run.log")
    check(status == 0, f"af {af}: the conversion without prediction data exits 0")

    ranges = [max(t[k] for t in targets) - min(t[k] for t in targets) for k in range(outputs)]
    figures = {}
    for name in ["models/trained.onnx", "converted.onnx", "models/trained_float.onnx"]:
        path = os.path.join(folder, name)
        model = onnx.load(path)
        onnx.checker.check_model(model, full_check=True)
        meta = {p.key: p.value for p in model.metadata_props}
        check(model.producer_name == "Tarvex" and "tarvex.version" in meta,
              f"af {af}: {name} names Tarvex and its version")
        check(json.loads(meta["tarvex.options"])["af"] == af, f"af {af}: {name} keeps /af")
        check([o.domain for o in model.opset_import] == [""], f"af {af}: {name} needs no ai.onnx.ml")
        if header:
            check(json.loads(meta.get("tarvex.input_columns", "null")) == names,
                  f"af {af}: {name} names the input columns")
        result = run_model(folder, path, rows)
        check(result["inputNames"] == ["inputs"] and result["outputNames"] == ["outputs"] and
              result["dims"] == [prediction_rows, outputs], f"af {af}: {name} names and shape")
        figures[name] = largest_difference(result, expected, ranges, "float" in name)
        limit = FLOAT_TOLERANCE if "float" in name else TOLERANCE
        check(figures[name] <= limit, f"af {af}: {name} within {limit}: {figures[name]:.3g}")
    return figures


def classifier_job(folder, af, labels, csv, extra=()):
    """Trains a classifier and predicts with /pp=1 into a text file, converts the saved network
    with /nif; returns the largest difference of the probabilities of the three models."""
    rng = random.Random(7 + af)
    inputs = [[rng.uniform(0, 1), 0.75, rng.uniform(-2, 3)] for _ in range(60)]
    # Bands of x0 + x2 give the classes, so that the network has something to learn.
    kinds = [labels[min(int((x[0] + (x[2] + 2) / 5) / 2 * len(labels)), len(labels) - 1)]
             for x in inputs]
    rows = [[rng.uniform(-1, 2), rng.choice([0.75, 3.0]), rng.uniform(-5, 6)] for _ in range(40)]
    os.mkdir(os.path.join(folder, "data"))
    if csv:
        with open(os.path.join(folder, "data", "train.csv"), "w", encoding="utf-8") as out:
            out.write("a,b,c,kind\n")
            out.writelines(",".join(map(repr, x)) + "," + k + "\n" for x, k in zip(inputs, kinds))
        data = ["/tif=data\\train.csv", "/tifh=a,b,c", "/tof=data\\train.csv", "/tofh=kind"]
    else:
        write_rows(os.path.join(folder, "data", "ti.txt"), inputs)
        with open(os.path.join(folder, "data", "to.txt"), "w", encoding="utf-8") as out:
            out.writelines(k + "\n" for k in kinds)
        data = ["/tif=data\\ti.txt", "/tof=data\\to.txt"]
    write_rows(os.path.join(folder, "pi.txt"), rows)
    what = f"classifier af {af} {labels}"
    status = tarvex(folder, *data, "/task=classification", f"/af={af}", "/ep=300", "/n=6",
                    "/pif=pi.txt", "/pof=po.txt", "/pp=1", "/nof=net.json", "/onnx=trained.onnx",
                    "/onnxf=1", *extra, "/log=run.log")
    check(status == 0, f"{what}: the training job exits 0")
    with open(os.path.join(folder, "po.txt"), encoding="utf-8") as predictions:
        fields = [line.rstrip("\n").split("\t") for line in predictions]
    labels_expected = [f[0] for f in fields]
    expected = [[float(v) for v in f[1:]] for f in fields]
    status = tarvex(folder, "/nif=net.json", "/onnx=converted.onnx", "/log=run.log")
    check(status == 0, f"{what}: the conversion exits 0")
    numbers = all(k.lstrip("-").replace(".", "", 1).isdigit() for k in labels)
    classes = sorted(set(kinds), key=float if numbers else None)  # by value, else code point

    figures = {}
    for name in ["trained.onnx", "converted.onnx", "trained_float.onnx"]:
        path = os.path.join(folder, name)
        model = onnx.load(path)
        onnx.checker.check_model(model, full_check=True)
        meta = {p.key: p.value for p in model.metadata_props}
        check(json.loads(meta.get("tarvex.classes", "null")) == classes,
              f"{what}: {name} names the classes in class order: {meta.get('tarvex.classes')}")
        result = run_model(folder, path, rows)
        outputs = result["outputs"]
        check(result["outputNames"] == ["probabilities", "label"] and
              outputs["probabilities"]["dims"] == [len(rows), len(classes)] and
              outputs["label"]["dims"] == [len(rows)] and outputs["label"]["type"] == "string",
              f"{what}: {name} names and shapes: {result['outputNames']}")
        got = outputs["probabilities"]["data"]
        figures[name] = max(abs(got[i * len(classes) + k] - p)
                            for i, row in enumerate(expected) for k, p in enumerate(row))
        limit = FLOAT_TOLERANCE if "float" in name else TOLERANCE
        check(figures[name] <= limit, f"{what}: {name} within {limit}: {figures[name]:.3g}")
        # A float model may pick the other of two classes closer than float tells apart.
        close = [sorted(row)[-1] - sorted(row)[-2] <= limit for row in expected]
        wrong = [i for i, (a, b) in enumerate(zip(outputs["label"]["data"], labels_expected))
                 if a != b and not ("float" in name and close[i])]
        check(not wrong, f"{what}: {name} gives Tarvex's labels, not in rows {wrong}")
    return figures


def bad_inputs(folder):
    write_rows(os.path.join(folder, "ti.txt"), [[0.1, 0.2], [0.4, 0.9], [0.7, 0.3]])
    write_rows(os.path.join(folder, "to.txt"), [[1.0], [2.0], [3.0]])
    base = ["/tif=ti.txt", "/tof=to.txt", "/pif=ti.txt", "/ep=50", "/log=run.log"]

    def last_line():
        with open(os.path.join(folder, "run.log"), encoding="utf-8") as log:
            return log.read().rstrip("\r\n").split("\r\n")[-1]

    check(tarvex(folder, *base, "/pof=plain.txt") == 0, "the job without /onnx exits 0")
    with open(os.path.join(folder, "plain.txt"), "rb") as plain:
        predictions = plain.read()
    open(os.path.join(folder, "file"), "w").close()
    # A folder that is a file: the model cannot be written, the predictions stand as without it.
    status = tarvex(folder, *base, "/pof=po.txt", "/onnx=file\\model.onnx")
    line = last_line()
    check(status == 1 and line.endswith("File name: file\\model.onnx  Not a directory"),
          f"an unwritable /onnx: exit 1 and one line, got {status}: {line}")
    with open(os.path.join(folder, "po.txt"), "rb") as written:
        check(written.read() == predictions, "an unwritable /onnx leaves the predictions written")
    # One of the job's own files: refused before anything is loaded or written.
    with open(os.path.join(folder, "ti.txt"), "rb") as before:
        inputs = before.read()
    status = tarvex(folder, *base, "/pof=own.txt", "/onnx=ti.txt")
    line = last_line()
    check(status == 1 and line.endswith("File name: ti.txt  The ONNX model file is the training "
                                        "inputs (ti.txt); nothing was written"),
          f"an /onnx that is the training inputs: exit 1 and one line, got {status}: {line}")
    with open(os.path.join(folder, "ti.txt"), "rb") as after:
        check(after.read() == inputs and not os.path.exists(os.path.join(folder, "own.txt")),
              "the refused /onnx changes nothing")
    status = tarvex(folder, *base, "/pof=po.txt", "/onnx=m.onnx", "/onnxf=2")
    check(status == 1 and last_line().endswith("The Parameter '/onnxf' must be 0 or 1: 2"),
          "/onnxf=2 is refused")
    leftovers = [n for n in os.listdir(folder) if n.endswith(".onnx") or n.startswith(".")]
    check(not leftovers, f"nothing half-written: {leftovers}")


# Every activation code and one outside the table; one row and many; one, two and three outputs;
# a constant input column in every job and a constant output column wherever there are two; an
# ensemble's mean.
JOBS = [(0, 40, 200, 2, True), (1, 40, 200, 3, False), (2, 40, 1, 2, False),
        (3, 40, 200, 3, False), (4, 1, 50, 1, False), (5, 40, 200, 2, False),
        (7, 40, 20, 2, False), (2, 40, 200, 2, False, ("/ens=3",))]
print(f"{'af':>3} {'trained':>10} {'converted':>10} {'float':>10}")
for af, training_rows, prediction_rows, outputs, header, *extra in JOBS:
    with tempfile.TemporaryDirectory() as folder:
        f = job(folder, af, training_rows, prediction_rows, outputs, header, *extra)
        print(f"{af:>3} {f['models/trained.onnx']:10.3g} {f['converted.onnx']:10.3g} "
              f"{f['models/trained_float.onnx']:10.3g} {' '.join(o for e in extra for o in e)}")
# Two classes and several, labels of text (one not ASCII, from a CSV file with a header) and of
# numbers (whose class order is by value: -1, 2.5, 10); an ensemble's mean probabilities.
CLASS_JOBS = [(1, ["no", "yes"], False), (3, ["10", "2.5", "-1"], False),
              (2, ["Äpfel", "zebra", "Birne", "élan"], True), (1, ["a", "b", "c"], False, ("/ens=4",))]
for af, labels, csv, *extra in CLASS_JOBS:
    with tempfile.TemporaryDirectory() as folder:
        f = classifier_job(folder, af, labels, csv, *extra)
        print(f"{af:>3} {f['trained.onnx']:10.3g} {f['converted.onnx']:10.3g} "
              f"{f['trained_float.onnx']:10.3g}  classes {labels}")
with tempfile.TemporaryDirectory() as folder:
    bad_inputs(folder)
print(f"{0 if failures else 1} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
