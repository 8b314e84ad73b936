// Direct values ("1,2;3,4") for each data set, loaded and scaled as a run loads them.
#include "bench/fuzz/fuzz_support.h"
#include "input/load_data_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  job::JobSettings job = fuzz::FreshJob(size > 0 && data[0] % 2 ? "," : ".");
  const std::string values(fuzz::AsText(data, size));
  if (input::LoadDataSet(job, values, job.TrainingInputs, input::Source::kValues,
                         job::DataSet::kTrainingInputs, "")) {
    input::LoadDataSet(job, values, job.PredictionInputs, input::Source::kValues,
                       job::DataSet::kPredictionInputs, "");
  }
  return 0;
}
