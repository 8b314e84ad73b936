# Recomputes the cases of class_figures_test with scikit-learn's metrics functions and compares
# them with Tarvex's figures to 1e-12 (relative; absolute below 1). The predicted class is numpy's
# argmax (ties to the first); a figure that scikit-learn leaves undefined (it raises, or gives
# NaN) must have no value. Prints the largest difference per figure and the number of cases;
# exits 1 naming the first figure that differs.
import json
import math
import sys
import warnings

import numpy as np
from sklearn import metrics
from sklearn.calibration import calibration_curve
from sklearn.dummy import DummyClassifier

largest = {}


def defined(compute):
    try:
        value = float(compute())
    except ValueError:
        return None
    return None if math.isnan(value) else value


def compare(where, name, ours, theirs):
    if ours is None or theirs is None:
        difference = 0.0 if ours is None and theirs is None else math.inf
    else:
        o, t = np.array(ours, dtype=float), np.array(theirs, dtype=float)
        difference = math.inf if o.shape != t.shape else float(
            np.max(np.abs(o - t) / np.maximum(1, np.abs(t)), initial=0))
    largest[name] = max(largest.get(name, 0.0), difference)
    if difference > 1e-12:
        sys.exit(f"{where} {name}: Tarvex {ours}, scikit-learn {theirs}")


def check(where, k_count, y, p, ours):
    (rows, accuracy, error, majority, balanced, log_loss, macro_f1, kappa, auc, confusion,
     classes) = ours
    predicted, labels = p.argmax(axis=1), list(range(k_count))
    compare(where, "rows", rows, len(y))
    compare(where, "accuracy", accuracy, metrics.accuracy_score(y, predicted))
    compare(where, "error rate", error, 1 - metrics.accuracy_score(y, predicted))
    x = np.zeros((len(y), 1))
    compare(where, "majority error rate", majority,
            1 - DummyClassifier(strategy="most_frequent").fit(x, y).score(x, y))
    compare(where, "balanced accuracy", balanced, metrics.balanced_accuracy_score(y, predicted))
    compare(where, "log loss", log_loss, metrics.log_loss(y, p, labels=labels))
    compare(where, "macro F1", macro_f1,
            metrics.f1_score(y, predicted, average="macro", zero_division=0))
    compare(where, "kappa", kappa, defined(lambda: metrics.cohen_kappa_score(y, predicted)))
    compare(where, "confusion", confusion, metrics.confusion_matrix(y, predicted, labels=labels))
    compare(where, "precision, recall, F1, support", [c[:4] for c in classes], np.transpose(
        metrics.precision_recall_fscore_support(y, predicted, labels=labels, zero_division=0)))
    class_aucs = []
    for k, (*_, class_auc, roc, bins) in enumerate(classes):
        at, positive = f"{where} class {k}", y == k
        theirs = defined(lambda: metrics.roc_auc_score(positive, p[:, k]))
        compare(at, "class AUC", class_auc, theirs)
        compare(at, "ROC curve", roc or None, None if theirs is None else
                np.transpose(metrics.roc_curve(positive, p[:, k])[:2]))
        class_aucs += [] if theirs is None else [theirs]
        # calibration_curve's own binning gives the edges and rows of the bins that hold rows
        edges = np.linspace(0.0, 1.0, 11)
        counts = np.bincount(np.searchsorted(edges[1:-1], p[:, k]), minlength=10)
        held = np.flatnonzero(counts)
        observed, mean = calibration_curve(positive, p[:, k], n_bins=10, pos_label=True)
        compare(at, "reliability", bins,
                np.transpose([edges[held], edges[held + 1], counts[held], mean, observed]))
    if k_count == 2:
        theirs = defined(lambda: metrics.roc_auc_score(y, p[:, 1]))
    elif len(set(y.tolist())) == k_count:
        theirs = metrics.roc_auc_score(y, p, multi_class="ovr", average="macro", labels=labels)
    else:  # scikit-learn refuses; the mean of the classes that have an AUC
        theirs = float(np.mean(class_aucs)) if class_aucs else None
    compare(where, "AUC", auc, theirs)


warnings.simplefilter("ignore")
cases = json.load(open(sys.argv[1]))
for number, (k_count, actual, probabilities, ours) in enumerate(cases):
    y = np.array(actual)
    check(f"case {number} ({k_count} classes, {len(y)} rows)", k_count, y,
          np.array(probabilities).reshape(len(y), k_count), ours)
for name in sorted(largest):
    print(f"{name}: largest difference {largest[name]:.3g}")
print(f"{len(cases)} cases agree")
