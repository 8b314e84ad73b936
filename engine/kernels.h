// The loops that carry nearly all of the engine's time: a forward pass, and a whole training step
// (forward pass, backpropagation, both layers' updates) compiled as one piece per instruction set.
#pragma once

#include <cstddef>

#include "engine/activation.h"

namespace tarvex::engine {

// Both run with subnormal numbers flushed to zero (see kernels.cpp) and restore the caller's mode.

// A network's arrays as the loops see them. Lanes always run over the neurons that a row feeds,
// so no sum except the output layer's weighted sum (a fixed tree) runs across lanes. Padding
// weights and padding lanes stay 0.
struct Layers {
  std::size_t inputs;
  std::size_t hidden;
  std::size_t outputs;
  std::size_t hidden_stride;  // PaddedLength(hidden): one lane per hidden neuron
  std::size_t output_stride;  // PaddedLength(hidden + 1): the hidden neurons, the bias, padding
  LayerActivations activations;
  // inputs + 1 rows of hidden_stride: row i holds the weights from input i into every hidden
  // neuron, the last row the hidden neurons' biases.
  double* hidden_weights;
  double* hidden_changes;
  // outputs rows of output_stride: row k holds the weights from the hidden neurons into output k,
  // then its bias.
  double* output_weights;
  double* output_changes;
  double* hidden_values;  // output_stride: the hidden neurons' outputs, then 1 (the bias), then 0
  double* hidden_steps;   // hidden_stride: learning rate x delta of each hidden neuron
  double* output_values;  // outputs
  double* output_deltas;  // outputs
  // The caller's floating-point mode at the last call and the loops' form of it (kernels.cpp);
  // the loops keep it up to date through a const Layers&.
  struct FloatingPointModes {
    unsigned caller = 0;
    unsigned loops = 0;
  };
  mutable FloatingPointModes modes;
};

// The sums of squares over every weight after a training step, and over the changes it made.
struct SquareSums {
  double weights;
  double changes;
};

// Fills hidden_values and output_values from inputs[0 .. inputs).
void ForwardPass(const Layers& layers, const double* inputs);

// One online backpropagation step on the squared error of one sample: the forward pass, then for
// every weight change = (rate x delta) x input + momentum x change; weight += change.
SquareSums TrainStep(const Layers& layers, const double* inputs, const double* targets, double rate,
                     double momentum);

// The same for a softmax output layer, whatever the output activation says: output k is
// e^z_k / sum of e^z over the outputs, z_k the weighted sum of output k.
void ClassForwardPass(const Layers& layers, const double* inputs);

// One step on the cross-entropy of one sample weighted by sample_weight,
// E = -sample_weight x sum t_k ln p_k, of softmax outputs p: the output deltas are
// sample_weight x (t_k - p_k), the rest as TrainStep.
SquareSums ClassTrainStep(const Layers& layers, const double* inputs, const double* targets,
                          double rate, double momentum, double sample_weight);

}  // namespace tarvex::engine
