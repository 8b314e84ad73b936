// The activation codes of /af: what each one computes in the hidden and in the output layer, and
// the range that the scaling maps every column into for it. The engine component keeps the same
// rules inside itself (it sees no room of the program); scaling, --help, the report and the ONNX
// export read them here.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tarvex::job {

enum class ActivationFunction { kCentredLogistic, kLogistic, kTanh, kLinear };

struct Activation {
  std::int16_t code;
  ActivationFunction hidden;
  ActivationFunction output;
  // The scaling range: a column's maximum goes to scale_low, its minimum to scale_high.
  double scale_low;
  double scale_high;
};

// In the order of the codes.
std::span<const Activation> ActivationTable();

// The row of a code; none for a code outside the table, whose scaling range is 0..0 (every value
// becomes 0).
const Activation* FindActivation(std::int16_t code);

struct LayerFunctions {
  ActivationFunction hidden;
  ActivationFunction output;
};
// What the engine computes for a code: outside the table, what it computes for code 0.
LayerFunctions LayerFunctionsOfCode(std::int16_t code);

// "logistic - 0.5", "logistic", "tanh", "linear": as --help and the report name them.
std::string_view ActivationName(ActivationFunction function);

}  // namespace tarvex::job
