# Computes a classifier's figures with scikit-learn's metrics from the labels and probabilities
# that Tarvex wrote (label, then one probability per class) and the actual labels, and compares
# them with the run summary's metrics to 1e-12. Checks that every row's probabilities sum to 1
# and that the written label is the most probable class. Prints the rows checked; an assertion
# names the first figure that differs.
import csv
import json
import sys

import numpy as np
from sklearn import metrics

summary_path, key, predicted_path, actual_path, column = sys.argv[1:6]
summary = json.load(open(summary_path))
classes = summary["classification"]["classes"]
figures = summary["metrics"][key]
written = list(csv.reader(open(predicted_path, newline="")))
labels = [row[0] for row in written]
probabilities = np.array([[float(v) for v in row[1:]] for row in written])
actual = [row[column] for row in csv.DictReader(open(actual_path, newline=""))]
assert len(actual) == len(labels), (len(actual), len(labels))
assert probabilities.shape[1] == len(classes)
assert np.all(np.abs(probabilities.sum(axis=1) - 1) <= 1e-12), "probabilities do not sum to 1"
assert labels == [classes[i] for i in probabilities.argmax(axis=1)], "label is not the most probable"

index = [classes.index(a) for a in actual]
predicted = [classes.index(p) for p in labels]
order = list(range(len(classes)))


def close(name, expected, computed):
    assert abs(expected - computed) <= 1e-12, (name, expected, computed)


close("accuracy", figures["accuracy"], metrics.accuracy_score(index, predicted))
close("balanced_accuracy", figures["balanced_accuracy"], metrics.balanced_accuracy_score(index, predicted))
close("log_loss", figures["log_loss"], metrics.log_loss(index, probabilities, labels=order))
close("macro_f1", figures["macro_f1"], metrics.f1_score(index, predicted, average="macro"))
close("kappa", figures["kappa"], metrics.cohen_kappa_score(index, predicted))
if len(classes) == 2:
    auc = metrics.roc_auc_score(index, probabilities[:, 1])
else:
    auc = metrics.roc_auc_score(index, probabilities, multi_class="ovr", labels=order)
close("auc", figures["auc"], auc)
assert figures["confusion"] == metrics.confusion_matrix(index, predicted, labels=order).tolist()
precision, recall, f1, support = metrics.precision_recall_fscore_support(
    index, predicted, labels=order, zero_division=0)
for k, entry in enumerate(figures["classes"]):
    assert entry["label"] == classes[k]
    close("precision", entry["precision"], precision[k])
    close("recall", entry["recall"], recall[k])
    close("f1", entry["f1"], f1[k])
    assert entry["support"] == support[k]
print(len(labels))
