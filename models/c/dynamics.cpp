// Model C's stand equations in the projection's coordinates
// tau = 0.1 t, x0 = ln(0.001 N), x1 = 0.01 B tau, each base rate scaled by
// a quadratic correction polynomial in (x0, x1, tau).
#include <cmath>

#include "model.h"
#include "stand_phases.h"

namespace sylvo::c {

AgeTerms Model::age_terms(double tau)
{
    const auto& c = coefficients.dynamics;
    return {.decay = std::exp(-c.c1 * tau), .coupling_power = std::pow(tau, c.c9)};
}

void Model::stand_derivatives(double tau, const AgeTerms& terms, const double* x, double* dx)
{
    const double x0 = x[0];
    const double x1 = x[1];
    dx[0] = tree_loss(tau, terms, x0, x1, std::exp(loss_density_argument(tau, x0)));
    dx[1] = basal_area_change(tau, terms, x0, x1, std::exp(growth_argument(tau, std::exp(x0))), dx[0]);
}

}  // namespace sylvo::c
