// Model C's total and merchantable stand volume (m3/ha).
#include <cmath>

#include "model.h"

namespace sylvo::c {

double Model::stand_volume(double h, double n, double b)
{
    const auto& v = coefficients.volume;
    const double vol =
        (v.v_height * h + v.v_const - v.v_ba * b - v.v_slender * h / std::sqrt(n)) * b + v.v_nh * n * h;
    if (vol <= 0) return 0.0;
    return vol;
}

double Model::merch_volume(double h, double n, double b, double d)
{
    const auto& v = coefficients.volume;
    // No stand, no volume: without basal area or trees the mean diameter
    // and the limit ratio are undefined.
    if (b <= 0 || n <= 0) return 0.0;
    const double qmd = quadratic_mean_diameter(b, n);
    const double vol = stand_volume(h, n, b);
    const double f1 = std::pow(v.m_tph_ref / n, v.m_tph_power);
    const double f2 = std::pow(qmd / v.m_divisor, v.m_size_power);
    const double g = std::pow(qmd / v.m_divisor, v.m_limit_d_power);
    const double j = std::pow(h / v.m_divisor, v.m_limit_h_power);
    // The limit ratio z and its exponential share: 1 at d = 0, falling
    // towards 0 as d passes the mean diameter.
    const double z = v.m_limit_scale * g * j * d / qmd;
    const double f3 = std::exp(-std::pow(z, v.m_limit_exponent));
    return v.m_factor * vol * f1 * f2 * f3;
}

}  // namespace sylvo::c
