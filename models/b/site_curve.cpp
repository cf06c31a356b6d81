// Model B's height-age curve and its inverse.
//
// With curve time t = (age + 1) + u and time since breast height d = t - K:
//   below breast height  H = 1.3 (t / K)^2;
//   above it             H = (S - 1.3) G(50) / G(d) + 1.3,
//                        G(a) = 1 + exp(9.794 - 1.466 ln a - 1.287 ln(S - 1.3)),
// a log-logistic curve through S at d = 50, levelling off below
// Hmax = 1.3 + (S - 1.3) G(50).
#include <cmath>

#include "model.h"

namespace sylvo::b {

namespace {

const auto& site = coefficients.site;

double curve_factor(const SiteCurve& curve, double a)
{
    return std::exp((site.g_const - site.g_age * std::log(a)) -
                    site.g_site * std::log(curve.site_index - site.breast_height)) +
           1;
}

}  // namespace

bool Model::set_site(SiteCurve& curve, double site_index, double age_shift)
{
    if (site.breast_height >= site_index) return false;
    if (!(site_index <= site.largest_site)) return false;
    curve.site_index = site_index;
    curve.age_shift = age_shift;
    curve.breast_height_age = site.k_num / site_index + site.k_add;
    return true;
}

double Model::dominant_height(const SiteCurve& curve, double age)
{
    const double k = curve.breast_height_age;
    const double t = (age + 1) + curve.age_shift;
    if (t < 0) return 0.0;
    const double d = t - k;
    if (d <= 0) return site.breast_height * std::pow(t / k, site.juvenile_power);
    return ((curve.site_index - site.breast_height) * curve_factor(curve, site.index_age)) / curve_factor(curve, d) +
           site.breast_height;
}

double Model::age_at_height(const SiteCurve& curve, double h)
{
    const double s = curve.site_index;
    const double u = curve.age_shift;
    const double k = curve.breast_height_age;

    if (h <= site.breast_height) {
        if (h <= 0) return MISSING_VALUE;
        return k * std::sqrt(h / site.breast_height) - 1 - u;
    }

    // R = (d / 50)^1.466; negative exactly when h lies above Hmax.
    const double a = curve_factor(curve, site.index_age);
    const double r = ((h - site.breast_height) * (a - 1)) / (a * (s - site.breast_height) - (h - site.breast_height));
    if (r < 0) return MISSING_VALUE;
    const double d = site.index_age * std::pow(r, site.inverse_power);
    return ((k + d) - 1) - u;
}

}  // namespace sylvo::b
