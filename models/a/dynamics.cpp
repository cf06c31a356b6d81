// Model A's stand equations in the projection's coordinates
// tau = 0.1 t, x0 = ln(0.001 N), x1 = 0.01 B tau.
#include <cmath>

#include "model.h"

namespace sylvo::a {

AgeTerms Model::age_terms(double tau)
{
    const auto& a = coefficients.dynamics;
    return {
        .decay = std::exp(-a.a1 * tau),
        .onset = 1 - std::exp(-a.a20 * std::pow(tau, a.a21)),
        .coupling_power = std::pow(tau, a.a16),
    };
}

void Model::stand_derivatives(double tau, const AgeTerms& terms, const double* x, double* dx)
{
    const auto& a = coefficients.dynamics;
    const double x0 = x[0];
    const double x1 = x[1];

    // Loss of trees: an age-decaying term E1 and a density-dependent term E2
    // that draws x0 + a2 tau towards a4.
    const double e2 = std::exp(a.a3 * ((a.a2 * tau + x0) - a.a4));
    dx[0] = -a.a0 * terms.decay - a.a2 * e2;

    // Density D = 0.01 B + 0.000002 N.
    const double d = x1 / tau + (a.tph_density_scale * a.a9) * std::exp(x0);

    // Modifier Q (a cubic in tau by Horner's rule, then six terms one by one)
    // and divisor R.
    const double q = (((a.a23 * tau + a.a18) * tau + a.a14) * tau + 1) + a.a19 * x0 + a.a22 * x0 * tau +
                     a.a24 * (x0 * x0) + a.a25 * d + a.a26 * d * tau + a.a27 * d * x0;
    const double r = (a.a11 * tau + a.a10) + a.a12 * d + a.a13 * tau * d;

    // Change of the basal-area coordinate: growth with onset factor Z,
    // coupled to the loss of trees.
    dx[1] = (d * tau * terms.onset) * q / r + a.a15 * x1 * terms.coupling_power * dx[0];
}

}  // namespace sylvo::a
