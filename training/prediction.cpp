#include "training/prediction.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "job/class_list.h"

namespace tarvex::training {

using job::Failure;
using job::Index;
using job::JobSettings;

namespace {

// A diverged network must not be reported as trained.
double FiniteOutput(double output) {
  if (!std::isfinite(output)) {
    throw Failure(std::string(job::kOverflow) + ": the network's outputs are not finite numbers");
  }
  return output;
}

}  // namespace

double SummingUnit(double magnitude) {
  magnitude = std::fabs(magnitude);
  constexpr double kOrdinaryLow = 0x1p-300, kOrdinaryHigh = 0x1p300;
  if (!std::isfinite(magnitude) || magnitude == 0 ||
      (magnitude >= kOrdinaryLow && magnitude <= kOrdinaryHigh)) {
    return 1;
  }
  // Within the exponents whose reciprocal is a normal number too.
  return std::ldexp(1.0, std::clamp(std::ilogb(magnitude), -1020, 1020));
}

OutputMapping::OutputMapping(const JobSettings& job)
    : OutputMapping(job.ScaleLow, job.ScaleHigh, job.TrainingOutputMin, job.TrainingOutputMax) {}

OutputMapping::OutputMapping(double scale_low, double scale_high,
                             const job::BoundedVector& output_min,
                             const job::BoundedVector& output_max) {
  for (Index column = output_max.Low(); column <= output_max.High(); ++column) {
    const double maximum = output_max.At(column), minimum = output_min.At(column);
    columns_.emplace_back(scale_low, scale_high, maximum, minimum);
    const double unit = SummingUnit(std::max(std::fabs(maximum), std::fabs(minimum)));
    units_.push_back(unit);
    ranges_.push_back(std::fabs(maximum / unit - minimum / unit));
  }
}

void OutputMapping::Map(std::span<const double> outputs, std::span<double> values) const {
  if (outputs.size() > columns_.size() || values.size() < outputs.size()) {
    throw Failure(job::kSubscriptOutOfRange);
  }
  // The k-th output goes to the k-th output column, whatever bounds the engine's vector has.
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    const double value = columns_[k].Unchecked(FiniteOutput(outputs[k]));
    if (!std::isfinite(value)) throw Failure(job::kOverflow);
    values[k] = value;
  }
}

void PredictRows(JobSettings& job, NetworkEngine& engine, job::BoundedVector& prediction_row) {
  const job::DataMatrix& prediction_inputs = job.PredictionInputs;
  const OutputMapping mapping(job);
  const bool classifier = job::IsClassification(job);
  for (Index row = prediction_inputs.RowLow(); row <= prediction_inputs.RowHigh(); ++row) {
    for (Index column = prediction_inputs.ColumnLow(); column <= prediction_inputs.ColumnHigh();
         ++column) {
      prediction_row.At(column) = prediction_inputs.At(row, column);
    }
    engine.SetInputs(prediction_row.Values());
    engine.ComputeOutputs();
    if (classifier) {
      // A classifier's outputs are the class probabilities themselves.
      const std::span<const double> probabilities = engine.GetOutputs();
      std::copy(probabilities.begin(), probabilities.end(), job.PredictionOutputs.Row(row).begin());
    } else {
      mapping.Map(engine.GetOutputs(), job.PredictionOutputs.Row(row));
    }
  }
}

void PredictValues(NetworkEngine& engine, std::span<const double> inputs,
                   const OutputMapping& mapping, std::span<double> values) {
  engine.SetInputs(inputs);
  engine.ComputeOutputs();
  mapping.Map(engine.GetOutputs(), values);
}

}  // namespace tarvex::training
