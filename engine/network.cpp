#include "engine/network.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

#include "engine/kernels.h"
#include "engine/lanes.h"
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
                 double initial_weights, std::int16_t activation_code,
                 OutputLayer output_layer)
    : output_layer_(output_layer),
      largest_weight_delta_(-std::numeric_limits<double>::infinity()) {
  Layers& n = layers_;
  n.inputs = CheckedCount(input_count, "input");
  n.hidden = CheckedCount(hidden_count, "hidden neuron");
  n.outputs = CheckedCount(output_count, "output neuron");
  n.hidden_stride = PaddedLength(n.hidden);
  n.output_stride = PaddedLength(n.hidden + 1);
  n.activations = ActivationsForCode(activation_code);
  const std::size_t hidden_weights = (n.inputs + 1) * n.hidden_stride;
  try {
    weights_.assign(hidden_weights + n.outputs * n.output_stride, 0.0);
    changes_.assign(weights_.size(), 0.0);
    query_inputs_.assign(n.inputs, 0.0);
    hidden_values_.assign(n.output_stride, 0.0);
    hidden_steps_.assign(n.hidden_stride, 0.0);
    outputs_.assign(n.outputs, 0.0);
    output_deltas_.assign(n.outputs, 0.0);
  } catch (const std::exception&) {  // std::bad_alloc, or std::length_error past max_size()
    throw std::runtime_error("Out of memory: a network of " + Plural(n.inputs, "input") + ", " +
                             Plural(n.hidden, "hidden neuron") + " and " +
                             Plural(n.outputs, "output neuron") + " does not fit");
  }
  // The constant input of the output biases; padding stays 0 and so do the weights that face it.
  hidden_values_[n.hidden] = 1.0;
  n.hidden_weights = weights_.data();
  n.hidden_changes = changes_.data();
  n.output_weights = weights_.data() + hidden_weights;
  n.output_changes = changes_.data() + hidden_weights;
  n.hidden_values = hidden_values_.data();
  n.hidden_steps = hidden_steps_.data();
  n.output_values = outputs_.data();
  n.output_deltas = output_deltas_.data();

  WeightGenerator generator;
  double weight_squares = 0.0;
  for (std::size_t j = 0; j < n.hidden; ++j) {
    for (std::size_t i = 0; i <= n.inputs; ++i) {
      double& w = HiddenWeight(j, i);
      w = generator.NextWeight(initial_weights);
      weight_squares += w * w;
    }
  }
  for (std::size_t k = 0; k < n.outputs; ++k) {
    for (std::size_t j = 0; j <= n.hidden; ++j) {
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
  CheckLength(inputs, layers_.inputs, "input value", "input");
  std::copy(inputs.begin(), inputs.end(), query_inputs_.begin());
}

void Network::ComputeOutputs() {
  if (IsClassifier()) {
    ClassForwardPass(layers_, query_inputs_.data());
  } else {
    ForwardPass(layers_, query_inputs_.data());
  }
  for (double output : Outputs()) {
    if (!std::isfinite(output)) {
      throw std::overflow_error("Overflow: an output of the network is not a finite number");
    }
  }
}

void Network::TrainSample(std::span<const double> inputs, std::span<const double> targets) {
  CheckLength(inputs, layers_.inputs, "input value", "input");
  CheckLength(targets, layers_.outputs, "target value", "output");
  if (IsClassifier()) {
    throw std::logic_error("A classifier is trained by TrainClassSample");
  }
  AfterStep(TrainStep(layers_, inputs.data(), targets.data(), learning_rate_, momentum_));
}

void Network::TrainClassSample(std::span<const double> inputs, std::span<const double> targets,
                               double sample_weight) {
  CheckLength(inputs, layers_.inputs, "input value", "input");
  CheckLength(targets, layers_.outputs, "target value", "output");
  if (!IsClassifier()) {
    throw std::logic_error("A regression network is trained by TrainSample");
  }
  AfterStep(ClassTrainStep(layers_, inputs.data(), targets.data(), learning_rate_, momentum_,
                           CheckedRate(sample_weight, "sample weight")));
}

void Network::AfterStep(const SquareSums& squares) {
  // The sums of squares are needed for the weight delta anyway; a weight that is inf or NaN, or
  // so large that its square overflows, shows up in them at no extra cost.
  if (!std::isfinite(squares.weights) || !std::isfinite(squares.changes)) {
    throw std::overflow_error(
        "Overflow: the network's weights are no longer finite numbers (training diverged; a "
        "smaller learning rate may help)");
  }
  last_weight_delta_ = squares.weights > 0.0
                           ? 100.0 * (std::sqrt(squares.changes) / std::sqrt(squares.weights))
                           : 0.0;
  largest_weight_delta_ = std::max(largest_weight_delta_, last_weight_delta_);
}

bool Network::IsTargetReached(double target_percent) {
  const bool reached = !(largest_weight_delta_ > target_percent);
  largest_weight_delta_ = -std::numeric_limits<double>::infinity();
  return reached;
}

std::size_t Network::WeightCount() const {
  return layers_.hidden * (layers_.inputs + 1) + layers_.outputs * (layers_.hidden + 1);
}

double* Network::HiddenSlot(std::size_t neuron, std::size_t from) const {
  return layers_.hidden_weights + from * layers_.hidden_stride + neuron;
}

double* Network::OutputSlot(std::size_t neuron, std::size_t from) const {
  return layers_.output_weights + neuron * layers_.output_stride + from;
}

void Network::CopyWeights(std::span<double> weights) const {
  CheckLength(weights, WeightCount(), "weight", "weight");
  double* next = weights.data();
  for (std::size_t j = 0; j < layers_.hidden; ++j) {
    for (std::size_t i = 0; i <= layers_.inputs; ++i) *next++ = *HiddenSlot(j, i);
  }
  for (std::size_t k = 0; k < layers_.outputs; ++k) {
    next = std::copy_n(OutputSlot(k, 0), layers_.hidden + 1, next);
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
  for (std::size_t j = 0; j < layers_.hidden; ++j) {
    for (std::size_t i = 0; i <= layers_.inputs; ++i) *HiddenSlot(j, i) = *next++;
  }
  for (std::size_t k = 0; k < layers_.outputs; ++k) {
    std::copy_n(next, layers_.hidden + 1, OutputSlot(k, 0));
    next += layers_.hidden + 1;
  }
  std::fill(changes_.begin(), changes_.end(), 0.0);
}

double& Network::HiddenWeight(std::size_t neuron, std::size_t from) {
  if (neuron >= layers_.hidden || from > layers_.inputs) {
    throw std::out_of_range("Subscript out of range: no hidden weight " + std::to_string(neuron) +
                            ", " + std::to_string(from));
  }
  return *HiddenSlot(neuron, from);
}

double& Network::OutputWeight(std::size_t neuron, std::size_t from) {
  if (neuron >= layers_.outputs || from > layers_.hidden) {
    throw std::out_of_range("Subscript out of range: no output weight " + std::to_string(neuron) +
                            ", " + std::to_string(from));
  }
  return *OutputSlot(neuron, from);
}

}  // namespace tarvex::engine
