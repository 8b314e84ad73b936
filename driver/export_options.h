// The options of the ONNX export (/onnx, /onnxf): checked once every option is read, so that a
// model that cannot be written over one of the job's files ends the run before any data is loaded.
#pragma once

#include "job/job_settings.h"

namespace tarvex::driver {

// Where the float model goes when /onnxf asks for one; before the run log's check, which must
// know every file that the job makes.
void SetExportFiles(job::JobSettings& job);

// Refuses an /onnxf other than 0 or 1, an /onnxf=1 without /onnx, and a model file that is
// already one of the job's own files. Logs one line and returns false.
bool CheckExportOptions(const job::JobSettings& job);

}  // namespace tarvex::driver
