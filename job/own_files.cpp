#include "job/own_files.h"

#include "platform/paths.h"

namespace tarvex::job {

std::optional<std::string> OwnFileAt(const JobSettings& job, const std::string& path, bool inputs) {
  const std::optional<platform::FileIdentity> target =
      platform::IdentityOf(platform::ToNativePath(path));
  if (!target) return std::nullopt;
  struct OwnFile {
    const std::string& path;
    const char* what;
    bool input;
  };
  const OwnFile own_files[] = {
      {job.tif, "the training inputs", true},
      {job.tof, "the training outputs", true},
      {job.pif, "the prediction inputs", true},
      {job.nif, "the network input file", true},
      {job.vif, "the validation inputs", true},
      {job.vof, "the validation outputs", true},
      {job.log, "the run log", false},
      {job.ini, "the parameter file", false},
      {job.pof, "the prediction output file", false},
      {job.nof, "the network output file", false},
      {job.lcf, "the learning curve file", false},
      {job.sof, "the run summary file", false},
      {job.rof, "the report file", false},
  };
  for (const OwnFile& own : own_files) {
    if (own.path.empty() || &own.path == &path || (own.input && !inputs)) continue;
    if (platform::IdentityOf(platform::ToNativePath(own.path)) == target) {
      return std::string(own.what) + " (" + own.path + ")";
    }
  }
  for (const platform::FileIdentity& program : platform::ProgramFileIdentities()) {
    if (program == *target) return "a file of the program itself";
  }
  return std::nullopt;
}

}  // namespace tarvex::job
