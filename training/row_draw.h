// Reproducible draws of rows: which training rows are held out for validation, and in what order
// rows fall into folds. The same seed gives the same rows on every machine and with every
// standard library.
#pragma once

#include <cstdint>
#include <vector>

#include "job/data_matrix.h"

namespace tarvex::training {

// The draw's seed for a job without /sd: outside the range of /sd, so no seed repeats it.
inline constexpr std::uint64_t kUnseededDraw = std::uint64_t{1} << 32;

// A permutation of the positions 0 .. count - 1.
std::vector<job::Index> ShuffledPositions(job::Index count, std::uint64_t seed);

// How many of count rows the fraction holds out: round(fraction x count), halves up, at least 1
// and at most count - 1. Throws job::Failure when count is below 2.
job::Index HeldOutCount(job::Index count, double fraction);

// The positions of the held-out rows in ascending order: the first HeldOutCount of the
// permutation.
std::vector<job::Index> HeldOutPositions(job::Index count, double fraction, std::uint64_t seed);

}  // namespace tarvex::training
