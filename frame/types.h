// Value types and constants shared by the frame and every model.
#pragma once

#include <cmath>

namespace sylvo {

// Returned where an age cannot be given for the inputs.
inline constexpr double MISSING_VALUE = -999.0;

// A stand at one age: trees per hectare and basal area (m2/ha), in this
// order. The projection overwrites it in place.
struct StandState {
    double trees_per_hectare;
    double basal_area;
};

// How a model turns an age difference into a number of Runge-Kutta steps.
enum class StepRule {
    // ceil(|d| / 1.0 - 1e-06): steps of at most one year, none for |d| <= 1e-06.
    whole_years,
    // trunc(|d|) / 4 + 1: steps shorter than four years, at least one.
    four_year_blocks,
};

// The interval and tolerance of the site-index search.
struct SearchInterval {
    double lo;
    double hi;
    double tol;
};

// Coefficients of the thinning response. The outer exponents equal 1/m and
// 1/k to double precision but are stored, as is cn (1/cb to five or six
// significant digits, not its exact reciprocal).
struct ThinningCoefficients {
    double k;             // exponent of tree numbers
    double m;             // exponent of basal areas
    double e;             // exponent of the stand value p
    double cb;            // cross coefficient of thinned_ba
    double cn;            // cross coefficient of thinned_tph
    double ba_outer;      // 1/m
    double tph_outer;     // 1/k
};

// What the frame needs to know of a model besides its functions.
struct FrameConstants {
    double version;
    StepRule step_rule;
    SearchInterval site_search;
    ThinningCoefficients thinning;
    // Whether the library's start-up selects extended precision (64-bit
    // significand) for the x87 unit at every entry notification (32-bit
    // Windows); otherwise it leaves the precision the host has set.
    bool extended_precision;
};

// Quadratic mean diameter (cm) from basal area (m2/ha) and trees per
// hectare: sqrt(40000/pi * B / N), the product first, then the quotient.
// No guard.
inline double quadratic_mean_diameter(double basal_area, double trees_per_hectare)
{
    return std::sqrt(12732.3954473516 * basal_area / trees_per_hectare);
}

}  // namespace sylvo
