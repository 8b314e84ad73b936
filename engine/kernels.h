// The loops that carry nearly all of the engine's time: weighted sums and weight updates over
// row-major layers whose rows are padded with zero weights to a multiple of kLanes.
#pragma once

#include <cstddef>

namespace tarvex::engine {

// Every sum runs over kLanes interleaved partial sums that are added in one fixed order at the
// end. The order is fixed by this code, not by the compiler or the instruction set picked at
// run time, so wide and narrow vector code give the same bits.
inline constexpr std::size_t kLanes = 4;

constexpr std::size_t PaddedLength(std::size_t length) {
  return (length + kLanes - 1) / kLanes * kLanes;
}

// Partial sums of squares over every weight of a training step, and of the changes made to them.
struct SquareSums {
  double weights[kLanes] = {};
  double changes[kLanes] = {};

  double Weights() const { return (weights[0] + weights[1]) + (weights[2] + weights[3]); }
  double Changes() const { return (changes[0] + changes[1]) + (changes[2] + changes[3]); }
};

// sums[r] = (row r of weights) . inputs, for `rows` rows of `stride` weights.
void WeightedSums(const double* weights, std::size_t rows, std::size_t stride, const double* inputs,
                  double* sums);

// One online backpropagation step for a layer: for row r and column i,
//   change = (rate x deltas[r]) x inputs[i] + momentum x change;  weight += change,
// adding the squares of the new weights and of the changes to `squares`. When back_errors is not
// null it receives, for every column i, the sum over r of deltas[r] x weight before the update:
// the error that flows back to the layer below.
void UpdateLayer(double* weights, double* changes, std::size_t rows, std::size_t stride,
                 const double* inputs, const double* deltas, double rate, double momentum,
                 double* back_errors, SquareSums& squares);

}  // namespace tarvex::engine
