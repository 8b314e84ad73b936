// The outputs of a classification job as read turned into classes: the class list and one column
// of 0 and 1 per class, with the rows that have no label left out.
#pragma once

#include <vector>

#include "job/job_settings.h"
#include "job/text_cells.h"

namespace tarvex::input {

// From the training outputs as read (values, with the texts and blanks of cells): job.Classes and
// job.ClassesAreNumbers; job.TrainingOutputs as one column per class from 0 (row bounds of the
// training inputs, unscaled 0 and 1), TrainingOutputMin/Max 0 and 1 per column, and
// TrainingOutputValues the same when keep_values. Rows without a label are left out of the
// outputs and the inputs, and counted in job.UnlabelledTrainingRows; then the inputs are scaled
// afresh from input_values, the training inputs as read. Outputs without dimensions (no
// records) stay so, for the data check to name. labelled_rows (when given) receives the
// positions from 0 of the rows with a label. Logs and returns false.
bool SetTrainingClasses(job::JobSettings& job, const job::DataMatrix& values,
                        const job::TextCells& cells, const job::DataMatrix& input_values,
                        bool keep_values, std::vector<job::Index>* labelled_rows = nullptr);

// The validation outputs the same way onto the training classes of job.Classes, into
// ValidationOutputs and ValidationOutputValues; rows without a label are left out of
// ValidationInputs too and counted in job.UnlabelledValidationRows.
bool SetValidationClasses(job::JobSettings& job, const job::DataMatrix& values,
                          const job::TextCells& cells);

}  // namespace tarvex::input
