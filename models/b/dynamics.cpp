// Model B's stand equations in the projection's coordinates
// tau = 0.1 t, x0 = ln(0.001 N), x1 = 0.01 B tau.
#include <cmath>

#include "model.h"
#include "stand_phases.h"

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
    const ExponentArguments a = exponent_arguments(tau, terms, x[0]);
    const Exponentials e{
        .loss_age = std::exp(a.loss_age),
        .loss_density = std::exp(a.loss_density),
        .density = std::exp(a.density),
        .onset = std::exp(onset_argument(terms, std::exp(a.onset_rate))),
        .damping = std::exp(a.damping),
    };
    dx[0] = tree_loss(e);
    dx[1] = basal_area_change(terms, e, x[1], dx[0]);
}

}  // namespace sylvo::b
