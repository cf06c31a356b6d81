// Model C's stand equations in the projection's coordinates
// tau = 0.1 t, x0 = ln(0.001 N), x1 = 0.01 B tau, each base rate scaled by
// a quadratic correction polynomial in (x0, x1, tau).
#include <cmath>

#include "model.h"

namespace sylvo::c {

AgeTerms Model::age_terms(double tau)
{
    const auto& c = coefficients.dynamics;
    return {.decay = std::exp(-c.c1 * tau), .coupling_power = std::pow(tau, c.c9)};
}

void Model::stand_derivatives(double tau, const AgeTerms& terms, const double* x, double* dx)
{
    const auto& c = coefficients.dynamics;
    const double x0 = x[0];
    const double x1 = x[1];

    // Base loss of trees: an age-decaying term E1 and a density term E2.
    const double e2 = std::exp(c.c3 * (c.c2 * tau + x0 - c.c4));
    const double d0 = -c.c0 * terms.decay - c.c2 * e2;

    const double p0 = 1 + c.c10 * x0 + c.c11 * x1 + c.c12 * tau + c.c13 * (x0 * x0) + c.c14 * (x1 * x1) +
                      c.c15 * (tau * tau) + c.c16 * x0 * x1 + c.c17 * x0 * tau + c.c18 * x1 * tau;
    dx[0] = p0 * d0;

    // Base change of the basal-area coordinate: a saturating growth term and
    // a coupling to the (corrected) loss of trees.
    const double e3 = std::exp(-c.c7 * std::exp(x0) * (tau * tau));
    const double d1 = (c.c5 + c.c6 * tau) * (1 - e3) + c.c8 * x1 * terms.coupling_power * dx[0];

    const double p1 = 1 + c.c19 * x0 + c.c20 * x1 + c.c21 * tau + c.c22 * (x0 * x0) + c.c23 * (x1 * x1) +
                      c.c24 * (tau * tau) + c.c25 * x0 * x1 + c.c26 * x0 * tau + c.c27 * x1 * tau;
    dx[1] = p1 * d1;
}

}  // namespace sylvo::c
