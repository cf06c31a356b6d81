// Model B's stand equations in the projection's coordinates
// tau = 0.1 t, x0 = ln(0.001 N), x1 = 0.01 B tau.
#include <cmath>

#include "model.h"

namespace sylvo::b {

AgeTerms Model::age_terms(double tau)
{
    const auto& b = coefficients.dynamics;
    return {
        .p5 = std::pow(tau, b.b5),
        .p7 = std::pow(tau, b.b7),
        .p11 = std::pow(tau, b.b11),
        .p13 = std::pow(tau, b.b13),
        .p16 = std::pow(tau, b.b16),
    };
}

void Model::stand_derivatives(double tau, const AgeTerms& terms, const double* x, double* dx)
{
    const auto& b = coefficients.dynamics;
    const double x0 = x[0];
    const double x1 = x[1];

    // Loss of trees: an age-decaying term proportional to N, and a
    // density-dependent term that rises steeply once x0 + b2 tau^b5 passes b4.
    const double e1 = std::exp(x0 - b.b1 * tau);
    const double e2 = std::exp(b.b3 * ((b.b2 * terms.p5 + x0) - b.b4));
    dx[0] = -b.b0 * e1 - b.b2 * e2;

    // Growth term: density factor, onset factor and damping divisor.
    const double f = std::exp(b.b6 * x0);
    const double s = 1 - std::exp(-b.b9 * std::exp(b.b10 * x0) * terms.p11);
    const double r = 1 + b.b14 * std::exp(b.b15 * x0) * terms.p16;
    const double g = b.b8 * f * terms.p7 * s / r;

    // Change of the basal-area coordinate, coupled to the loss of trees.
    dx[1] = g + b.b12 * x1 * terms.p13 * dx[0];
}

}  // namespace sylvo::b
