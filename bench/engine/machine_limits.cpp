#include "bench/engine/machine_limits.h"

#include <immintrin.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

#define TARVEX_BENCH_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))

namespace tarvex::bench {

namespace {

typedef double Vector __attribute__((vector_size(64)));

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The loops' results go nowhere else; this keeps the compiler from dropping them.
void Keep(double value) { asm volatile("" : : "x"(value)); }

// Runs `pass` in batches of `batch` until a quarter second of processor time has gone, three
// times, and returns the best rate of `units` per pass. Reading the thread's clock is a system
// call, so it is read once per batch.
template <typename Pass>
double BestRate(double units, long batch, Pass pass) {
  double best = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    long passes = 0;
    const double start = ThreadSeconds();
    double seconds = 0;
    for (; seconds < 0.25; seconds = ThreadSeconds() - start) {
      for (long i = 0; i < batch; ++i) pass();
      passes += batch;
    }
    best = std::max(best, units * static_cast<double>(passes) / seconds);
  }
  return best;
}

constexpr long kRounds = 1'000'000;

// Eight chains of multiplications beside eight chains of additions: enough independent work to
// keep every multiplier and adder busy.
TARVEX_BENCH_CLONES
void MultiplyAddRounds(double* result) {
  Vector products[8];
  Vector sums[8];
  for (int i = 0; i < 8; ++i) {
    products[i] = Vector{} + (1.0 + i);
    sums[i] = Vector{} + static_cast<double>(i);
  }
  for (long r = 0; r < kRounds; ++r) {
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
      products[i] *= 0.999999999;
      sums[i] += 1e-9;
    }
  }
  Vector total = {};
  for (int i = 0; i < 8; ++i) total += products[i] + sums[i];
  *result = total[0];
}

constexpr double kMultiplyAddFlops = 8.0 * 8 * 2 * kRounds;

__attribute__((target("avx512f,fma"))) void FusedRounds512(double* result) {
  __m512d a[12];
  for (int i = 0; i < 12; ++i) a[i] = _mm512_set1_pd(1.0 + i);
  const __m512d m = _mm512_set1_pd(0.999999999);
  const __m512d c = _mm512_set1_pd(1e-9);
  for (long r = 0; r < kRounds; ++r) {
#pragma GCC unroll 12
    for (int i = 0; i < 12; ++i) a[i] = _mm512_fmadd_pd(a[i], m, c);
  }
  __m512d total = _mm512_setzero_pd();
  for (int i = 0; i < 12; ++i) total = _mm512_add_pd(total, a[i]);
  double lanes[8];
  _mm512_storeu_pd(lanes, total);
  *result = lanes[0] + lanes[4];
}

__attribute__((target("avx2,fma"))) void FusedRounds256(double* result) {
  __m256d a[12];
  for (int i = 0; i < 12; ++i) a[i] = _mm256_set1_pd(1.0 + i);
  const __m256d m = _mm256_set1_pd(0.999999999);
  const __m256d c = _mm256_set1_pd(1e-9);
  for (long r = 0; r < kRounds; ++r) {
#pragma GCC unroll 12
    for (int i = 0; i < 12; ++i) a[i] = _mm256_fmadd_pd(a[i], m, c);
  }
  __m256d total = _mm256_setzero_pd();
  for (int i = 0; i < 12; ++i) total = _mm256_add_pd(total, a[i]);
  double lanes[4];
  _mm256_storeu_pd(lanes, total);
  *result = lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

TARVEX_BENCH_CLONES
void Sweep(double* first, double* second, std::size_t doubles, double* result) {
  Vector sums[4] = {};
  for (std::size_t i = 0; i + 32 <= doubles; i += 32) {
#pragma GCC unroll 4
    for (std::size_t v = 0; v < 4; ++v) {
      Vector a;
      __builtin_memcpy(&a, first + i + 8 * v, sizeof a);
      sums[v] += a;
    }
  }
  for (std::size_t i = doubles; i >= 8; i -= 8) {
    Vector a;
    Vector b;
    __builtin_memcpy(&a, first + i - 8, sizeof a);
    __builtin_memcpy(&b, second + i - 8, sizeof b);
    __builtin_memcpy(first + i - 8, &b, sizeof b);
    __builtin_memcpy(second + i - 8, &a, sizeof a);
  }
  const Vector total = (sums[0] + sums[1]) + (sums[2] + sums[3]);
  *result += total[0];
}

}  // namespace

PeakRates MeasurePeakRates() {
  double sink = 0;
  PeakRates rates{};
  rates.multiply_add = BestRate(kMultiplyAddFlops, 1, [&] { MultiplyAddRounds(&sink); });
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("fma")) {
    rates.fused = BestRate(12.0 * 8 * 2 * kRounds, 1, [&] { FusedRounds512(&sink); });
  } else if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
    rates.fused = BestRate(12.0 * 4 * 2 * kRounds, 1, [&] { FusedRounds256(&sink); });
  }
  Keep(sink);
  return rates;
}

double MeasureSweepBandwidth(std::size_t doubles) {
  doubles = doubles / 32 * 32;
  // One block on cache lines, the second array a few lines past the first so that their
  // addresses do not collide in the low bits that the processor compares between loads and stores.
  const std::size_t gap = 24;
  std::unique_ptr<double[], void (*)(void*)> block(
      static_cast<double*>(std::aligned_alloc(64, (2 * doubles + gap) * sizeof(double))),
      std::free);
  if (!block) throw std::bad_alloc();
  std::fill_n(block.get(), 2 * doubles + gap, 1.0);
  double* first = block.get();
  double* second = first + doubles + gap;
  double sink = 0;
  const double bytes = static_cast<double>(doubles) * sizeof(double) * 5;
  const double rate = BestRate(bytes, 1000, [&] { Sweep(first, second, doubles, &sink); });
  Keep(sink);
  return rate;
}

}  // namespace tarvex::bench
