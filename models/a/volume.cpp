// Model A's total and merchantable stand volume (m3/ha).
#include <cmath>

#include "model.h"

namespace sylvo::a {

double Model::stand_volume(double h, double n, double b)
{
    const auto& v = coefficients.volume;
    const double f = ((v.p1 * h + v.p2) - v.p3 * b) - (v.p4 * h) / std::sqrt(n);
    const double vol = b * f + v.p0;
    if (vol <= 0) return 0.0;
    return vol;
}

double Model::merch_volume(double h, double n, double b, double d)
{
    return merch_volume_by_ratio(coefficients.volume.merch, stand_volume, h, n, b, d);
}

}  // namespace sylvo::a
