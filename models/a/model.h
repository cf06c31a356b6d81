// Model A (library sylvoa): its site curve type and its coefficients.
#pragma once

#include <cstddef>

#include "merch_ratio.h"
#include "types.h"

namespace sylvo::a {

// Model A's site: the site index, the age shift, and the curve age at which
// the main curve (and on low sites the juvenile curve) reaches 1.3 m.
struct SiteCurve {
    double site_index;          // S
    double age_shift;           // u
    double breast_height_age;   // K
};

// At load K is 0.0, not derived from S = 20.
inline constexpr SiteCurve load_time_site{20.0, 0.0, 0.0};

// The terms of the stand equations that depend on the scaled age alone.
struct AgeTerms {
    double decay;            // E1 = exp(-a1 tau)
    double onset;            // Z = 1 - exp(-a20 tau^a21)
    double coupling_power;   // tau^a16
};

struct ModelCoefficients {
    FrameConstants frame;

    // Stand dynamics. a5 to a8 and a17 belong to no equation.
    struct Dynamics {
        double a0, a1, a2, a3, a4;
        double a9, a10, a11, a12, a13, a14, a15, a16;
        double a18, a19, a20, a21, a22, a23, a24, a25, a26, a27;
        double tph_density_scale;   // scale of the tree-number part of D
    } dynamics;

    // Site curve.
    struct Site {
        double breast_height;       // m; accepted site indices lie above it
        double largest_site;        // inclusive
        double high_site;           // S < high_site is a low site
        double low_k_num, low_k_add;                    // K = 69.4 / S + 2.55
        double high_k_scale, high_k_offset, high_k_power;  // K = 21.6623 * (S - 9.05671)^-0.550762
        double g_const, g_age, g_site;                  // G(x) = 1 + exp(7.6298 - 1.3563 ln(x - 0.5) - 0.8949 ln(S - 1.3))
        double half;                // 0.5: added in w, taken off inside G
        double index_age;           // 50: w at which the main curve is S
        double low_power;           // exponent of the juvenile curve of low sites
        double juv_slope, juv_intercept;                // c = 0.004828 S - 0.03993
        double juv_power, juv_base;                     // J(T) = c T^1.902 0.9645^T
        double bridge_end;          // 2.0: end of the bridge in w, and its divisor
        double main_inverse_start;  // 1.5: y from which the closed-form main inverse holds
        double main_inverse_power;  // 1/1.3563
        double low_inverse_power;   // 1/1.8
        double juvenile_tol;        // tolerance of the juvenile age search
    } site;

    // Stand and merchantable volume.
    struct Volume {
        double p0, p1, p2, p3, p4;
        MerchRatioCoefficients merch;
    } volume;
};

inline constexpr ModelCoefficients coefficients{
    .frame = {
        .version = 1.1,
        .step_rule = StepRule::whole_years,
        .site_search = {.lo = 2.0, .hi = 80.0, .tol = 0.001},
        .thinning = {.k = 0.29197, .m = 0.25912, .e = 0.48165, .cb = 7.29885, .cn = 0.137008,
                     .ba_outer = 3.8592158073479466, .tph_outer = 3.4250094187759017},
        .extended_precision = true,
    },
    .dynamics = {
        .a0 = 0.218354, .a1 = 1.89103, .a2 = 0.981829, .a3 = 4.04133, .a4 = 2.74241,
        .a9 = 2.0, .a10 = -0.0419732, .a11 = 0.299358, .a12 = 7.04846, .a13 = -1.32402,
        .a14 = 3.98308, .a15 = 0.380682, .a16 = 0.209944,
        .a18 = -3.02457, .a19 = 0.853004, .a20 = 6.99235, .a21 = 2.02571, .a22 = -0.410308,
        .a23 = 0.585544, .a24 = -0.0729664, .a25 = 6.92322, .a26 = -1.93909, .a27 = 0.0,
        .tph_density_scale = 0.001,
    },
    .site = {
        .breast_height = 1.3,
        .largest_site = 80.5,
        .high_site = 18.5,
        .low_k_num = 69.4, .low_k_add = 2.55,
        .high_k_scale = 21.6623, .high_k_offset = 9.05671, .high_k_power = -0.550762,
        .g_const = 7.6298, .g_age = 1.3563, .g_site = 0.8949,
        .half = 0.5,
        .index_age = 50.0,
        .low_power = 1.8,
        .juv_slope = 0.004828, .juv_intercept = -0.03993,
        .juv_power = 1.902, .juv_base = 0.9645,
        .bridge_end = 2.0,
        .main_inverse_start = 1.5,
        .main_inverse_power = 0.737300007373,
        .low_inverse_power = 0.5555555555555556,
        .juvenile_tol = 0.001,
    },
    .volume = {
        .p0 = 0.92217, .p1 = 0.80391, .p2 = -1.4537, .p3 = 0.10925, .p4 = 4.7798,
        .merch = {.q0 = 99.468, .q1 = -0.40115, .q2 = -0.39391, .q3 = 0.4},
    },
};

// Model A as the frame sees it.
struct Model {
    using SiteCurve = a::SiteCurve;
    using AgeTerms = a::AgeTerms;
    static constexpr const ModelCoefficients& coefficients = a::coefficients;
    static constexpr const SiteCurve& load_time_site = a::load_time_site;
#include "model_functions.inc"
};

}  // namespace sylvo::a
