#include "driver/parameter_file.h"

#include <exception>

#include "driver/options.h"
#include "job/console.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace tarvex::driver {

using job::JobSettings;

bool ReadParameterFile(JobSettings& job, const std::string& path) {
  try {
    platform::ProfileReader profile(platform::ToNativePath(path));
    for (const OptionRow& option : ParameterFileOptions()) {
      std::string value = profile.Read("Parameter", option.key);
      std::erase(value, '"');
      // Unlike the command line, values from the file keep their letter case.
      if (!value.empty()) option.apply(job, value);
    }
    return true;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("reading the parameter file " + path, failure);
    return false;
  }
}

}  // namespace tarvex::driver
