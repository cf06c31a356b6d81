// Model C's height-age curve and its inverse.
//
// With curve time x = (age + 1) + u:
//   H = S exp(k (x^b - A50)),  A50 = (w + 50)^b,  k = ln(1.372 / S) / (w^b - A50),
// so ln H is linear in x^b and passes ln 1.372 at x = w = 13.25 - S / 6.096
// and ln S fifty years later. The exponent b is a cubic in S / 30.48.
#include <cmath>

#include "model.h"

namespace sylvo::c {

namespace {

const auto& site = coefficients.site;

}  // namespace

bool Model::set_site(SiteCurve& curve, double site_index, double age_shift)
{
    if (site_index < site.smallest_site) return false;
    if (!(site_index <= site.largest_site)) return false;
    curve.site_index = site_index;
    curve.age_shift = age_shift;
    const double u = site_index / site.feet_divisor;
    const double b = ((site.b3 * u + site.b2) * u + site.b1) * u + site.b0;
    curve.curve_exponent = b;
    const double w = site.w_zero - site_index / site.w_divisor;
    const double a50 = std::pow(w + site.index_age, b);
    curve.reference_term = a50;
    curve.curve_rate = std::log(site.breast_height / site_index) / (std::pow(w, b) - a50);
    return true;
}

double Model::dominant_height(const SiteCurve& curve, double age)
{
    const double x = (age + 1) + curve.age_shift;
    if (x < 0) return 0.0;
    return curve.site_index * std::exp(curve.curve_rate * (std::pow(x, curve.curve_exponent) - curve.reference_term));
}

double Model::age_at_height(const SiteCurve& curve, double h)
{
    if (h <= 0) return MISSING_VALUE;
    // A site index of exactly 1.372 gives a flat curve (k = 0): no height
    // fixes an age on it.
    if (curve.curve_rate == 0) return MISSING_VALUE;
    const double y = std::log(h / curve.site_index) / curve.curve_rate + curve.reference_term;
    // y < 0 for every height above the curve's asymptote.
    if (y < 0) return MISSING_VALUE;
    return (std::pow(y, 1 / curve.curve_exponent) - 1) - curve.age_shift;
}

}  // namespace sylvo::c
