// Cross-validation: the training rows cut into folds by a reproducible draw, and one network per
// fold, trained on the other folds and validated on it, each exactly as a job given those rows
// as training data and that fold as validation data would train it (its own scaling ranges
// included, so that the held-out rows never shape their network).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "job/job_settings.h"
#include "training/network_engine.h"
#include "training/training_run.h"

namespace tarvex::training {

// The folds as positions among count rows (0 for the first row): the seed's permutation cut into
// folds parts whose sizes differ by at most one (the larger ones first), each part in ascending
// order. Every position is in exactly one fold.
std::vector<std::vector<job::Index>> FoldPositions(job::Index count, std::int32_t folds,
                                                   std::uint64_t seed);

// The same for rows of classes (classes[position] from 0 to class_count - 1): the permutation is
// walked and each class's rows are dealt to the folds in turn, the next class going on where the
// last one stopped, so that every class is shared out in proportion (within one row per fold)
// and the folds' sizes still differ by at most one.
std::vector<std::vector<job::Index>> StratifiedFoldPositions(std::span<const std::int32_t> classes,
                                                             std::int32_t class_count,
                                                             std::int32_t folds,
                                                             std::uint64_t seed);

// The job's folds (stratified for a classification job): drawn by /sd, or by the fixed seed of a job without it.
std::vector<std::vector<job::Index>> FoldsOf(const job::JobSettings& job);

// Trains the network that leaves out the rows at held_out (positions of the training rows as
// given, TrainingInputValues and TrainingOutputValues) in engine, with the plan's settings, and
// measures it on its training rows and on the held-out ones.
job::FoldResult TrainFold(NetworkEngine& engine, const job::JobSettings& job,
                          const TrainingPlan& plan, std::span<const job::Index> held_out);

// Trains the job's folds, each with an engine of its own, on one thread per core that the
// process may use, and runs alongside (the training of the final network) on the calling thread
// meanwhile. Each fold's result depends on its rows alone, so the results are the same whatever
// the number of threads. Keeps the results in job.Results.folds, and their statistics; throws the
// failure of the final training, else that of the first fold that failed, its text prefixed with
// the fold.
void CrossValidate(job::JobSettings& job, const TrainingPlan& plan,
                   const std::function<void()>& alongside);

// The statistics of the folds' figures (job::FoldStatistics) of their validation rows, or of
// their training rows.
job::FoldStatistics StatisticsOfFolds(const std::vector<job::FoldResult>& folds, bool validation);
// The same of a classifier's figures.
std::vector<job::ClassFigureStatistics> ClassStatisticsOfFolds(
    const std::vector<job::FoldResult>& folds, bool validation);

}  // namespace tarvex::training
