#include "engine/kernels.h"

#include <xmmintrin.h>

#include "engine/activation_lanes.h"

namespace tarvex::engine {

namespace {

// Hidden-layer vectors per block: each block's sums run in a few independent chains that fit
// the registers of every instruction set. The forward pass takes the blocks in ascending order
// and the update in descending order, so each starts on the rows the other touched last, while
// they are still in the first-level cache.
constexpr std::size_t kBlock = 2;

// The lanes of the hidden vector that holds the last neurons, from lane `neurons` on: 1 for the
// bias, then 0. Where the neurons fill their last vector, the bias sits in a vector of its own
// that the loops never write.
template <typename V>
[[gnu::always_inline]] inline V WithBiasLanes(V values, std::size_t neurons) {
  const V lane = LaneNumbers<V>();
  const V first_free = V{} + static_cast<double>(neurons);
  return Select(lane < first_free, values, Select(lane == first_free, V{} + 1.0, V{}));
}

template <typename V>
[[gnu::always_inline]] inline V NeuronLanesOnly(V values, std::size_t neurons) {
  return Select(LaneNumbers<V>() < V{} + static_cast<double>(neurons), values, V{});
}

// The weighted sums and outputs of kCount vectors of hidden neurons from vector `first` on:
// biases and even inputs in one sum, odd inputs in another, each in ascending order.
template <typename V, std::size_t kCount>
[[gnu::always_inline]] inline void HiddenBlock(const Layers& n, const double* inputs,
                                               std::size_t first) {
  const std::size_t stride = n.hidden_stride;
  const double* column = n.hidden_weights + first * kLanes;
  V even[kCount];
  V odd[kCount];
#pragma GCC unroll 2
  for (std::size_t v = 0; v < kCount; ++v) {
    even[v] = Load<V>(column + n.inputs * stride + v * kLanes);
    odd[v] = V{};
  }
  std::size_t i = 0;
  for (; i + 2 <= n.inputs; i += 2) {
    const double a = inputs[i];
    const double b = inputs[i + 1];
    const double* row = column + i * stride;
#pragma GCC unroll 2
    for (std::size_t v = 0; v < kCount; ++v) {
      even[v] += Load<V>(row + v * kLanes) * a;
      odd[v] += Load<V>(row + stride + v * kLanes) * b;
    }
  }
  if (i < n.inputs) {
    const double a = inputs[i];
#pragma GCC unroll 2
    for (std::size_t v = 0; v < kCount; ++v)
      even[v] += Load<V>(column + i * stride + v * kLanes) * a;
  }
#pragma GCC unroll 2
  for (std::size_t v = 0; v < kCount; ++v) {
    V values = Activated(n.activations.hidden, even[v] + odd[v]);
    if (first + v == n.hidden / kLanes) values = WithBiasLanes(values, n.hidden % kLanes);
    Store(n.hidden_values + (first + v) * kLanes, values);
  }
}

// Output k's weighted sum: even vectors in one sum, odd ones in another, then the lanes.
template <typename V>
[[gnu::always_inline]] inline double OutputSum(const Layers& n, std::size_t k) {
  const std::size_t vectors = n.output_stride / kLanes;
  const double* row = n.output_weights + k * n.output_stride;
  const double* hidden = n.hidden_values;
  V even = Load<V>(row) * Load<V>(hidden);
  V odd = vectors > 1 ? Load<V>(row + kLanes) * Load<V>(hidden + kLanes) : V{};
  std::size_t u = 2;
  for (; u + 2 <= vectors; u += 2) {
    even += Load<V>(row + u * kLanes) * Load<V>(hidden + u * kLanes);
    odd += Load<V>(row + (u + 1) * kLanes) * Load<V>(hidden + (u + 1) * kLanes);
  }
  if (u < vectors) even += Load<V>(row + u * kLanes) * Load<V>(hidden + u * kLanes);
  return Total(even + odd);
}

template <typename V>
[[gnu::always_inline]] inline void HiddenForward(const Layers& n, const double* inputs) {
  const std::size_t vectors = n.hidden_stride / kLanes;
  std::size_t v = 0;
  for (; v + kBlock <= vectors; v += kBlock) HiddenBlock<V, kBlock>(n, inputs, v);
  if (v < vectors) HiddenBlock<V, 1>(n, inputs, v);
}

// values[k] = e^(values[k] - max) / sum over the classes: the largest term is 1, so the sum
// neither overflows nor vanishes. A NaN sum stays NaN, so a broken network still shows as one.
[[gnu::always_inline]] inline void Softmax(double* values, std::size_t count) {
  double largest = values[0];
  for (std::size_t k = 1; k < count; ++k) {
    if (!(values[k] <= largest)) largest = values[k];
  }
  double sum = 0.0;
  for (std::size_t k = 0; k < count; ++k) {
    const double term = Exp(Clamped(values[k] - largest, kExpLowest, 0.0));
    values[k] = term;
    sum += term;
  }
  for (std::size_t k = 0; k < count; ++k) values[k] /= sum;
}

template <typename V, bool kSoftmax>
[[gnu::always_inline]] inline void Forward(const Layers& n, const double* inputs) {
  HiddenForward<V>(n, inputs);
  if constexpr (kSoftmax) {
    for (std::size_t k = 0; k < n.outputs; ++k) n.output_values[k] = OutputSum<V>(n, k);
    Softmax(n.output_values, n.outputs);
  } else {
    for (std::size_t k = 0; k < n.outputs; ++k) {
      n.output_values[k] = Activated(n.activations.output, OutputSum<V>(n, k));
    }
  }
}

// Column u of the output layer: the steps of the hidden neurons there, taken from the weights
// before they change, then the update of every output's weights there.
template <typename V>
[[gnu::always_inline]] inline void UpdateOutputColumn(const Layers& n, std::size_t u,
                                                      double first_delta, double rate, double keep,
                                                      V& weight_squares, V& change_squares) {
  const std::size_t column = u * kLanes;
  const V hidden = Load<V>(n.hidden_values + column);
  if (column < n.hidden_stride) {
    V error = first_delta * Load<V>(n.output_weights + column);
    for (std::size_t k = 1; k < n.outputs; ++k) {
      error += n.output_deltas[k] * Load<V>(n.output_weights + k * n.output_stride + column);
    }
    V delta = error * Derivative(n.activations.hidden, hidden);
    if (u == n.hidden / kLanes) delta = NeuronLanesOnly(delta, n.hidden % kLanes);
    Store(n.hidden_steps + column, rate * delta);
  }
  for (std::size_t k = 0; k < n.outputs; ++k) {
    const std::size_t at = k * n.output_stride + column;
    const double step = rate * (k == 0 ? first_delta : n.output_deltas[k]);
    const V change = step * hidden + keep * Load<V>(n.output_changes + at);
    const V updated = Load<V>(n.output_weights + at) + change;
    Store(n.output_changes + at, change);
    Store(n.output_weights + at, updated);
    change_squares += change * change;
    weight_squares += updated * updated;
  }
}

// The output layer's update, even columns' squares in one sum and odd ones' in another.
template <typename V>
[[gnu::always_inline]] inline void UpdateOutputLayer(const Layers& n, double first_delta,
                                                     double rate, double keep, V& weight_squares,
                                                     V& change_squares) {
  const std::size_t vectors = n.output_stride / kLanes;
  V even_weights = {}, even_changes = {}, odd_weights = {}, odd_changes = {};
  std::size_t u = 0;
  for (; u + 2 <= vectors; u += 2) {
    UpdateOutputColumn<V>(n, u, first_delta, rate, keep, even_weights, even_changes);
    UpdateOutputColumn<V>(n, u + 1, first_delta, rate, keep, odd_weights, odd_changes);
  }
  if (u < vectors) UpdateOutputColumn<V>(n, u, first_delta, rate, keep, even_weights, even_changes);
  weight_squares = even_weights + odd_weights;
  change_squares = even_changes + odd_changes;
}

template <typename V, std::size_t kCount>
[[gnu::always_inline]] inline void UpdateHiddenRow(double* weights, double* changes,
                                                   const V (&step)[kCount], double input,
                                                   double keep, V (&weight_squares)[kCount],
                                                   V (&change_squares)[kCount]) {
#pragma GCC unroll 2
  for (std::size_t v = 0; v < kCount; ++v) {
    const V change = step[v] * input + keep * Load<V>(changes + v * kLanes);
    const V updated = Load<V>(weights + v * kLanes) + change;
    Store(changes + v * kLanes, change);
    Store(weights + v * kLanes, updated);
    change_squares[v] += change * change;
    weight_squares[v] += updated * updated;
  }
}

// The update of kCount vectors of hidden neurons from vector `first` on, input rows in ascending
// order and the bias row last; each vector's squares in sums of its own, added at the end.
template <typename V, std::size_t kCount>
[[gnu::always_inline]] inline void UpdateHiddenBlock(const Layers& n, const double* inputs,
                                                     std::size_t first, double keep,
                                                     V& weight_squares, V& change_squares) {
  const std::size_t stride = n.hidden_stride;
  double* weights = n.hidden_weights + first * kLanes;
  double* changes = n.hidden_changes + first * kLanes;
  V step[kCount];
  V block_weights[kCount] = {};
  V block_changes[kCount] = {};
#pragma GCC unroll 2
  for (std::size_t v = 0; v < kCount; ++v) step[v] = Load<V>(n.hidden_steps + (first + v) * kLanes);
  for (std::size_t i = 0; i < n.inputs; ++i) {
    UpdateHiddenRow<V, kCount>(weights + i * stride, changes + i * stride, step, inputs[i], keep,
                               block_weights, block_changes);
  }
  UpdateHiddenRow<V, kCount>(weights + n.inputs * stride, changes + n.inputs * stride, step, 1.0,
                             keep, block_weights, block_changes);
#pragma GCC unroll 2
  for (std::size_t v = 0; v < kCount; ++v) {
    weight_squares += block_weights[v];
    change_squares += block_changes[v];
  }
}

// Inside the loops, results below the smallest normal double (about 2.2e-308) are flushed to 0
// and such inputs read as 0: every x86-64 processor does this alike, while IEEE subnormal
// arithmetic takes a slow path costing tens to hundreds of cycles per operation, and a network
// with a dead neuron (weights decaying towards 0 under momentum) runs into it on every step.
// The caller's mode is restored on the way out.
class FlushSubnormals {
 public:
  FlushSubnormals() : saved_(_mm_getcsr()) {
    _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
  }
  ~FlushSubnormals() { _mm_setcsr(saved_); }
  FlushSubnormals(const FlushSubnormals&) = delete;
  FlushSubnormals& operator=(const FlushSubnormals&) = delete;

 private:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  unsigned saved_;
};

template <typename V, bool kSoftmax>
[[gnu::always_inline]] inline SquareSums Step(const Layers& n, const double* inputs,
                                              const double* targets, double rate, double momentum,
                                              [[maybe_unused]] double sample_weight) {
  const FlushSubnormals flush;
  HiddenForward<V>(n, inputs);
  double first_delta = 0.0;
  if constexpr (kSoftmax) {
    // The cross-entropy E = -w sum t ln p of softmax outputs p has -dE/dz = w (t - p).
    for (std::size_t k = 0; k < n.outputs; ++k) n.output_values[k] = OutputSum<V>(n, k);
    Softmax(n.output_values, n.outputs);
    for (std::size_t k = 0; k < n.outputs; ++k) {
      n.output_deltas[k] = sample_weight * (targets[k] - n.output_values[k]);
    }
    first_delta = n.output_deltas[0];
  } else {
    // E = 1/2 sum (t - y)^2, so -dE/dy = t - y. Each output and delta stays in a register on its
    // way on (the first delta all through the output layer's update), since a load right after
    // the store of a value waits for that store.
    for (std::size_t k = 0; k < n.outputs; ++k) {
      const double y = Activated(n.activations.output, OutputSum<V>(n, k));
      const double delta = (targets[k] - y) * Derivative(n.activations.output, y);
      n.output_values[k] = y;
      n.output_deltas[k] = delta;
      if (k == 0) first_delta = delta;
    }
  }
  V weight_squares;
  V change_squares;
  UpdateOutputLayer<V>(n, first_delta, rate, momentum, weight_squares, change_squares);
  const std::size_t vectors = n.hidden_stride / kLanes;
  std::size_t v = vectors;
  if (v % kBlock != 0) {
    v -= 1;
    UpdateHiddenBlock<V, 1>(n, inputs, v, momentum, weight_squares, change_squares);
  }
  while (v > 0) {
    v -= kBlock;
    UpdateHiddenBlock<V, kBlock>(n, inputs, v, momentum, weight_squares, change_squares);
  }
  return {Total(weight_squares), Total(change_squares)};
}

template <typename V, bool kSoftmax>
[[gnu::always_inline]] inline void ForwardOnly(const Layers& n, const double* inputs) {
  const FlushSubnormals flush;
  Forward<V, kSoftmax>(n, inputs);
}

// One copy of the loops per instruction set, each with the form of Lanes that stays in its
// registers; the copy is chosen once, for the processor at hand.
using StepLoop = SquareSums (*)(const Layers&, const double*, const double*, double, double,
                                double);
using ForwardLoop = void (*)(const Layers&, const double*);
struct Copy {
  StepLoop step;
  ForwardLoop forward;
  StepLoop class_step;
  ForwardLoop class_forward;
};

// The four loops of one instruction set, each a function of its own with that set's target.
#define TARVEX_ENGINE_LOOPS(suffix, target_attribute, V)                                      \
  target_attribute SquareSums Step##suffix(const Layers& n, const double* inputs,           \
                                           const double* targets, double rate,              \
                                           double momentum, double weight) {                \
    return Step<V, false>(n, inputs, targets, rate, momentum, weight);                      \
  }                                                                                          \
  target_attribute void Forward##suffix(const Layers& n, const double* inputs) {             \
    ForwardOnly<V, false>(n, inputs);                                                        \
  }                                                                                          \
  target_attribute SquareSums ClassStep##suffix(const Layers& n, const double* inputs,      \
                                                const double* targets, double rate,         \
                                                double momentum, double weight) {           \
    return Step<V, true>(n, inputs, targets, rate, momentum, weight);                       \
  }                                                                                          \
  target_attribute void ClassForward##suffix(const Layers& n, const double* inputs) {        \
    ForwardOnly<V, true>(n, inputs);                                                         \
  }                                                                                          \
  constexpr Copy k##suffix##Copy = {Step##suffix, Forward##suffix, ClassStep##suffix,        \
                                    ClassForward##suffix};

#ifdef TARVEX_ENGINE_SINGLE_COPY
// The one copy that the compiler flags choose.
#ifdef __AVX512F__
TARVEX_ENGINE_LOOPS(Built, , Lanes)
#else
TARVEX_ENGINE_LOOPS(Built, , LanePair)
#endif
Copy ChooseCopy() { return kBuiltCopy; }
#else
TARVEX_ENGINE_LOOPS(Avx512, __attribute__((target("avx512f"))), Lanes)
TARVEX_ENGINE_LOOPS(Avx2, __attribute__((target("avx2"))), LanePair)
TARVEX_ENGINE_LOOPS(Baseline, , LanePair)

Copy ChooseCopy() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return kAvx512Copy;
  if (__builtin_cpu_supports("avx2")) return kAvx2Copy;
  return kBaselineCopy;
}
#endif
#undef TARVEX_ENGINE_LOOPS

const Copy& Chosen() {
  static const Copy copy = ChooseCopy();
  return copy;
}

}  // namespace

void ForwardPass(const Layers& layers, const double* inputs) { Chosen().forward(layers, inputs); }

SquareSums TrainStep(const Layers& layers, const double* inputs, const double* targets, double rate,
                     double momentum) {
  return Chosen().step(layers, inputs, targets, rate, momentum, 1.0);
}

void ClassForwardPass(const Layers& layers, const double* inputs) {
  Chosen().class_forward(layers, inputs);
}

SquareSums ClassTrainStep(const Layers& layers, const double* inputs, const double* targets,
                          double rate, double momentum, double sample_weight) {
  return Chosen().class_step(layers, inputs, targets, rate, momentum, sample_weight);
}

}  // namespace tarvex::engine
