#include "netfile/network_store.h"

#include <ctime>
#include <exception>
#include <filesystem>
#include <new>
#include <string>

#include "job/class_list.h"
#include "job/job_file.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "netfile/network_file.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace tarvex::netfile {

using job::BoundedVector;
using job::JobSettings;

namespace {

std::string UtcTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::vector<double> ValuesOf(const BoundedVector& vector) {
  return std::vector<double>(vector.Values().begin(), vector.Values().end());
}

BoundedVector ZeroBased(const std::vector<double>& values) {
  BoundedVector vector(0, static_cast<job::Index>(values.size()) - 1);
  std::copy(values.begin(), values.end(), vector.Values().begin());
  return vector;
}

}  // namespace

void SaveNetworkFile(const JobSettings& job, std::int32_t hidden_size,
                     std::span<const double> weights) {
  std::string text;
  try {
    NetworkFile file;
    file.network.InputCount = static_cast<std::int32_t>(job.TrainingInputs.ColumnCount());
    file.network.HiddenCount = hidden_size;
    file.network.OutputCount = static_cast<std::int32_t>(job.TrainingOutputs.ColumnCount());
    file.network.Weights.assign(weights.begin(), weights.end());
    file.network.MemberCount = job.EnsembleSize;
    file.activation = job.af;
    file.scale_low = job.ScaleLow;
    file.scale_high = job.ScaleHigh;
    file.input_min = ValuesOf(job.TrainingInputMin);
    file.input_max = ValuesOf(job.TrainingInputMax);
    file.output_min = ValuesOf(job.TrainingOutputMin);
    file.output_max = ValuesOf(job.TrainingOutputMax);
    file.saved = UtcTimeText();
    file.last_weight_delta =
        job.Results.refit ? job.Results.refit->last_weight_delta : job.LastMinWeightDelta;
    file.training = job::TrainingRecordOf(job);
    file.classes = job.Classes;
    file.labels_are_numbers = job.ClassesAreNumbers;
    file.encoding = job.Encoding;
    text = NetworkFileText(file);
  } catch (const std::exception& failure) {
    throw job::Failure(job::FileNameLine(job.nof, job::DescribeFailure(failure)));
  }
  job::WriteJobFile(job, job.nof, "The network output file", text);
}

bool ReadNetworkFile(JobSettings& job) {
  try {
    const std::string native = platform::ToNativePath(job.nif);
    if (!platform::IsExistingFile(native)) {
      job::WriteLog(job.log, std::string(job::kFileNotFound) + job.nif);
      return false;
    }
    const std::uint64_t memory = platform::MemoryTheProcessCanGet();
    std::error_code unknown;
    const std::uintmax_t size = std::filesystem::file_size(native, unknown);
    if (!unknown) CheckNetworkFileSize(size, memory);
    std::string text;
    try {
      text = platform::ReadWholeFile(native);
    } catch (const std::bad_alloc&) {
      throw NetworkFileError(ReadingOutOfMemory(memory));
    }
    NetworkFile file = ParseNetworkFile(text);
    if (file.classes.empty() && (job::IsClassification(job) || !job.pp.empty())) {
      throw job::Failure(
          "The network input file holds a regression network; a classification job ('/task', "
          "'/pp') needs a classifier's");
    }
    if (!file.classes.empty()) {
      job.task = "classification";
      job.Classes = std::move(file.classes);
      job.ClassesAreNumbers = file.labels_are_numbers;
    }
    job.Encoding = std::move(file.encoding);
    job.af = file.activation;
    job.ScaleLow = file.scale_low;
    job.ScaleHigh = file.scale_high;
    job.TrainingInputMin = ZeroBased(file.input_min);
    job.TrainingInputMax = ZeroBased(file.input_max);
    job.TrainingOutputMin = ZeroBased(file.output_min);
    job.TrainingOutputMax = ZeroBased(file.output_max);
    job.SavedNetwork = std::move(file.network);
    job.SavedTraining = std::move(file.training);
    return true;
  } catch (const std::exception& failure) {
    job::WriteLog(job.log, job::FileNameLine(job.nif, job::DescribeFailure(failure)));
    return false;
  }
}

}  // namespace tarvex::netfile
