// Model C (library sylvoc): its site curve type and its coefficients.
#pragma once

#include <cstddef>

#include "types.h"

namespace sylvo::c {

// Model C's site: the site index, the age shift and the three values the
// curve derives from the site index.
struct SiteCurve {
    double site_index;       // S
    double age_shift;        // u
    double curve_exponent;   // b, negative over the accepted range
    double reference_term;   // A50 = (w + 50)^b
    double curve_rate;       // k = ln(1.372 / S) / (w^b - A50)
};

inline constexpr SiteCurve load_time_site{30.0, 0.0, 0.0, 0.0, 0.0};

// The terms of the stand equations that depend on the scaled age alone.
struct AgeTerms {
    double decay;            // E1 = exp(-c1 tau)
    double coupling_power;   // tau^c9
};

struct ModelCoefficients {
    FrameConstants frame;

    // Stand dynamics, c0 to c27.
    struct Dynamics {
        double c0, c1, c2, c3, c4, c5, c6, c7, c8, c9;
        double c10, c11, c12, c13, c14, c15, c16, c17, c18;  // correction polynomial P0
        double c19, c20, c21, c22, c23, c24, c25, c26, c27;  // correction polynomial P1
    } dynamics;

    // Site curve.
    struct Site {
        double smallest_site, largest_site;  // both inclusive
        double feet_divisor;                 // u = S / 30.48
        double b3, b2, b1, b0;               // b = ((b3 u + b2) u + b1) u + b0
        double w_zero, w_divisor;            // w = 13.25 - S / 6.096
        double index_age;                    // 50 years from breast height to the site index
        double breast_height;                // 1.372 m
    } site;

    // Stand and merchantable volume.
    struct Volume {
        double v_const, v_height, v_ba, v_slender, v_nh;  // stand volume
        double m_factor, m_tph_ref, m_tph_power;         // merchantable volume
        double m_divisor, m_size_power;
        double m_limit_scale, m_limit_d_power, m_limit_h_power, m_limit_exponent;
    } volume;
};

inline constexpr ModelCoefficients coefficients{
    .frame = {
        .version = 1.2,
        .step_rule = StepRule::four_year_blocks,
        .site_search = {.lo = 1.0, .hi = 80.0, .tol = 0.001},
        .thinning = {.k = 0.55678, .m = 0.57086, .e = 1.2987, .cb = 185.88, .cn = 0.0053798,
                     .ba_outer = 1.751742984269348, .tph_outer = 1.7960415244800458},
        .extended_precision = false,
    },
    .dynamics = {
        .c0 = 0.226788, .c1 = 1.99265, .c2 = 0.70132, .c3 = 4.26397, .c4 = 2.41424,
        .c5 = -0.14782, .c6 = 0.838876, .c7 = 0.89648, .c8 = 0.193436, .c9 = 0.689223,
        .c10 = 0.566735, .c11 = -0.577931, .c12 = 0.532844, .c13 = -0.0425355, .c14 = 0.121589,
        .c15 = -0.166314, .c16 = 0.766793, .c17 = -0.874513, .c18 = 0.0251072,
        .c19 = -0.223694, .c20 = 0.23186, .c21 = -0.355166, .c22 = 0.0594313, .c23 = -0.0191612,
        .c24 = 0.0486283, .c25 = -0.0669217, .c26 = 0.126619, .c27 = -0.0215096,
    },
    .site = {
        .smallest_site = 0.000001, .largest_site = 80.5,
        .feet_divisor = 30.48,
        .b3 = -0.171666, .b2 = 0.793548, .b1 = -0.894427, .b0 = -0.477762,
        .w_zero = 13.25, .w_divisor = 6.096,
        .index_age = 50.0,
        .breast_height = 1.372,
    },
    .volume = {
        .v_const = 0.15471, .v_height = 0.49184, .v_ba = 0.067306, .v_slender = 1.5458, .v_nh = 0.00018096,
        .m_factor = 0.882771, .m_tph_ref = 1000.0, .m_tph_power = 0.0214634,
        .m_divisor = 10.0, .m_size_power = 0.0403751,
        .m_limit_scale = 0.8707652, .m_limit_d_power = 0.308494, .m_limit_h_power = -0.361441,
        .m_limit_exponent = 6.7564,
    },
};

// Model C as the frame sees it.
struct Model {
    using SiteCurve = c::SiteCurve;
    using AgeTerms = c::AgeTerms;
    static constexpr const ModelCoefficients& coefficients = c::coefficients;
    static constexpr const SiteCurve& load_time_site = c::load_time_site;
#include "model_functions.inc"
};

}  // namespace sylvo::c
