// What this processor can do at most, measured the way the engine works, so that the engine's
// figures can be read against them.
#pragma once

#include <cstddef>

namespace tarvex::bench {

// Floating-point operations per second of one core: separate multiplications and additions on
// the widest vectors the processor has (all the engine's arithmetic allows itself), and fused
// multiply-adds counted as two (the processor's peak), zero where it has none.
struct PeakRates {
  double multiply_add;
  double fused;
};
PeakRates MeasurePeakRates();

// Bytes per second that one core moves through two arrays of `doubles` doubles each, in the
// engine's pattern for its hidden layer: a read of the first array front to back, then a read
// and write of both back to front, over and over.
double MeasureSweepBandwidth(std::size_t doubles);

}  // namespace tarvex::bench
