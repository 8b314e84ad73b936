// The engine's vector: eight doubles, in one of two forms that compute the same bits. Lanes is
// one GCC vector, a single register where the processor has AVX-512; LanePair holds it as two
// halves of four, which stay in registers where it has AVX2 (an eight-lane GCC vector without
// AVX-512 lives in memory). Every operation works lane by lane, and the only sum across lanes
// is the fixed tree of Total, so a result does not depend on the form or the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarvex::engine {

inline constexpr std::size_t kLanes = 8;
static_assert(kLanes == 8, "Total and the lane numbers spell out eight");

constexpr std::size_t PaddedLength(std::size_t length) {
  return (length + kLanes - 1) / kLanes * kLanes;
}

typedef double Lanes __attribute__((vector_size(kLanes * sizeof(double))));
typedef std::int64_t LaneBits __attribute__((vector_size(kLanes * sizeof(double))));
typedef double HalfLanes __attribute__((vector_size(kLanes / 2 * sizeof(double))));
typedef std::int64_t HalfLaneBits __attribute__((vector_size(kLanes / 2 * sizeof(double))));
// The bits of a double as a number, for arithmetic on them that wraps around.
typedef std::uint64_t LaneWords __attribute__((vector_size(kLanes * sizeof(double))));
typedef std::uint64_t HalfLaneWords __attribute__((vector_size(kLanes / 2 * sizeof(double))));

// Vectors go by value only to and from always-inlined functions (no lambdas, which GCC may leave
// as calls), so no vector crosses a call between code built for two instruction sets: the
// engine builds with -Wno-psabi, which would hide such a call.
#define TARVEX_LANES_INLINE [[gnu::always_inline]] inline

struct LanePair {
  HalfLanes low;
  HalfLanes high;
};
struct LanePairBits {
  HalfLaneBits low;
  HalfLaneBits high;
};

#define TARVEX_LANE_PAIR_OPERATOR(op)                                                          \
  TARVEX_LANES_INLINE LanePair operator op(LanePair a, LanePair b) {                           \
    return {a.low op b.low, a.high op b.high};                                                 \
  }                                                                                            \
  TARVEX_LANES_INLINE LanePair operator op(LanePair a, double b) {                             \
    return {a.low op b, a.high op b};                                                          \
  }                                                                                            \
  TARVEX_LANES_INLINE LanePair operator op(double a, LanePair b) {                             \
    return {a op b.low, a op b.high};                                                          \
  }                                                                                            \
  TARVEX_LANES_INLINE LanePair& operator op##=(LanePair& a, LanePair b) { return a = a op b; } \
  TARVEX_LANES_INLINE LanePair& operator op##=(LanePair& a, double b) { return a = a op b; }
TARVEX_LANE_PAIR_OPERATOR(+)
TARVEX_LANE_PAIR_OPERATOR(-)
TARVEX_LANE_PAIR_OPERATOR(*)
TARVEX_LANE_PAIR_OPERATOR(/)
#undef TARVEX_LANE_PAIR_OPERATOR

TARVEX_LANES_INLINE LanePair operator-(LanePair a) { return {-a.low, -a.high}; }
TARVEX_LANES_INLINE LanePairBits operator<(LanePair a, double b) { return {a.low < b, a.high < b}; }
TARVEX_LANES_INLINE LanePairBits operator>(LanePair a, double b) { return {a.low > b, a.high > b}; }
TARVEX_LANES_INLINE LanePairBits operator<(LanePair a, LanePair b) {
  return {a.low < b.low, a.high < b.high};
}
TARVEX_LANES_INLINE LanePairBits operator==(LanePair a, LanePair b) {
  return {a.low == b.low, a.high == b.high};
}

// Lane by lane: `when` true (all bits set) takes a, false takes b.
TARVEX_LANES_INLINE double Select(bool when, double a, double b) { return when ? a : b; }
TARVEX_LANES_INLINE Lanes Select(LaneBits when, Lanes a, Lanes b) { return when ? a : b; }
TARVEX_LANES_INLINE LanePair Select(LanePairBits when, LanePair a, LanePair b) {
  return {when.low ? a.low : b.low, when.high ? a.high : b.high};
}

// 0, 1, ..., 7.
template <typename V>
V LaneNumbers();
template <>
TARVEX_LANES_INLINE Lanes LaneNumbers<Lanes>() {
  return Lanes{0, 1, 2, 3, 4, 5, 6, 7};
}
template <>
TARVEX_LANES_INLINE LanePair LaneNumbers<LanePair>() {
  return {HalfLanes{0, 1, 2, 3}, HalfLanes{4, 5, 6, 7}};
}

template <typename V>
TARVEX_LANES_INLINE V Load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename V>
TARVEX_LANES_INLINE void Store(double* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

// The halves one by one: a copy into the whole pair would keep it in memory.
template <>
TARVEX_LANES_INLINE LanePair Load<LanePair>(const double* p) {
  return {Load<HalfLanes>(p), Load<HalfLanes>(p + kLanes / 2)};
}
template <>
TARVEX_LANES_INLINE void Store<LanePair>(double* p, LanePair v) {
  Store(p, v.low);
  Store(p + kLanes / 2, v.high);
}

// The first `count` (< kLanes) values, the other lanes 0; and back.
TARVEX_LANES_INLINE Lanes LoadPart(const double* p, std::size_t count) {
  Lanes v = {};
  std::memcpy(&v, p, count * sizeof(double));
  return v;
}
TARVEX_LANES_INLINE void StorePart(double* p, std::size_t count, Lanes v) {
  std::memcpy(p, &v, count * sizeof(double));
}

// The sum of the eight lanes, halves first: the order is this code's, whatever the form.
TARVEX_LANES_INLINE double TotalOfHalves(HalfLanes sums) {
  return (sums[0] + sums[2]) + (sums[1] + sums[3]);
}
TARVEX_LANES_INLINE double Total(LanePair v) { return TotalOfHalves(v.low + v.high); }
TARVEX_LANES_INLINE double Total(Lanes v) {
  const HalfLanes low = {v[0], v[1], v[2], v[3]};
  const HalfLanes high = {v[4], v[5], v[6], v[7]};
  return TotalOfHalves(low + high);
}

}  // namespace tarvex::engine
