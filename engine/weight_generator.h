// The source of initial weights: a generator whose sequence we fix ourselves, so that a job starts
// from the same weights with every compiler, standard library and processor.
#pragma once

#include <cstdint>

namespace tarvex::engine {

// SplitMix64: tiny, fast and well mixed from the first draw, which is all initial weights need.
class WeightGenerator {
 public:
  static constexpr std::uint64_t kSeed = 0x7A12'9E37'79B9'7F4AULL;

  explicit WeightGenerator(std::uint64_t seed = kSeed) : state_(seed) {}

  std::uint64_t NextBits() {
    std::uint64_t z = (state_ += 0x9E37'79B9'7F4A'7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBULL;
    return z ^ (z >> 31);
  }

  // Uniform in [-limit, +limit). 2u - 1 is exact for a 53-bit u, so the only rounding is the
  // final product, which every IEEE machine does alike.
  double NextWeight(double limit) {
    const double unit = static_cast<double>(NextBits() >> 11) * 0x1.0p-53;
    return limit * (2.0 * unit - 1.0);
  }

 private:
  std::uint64_t state_;
};

}  // namespace tarvex::engine
