#!/usr/bin/python3
"""The exported models in real runtimes: every model passes Debian's onnx checker (full_check) and,
run in onnxruntime-node on the rows that a /nif job predicts, gives Tarvex's own predictions within
1e-12 of each output column's range (the float model within 1e-5); a model converted from the
saved network by a /nif job gives them as well. Then the bad inputs of /onnx.
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


def job(folder, af, training_rows, prediction_rows, outputs, header):
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
                    "/n=5", "/nof=net.json", "/onnxf=1",
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
# a constant input column in every job and a constant output column wherever there are two.
JOBS = [(0, 40, 200, 2, True), (1, 40, 200, 3, False), (2, 40, 1, 2, False),
        (3, 40, 200, 3, False), (4, 1, 50, 1, False), (5, 40, 200, 2, False),
        (7, 40, 20, 2, False)]
print(f"{'af':>3} {'trained':>10} {'converted':>10} {'float':>10}")
for af, training_rows, prediction_rows, outputs, header in JOBS:
    with tempfile.TemporaryDirectory() as folder:
        f = job(folder, af, training_rows, prediction_rows, outputs, header)
        print(f"{af:>3} {f['models/trained.onnx']:10.3g} {f['converted.onnx']:10.3g} "
              f"{f['models/trained_float.onnx']:10.3g}")
with tempfile.TemporaryDirectory() as folder:
    bad_inputs(folder)
print(f"{0 if failures else 1} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
