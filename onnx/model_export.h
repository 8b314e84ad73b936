// The export of a job's network as ONNX models (/onnx, and /onnxf for a float model beside it):
// the graph of the network with the job's scaling, its metadata, and the files.
#pragma once

#include <string>
#include <string_view>

#include "job/job_settings.h"
#include "onnx/model_proto.h"

namespace tarvex::onnx {

// The float model's path: the model's own with "_float" before the extension of its file name
// ("out\model.onnx" gives "out\model_float.onnx").
std::string FloatModelPath(std::string_view path);

// The model of the job's network (trained, or read from nif) with elements of type, its
// metadata and its version text; what ExportOnnxModels writes. Throws job::Failure, naming the
// layout, for a model too large for one protobuf message.
std::string ModelBytes(const job::JobSettings& job, ElementType type, std::string_view version);

// Writes the models that the job asks for, each whole or not at all, and a report entry naming
// them. Logs one line and returns false when one cannot be made or written; true at once
// without /onnx.
bool ExportOnnxModels(const job::JobSettings& job);

}  // namespace tarvex::onnx
