#include "output/out_predict.h"

namespace tarvex {

bool OutPredictToFile(const JobSettings&) { return false; }  // seam

}  // namespace tarvex
