#include "engine/network.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

#include "engine/kernels.h"
#include "engine/weight_generator.h"

namespace tarvex::engine {

namespace {

std::size_t CheckedCount(std::int32_t count, const char* what) {
  if (count < 1) {
    throw std::invalid_argument("The network needs at least one " + std::string(what) + "; " +
                                std::to_string(count) + " was given");
  }
  return static_cast<std::size_t>(count);
}

std::string Plural(std::size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// Callers know "Subscript out of range" from every other index error of the product.
void CheckLength(std::span<const double> values, std::size_t expected, const char* what,
                 const char* noun) {
  if (values.size() != expected) {
    throw std::out_of_range("Subscript out of range: " + Plural(values.size(), what) +
                            " given to a network with " + Plural(expected, noun));
  }
}

double CheckedRate(double value, const char* what) {
  if (!std::isfinite(value)) {
    throw std::invalid_argument("The " + std::string(what) + " must be a finite number");
  }
  return value;
}

}  // namespace

Network::Network(std::int32_t input_count, std::int32_t hidden_count, std::int32_t output_count,
                 double initial_weights, std::int16_t activation_code)
    : input_count_(CheckedCount(input_count, "input")),
      hidden_count_(CheckedCount(hidden_count, "hidden neuron")),
      output_count_(CheckedCount(output_count, "output neuron")),
      input_stride_(PaddedLength(input_count_ + 1)),
      hidden_stride_(PaddedLength(hidden_count_ + 1)),
      activations_(ActivationsForCode(activation_code)),
      largest_weight_delta_(-std::numeric_limits<double>::infinity()) {
  const std::size_t weight_count = hidden_count_ * input_stride_ + output_count_ * hidden_stride_;
  try {
    weights_.assign(weight_count, 0.0);
    changes_.assign(weight_count, 0.0);
    query_inputs_.assign(input_stride_, 0.0);
    train_inputs_.assign(input_stride_, 0.0);
    hidden_.assign(hidden_stride_, 0.0);
    hidden_errors_.assign(hidden_stride_, 0.0);
    outputs_.assign(output_count_, 0.0);
    output_deltas_.assign(output_count_, 0.0);
  } catch (const std::exception&) {  // std::bad_alloc, or std::length_error past max_size()
    throw std::runtime_error("Out of memory: a network of " + Plural(input_count_, "input") + ", " +
                             Plural(hidden_count_, "hidden neuron") + " and " +
                             Plural(output_count_, "output neuron") + " does not fit");
  }
  // The constant inputs of the biases; padding stays 0 and so do the weights that face it.
  query_inputs_[input_count_] = 1.0;
  train_inputs_[input_count_] = 1.0;
  hidden_[hidden_count_] = 1.0;

  WeightGenerator generator;
  double weight_squares = 0.0;
  for (std::size_t j = 0; j < hidden_count_; ++j) {
    for (std::size_t i = 0; i <= input_count_; ++i) {
      double& w = HiddenWeight(j, i);
      w = generator.NextWeight(initial_weights);
      weight_squares += w * w;
    }
  }
  for (std::size_t k = 0; k < output_count_; ++k) {
    for (std::size_t j = 0; j <= hidden_count_; ++j) {
      double& w = OutputWeight(k, j);
      w = generator.NextWeight(initial_weights);
      weight_squares += w * w;
    }
  }
  if (!std::isfinite(weight_squares)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Overflow: initial weights of up to %g are too large for the network's "
                  "arithmetic",
                  initial_weights);
    throw std::overflow_error(text);
  }
}

void Network::SetLearningRate(double learning_rate) {
  learning_rate_ = CheckedRate(learning_rate, "learning rate");
}

void Network::SetMomentum(double momentum) { momentum_ = CheckedRate(momentum, "momentum"); }

void Network::SetInputs(std::span<const double> inputs) {
  CheckLength(inputs, input_count_, "input value", "input");
  std::copy(inputs.begin(), inputs.end(), query_inputs_.begin());
}

void Network::ComputeOutputs() {
  ForwardPass(query_inputs_.data());
  for (double output : Outputs()) {
    if (!std::isfinite(output)) {
      throw std::overflow_error("Overflow: an output of the network is not a finite number");
    }
  }
}

void Network::ForwardPass(const double* inputs) {
  WeightedSums(weights_.data(), hidden_count_, input_stride_, inputs, hidden_.data());
  Activate(activations_.hidden, hidden_.data(), hidden_count_);
  WeightedSums(weights_.data() + hidden_count_ * input_stride_, output_count_, hidden_stride_,
               hidden_.data(), outputs_.data());
  Activate(activations_.output, outputs_.data(), output_count_);
}

void Network::TrainSample(std::span<const double> inputs, std::span<const double> targets) {
  CheckLength(inputs, input_count_, "input value", "input");
  CheckLength(targets, output_count_, "target value", "output");
  std::copy(inputs.begin(), inputs.end(), train_inputs_.begin());
  ForwardPass(train_inputs_.data());

  // E = 1/2 sum (t - y)^2, so -dE/dy = t - y.
  for (std::size_t k = 0; k < output_count_; ++k) output_deltas_[k] = targets[k] - outputs_[k];
  ScaleByDerivative(activations_.output, outputs_.data(), output_deltas_.data(), output_count_);

  // The output layer goes first and hands back the errors of the hidden neurons, taken from its
  // weights before they change.
  SquareSums squares;
  double* hidden_weights = weights_.data();
  double* output_weights = hidden_weights + hidden_count_ * input_stride_;
  double* hidden_changes = changes_.data();
  double* output_changes = hidden_changes + hidden_count_ * input_stride_;
  UpdateLayer(output_weights, output_changes, output_count_, hidden_stride_, hidden_.data(),
              output_deltas_.data(), learning_rate_, momentum_, hidden_errors_.data(), squares);
  ScaleByDerivative(activations_.hidden, hidden_.data(), hidden_errors_.data(), hidden_count_);
  UpdateLayer(hidden_weights, hidden_changes, hidden_count_, input_stride_, train_inputs_.data(),
              hidden_errors_.data(), learning_rate_, momentum_, nullptr, squares);

  // The sums of squares are needed for the weight delta anyway; a weight that is inf or NaN, or
  // so large that its square overflows, shows up in them at no extra cost.
  const double weight_squares = squares.Weights();
  const double change_squares = squares.Changes();
  if (!std::isfinite(weight_squares) || !std::isfinite(change_squares)) {
    throw std::overflow_error(
        "Overflow: the network's weights are no longer finite numbers (training diverged; a "
        "smaller learning rate may help)");
  }
  last_weight_delta_ =
      weight_squares > 0.0 ? 100.0 * (std::sqrt(change_squares) / std::sqrt(weight_squares)) : 0.0;
  largest_weight_delta_ = std::max(largest_weight_delta_, last_weight_delta_);
}

bool Network::IsTargetReached(double target_percent) {
  const bool reached = !(largest_weight_delta_ > target_percent);
  largest_weight_delta_ = -std::numeric_limits<double>::infinity();
  return reached;
}

std::size_t Network::WeightCount() const {
  return hidden_count_ * (input_count_ + 1) + output_count_ * (hidden_count_ + 1);
}

void Network::CopyWeights(std::span<double> weights) const {
  CheckLength(weights, WeightCount(), "weight", "weight");
  // The rows are padded; only the leading input_count + 1 (or hidden_count + 1) are weights.
  double* next = weights.data();
  const double* hidden_rows = weights_.data();
  for (std::size_t j = 0; j < hidden_count_; ++j) {
    next = std::copy_n(hidden_rows + j * input_stride_, input_count_ + 1, next);
  }
  const double* output_rows = hidden_rows + hidden_count_ * input_stride_;
  for (std::size_t k = 0; k < output_count_; ++k) {
    next = std::copy_n(output_rows + k * hidden_stride_, hidden_count_ + 1, next);
  }
}

void Network::SetWeights(std::span<const double> weights) {
  CheckLength(weights, WeightCount(), "weight", "weight");
  for (std::size_t index = 0; index < weights.size(); ++index) {
    if (!std::isfinite(weights[index])) {
      throw std::invalid_argument("Weight " + std::to_string(index) +
                                  " of the network is not a finite number");
    }
  }
  const double* next = weights.data();
  double* hidden_rows = weights_.data();
  for (std::size_t j = 0; j < hidden_count_; ++j) {
    std::copy_n(next, input_count_ + 1, hidden_rows + j * input_stride_);
    next += input_count_ + 1;
  }
  double* output_rows = hidden_rows + hidden_count_ * input_stride_;
  for (std::size_t k = 0; k < output_count_; ++k) {
    std::copy_n(next, hidden_count_ + 1, output_rows + k * hidden_stride_);
    next += hidden_count_ + 1;
  }
  std::fill(changes_.begin(), changes_.end(), 0.0);
}

double& Network::HiddenWeight(std::size_t neuron, std::size_t from) {
  if (neuron >= hidden_count_ || from > input_count_) {
    throw std::out_of_range("Subscript out of range: no hidden weight " + std::to_string(neuron) +
                            ", " + std::to_string(from));
  }
  return weights_[neuron * input_stride_ + from];
}

double& Network::OutputWeight(std::size_t neuron, std::size_t from) {
  if (neuron >= output_count_ || from > hidden_count_) {
    throw std::out_of_range("Subscript out of range: no output weight " + std::to_string(neuron) +
                            ", " + std::to_string(from));
  }
  return weights_[hidden_count_ * input_stride_ + neuron * hidden_stride_ + from];
}

}  // namespace tarvex::engine
