// Reproducible draws of rows: which training rows are held out for validation, and in what order
// rows fall into folds. The same seed gives the same rows on every machine and with every
// standard library.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "job/data_matrix.h"

namespace tarvex::training {

// The draw's seed for a job without /sd: outside the range of /sd, so no seed repeats it.
inline constexpr std::uint64_t kUnseededDraw = std::uint64_t{1} << 32;

// The seed of a job's draws: its /sd, else kUnseededDraw.
inline std::uint64_t DrawSeed(const std::optional<std::uint32_t>& seed) {
  return seed ? std::uint64_t{*seed} : kUnseededDraw;
}

// The positions 0 .. count - 1 in two parts, each in ascending order: those held out (the
// ascending positions given) and the others, which are trained on.
struct RowSplit {
  std::vector<job::Index> trained, held_out;
};
RowSplit SplitRows(job::Index count, std::span<const job::Index> held_out);

// The rows at the positions (0 for the first row), as a matrix that keeps the first row index
// and the column bounds.
job::DataMatrix RowsAt(const job::DataMatrix& matrix, std::span<const job::Index> positions);

// A permutation of the positions 0 .. count - 1.
std::vector<job::Index> ShuffledPositions(job::Index count, std::uint64_t seed);

// How many of count rows the fraction holds out: round(fraction x count), halves up, at least 1
// and at most count - 1. Throws job::Failure when count is below 2.
job::Index HeldOutCount(job::Index count, double fraction);

// The positions of the held-out rows in ascending order: the first HeldOutCount of the
// permutation.
std::vector<job::Index> HeldOutPositions(job::Index count, double fraction, std::uint64_t seed);

// The same for rows of classes (classes[position] from 0 to class_count - 1): the permutation is
// walked and each class gives its own share, round(fraction x its rows), so that every class is
// held out in proportion. Together at least 1 row and at most count - 1; where the shares' sum
// leaves that range, the largest class gives one more or one less.
std::vector<job::Index> StratifiedHeldOutPositions(std::span<const std::int32_t> classes,
                                                   std::int32_t class_count, double fraction,
                                                   std::uint64_t seed);

}  // namespace tarvex::training
