#include "job/own_files.h"

#include <array>
#include <cctype>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"

namespace tarvex::job {

namespace {

struct OwnFile {
  const std::string& path;
  const char* what;
  bool input;
  bool output;
};

// A summary or report refused is not written, so it is none of the job's files.
const std::string kNotWritten;

std::array<OwnFile, 15> OwnFiles(const JobSettings& job) {
  return {{
      {job.tif, "the training inputs", true, false},
      {job.tof, "the training outputs", true, false},
      {job.pif, "the prediction inputs", true, false},
      {job.nif, "the network input file", true, false},
      {job.vif, "the validation inputs", true, false},
      {job.vof, "the validation outputs", true, false},
      {job.log, "the run log", false, false},
      {job.ini, "the parameter file", false, false},
      {job.pof, "the prediction output file", false, true},
      {job.nof, "the network output file", false, true},
      {job.lcf, "the learning curve file", false, true},
      {job.SummaryRefused ? kNotWritten : job.sof, "the run summary file", false, true},
      {job.ReportRefused ? kNotWritten : job.rof, "the report file", false, true},
      {job.onnx, "the ONNX model file", false, true},
      {job.OnnxFloatFile, "the ONNX float model file", false, true},
  }};
}

std::string Described(const OwnFile& own) { return std::string(own.what) + " (" + own.path + ")"; }

// A name that matches several files fails where the job uses it, with its own line; here it is
// none of them.
std::optional<platform::FileIdentity> IdentityOfSetting(const std::string& path) {
  try {
    return platform::IdentityOf(platform::ToNativePath(path));
  } catch (const platform::SystemError&) {
    return std::nullopt;
  }
}

// Where a file that does not exist yet would be made: its folder (the file, or the name as written
// while the folder is missing too) and its own name.
struct Place {
  std::optional<platform::FileIdentity> folder;
  std::string folder_name;
  std::string name;
  bool operator==(const Place&) const = default;
};

Place PlaceOf(const std::string& native) {
  const size_t slash = native.rfind('/');
  Place place;
  place.folder_name = slash == std::string::npos ? "." : native.substr(0, slash + 1);
  place.name = slash == std::string::npos ? native : native.substr(slash + 1);
  place.folder = platform::IdentityOf(place.folder_name);
  if (place.folder) place.folder_name.clear();
  return place;
}

std::optional<Place> PlaceOfNewFile(const std::string& path) {
  std::string native;
  try {
    native = platform::ToNativePath(path);
  } catch (const platform::SystemError&) {
    return std::nullopt;  // fails where the job uses it, with its own line
  }
  if (platform::IdentityOf(native)) return std::nullopt;
  return PlaceOf(native);
}

}  // namespace

std::optional<std::string> OwnFileAt(const JobSettings& job, const std::string& path, bool inputs) {
  const std::optional<platform::FileIdentity> target =
      platform::IdentityOf(platform::ToNativePath(path));
  if (!target) return std::nullopt;
  for (const OwnFile& own : OwnFiles(job)) {
    if (own.path.empty() || &own.path == &path || (own.input && !inputs)) continue;
    if (IdentityOfSetting(own.path) == target) return Described(own);
  }
  for (const platform::FileIdentity& program : platform::ProgramFileIdentities()) {
    if (program == *target) return "a file of the program itself";
  }
  return std::nullopt;
}

std::optional<std::string> RunLogClash(const JobSettings& job) {
  if (job.log.empty()) return std::nullopt;
  const std::string log = "the run log " + job.log;
  std::string native;
  try {
    native = platform::ToNativePath(job.log);
  } catch (const platform::SystemError& failure) {
    return log + ": " + failure.what();
  }
  if (platform::IdentityOf(native)) {
    // Entries appended to a device or a pipe damage no file.
    if (!platform::IsExistingFile(native)) return std::nullopt;
    std::optional<std::string> own = OwnFileAt(job, job.log, true);
    return own ? std::optional(log + " is " + *own) : std::nullopt;
  }
  // The first entry would make the file that an output is to be written to, or the other way round.
  const Place place = PlaceOf(native);
  for (const OwnFile& own : OwnFiles(job)) {
    if (own.output && !own.path.empty() && PlaceOfNewFile(own.path) == place) {
      return log + " is " + Described(own);
    }
  }
  return std::nullopt;
}

std::optional<OutputClash> NewOutputsClash(const JobSettings& job) {
  std::vector<std::pair<const OwnFile*, Place>> made;
  const auto own_files = OwnFiles(job);
  for (const OwnFile& own : own_files) {
    if (!own.output || own.path.empty()) continue;
    const std::optional<Place> place = PlaceOfNewFile(own.path);
    if (!place) continue;
    for (const auto& [earlier, earlier_place] : made) {
      if (earlier_place == *place) {
        std::string what = own.what;
        what[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
        return OutputClash{&own.path, what + " is " + Described(*earlier)};
      }
    }
    made.emplace_back(&own, *place);
  }
  return std::nullopt;
}

}  // namespace tarvex::job
