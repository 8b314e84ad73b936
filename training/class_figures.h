// The figures of a classifier on labelled rows, computed once from the actual class and the
// predicted probabilities of each row and handed to every writer. They are the figures of
// scikit-learn's metrics functions with their defaults (unweighted, zero_division=0).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "job/class_results.h"

namespace tarvex::training {

using job::ClassFigures;
using job::ClassificationFigures;
using job::kLogLossFloor;
using job::kReliabilityBins;
using job::ReliabilityBin;
using job::RocPoint;

// The predicted class of a row of probabilities: the most probable, ties to the first.
int MostProbableClass(std::span<const double> probabilities);

// A row's share of the log loss, given its probability of its actual class.
double RowLogLoss(double probability_of_actual);

// The figures of rows whose actual classes are 0 .. classes - 1 and whose probabilities are
// given row by row, classes per row (each row summing to 1). Needs at least one row and two
// classes; throws job::Failure (subscript out of range) on a class or a count that does not fit,
// and on a probability outside [0, 1]. O(classes x rows x log rows).
ClassificationFigures ComputeClassificationFigures(std::span<const int> actual,
                                                   std::span<const double> probabilities,
                                                   int classes);

}  // namespace tarvex::training
