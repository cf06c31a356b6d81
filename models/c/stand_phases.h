// Model C's stand equations in three phases, so that a batch of stands can
// take each phase for many stands at a time: the arguments of the
// exponentials that depend on the state, the exponentials themselves (the
// growth term's exponential of an exponential last), and the derivatives
// from them. The one-stand form (dynamics.cpp) and the block form below run
// the same operations on the same values, in the equations' order.
#pragma once

#include <cmath>
#include <cstddef>

#include "model.h"

namespace sylvo::c {

// The argument of the density term E2 = exp(c3 (c2 tau + x0 - c4)).
inline double loss_density_argument(double tau, double x0)
{
    const auto& c = coefficients.dynamics;
    return c.c3 * (c.c2 * tau + x0 - c.c4);
}

// The argument of the growth term's exp(-c7 exp(x0) tau^2), given exp(x0).
inline double growth_argument(double tau, double exp_x0)
{
    const auto& c = coefficients.dynamics;
    return -c.c7 * exp_x0 * (tau * tau);
}

// dx0: the base loss of trees (the age-decaying term E1 and the density term
// E2 = loss_density) scaled by its correction polynomial.
inline double tree_loss(double tau, const AgeTerms& terms, double x0, double x1, double loss_density)
{
    const auto& c = coefficients.dynamics;
    const double d0 = -c.c0 * terms.decay - c.c2 * loss_density;
    const double p0 = 1 + c.c10 * x0 + c.c11 * x1 + c.c12 * tau + c.c13 * (x0 * x0) + c.c14 * (x1 * x1) +
                      c.c15 * (tau * tau) + c.c16 * x0 * x1 + c.c17 * x0 * tau + c.c18 * x1 * tau;
    return p0 * d0;
}

// dx1: the base change of the basal-area coordinate (a saturating growth
// term, growth = exp(-c7 exp(x0) tau^2), and a coupling to the corrected
// loss of trees dx0) scaled by its correction polynomial.
inline double basal_area_change(double tau, const AgeTerms& terms, double x0, double x1, double growth, double dx0)
{
    const auto& c = coefficients.dynamics;
    const double d1 = (c.c5 + c.c6 * tau) * (1 - growth) + c.c8 * x1 * terms.coupling_power * dx0;
    const double p1 = 1 + c.c19 * x0 + c.c20 * x1 + c.c21 * tau + c.c22 * (x0 * x0) + c.c23 * (x1 * x1) +
                      c.c24 * (tau * tau) + c.c25 * x0 * x1 + c.c26 * x0 * tau + c.c27 * x1 * tau;
    return p1 * d1;
}

// The block form: each phase over the K stands before the next, so that the
// exponentials are called back to back on independent values and the
// arithmetic between them runs across the stands.
template <std::size_t K>
void Model::stand_derivatives_block(double tau, const AgeTerms& terms, const double* x0, const double* x1, double* dx0,
                                    double* dx1)
{
    double loss_density[K], growth[K];
    for (std::size_t k = 0; k < K; ++k) loss_density[k] = loss_density_argument(tau, x0[k]);
    for (std::size_t k = 0; k < K; ++k) loss_density[k] = std::exp(loss_density[k]);
    for (std::size_t k = 0; k < K; ++k) growth[k] = std::exp(x0[k]);
    for (std::size_t k = 0; k < K; ++k) growth[k] = growth_argument(tau, growth[k]);
    for (std::size_t k = 0; k < K; ++k) growth[k] = std::exp(growth[k]);
    for (std::size_t k = 0; k < K; ++k) {
        dx0[k] = tree_loss(tau, terms, x0[k], x1[k], loss_density[k]);
        dx1[k] = basal_area_change(tau, terms, x0[k], x1[k], growth[k], dx0[k]);
    }
}

}  // namespace sylvo::c
