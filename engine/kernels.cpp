#include "engine/kernels.h"

#include <cstring>

#include "engine/clones.h"

namespace tarvex::engine {

namespace {

// GCC vector extensions: kLanes doubles, lowered to whatever vector width the clone has, so the
// lane structure (and with it the order of every addition) is the same in each clone.
typedef double Lanes __attribute__((vector_size(kLanes * sizeof(double))));

// The same lanes at any address of a double; rows are aligned anyway, but nothing here needs it.
typedef double UnalignedLanes __attribute__((vector_size(kLanes * sizeof(double)), aligned(8)));
static_assert(kLanes == 4, "the lane initialisers and Total below spell out four lanes");

// Vectors are handled through pointers and references only: passing them by value would tie the
// baseline copy to a calling convention that differs from the AVX2 one.
[[gnu::always_inline]] inline UnalignedLanes* At(double* p) {
  return reinterpret_cast<UnalignedLanes*>(p);
}
[[gnu::always_inline]] inline const UnalignedLanes* At(const double* p) {
  return reinterpret_cast<const UnalignedLanes*>(p);
}

[[gnu::always_inline]] inline double Total(const Lanes& v) { return (v[0] + v[1]) + (v[2] + v[3]); }

template <bool kPropagate>
[[gnu::always_inline]] inline void UpdateRows(double* weights, double* changes, std::size_t rows,
                                              std::size_t stride, const double* inputs,
                                              const double* deltas, double rate, double momentum,
                                              double* back_errors, SquareSums& squares) {
  Lanes weight_squares = *At(squares.weights);
  Lanes change_squares = *At(squares.changes);
  const Lanes keep = {momentum, momentum, momentum, momentum};
  if constexpr (kPropagate) std::memset(back_errors, 0, stride * sizeof(double));
  for (std::size_t r = 0; r < rows; ++r) {
    double* w = weights + r * stride;
    double* c = changes + r * stride;
    const double scaled = rate * deltas[r];
    const Lanes step = {scaled, scaled, scaled, scaled};
    const Lanes delta = {deltas[r], deltas[r], deltas[r], deltas[r]};
    for (std::size_t i = 0; i < stride; i += kLanes) {
      const Lanes old = *At(w + i);
      if constexpr (kPropagate) *At(back_errors + i) += delta * old;
      const Lanes change = step * *At(inputs + i) + keep * *At(c + i);
      const Lanes updated = old + change;
      *At(c + i) = change;
      *At(w + i) = updated;
      change_squares += change * change;
      weight_squares += updated * updated;
    }
  }
  *At(squares.weights) = weight_squares;
  *At(squares.changes) = change_squares;
}

}  // namespace

TARVEX_ENGINE_CLONES
void WeightedSums(const double* weights, std::size_t rows, std::size_t stride, const double* inputs,
                  double* sums) {
  std::size_t r = 0;
  // Four rows at a time: four independent chains of additions keep the adders busy.
  for (; r + 4 <= rows; r += 4) {
    const double* w = weights + r * stride;
    Lanes a0 = {}, a1 = {}, a2 = {}, a3 = {};
    for (std::size_t i = 0; i < stride; i += kLanes) {
      const Lanes x = *At(inputs + i);
      a0 += *At(w + i) * x;
      a1 += *At(w + stride + i) * x;
      a2 += *At(w + 2 * stride + i) * x;
      a3 += *At(w + 3 * stride + i) * x;
    }
    sums[r] = Total(a0);
    sums[r + 1] = Total(a1);
    sums[r + 2] = Total(a2);
    sums[r + 3] = Total(a3);
  }
  for (; r < rows; ++r) {
    const double* w = weights + r * stride;
    Lanes a = {};
    for (std::size_t i = 0; i < stride; i += kLanes) a += *At(w + i) * *At(inputs + i);
    sums[r] = Total(a);
  }
}

TARVEX_ENGINE_CLONES
void UpdateLayer(double* weights, double* changes, std::size_t rows, std::size_t stride,
                 const double* inputs, const double* deltas, double rate, double momentum,
                 double* back_errors, SquareSums& squares) {
  if (back_errors != nullptr) {
    UpdateRows<true>(weights, changes, rows, stride, inputs, deltas, rate, momentum, back_errors,
                     squares);
  } else {
    UpdateRows<false>(weights, changes, rows, stride, inputs, deltas, rate, momentum, nullptr,
                      squares);
  }
}

}  // namespace tarvex::engine
