#include "engine/kernels.h"

#include <xmmintrin.h>

#include <cstddef>
#include <utility>

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
template <typename V, typename F, std::size_t kCount>
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
    V values = Activated(F::Hidden(n), even[v] + odd[v]);
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

template <typename V, typename F>
[[gnu::always_inline]] inline void HiddenForward(const Layers& n, const double* inputs) {
  const std::size_t vectors = n.hidden_stride / kLanes;
  std::size_t v = 0;
  for (; v + kBlock <= vectors; v += kBlock) HiddenBlock<V, F, kBlock>(n, inputs, v);
  if (v < vectors) HiddenBlock<V, F, 1>(n, inputs, v);
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

template <typename V, typename F, bool kSoftmax>
[[gnu::always_inline]] inline void Forward(const Layers& n, const double* inputs) {
  HiddenForward<V, F>(n, inputs);
  if constexpr (kSoftmax) {
    for (std::size_t k = 0; k < n.outputs; ++k) n.output_values[k] = OutputSum<V>(n, k);
    Softmax(n.output_values, n.outputs);
  } else {
    for (std::size_t k = 0; k < n.outputs; ++k) {
      n.output_values[k] = Activated(F::Output(n), OutputSum<V>(n, k));
    }
  }
}

// Column u of the output layer: the steps of the hidden neurons there, taken from the weights
// before they change, then the update of every output's weights there.
template <typename V, typename F>
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
    V delta = error * Derivative(F::Hidden(n), hidden);
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
template <typename V, typename F>
[[gnu::always_inline]] inline void UpdateOutputLayer(const Layers& n, double first_delta,
                                                     double rate, double keep, V& weight_squares,
                                                     V& change_squares) {
  const std::size_t vectors = n.output_stride / kLanes;
  V even_weights = {}, even_changes = {}, odd_weights = {}, odd_changes = {};
  std::size_t u = 0;
  for (; u + 2 <= vectors; u += 2) {
    UpdateOutputColumn<V, F>(n, u, first_delta, rate, keep, even_weights, even_changes);
    UpdateOutputColumn<V, F>(n, u + 1, first_delta, rate, keep, odd_weights, odd_changes);
  }
  if (u < vectors) UpdateOutputColumn<V, F>(n, u, first_delta, rate, keep, even_weights, even_changes);
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
//
// The mode register loads only from memory. Loaded from a word stored just before (as
// _mm_setcsr does, on the stack), whole runs took a fifth longer or not depending on where the
// stack happened to start, presumably as the load waited on the step's many stores. Both modes
// therefore stay in the layers, stored only when the caller's mode changes, which it rarely does.
class FlushSubnormals {
 public:
  explicit FlushSubnormals(const Layers& n) : modes_(n.modes) {
    const unsigned caller = _mm_getcsr();
    if (caller != modes_.caller || modes_.loops == 0) {
      modes_.caller = caller;
      modes_.loops = caller | kFlushToZero | kDenormalsAreZero;
    }
    Load(modes_.loops);
  }
  ~FlushSubnormals() { Load(modes_.caller); }
  FlushSubnormals(const FlushSubnormals&) = delete;
  FlushSubnormals& operator=(const FlushSubnormals&) = delete;

 private:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  // The memory clobber keeps the loops' loads and stores on their side of the switch.
  [[gnu::always_inline]] static void Load(const unsigned& mode) {
    asm volatile("ldmxcsr %0" : : "m"(mode) : "memory");
  }
  Layers::FloatingPointModes& modes_;
};

template <typename V, typename F, bool kSoftmax>
[[gnu::always_inline]] inline SquareSums Step(const Layers& n, const double* inputs,
                                              const double* targets, double rate, double momentum,
                                              [[maybe_unused]] double sample_weight) {
  const FlushSubnormals flush(n);
  HiddenForward<V, F>(n, inputs);
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
      const double y = Activated(F::Output(n), OutputSum<V>(n, k));
      const double delta = (targets[k] - y) * Derivative(F::Output(n), y);
      n.output_values[k] = y;
      n.output_deltas[k] = delta;
      if (k == 0) first_delta = delta;
    }
  }
  V weight_squares;
  V change_squares;
  UpdateOutputLayer<V, F>(n, first_delta, rate, momentum, weight_squares, change_squares);
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

template <typename V, typename F, bool kSoftmax>
[[gnu::always_inline]] inline void ForwardOnly(const Layers& n, const double* inputs) {
  const FlushSubnormals flush(n);
  Forward<V, F, kSoftmax>(n, inputs);
}

// The activation functions as the loops see them: fixed at compile time, so that the compiler
// interleaves the activations of a block's vectors and keeps their constants in registers rather
// than branching to one shared copy of each function; or read from the layers at run time, for
// any pair of functions that has no copy of its own.
template <Activation kHidden, Activation kOutput>
struct Fixed {
  [[gnu::always_inline]] static constexpr Activation Hidden(const Layers&) { return kHidden; }
  [[gnu::always_inline]] static constexpr Activation Output(const Layers&) { return kOutput; }
};
struct AsTheLayersSay {
  [[gnu::always_inline]] static Activation Hidden(const Layers& n) { return n.activations.hidden; }
  [[gnu::always_inline]] static Activation Output(const Layers& n) { return n.activations.output; }
};

// One copy of the loops per instruction set and pair of functions, each with the form of Lanes
// that stays in its registers; the instruction set is chosen once, for the processor at hand.
using StepLoop = SquareSums (*)(const Layers&, const double*, const double*, double, double,
                                double);
using ForwardLoop = void (*)(const Layers&, const double*);
struct Loops {
  StepLoop step;
  ForwardLoop forward;
};
constexpr std::size_t kFunctions = 4;
static_assert(static_cast<std::size_t>(Activation::kLinear) == kFunctions - 1);
constexpr std::size_t PairIndex(Activation hidden, Activation output) {
  return static_cast<std::size_t>(hidden) * kFunctions + static_cast<std::size_t>(output);
}
struct Copy {
  Loops regression[kFunctions * kFunctions];  // by PairIndex
  Loops classifier[kFunctions];               // by the hidden function
};

// The pairs that the activation codes choose (one function in both layers, or a linear output
// layer) get copies of their own.
template <typename L, std::size_t kIndex>
constexpr Loops RegressionLoops() {
  constexpr auto hidden = static_cast<Activation>(kIndex / kFunctions);
  constexpr auto output = static_cast<Activation>(kIndex % kFunctions);
  if constexpr (hidden != Activation::kLinear &&
                (output == hidden || output == Activation::kLinear)) {
    using F = Fixed<hidden, output>;
    return {L::template Regression<F>, L::template RegressionForward<F>};
  } else {
    return {L::template Regression<AsTheLayersSay>, L::template RegressionForward<AsTheLayersSay>};
  }
}
template <typename L, std::size_t kHidden>
constexpr Loops ClassifierLoops() {
  constexpr auto hidden = static_cast<Activation>(kHidden);
  if constexpr (hidden != Activation::kLinear) {
    using F = Fixed<hidden, Activation::kLinear>;
    return {L::template Classifier<F>, L::template ClassifierForward<F>};
  } else {
    return {L::template Classifier<AsTheLayersSay>, L::template ClassifierForward<AsTheLayersSay>};
  }
}
template <typename L, std::size_t... kPair, std::size_t... kHidden>
constexpr Copy MakeCopy(std::index_sequence<kPair...>, std::index_sequence<kHidden...>) {
  return {{RegressionLoops<L, kPair>()...}, {ClassifierLoops<L, kHidden>()...}};
}
template <typename L>
constexpr Copy MakeCopy() {
  return MakeCopy<L>(std::make_index_sequence<kFunctions * kFunctions>(),
                     std::make_index_sequence<kFunctions>());
}

// The four loops of one instruction set, each a function of its own with that set's target.
#define TARVEX_ENGINE_LOOPS(suffix, target_attribute, V)                                        \
  struct suffix##Loops {                                                                       \
    template <typename F>                                                                      \
    target_attribute static SquareSums Regression(const Layers& n, const double* inputs,       \
                                                  const double* targets, double rate,          \
                                                  double momentum, double weight) {            \
      return Step<V, F, false>(n, inputs, targets, rate, momentum, weight);                    \
    }                                                                                          \
    template <typename F>                                                                      \
    target_attribute static void RegressionForward(const Layers& n, const double* inputs) {    \
      ForwardOnly<V, F, false>(n, inputs);                                                     \
    }                                                                                          \
    template <typename F>                                                                      \
    target_attribute static SquareSums Classifier(const Layers& n, const double* inputs,       \
                                                  const double* targets, double rate,          \
                                                  double momentum, double weight) {            \
      return Step<V, F, true>(n, inputs, targets, rate, momentum, weight);                     \
    }                                                                                          \
    template <typename F>                                                                      \
    target_attribute static void ClassifierForward(const Layers& n, const double* inputs) {    \
      ForwardOnly<V, F, true>(n, inputs);                                                      \
    }                                                                                          \
  };                                                                                           \
  constexpr Copy k##suffix##Copy = MakeCopy<suffix##Loops>();

#ifdef TARVEX_ENGINE_SINGLE_COPY
// The one copy that the compiler flags choose.
#ifdef __AVX512F__
TARVEX_ENGINE_LOOPS(Built, , Lanes)
#else
TARVEX_ENGINE_LOOPS(Built, , LanePair)
#endif
const Copy& ChooseCopy() { return kBuiltCopy; }
#else
TARVEX_ENGINE_LOOPS(Avx512, __attribute__((target("avx512f"))), Lanes)
TARVEX_ENGINE_LOOPS(Avx2, __attribute__((target("avx2"))), LanePair)
TARVEX_ENGINE_LOOPS(Baseline, , LanePair)

const Copy& ChooseCopy() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return kAvx512Copy;
  if (__builtin_cpu_supports("avx2")) return kAvx2Copy;
  return kBaselineCopy;
}
#endif
#undef TARVEX_ENGINE_LOOPS

const Copy& Chosen() {
  static const Copy& copy = ChooseCopy();
  return copy;
}

const Loops& RegressionLoopsFor(const Layers& n) {
  return Chosen().regression[PairIndex(n.activations.hidden, n.activations.output)];
}
const Loops& ClassifierLoopsFor(const Layers& n) {
  return Chosen().classifier[static_cast<std::size_t>(n.activations.hidden)];
}

}  // namespace

void ForwardPass(const Layers& layers, const double* inputs) {
  RegressionLoopsFor(layers).forward(layers, inputs);
}

SquareSums TrainStep(const Layers& layers, const double* inputs, const double* targets, double rate,
                     double momentum) {
  return RegressionLoopsFor(layers).step(layers, inputs, targets, rate, momentum, 1.0);
}

void ClassForwardPass(const Layers& layers, const double* inputs) {
  ClassifierLoopsFor(layers).forward(layers, inputs);
}

SquareSums ClassTrainStep(const Layers& layers, const double* inputs, const double* targets,
                          double rate, double momentum, double sample_weight) {
  return ClassifierLoopsFor(layers).step(layers, inputs, targets, rate, momentum, sample_weight);
}

}  // namespace tarvex::engine
