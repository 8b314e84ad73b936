#include "bench/engine/activation_costs.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

#include "engine/activation_lanes.h"

namespace tarvex::bench {

namespace {

using engine::Activation;
using engine::LanePair;
using engine::Lanes;

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

enum class Piece { kAdd, kMultiply, kDivide, kExp, kReciprocal, kLogistic, kCentred, kTanh };

// Each piece maps its results back into the arguments it is timed on, so that a chain of them
// can run for as long as needed.
template <Piece kPiece, typename V>
[[gnu::always_inline]] inline V Apply(V x) {
  switch (kPiece) {
    case Piece::kAdd:
      return x + 1e-300;
    case Piece::kMultiply:
      return x * 1.0000000001;
    case Piece::kDivide:
      return 1.7 / x;
    case Piece::kExp:
      return engine::Exp(-x);
    case Piece::kReciprocal:
      return 1.0 / (1.0 + x);
    case Piece::kLogistic:
      return engine::Activated(Activation::kLogistic, x);
    case Piece::kCentred:
      return engine::Activated(Activation::kCentredLogistic, x);
    case Piece::kTanh:
      return engine::Activated(Activation::kTanh, x);
  }
  return x;
}

constexpr long kRounds = 400'000;

// Seconds per round of kVectors chains of the piece, the best of three.
template <Piece kPiece, typename V, int kVectors>
[[gnu::always_inline]] inline double SecondsPerRound(double& sink) {
  double best = 1e300;
  for (int attempt = 0; attempt < 3; ++attempt) {
    // From memory the compiler cannot see into, so that it cannot work a chain out beforehand.
    static volatile double start_value = 0.25;
    V x[kVectors];
    for (int v = 0; v < kVectors; ++v) x[v] = V{} + (start_value + 0.01 * v);
    const double start = ThreadSeconds();
    for (long r = 0; r < kRounds; ++r) {
#pragma GCC unroll 8
      for (int v = 0; v < kVectors; ++v) x[v] = Apply<kPiece>(x[v]);
    }
    best = std::min(best, (ThreadSeconds() - start) / kRounds);
    double lanes[engine::kLanes];
    for (int v = 0; v < kVectors; ++v) {
      engine::Store(lanes, x[v]);
      sink += lanes[0] + lanes[engine::kLanes - 1];
    }
  }
  return best;
}

template <Piece kPiece, typename V>
[[gnu::always_inline]] inline void PrintPiece(const char* name, double& sink) {
  const double one = SecondsPerRound<kPiece, V, 1>(sink);
  const double eight = SecondsPerRound<kPiece, V, 8>(sink) / 8;
  std::printf("%-24s %8.2f %8.2f\n", name, one * 1e9, eight * 1e9);
}

template <typename V>
[[gnu::always_inline]] inline void PrintTable(const char* form, double& sink) {
  std::printf(
      "\nActivation costs, ns of processor time per vector of %zu doubles (%s): one = each "
      "result feeds the next, eight = eight vectors at once\n",
      engine::kLanes, form);
  std::printf("%-24s %8s %8s\n", "", "one", "eight");
  PrintPiece<Piece::kAdd, V>("x + c (machine)", sink);
  PrintPiece<Piece::kMultiply, V>("x * c (machine)", sink);
  PrintPiece<Piece::kDivide, V>("c / x (machine)", sink);
  PrintPiece<Piece::kExp, V>("e^-x", sink);
  PrintPiece<Piece::kReciprocal, V>("1 / (1 + x)", sink);
  PrintPiece<Piece::kLogistic, V>("logistic (af 1)", sink);
  PrintPiece<Piece::kCentred, V>("logistic - 1/2 (af 0)", sink);
  PrintPiece<Piece::kTanh, V>("tanh (af 2)", sink);
}

// The forms of the engine's copies (engine/kernels.cpp).
__attribute__((target("avx512f"))) void TableAvx512(double& sink) {
  PrintTable<Lanes>("one AVX-512 register, as the engine's AVX-512 copy", sink);
}
__attribute__((target("avx2"))) void TableAvx2(double& sink) {
  PrintTable<LanePair>("two AVX2 registers, as the engine's AVX2 copy", sink);
}
void TableBaseline(double& sink) {
  PrintTable<LanePair>("four SSE2 registers, as the engine's baseline copy", sink);
}

}  // namespace

void PrintActivationCosts() {
  double sink = 0;
  if (__builtin_cpu_supports("avx512f")) {
    TableAvx512(sink);
  } else if (__builtin_cpu_supports("avx2")) {
    TableAvx2(sink);
  } else {
    TableBaseline(sink);
  }
  if (!(sink == sink)) std::printf("(a chain ran into NaN)\n");
}

}  // namespace tarvex::bench
