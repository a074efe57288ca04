#pragma once
// The quantile of Student's t distribution that a confidence interval of the mean needs, from
// Boost.Math; kept to this one file so that the rest of the engine needs no Boost header.

namespace mergon {

// The t for which a share `level` of Student's t distribution with `degreesOfFreedom` lies
// between -t and t (1.96 for 0.95 as the degrees of freedom grow). NaN unless 0 < level < 1
// and degreesOfFreedom >= 1.
double twoSidedStudentT(double level, double degreesOfFreedom);

} // namespace mergon
