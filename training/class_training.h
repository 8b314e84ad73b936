// What a classifier's training needs beside the regression's: the class of each one-hot row, the
// weight of each row, the log loss and error rate summed over rows, and the figures of a network
// on labelled rows.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "job/class_results.h"
#include "job/data_matrix.h"
#include "training/network_engine.h"

namespace tarvex::training {

// The class of each row of one-hot targets (the column of its 1), in row order.
std::vector<std::int32_t> ClassesOfRows(const job::DataMatrix& one_hot);

// The weight of each row: that of its class, or 1 for every row where class_weights is empty.
std::vector<double> RowWeights(std::span<const std::int32_t> classes,
                               std::span<const double> class_weights);

// Log loss and wrong rows, added row by row in row order, so that the curve and the figures
// agree to the bit.
class ClassErrorSums {
 public:
  void Clear() { *this = {}; }
  void Add(std::span<const double> probabilities, std::int32_t actual);
  // Predicts every row of inputs with the network in engine and adds it.
  void AddPredictions(NetworkEngine& engine, const job::DataMatrix& inputs,
                      std::span<const std::int32_t> actual);
  double LogLossSum() const { return log_loss_; }
  double LogLoss() const { return rows_ > 0 ? log_loss_ / static_cast<double>(rows_) : 0; }
  double ErrorRate() const {
    return rows_ > 0 ? static_cast<double>(wrong_) / static_cast<double>(rows_) : 0;
  }

 private:
  double log_loss_ = 0;
  std::int64_t wrong_ = 0, rows_ = 0;
};

// The figures of the network in engine on rows of scaled inputs and one-hot actual classes; the
// probabilities behind them are kept where probabilities is given (a row per row, from 0).
job::ClassificationFigures ClassifierFigures(NetworkEngine& engine, const job::DataMatrix& inputs,
                                             const job::DataMatrix& one_hot,
                                             job::DataMatrix* probabilities = nullptr);

}  // namespace tarvex::training
