// Whether a network of a given layout, its training and its predictions fit into the memory the
// process can get: checked before the engine is created, since the hidden layer grows with the
// inputs and the weights with the square of both.
#pragma once

#include <cstdint>

namespace tarvex::training {

// Throws job::Failure ("Out of memory: ...", with what is needed and what the process can get)
// when they do not fit. Layer sizes below 1 are left to the engine, which refuses them.
void CheckNetworkFits(std::int64_t input_count, std::int64_t hidden_size, std::int64_t output_size,
                      std::int64_t prediction_rows);

}  // namespace tarvex::training
