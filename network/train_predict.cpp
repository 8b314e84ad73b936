#include "network/train_predict.h"

namespace tarvex {

bool TrainAndPredict(JobSettings&) { return false; }  // seam

}  // namespace tarvex
