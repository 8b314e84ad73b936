// The engine keeps its own copy of the activation rules (the component sees no room of the
// program); the program's table, which the scaling, --help, the report and the ONNX export read,
// must say what the engine computes for every code.
#include <gtest/gtest.h>

#include <limits>

#include "engine/activation.h"
#include "job/activation_table.h"

namespace tarvex::engine {
namespace {

job::ActivationFunction AsJobFunction(Activation function) {
  switch (function) {
    case Activation::kCentredLogistic:
      return job::ActivationFunction::kCentredLogistic;
    case Activation::kLogistic:
      return job::ActivationFunction::kLogistic;
    case Activation::kTanh:
      return job::ActivationFunction::kTanh;
    case Activation::kLinear:
      break;
  }
  return job::ActivationFunction::kLinear;
}

TEST(ActivationCodes, TheProgramsTableSaysWhatTheEngineComputesForEveryCode) {
  for (int code = std::numeric_limits<std::int16_t>::min();
       code <= std::numeric_limits<std::int16_t>::max(); ++code) {
    const LayerActivations engine = ActivationsForCode(static_cast<std::int16_t>(code));
    const job::LayerFunctions table = job::LayerFunctionsOfCode(static_cast<std::int16_t>(code));
    ASSERT_EQ(AsJobFunction(engine.hidden), table.hidden) << code;
    ASSERT_EQ(AsJobFunction(engine.output), table.output) << code;
  }
}

}  // namespace
}  // namespace tarvex::engine
