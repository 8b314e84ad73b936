// Writing the predicted outputs to a delimited text file.
#pragma once

#include "job/job_settings.h"

namespace tarvex::output {

enum TextStatement : int {
  kCreateTextFile = 110,
  kWriteTextLine = 120,
  kCloseTextFile = 130,
};

// Replaces the file pof with one line per row of PredictionOutputs, values in the general number
// form separated by delimiter, every line ending with CR LF. A classification job's line is the
// predicted label (quoted where it holds the delimiter or a quote), then with /pp=1 the
// probabilities. The new file takes the old one's place only when it is complete: after a failure
// the previous file is as it was. Throws StatementFailure with the system's description and the
// failing statement.
void WriteTextOutput(const job::JobSettings& job, char delimiter);

}  // namespace tarvex::output
