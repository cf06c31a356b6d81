// Model A's height-age curve and its inverse.
//
// With curve age T = (age + 1) + u and w = (T - K) + 0.5:
//   main curve      M(w) = (S - 1.3) G(50) / G(w) + 1.3,
//                   G(x) = 1 + exp(7.6298 - 1.3563 ln(x - 0.5) - 0.8949 ln(S - 1.3));
//   low sites       P(T) = 1.3 (T / K)^1.8 up to T = K, then M;
//   high sites      J(T) = c T^1.902 0.9645^T up to w = 0, a straight-line
//                   bridge to M(2) over 0 < w < 2, then M.
#include <cmath>

#include "find_root.h"
#include "model.h"

namespace sylvo::a {

namespace {

const auto& site = coefficients.site;

bool is_low_site(const SiteCurve& curve)
{
    return curve.site_index < site.high_site;
}

// G(x) for the curve's site.
double curve_factor(const SiteCurve& curve, double x)
{
    const double l1 = std::log(x - site.half);
    const double l2 = std::log(curve.site_index - site.breast_height);
    return std::exp((site.g_const - site.g_age * l1) - site.g_site * l2) + 1;
}

// M(w): the main curve, S at w = 50 and tending to 1.3 as w falls to 0.5.
double main_curve(const SiteCurve& curve, double w)
{
    return (curve.site_index - site.breast_height) * curve_factor(curve, site.index_age) / curve_factor(curve, w) +
           site.breast_height;
}

// c, the scale of the juvenile curve of high sites.
double juvenile_scale(const SiteCurve& curve)
{
    return site.juv_slope * curve.site_index + site.juv_intercept;
}

// J(T) = c T^1.902 0.9645^T.
double juvenile_height(const SiteCurve& curve, double t)
{
    return juvenile_scale(curve) * std::pow(t, site.juv_power) * std::pow(site.juv_base, t);
}

}  // namespace

bool Model::set_site(SiteCurve& curve, double site_index, double age_shift)
{
    if (site_index <= site.breast_height) return false;
    if (site_index > site.largest_site || std::isnan(site_index)) return false;
    curve.site_index = site_index;
    curve.age_shift = age_shift;
    if (site_index < site.high_site) {
        curve.breast_height_age = site.low_k_num / site_index + site.low_k_add;
    } else {
        curve.breast_height_age = site.high_k_scale * std::pow(site_index - site.high_k_offset, site.high_k_power);
    }
    return true;
}

double Model::dominant_height(const SiteCurve& curve, double age)
{
    const double k = curve.breast_height_age;
    const double t = (age + 1) + curve.age_shift;
    if (t < 0) return 0.0;
    const double w = (t - k) + site.half;

    if (is_low_site(curve)) {
        if (w <= site.half) return site.breast_height * std::pow(t / k, site.low_power);
        return main_curve(curve, w);
    }

    if (w <= 0) return juvenile_height(curve, t);
    if (w >= site.bridge_end) return main_curve(curve, w);

    // Bridge: from J(K - 0.5) at w = 0 to M(2) at w = 2, in a straight line.
    const double juvenile_end = k - site.half;
    return (1 - w / site.bridge_end) * juvenile_scale(curve) * std::pow(juvenile_end, site.juv_power) *
               std::pow(site.juv_base, juvenile_end) +
           (w / site.bridge_end) * main_curve(curve, site.bridge_end);
}

double Model::age_at_height(const SiteCurve& curve, double h)
{
    const double s = curve.site_index;
    const double u = curve.age_shift;
    const double k = curve.breast_height_age;
    double y = 0.0;

    // Main curve in closed form (a height that is not a number comes here too).
    if (!(h <= site.breast_height)) {
        // r = (y / 1.5)^1.3563 with y = w - 0.5; negative above the curve's limit.
        const double r = (h - site.breast_height) * (curve_factor(curve, site.main_inverse_start) - 1) /
                         (((s - site.breast_height) * curve_factor(curve, site.index_age) - h) + site.breast_height);
        if (r < 0) return MISSING_VALUE;
        y = std::pow(r, site.main_inverse_power);
        if (y >= site.main_inverse_start) return ((k + y) - u) - 1;
    }

    if (is_low_site(curve)) {
        if (h <= site.breast_height) return (std::pow(h / site.breast_height, site.low_inverse_power) * k - u) - 1;
        return ((k + y) - u) - 1;
    }

    // High site: below the bridge the juvenile curve, inverted by a search.
    const double h0 = dominant_height(curve, k - 1.5 - u);
    if (h0 > h) {
        auto juvenile_height_residual = [&curve, h](double t) { return h - juvenile_height(curve, t); };
        const double x = find_root(0.0, k, juvenile_height_residual, site.juvenile_tol).best;
        if (0 < x && x < k) return (x - 1) - u;
        return MISSING_VALUE;
    }

    // On the bridge: invert the straight line between w = 0 and w = 2.
    const double h2 = dominant_height(curve, k + 0.5 - u);
    return (((2.0 * (h - h0)) / (h2 - h0) + k) - 1.5) - u;
}

}  // namespace sylvo::a
