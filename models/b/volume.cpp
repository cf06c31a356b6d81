// Model B's total and merchantable stand volume (m3/ha).
#include <cmath>

#include "model.h"

namespace sylvo::b {

double Model::stand_volume(double h, double n, double b)
{
    const auto& v = coefficients.volume;
    const double f = (v.w1 * h + v.w0) - (v.w2 * h) / n;
    const double vol = f * b;
    if (vol <= 0) return 0.0;
    return vol;
}

double Model::merch_volume(double h, double n, double b, double d)
{
    return merch_volume_by_ratio(coefficients.volume.merch, stand_volume, h, n, b, d);
}

}  // namespace sylvo::b
