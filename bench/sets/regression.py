# Test MSE in the sets' units (mean over the test rows and the output columns of the squared
# error) on the regression sets: FANN against tarvex with early stopping and with the options
# given as arguments. Run by run-regression.
import os, sys

from peers import (RUNS, SETS, Tarvex, prepare_folder, print_table, read_numbers, run_fann,
                   seconds_text, shortest, uptime)

BASE = "/vf=0.2 /es=30 /sd=1"
NAMES = os.environ.get(
    "ONLY", "abelone bank32fm building census-house kin32fm pumadyn-32fm robot").split()


def mse(predicted, actual):
    squares = [(p - a) ** 2 for prow, arow in zip(predicted, actual) for p, a in zip(prow, arow)]
    return sum(squares) / len(squares)


def main(tarvex_path, fann_peer, scratch, extra):
    tarvex = Tarvex(tarvex_path, scratch)
    columns = [("tarvex", BASE)] + [(f"tarvex {options}", f"{BASE} {options}") for options in extra]
    print(f"load at start: {uptime()}")
    print(f"tarvex: {tarvex_path}; shortest processor time of {RUNS} run(s)")
    for name, options in columns:
        print(f"  {name}: {options}")
    errors, times, notes = [], [], []
    at_or_below, ran = [0] * len(columns), [0] * len(columns)
    for name in NAMES:
        train = os.path.join(SETS, "fann-regression", name + ".train")
        test = os.path.join(SETS, "fann-regression", name + ".test")
        folder, train_in, train_out, test_in, test_out = prepare_folder(scratch, name, train, test)
        actual = [[float(v) for v in row] for row in test_out]
        # The training outputs' mean: what a network that learned nothing would predict.
        means = [sum(float(row[c]) for row in train_out) / len(train_out)
                 for c in range(len(actual[0]))]
        hidden = 2 * len(train_in[0]) + 2
        fann, fann_seconds = shortest(
            lambda: run_fann(fann_peer, train, test, hidden, 0.3, 0.6, folder))
        fann_mse = mse(fann, actual)
        row = [name, f"{mse([means] * len(actual), actual):.5g}", f"{fann_mse:.5g}"]
        time_row = [name, f"{fann_seconds:.2f}"]
        for i, (column, options) in enumerate(columns):
            (predicted, note), seconds = shortest(lambda: tarvex_run(tarvex, folder, options))
            notes.append(f"{name}, {column}: {note}")
            time_row.append(seconds_text(seconds))
            if predicted is None or len(predicted) != len(actual):
                row += [note.split(";")[0] if predicted is None else "wrong row count", "-"]
                continue
            value = mse(predicted, actual)
            row += [f"{value:.5g}", f"{value / fann_mse:.3f}"]
            at_or_below[i] += value <= fann_mse
            ran[i] += 1
        errors.append(row)
        times.append(time_row)
    names = [column for column, _ in columns]
    print("\nTest MSE in the sets' units (mean over rows and output columns); x/fann: the ratio")
    header = ["set", "mean predictor", "fann"]
    for column in names:
        header += [column, "x/fann"]
    print_table(header, errors)
    print("\nProcessor seconds per run (training and prediction, as programs that read and write "
          "files)")
    print_table(["set", "fann"] + names, times)
    print("\nTarvex runs:")
    for note in notes:
        print(f"  {note}")
    for column, count, sets in zip(names, at_or_below, ran):
        print(f"{column}: at or below FANN on {count} of the {sets} sets it ran on" if sets
              else f"{column}: ran on no set")
    print(f"load at end: {uptime()}")
    return 0


def tarvex_run(tarvex, folder, options):
    path, seconds, note = tarvex.run(folder, options)
    return (read_numbers(path) if path else None, note), seconds


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]))
