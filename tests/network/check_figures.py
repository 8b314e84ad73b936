# Computes RMSE, MAE and R^2 per output column from predictions and actual values, as a user
# would by hand, and compares them with a run summary's figures to 1e-12 relative. Prints the
# number of columns checked; exits 1 naming the first figure that differs.
import json
import math
import sys

summary_path, key, predicted_path, actual_path = sys.argv[1:5]


def rows(path):
    return [[float(v) for v in line.split()] for line in open(path) if line.strip()]


predicted, actual = rows(predicted_path), rows(actual_path)
assert len(predicted) == len(actual), (len(predicted), len(actual))
figures = json.load(open(summary_path))["metrics"][key]
for column, expected in enumerate(figures):
    p = [row[column] for row in predicted]
    a = [row[column] for row in actual]
    n = len(a)
    residuals = [x - y for x, y in zip(p, a)]
    mean = sum(a) / n
    total = sum((y - mean) ** 2 for y in a)
    computed = {
        "rmse": math.sqrt(sum(r * r for r in residuals) / n),
        "mae": sum(abs(r) for r in residuals) / n,
        "r2": None if total == 0 else 1 - sum(r * r for r in residuals) / total,
    }
    assert expected["column"] == column + 1
    for name, value in computed.items():
        got = expected[name]
        same = got is None and value is None or (
            got is not None and value is not None and math.isclose(got, value, rel_tol=1e-12))
        if not same:
            print(f"column {column + 1} {name}: summary {got!r}, computed {value!r}")
            sys.exit(1)
print(len(figures))
