// Model B (library sylvob): its site curve type and its coefficients.
#pragma once

#include <cstddef>

#include "merch_ratio.h"
#include "types.h"

namespace sylvo::b {

// Model B's site: the site index, the age shift, and the curve time K at
// which the height reaches 1.3 m.
struct SiteCurve {
    double site_index;          // S
    double age_shift;           // u
    double breast_height_age;   // K
};

// At load K is 0.0, not derived from S = 18.
inline constexpr SiteCurve load_time_site{18.0, 0.0, 0.0};

// The terms of the stand equations that depend on the scaled age alone:
// the five powers of tau.
struct AgeTerms {
    double p5, p7, p11, p13, p16;   // tau^b5, tau^b7, tau^b11, tau^b13, tau^b16
};

struct ModelCoefficients {
    FrameConstants frame;

    // Stand dynamics, b0 to b16.
    struct Dynamics {
        double b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15, b16;
    } dynamics;

    // Site curve.
    struct Site {
        double breast_height;       // m; accepted site indices lie above it
        double largest_site;        // inclusive
        double k_num, k_add;        // K = 110.76 / S + 4.1578
        double g_const, g_age, g_site;  // G(a) = 1 + exp(9.794 - 1.466 ln a - 1.287 ln(S - 1.3))
        double index_age;           // 50: time since breast height at which the curve is S
        double juvenile_power;      // exponent of the curve below breast height
        double inverse_power;       // 1/1.466
    } site;

    // Stand and merchantable volume.
    struct Volume {
        double w0, w1, w2;
        MerchRatioCoefficients merch;
    } volume;
};

inline constexpr ModelCoefficients coefficients{
    .frame = {
        .version = 1.0,
        .step_rule = StepRule::whole_years,
        .site_search = {.lo = 2.0, .hi = 80.0, .tol = 0.001},
        .thinning = {.k = 0.29197, .m = 0.25912, .e = 0.48165, .cb = 7.79775, .cn = 0.128242,
                     .ba_outer = 3.8592158073479466, .tph_outer = 3.4250094187759017},
        .extended_precision = true,
    },
    .dynamics = {
        .b0 = 0.0478198, .b1 = 0.639635, .b2 = 4.15826, .b3 = 4.70504, .b4 = 6.69127,
        .b5 = 0.382059, .b6 = 0.974894, .b7 = 1.51159, .b8 = 1.3865, .b9 = 1.23475,
        .b10 = 0.488919, .b11 = 2.4543, .b12 = 0.135531, .b13 = 1.38175, .b14 = 1.40002,
        .b15 = 1.10764, .b16 = 0.999185,
    },
    .site = {
        .breast_height = 1.3,
        .largest_site = 80.5,
        .k_num = 110.76, .k_add = 4.1578,
        .g_const = 9.794, .g_age = 1.466, .g_site = 1.287,
        .index_age = 50.0,
        .juvenile_power = 2.0,
        .inverse_power = 0.6821282401091405,
    },
    .volume = {
        .w0 = 1.0481, .w1 = 0.2965, .w2 = 10.677,
        .merch = {.q0 = 55.322, .q1 = -0.3438, .q2 = -0.39447, .q3 = 0.4},
    },
};

// Model B as the frame sees it.
struct Model {
    using SiteCurve = b::SiteCurve;
    using AgeTerms = b::AgeTerms;
    static constexpr const ModelCoefficients& coefficients = b::coefficients;
    static constexpr const SiteCurve& load_time_site = b::load_time_site;
#include "model_functions.inc"
};

}  // namespace sylvo::b
