// Model B's stand equations in three phases, so that a batch of stands can
// take each phase for many stands at a time: the arguments of the
// exponentials that depend on the state, the exponentials themselves (the
// onset factor's exponential of an exponential last), and the derivatives
// from them. The one-stand form (dynamics.cpp) and the block form below run
// the same operations on the same values, in the equations' order.
#pragma once

#include <cmath>
#include <cstddef>
#include <initializer_list>

#include "model.h"

namespace sylvo::b {

// The arguments of the exponentials: of E1, E2, the density factor F, the
// inner exp(b10 x0) of the onset factor and the damping exp(b15 x0).
struct ExponentArguments {
    double loss_age, loss_density, density, onset_rate, damping;
};

// Their values, with the onset factor's exp(-b9 exp(b10 x0) tau^b11).
struct Exponentials {
    double loss_age, loss_density, density, onset, damping;
};

inline ExponentArguments exponent_arguments(double tau, const AgeTerms& terms, double x0)
{
    const auto& b = coefficients.dynamics;
    return {
        .loss_age = x0 - b.b1 * tau,
        .loss_density = b.b3 * ((b.b2 * terms.p5 + x0) - b.b4),
        .density = b.b6 * x0,
        .onset_rate = b.b10 * x0,
        .damping = b.b15 * x0,
    };
}

// The onset factor's argument, given exp(b10 x0).
inline double onset_argument(const AgeTerms& terms, double onset_rate)
{
    const auto& b = coefficients.dynamics;
    return -b.b9 * onset_rate * terms.p11;
}

// Loss of trees: an age-decaying term proportional to N, and a
// density-dependent term that rises steeply once x0 + b2 tau^b5 passes b4.
inline double tree_loss(const Exponentials& e)
{
    const auto& b = coefficients.dynamics;
    return -b.b0 * e.loss_age - b.b2 * e.loss_density;
}

// Change of the basal-area coordinate: the growth term (density factor,
// onset factor and damping divisor), coupled to the loss of trees dx0.
inline double basal_area_change(const AgeTerms& terms, const Exponentials& e, double x1, double dx0)
{
    const auto& b = coefficients.dynamics;
    const double s = 1 - e.onset;
    const double r = 1 + b.b14 * e.damping * terms.p16;
    const double g = b.b8 * e.density * terms.p7 * s / r;
    return g + b.b12 * x1 * terms.p13 * dx0;
}

// The block form: each phase over the K stands before the next, so that the
// exponentials are called back to back on independent values and the
// arithmetic between them runs across the stands.
template <std::size_t K>
void Model::stand_derivatives_block(double tau, const AgeTerms& terms, const double* x0, const double* x1, double* dx0,
                                    double* dx1)
{
    double loss_age[K], loss_density[K], density[K], onset_rate[K], damping[K], onset[K];
    for (std::size_t k = 0; k < K; ++k) {
        const ExponentArguments a = exponent_arguments(tau, terms, x0[k]);
        loss_age[k] = a.loss_age;
        loss_density[k] = a.loss_density;
        density[k] = a.density;
        onset_rate[k] = a.onset_rate;
        damping[k] = a.damping;
    }
    for (double* v : {loss_age, loss_density, density, onset_rate, damping}) {
        for (std::size_t k = 0; k < K; ++k) v[k] = std::exp(v[k]);
    }
    for (std::size_t k = 0; k < K; ++k) onset[k] = onset_argument(terms, onset_rate[k]);
    for (std::size_t k = 0; k < K; ++k) onset[k] = std::exp(onset[k]);
    for (std::size_t k = 0; k < K; ++k) {
        const Exponentials e{loss_age[k], loss_density[k], density[k], onset[k], damping[k]};
        dx0[k] = tree_loss(e);
        dx1[k] = basal_area_change(terms, e, x1[k], dx0[k]);
    }
}

}  // namespace sylvo::b
