#pragma once
// Reference way of computing the mean curve, kept for benchmarks and for checking the fast
// way against it: for every grid point, every file is read again from disk and searched
// from row 1. Results are identical to computeMeanCurve; it is only far slower.

#include "engine/averaging.h"

namespace mergon {

// Same preconditions, outcome and failures as computeMeanCurve.
Status baselineMeanCurve(TextFile &file, Session &session, MeanCurve &out);

} // namespace mergon
