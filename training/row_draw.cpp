#include "training/row_draw.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "job/failure.h"

namespace tarvex::training {

using job::Index;

namespace {

// The standard fixes every bit that mt19937_64 gives (unlike its distributions), so only its raw
// draws are used: a bound below 2^64 by rejection, without the bias of a plain modulo.
std::uint64_t DrawBelow(std::mt19937_64& generator, std::uint64_t bound) {
  const std::uint64_t rejected = (0 - bound) % bound;  // 2^64 mod bound
  std::uint64_t draw;
  do {
    draw = generator();
  } while (draw < rejected);
  return draw % bound;
}

}  // namespace

std::vector<Index> ShuffledPositions(Index count, std::uint64_t seed) {
  std::vector<Index> positions(static_cast<size_t>(count));
  for (Index position = 0; position < count; ++position) {
    positions[static_cast<size_t>(position)] = position;
  }
  std::mt19937_64 generator(seed);
  // Fisher-Yates from the front, so that a prefix of the permutation is a fair draw by itself.
  for (size_t i = 0; i + 1 < positions.size(); ++i) {
    const std::uint64_t pick = i + DrawBelow(generator, positions.size() - i);
    std::swap(positions[i], positions[static_cast<size_t>(pick)]);
  }
  return positions;
}

Index HeldOutCount(Index count, double fraction) {
  if (count < 2) {
    throw job::Failure("at least 2 training rows are needed to hold some out, and there are " +
                       std::to_string(count));
  }
  const Index rounded = static_cast<Index>(std::floor(fraction * static_cast<double>(count) + 0.5));
  return std::clamp<Index>(rounded, 1, count - 1);
}

std::vector<Index> HeldOutPositions(Index count, double fraction, std::uint64_t seed) {
  std::vector<Index> held_out = ShuffledPositions(count, seed);
  held_out.resize(static_cast<size_t>(HeldOutCount(count, fraction)));
  std::sort(held_out.begin(), held_out.end());
  return held_out;
}

std::vector<Index> StratifiedHeldOutPositions(std::span<const std::int32_t> classes,
                                              std::int32_t class_count, double fraction,
                                              std::uint64_t seed) {
  const auto count = static_cast<Index>(classes.size());
  HeldOutCount(count, fraction);  // refuses fewer than 2 rows
  std::vector<Index> rows_of(static_cast<size_t>(class_count), 0);
  for (std::int32_t k : classes) ++rows_of[static_cast<size_t>(k)];
  std::vector<Index> share(rows_of.size());
  Index total = 0;
  for (size_t k = 0; k < rows_of.size(); ++k) {
    share[k] = static_cast<Index>(std::floor(fraction * static_cast<double>(rows_of[k]) + 0.5));
    total += share[k];
  }
  const auto largest =
      static_cast<size_t>(std::max_element(rows_of.begin(), rows_of.end()) - rows_of.begin());
  if (total < 1) ++share[largest];
  if (total > count - 1) --share[largest];
  std::vector<Index> held_out;
  for (Index position : ShuffledPositions(count, seed)) {
    Index& left = share[static_cast<size_t>(classes[static_cast<size_t>(position)])];
    if (left > 0) {
      --left;
      held_out.push_back(position);
    }
  }
  std::sort(held_out.begin(), held_out.end());
  return held_out;
}

RowSplit SplitRows(Index count, std::span<const Index> held_out) {
  RowSplit split;
  split.held_out.assign(held_out.begin(), held_out.end());
  size_t next = 0;
  for (Index position = 0; position < count; ++position) {
    if (next < held_out.size() && held_out[next] == position) {
      ++next;
    } else {
      split.trained.push_back(position);
    }
  }
  return split;
}

job::DataMatrix RowsAt(const job::DataMatrix& matrix, std::span<const Index> positions) {
  std::vector<Index> indices(positions.begin(), positions.end());
  for (Index& index : indices) index += matrix.RowLow();
  return job::SelectRows(matrix, indices);
}

}  // namespace tarvex::training
