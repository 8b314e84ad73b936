# Test error (percent of test rows whose predicted class is not the actual one) on the PROBEN1
# classification sets: FANN, scikit-learn's MLP classifier and logistic regression, and tarvex as
# a classification job and as a regression on the one-hot columns. Run by run-classification.
import os, sys, time, warnings

os.environ.setdefault("OMP_NUM_THREADS", "1")  # processor time of one thread, as the others
os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")
import numpy as np
from sklearn.exceptions import ConvergenceWarning
from sklearn.linear_model import LogisticRegression
from sklearn.neural_network import MLPClassifier

from peers import (RUNS, SETS, Tarvex, prepare_folder, print_table, run_fann, seconds_text,
                   shortest, uptime)

CLASSIFICATION = "/task=classification /vf=0.2 /es=30 /ep=3000 /sd=1"
REGRESSION = "/vf=0.2 /es=30 /ep=3000 /sd=1"
PEERS = ["fann m=0", "fann m=0.6", "mlp sgd", "mlp adam", "logistic"]
NAMES = os.environ.get("ONLY", "diabetes gene mushroom soybean thyroid").split()


def in_process(work):
    start = time.process_time()
    result = work()
    return result, time.process_time() - start


def sklearn_classes(model, train_in, train_class, test_in):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", ConvergenceWarning)  # 300 epochs, as FANN's
        return list(model.fit(train_in, train_class).predict(test_in))


def tarvex_classes(tarvex, folder, options, one_hot):
    path, seconds, note = tarvex.run(folder, options)
    if path is None:
        return (None, note), seconds
    with open(path) as f:
        lines = [line.split() for line in f if line.strip()]
    if one_hot:  # a regression on the one-hot columns: the class of the largest output
        return ([int(np.argmax([float(v) for v in line])) for line in lines], note), seconds
    # The label is the class's column number from 1.
    return ([int(line[0]) - 1 for line in lines], note), seconds


def run_fann_classes(fann_peer, train, test, hidden, momentum, folder):
    outputs, seconds = run_fann(fann_peer, train, test, hidden, 0.7, momentum, folder)
    return [int(np.argmax(row)) for row in outputs], seconds


def main(tarvex_path, fann_peer, scratch, extra):
    tarvex = Tarvex(tarvex_path, scratch)
    columns = [("tarvex", CLASSIFICATION, False), ("tarvex regression", REGRESSION, True)]
    columns += [(f"tarvex {options}", f"{CLASSIFICATION} {options}", False) for options in extra]
    print(f"load at start: {uptime()}")
    print(f"tarvex: {tarvex_path}; shortest processor time of {RUNS} run(s)")
    for name, options, _ in columns:
        print(f"  {name}: {options}")
    errors, times, notes, failures = [], [], [], []
    at_or_below, ran = [0] * len(columns), [0] * len(columns)
    for name in NAMES:
        train = os.path.join(SETS, "fann-classification", name + ".train")
        test = os.path.join(SETS, "fann-classification", name + ".test")
        folder, train_in, train_out, test_in, test_out = prepare_folder(scratch, name, train, test)
        x_train, x_test = np.array(train_in, dtype=float), np.array(test_in, dtype=float)
        y_train = np.argmax(np.array(train_out, dtype=float), axis=1)
        actual = list(np.argmax(np.array(test_out, dtype=float), axis=1))
        hidden = 2 * x_train.shape[1] + 2
        runs = {}
        for momentum, peer in ((0, PEERS[0]), (0.6, PEERS[1])):
            runs[peer] = shortest(
                lambda: run_fann_classes(fann_peer, train, test, hidden, momentum, folder))
        for solver, peer in (("sgd", PEERS[2]), ("adam", PEERS[3])):
            model = MLPClassifier(hidden_layer_sizes=(hidden,), solver=solver, max_iter=300,
                                  random_state=1)
            runs[peer] = shortest(lambda: in_process(
                lambda: sklearn_classes(model, x_train, y_train, x_test)))
        runs[PEERS[4]] = shortest(lambda: in_process(lambda: sklearn_classes(
            LogisticRegression(max_iter=1000), x_train, y_train, x_test)))
        for column, options, one_hot in columns:
            (predicted, note), seconds = shortest(
                lambda: tarvex_classes(tarvex, folder, options, one_hot))
            runs[column] = ((predicted, note), seconds)
            notes.append(f"{name}, {column}: {note}")

        def wrong(predicted):
            return sum(p != a for p, a in zip(predicted, actual))

        def percent(count):
            return f"{100 * count / len(actual):.2f}"

        # The error of always answering the training rows' most frequent class: what a model that
        # learned nothing gets.
        majority = wrong([np.bincount(y_train).argmax()] * len(actual))
        peer_wrong = {peer: wrong(runs[peer][0]) for peer in PEERS}
        best = min(PEERS, key=lambda peer: peer_wrong[peer])
        row, time_row = [name, percent(majority)], [name]
        for peer in PEERS:
            # A star: the peer gave every test row the same class.
            row.append(percent(peer_wrong[peer]) + ("*" if len(set(runs[peer][0])) == 1 else ""))
            time_row.append(seconds_text(runs[peer][1]))
            # Rows out of step or a wrong class order would land far above the majority's error.
            if name == "diabetes" and not 0.2 * len(actual) <= peer_wrong[peer] <= majority:
                failures.append(f"{peer} on diabetes: {percent(peer_wrong[peer])} % is outside "
                                f"20 % to the majority's {percent(majority)} %")
        verdicts = []
        for i, (column, _, _) in enumerate(columns):
            (predicted, note), seconds = runs[column]
            if predicted is None or len(predicted) != len(actual):
                row.append(note.split(";")[0] if predicted is None else "wrong row count")
                verdicts.append("-")
            else:
                row.append(percent(wrong(predicted)))
                verdicts.append("yes" if wrong(predicted) <= peer_wrong[best] else "no")
                at_or_below[i] += wrong(predicted) <= peer_wrong[best]
                ran[i] += 1
            time_row.append(seconds_text(seconds))
        errors.append(row + [best] + verdicts)
        times.append(time_row)
    names = [column for column, _, _ in columns]
    print("\nTest error, % of test rows (predicted class = argmax, or tarvex's label; * = one "
          "class for every row)")
    print_table(["set", "majority"] + PEERS + names + ["best peer"]
                + [f"{name} <= best" for name in names], errors)
    print("\nProcessor seconds per run (training and prediction; FANN and tarvex as programs "
          "that read and write files)")
    print_table(["set"] + PEERS + names, times)
    print("\nTarvex runs:")
    for note in notes:
        print(f"  {note}")
    for column, count, sets in zip(names, at_or_below, ran):
        print(f"{column}: at or below the best peer on {count} of the {sets} sets it ran on" if sets
              else f"{column}: ran on no set")
    print(f"load at end: {uptime()}")
    for failure in failures:
        print(f"self-check failed: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]))
