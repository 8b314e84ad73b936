// What the engine's activations and their pieces cost on this processor, per vector of eight
// lanes in the form that the engine's loops take here, next to the vector operations they are
// made of: where a training step's time goes between e^x, the division and the rest.
#pragma once

namespace tarvex::bench {

// Prints a table of nanoseconds of processor time per vector: with each result feeding the next
// (the latency that a step's chain of layers waits for) and with eight vectors at once (the
// throughput that a layer of many neurons gets).
void PrintActivationCosts();

}  // namespace tarvex::bench
