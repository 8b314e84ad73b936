// The engine's vector: eight doubles, which GCC lowers to the registers the code is compiled for
// (four SSE2, two AVX2 or one AVX-512 register). Every operation on it works lane by lane, and
// the only sums across lanes are the fixed trees below, so a result does not depend on how wide
// the machine's registers are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarvex::engine {

inline constexpr std::size_t kLanes = 8;
static_assert(kLanes == 8, "Total and the lane numbers of the loops spell out eight");

constexpr std::size_t PaddedLength(std::size_t length) {
  return (length + kLanes - 1) / kLanes * kLanes;
}

typedef double Lanes __attribute__((vector_size(kLanes * sizeof(double))));
typedef std::int64_t LaneBits __attribute__((vector_size(kLanes * sizeof(double))));

// Vectors go by value only to and from always-inlined functions (no lambdas, which GCC may leave
// as calls), so no vector crosses a call between code built for two instruction sets: the
// engine builds with -Wno-psabi, which would hide such a call.
[[gnu::always_inline]] inline Lanes Load(const double* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

[[gnu::always_inline]] inline void Store(double* p, Lanes v) { std::memcpy(p, &v, sizeof v); }

// The first `count` (< kLanes) values, the other lanes 0; and back.
[[gnu::always_inline]] inline Lanes LoadPart(const double* p, std::size_t count) {
  Lanes v = {};
  std::memcpy(&v, p, count * sizeof(double));
  return v;
}
[[gnu::always_inline]] inline void StorePart(double* p, std::size_t count, Lanes v) {
  std::memcpy(p, &v, count * sizeof(double));
}

// The sum of the eight lanes, halves first: the order is this code's, whatever the registers.
[[gnu::always_inline]] inline double Total(Lanes v) {
  const double a = (v[0] + v[4]) + (v[2] + v[6]);
  const double b = (v[1] + v[5]) + (v[3] + v[7]);
  return a + b;
}

}  // namespace tarvex::engine
