#include "job/job_file.h"

#include <exception>
#include <optional>

#include "job/create_folder_path.h"
#include "job/failure.h"
#include "job/messages.h"
#include "job/own_files.h"
#include "platform/output_file.h"
#include "platform/paths.h"

namespace tarvex::job {

namespace {

void RefuseOwn(const JobSettings& job, const std::string& path, std::string_view what) {
  if (std::optional<std::string> own = OwnFileAt(job, path, true)) {
    throw Failure(std::string(what) + " is " + *own + "; nothing was written");
  }
}

}  // namespace

void CheckJobFileTarget(const JobSettings& job, const std::string& path, std::string_view what) {
  try {
    RefuseOwn(job, path, what);
    platform::CheckOutputTarget(platform::ToNativePath(path));
  } catch (const std::exception& failure) {
    throw Failure(FileNameLine(path, DescribeFailure(failure)));
  }
}

void WriteJobFile(const JobSettings& job, const std::string& path, std::string_view what,
                  std::string_view text) {
  try {
    RefuseOwn(job, path, what);
    CreateFolderPath(path);
    platform::OutputFile file(platform::ToNativePath(path));
    file.Write(text);
    file.Close();
  } catch (const std::exception& failure) {
    throw Failure(FileNameLine(path, DescribeFailure(failure)));
  }
}

}  // namespace tarvex::job
