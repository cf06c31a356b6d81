// The merchantable-volume form shared by Models A and B: the volume less
// q3 m3 per m2 of basal area, times the share above the diameter limit d,
//
//   (V - q3 B) exp(q2 d^W D^(1 - W) / H),   W = q0 N^q1,  D the mean diameter,
//
// 0.0 for B <= 0 and not clamped otherwise.
#pragma once

#include <cmath>

#include "types.h"

namespace sylvo {

struct MerchRatioCoefficients {
    double q0;  // scale of the exponent W over N
    double q1;  // power of N in W
    double q2;  // coefficient of the exponent
    double q3;  // volume per unit of basal area deducted (m3 per m2)
};

template <class StandVolume>
double merch_volume_by_ratio(const MerchRatioCoefficients& q, StandVolume&& stand_volume, double h, double n,
                             double b, double d)
{
    if (b <= 0) return 0.0;
    const double qmd = quadratic_mean_diameter(b, n);
    const double w = q.q0 * std::pow(n, q.q1);
    const double vol = stand_volume(h, n, b);
    // q2 D (d / D)^W / H, written as q2 d^W D^(1 - W) / H.
    const double x = ((q.q2 * std::pow(d, w)) * std::pow(qmd, 1 - w)) / h;
    return (vol - q.q3 * b) * std::exp(x);
}

}  // namespace sylvo
