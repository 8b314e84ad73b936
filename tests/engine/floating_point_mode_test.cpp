// The training loops switch the processor's floating-point mode for their own (subnormals
// flushed) and back, keeping both forms between calls: a step must hand back exactly the mode it
// was called in, and a mode changed between steps must reach the loops, which compute in it.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <array>
#include <vector>

#include "engine/network.h"

namespace tarvex::engine {
namespace {

// The control bits; the flag bits record what the code after the loops raises.
unsigned Control(unsigned mode) { return mode & ~0x3Fu; }

class CallerMode {
 public:
  CallerMode() : saved_(_mm_getcsr()) {}
  ~CallerMode() { _mm_setcsr(saved_); }
  CallerMode(const CallerMode&) = delete;
  CallerMode& operator=(const CallerMode&) = delete;

 private:
  unsigned saved_;
};

std::vector<double> Weights(const Network& network) {
  std::vector<double> weights(network.WeightCount());
  network.CopyWeights(weights);
  return weights;
}

TEST(FloatingPointMode, EachStepRunsInTheCallersModeOfThatCallAndHandsItBack) {
  const CallerMode restore;
  // Masked exceptions with round to nearest; sticky flags raised; round toward zero; the
  // caller flushing already; and back to the first, so that every change is one the loops see.
  constexpr std::array<unsigned, 6> kModes = {0x1F80, 0x1FA1, 0x7F80, 0x9FC0, 0x7F80, 0x1F80};
  const std::array<double, 3> inputs = {0.3, -0.7, 0.11};
  const std::array<double, 2> targets = {0.8, 0.25};
  for (std::int16_t af : {1, 2}) {
    SCOPED_TRACE(af);
    Network trained(3, 5, 2, 0.5, af);
    trained.SetMomentum(0.0);
    for (int round = 0; round < 2; ++round) {
      for (unsigned mode : kModes) {
        SCOPED_TRACE(mode);
        // A fresh network from the same weights has never seen another mode.
        Network fresh(3, 5, 2, 0.5, af);
        fresh.SetMomentum(0.0);
        fresh.SetWeights(Weights(trained));
        _mm_setcsr(mode);
        trained.TrainSample(inputs, targets);
        EXPECT_EQ(Control(_mm_getcsr()), Control(mode));
        fresh.TrainSample(inputs, targets);
        EXPECT_EQ(Control(_mm_getcsr()), Control(mode));
        _mm_setcsr(0x1F80);
        ASSERT_EQ(Weights(trained), Weights(fresh));
        EXPECT_EQ(trained.LastWeightDelta(), fresh.LastWeightDelta());
      }
    }
  }
}

}  // namespace
}  // namespace tarvex::engine
