#include "engine/student_t.h"

#include <boost/math/distributions/students_t.hpp>

#include <limits>

namespace mergon {

namespace {

// Errors give NaN or infinity instead of exceptions; the arguments are checked before anyway.
namespace policies = boost::math::policies;
using NoThrow = policies::policy<policies::domain_error<policies::ignore_error>,
                                 policies::overflow_error<policies::ignore_error>,
                                 policies::evaluation_error<policies::ignore_error>>;

} // namespace

double twoSidedStudentT(double level, double degreesOfFreedom) {
    if (!(level > 0 && level < 1) || !(degreesOfFreedom >= 1))
        return std::numeric_limits<double>::quiet_NaN();
    const boost::math::students_t_distribution<double, NoThrow> t(degreesOfFreedom);
    // The upper tail as the complement: 1 - level is exact from 0.5 up, where 1 + level is not.
    return boost::math::quantile(boost::math::complement(t, (1 - level) / 2));
}

} // namespace mergon
