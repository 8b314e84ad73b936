#include "driver/export_options.h"

#include <exception>

#include "job/job_file.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "onnx/model_export.h"

namespace tarvex::driver {

using job::JobSettings;

void SetExportFiles(JobSettings& job) {
  if (!job.onnx.empty() && job.onnxf == "1") job.OnnxFloatFile = onnx::FloatModelPath(job.onnx);
}

bool CheckExportOptions(const JobSettings& job) {
  if (!job.onnxf.empty() && job.onnxf != "0" && job.onnxf != "1") {
    job::WriteLog(job.log, "The Parameter '/onnxf' must be 0 or 1: " + job.onnxf);
    return false;
  }
  if (job.onnxf == "1" && job.onnx.empty()) {
    job::WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, "'/onnx'"));
    return false;
  }
  try {
    if (!job.onnx.empty()) job::CheckJobFileTarget(job, job.onnx, "The ONNX model file");
    if (!job.OnnxFloatFile.empty()) {
      job::CheckJobFileTarget(job, job.OnnxFloatFile, "The ONNX float model file");
    }
  } catch (const std::exception& failure) {
    job::WriteLog(job.log, job::DescribeFailure(failure));
    return false;
  }
  return true;
}

}  // namespace tarvex::driver
