// The activation functions of the engine's neurons: the codes that choose them, and array forms
// for tests and tools (the loops use activation_lanes.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvex::engine {

enum class Activation {
  kCentredLogistic,  // logistic minus one half: -0.5 .. 0.5
  kLogistic,         // 0 .. 1
  kTanh,             // -1 .. 1
  kLinear,           // output layer of the codes 3 to 5
};

struct LayerActivations {
  Activation hidden;
  Activation output;
};

// The job's activation code: 0, 1, 2 use one function in both layers, 3, 4, 5 the same hidden
// functions with a linear output layer; any other code behaves as 0.
LayerActivations ActivationsForCode(std::int16_t code);

// values[i] = f(values[i]) for i < count, in Lanes; a value comes out the same wherever it sits.
void Activate(Activation function, double* values, std::size_t count);

// values[i] = e^values[i] for i < count, each in [-708, 709].
void ExpInPlace(double* values, std::size_t count);

}  // namespace tarvex::engine
