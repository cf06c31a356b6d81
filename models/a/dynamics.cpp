// Model A's stand equations in the projection's coordinates
// tau = 0.1 t, x0 = ln(0.001 N), x1 = 0.01 B tau.
#include <cmath>

#include "model.h"
#include "stand_phases.h"

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
    const double x0 = x[0];
    const double x1 = x[1];
    dx[0] = tree_loss(terms, std::exp(loss_density_argument(tau, x0)));
    dx[1] = basal_area_change(tau, terms, x0, x1, std::exp(x0), dx[0]);
}

}  // namespace sylvo::a
