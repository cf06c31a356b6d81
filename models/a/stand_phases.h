// Model A's stand equations in phases, so that a batch of stands can take
// each phase for many stands at a time: the argument of the exponential that
// depends on the state, the exponentials, and the derivatives from them. The
// one-stand form (dynamics.cpp) and the block form below run the same
// operations on the same values, in the equations' order.
#pragma once

#include <cmath>
#include <cstddef>

#include "model.h"

namespace sylvo::a {

// The argument of the density-dependent term E2 = exp(a3 ((a2 tau + x0) - a4)).
inline double loss_density_argument(double tau, double x0)
{
    const auto& a = coefficients.dynamics;
    return a.a3 * ((a.a2 * tau + x0) - a.a4);
}

// Loss of trees: an age-decaying term E1 and the density-dependent term E2
// (loss_density) that draws x0 + a2 tau towards a4.
inline double tree_loss(const AgeTerms& terms, double loss_density)
{
    const auto& a = coefficients.dynamics;
    return -a.a0 * terms.decay - a.a2 * loss_density;
}

// Change of the basal-area coordinate, given exp(x0) and the loss of trees
// dx0: growth with onset factor Z, coupled to the loss of trees.
inline double basal_area_change(double tau, const AgeTerms& terms, double x0, double x1, double exp_x0, double dx0)
{
    const auto& a = coefficients.dynamics;
    // Density D = 0.01 B + 0.000002 N.
    const double d = x1 / tau + (a.tph_density_scale * a.a9) * exp_x0;

    // Modifier Q (a cubic in tau by Horner's rule, then six terms one by one)
    // and divisor R.
    const double q = (((a.a23 * tau + a.a18) * tau + a.a14) * tau + 1) + a.a19 * x0 + a.a22 * x0 * tau +
                     a.a24 * (x0 * x0) + a.a25 * d + a.a26 * d * tau + a.a27 * d * x0;
    const double r = (a.a11 * tau + a.a10) + a.a12 * d + a.a13 * tau * d;

    return (d * tau * terms.onset) * q / r + a.a15 * x1 * terms.coupling_power * dx0;
}

// The block form: each phase over the K stands before the next, so that the
// exponentials are called back to back on independent values and the
// arithmetic between them runs across the stands.
template <std::size_t K>
void Model::stand_derivatives_block(double tau, const AgeTerms& terms, const double* x0, const double* x1, double* dx0,
                                    double* dx1)
{
    double loss_density[K], exp_x0[K];
    for (std::size_t k = 0; k < K; ++k) loss_density[k] = loss_density_argument(tau, x0[k]);
    for (std::size_t k = 0; k < K; ++k) loss_density[k] = std::exp(loss_density[k]);
    for (std::size_t k = 0; k < K; ++k) exp_x0[k] = std::exp(x0[k]);
    for (std::size_t k = 0; k < K; ++k) {
        dx0[k] = tree_loss(terms, loss_density[k]);
        dx1[k] = basal_area_change(tau, terms, x0[k], x1[k], exp_x0[k], dx0[k]);
    }
}

}  // namespace sylvo::a
