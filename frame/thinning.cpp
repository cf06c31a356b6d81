#include "thinning.h"

#include <cmath>

namespace sylvo {

double thinned_ba(const ThinningCoefficients& c, double p, double n1, double b1, double n2)
{
    // A value that is not a number passes these tests.
    if (p <= 0 || n1 <= 0 || b1 <= 0 || n2 <= 0) return 0.0;
    const double q = std::pow(n2 * n1, c.k);
    const double x = c.cb * std::pow(p, -c.e) * std::pow(b1, c.m) * (std::pow(n1, c.k) - std::pow(n2, c.k));
    const double r = q / (q + x);
    return std::pow(r, c.ba_outer) * b1;
}

double thinned_tph(const ThinningCoefficients& c, double p, double n1, double b1, double b2)
{
    if (p <= 0 || n1 <= 0 || b1 <= 0 || b2 <= 0) return 0.0;
    const double q = std::pow(b2 * b1, c.m);
    const double x = c.cn * std::pow(p, c.e) * std::pow(n1, c.k) * (std::pow(b1, c.m) - std::pow(b2, c.m));
    const double r = q / (q + x);
    return std::pow(r, c.tph_outer) * n1;
}

}  // namespace sylvo
