// Writing the predicted outputs to a delimited text file.
#pragma once

#include "driver/job_settings.h"

namespace tarvex {

// Statement numbers that the output stage's failure line reports; they identify the failing
// statement and stay the same from release to release.
enum OutputStatement : int {
  kReadOutputBounds = 10,
  kChooseTarget = 20,
  kCreateTextFile = 110,
  kWriteTextLine = 120,
  kCloseTextFile = 130,
  kWriteWorkbook = 210,
  kWriteDatabase = 310,
};

// Replaces the file pof with one line per row of PredictionOutputs, values in the general number
// form separated by delimiter, every line ending with CR LF. Lines written before a failure stay.
// Throws Failure with the system's description; statement tells where it stopped.
void WriteTextOutput(const JobSettings& job, char delimiter, int& statement);

}  // namespace tarvex
