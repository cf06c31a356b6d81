#include "projection.h"

#include <cmath>
#include <limits>

#include "model.h"
#include "rk4.h"
#include "step_rule.h"

namespace sylvo {

namespace {

// Coordinates of the integration: scaled age tau = 0.1 * t,
// x0 = ln(0.001 * N), x1 = 0.01 * B * tau; and back N = 1000 * exp(x0),
// B = 100 * x1 / tau.
constexpr double age_scale = 0.1;
constexpr double tph_scale = 0.001;
constexpr double ba_scale = 0.01;
constexpr double tph_unscale = 1000.0;
constexpr double ba_unscale = 100.0;

constexpr double largest_difference = 2147483648.0;  // 2^31 years

bool in_domain(double n1, double t1, double t2)
{
    if (!(n1 > 0.0)) return false;
    if (!std::isfinite(t1) || !std::isfinite(t2)) return false;
    if (t1 == 0.0 || t2 == 0.0) return false;
    return std::fabs(t2 - t1) < largest_difference;
}

// The model's stand equations as the integrator's system, keeping the
// terms that depend only on the scaled age of the last age it saw.
class StandSystem {
public:
    void operator()(double tau, const double* x, double* dx)
    {
        if (!(tau == tau_)) {
            terms_ = age_terms(tau);
            tau_ = tau;
        }
        stand_derivatives(tau, terms_, x, dx);
    }

private:
    double tau_ = std::numeric_limits<double>::quiet_NaN();
    AgeTerms terms_{};
};

}  // namespace

void project_stand(StandState& state, double t1, double t2)
{
    if (!in_domain(state.trees_per_hectare, t1, t2)) {
        state.trees_per_hectare = std::numeric_limits<double>::quiet_NaN();
        state.basal_area = std::numeric_limits<double>::quiet_NaN();
        return;
    }

    const double d = t2 - t1;
    const std::int64_t n = step_count(coefficients.frame.step_rule, d);
    // With no step to take the step length is never needed (it would be d / 0).
    const double h = n > 0 ? (age_scale * d) / static_cast<double>(n) : 0.0;
    double tau = age_scale * t1;

    // The transformed state lives in the same two places as (N, B).
    double y[2];
    y[0] = std::log(tph_scale * state.trees_per_hectare);
    y[1] = ba_scale * state.basal_area * tau;

    StandSystem system;
    double ytmp[2], k1[2], k2[2], k3[2];
    for (std::int64_t i = 0; i < n; ++i) {
        rk4_step(tau, y, 2, h, system, ytmp, k1, k2, k3);
        tau = h + tau;
    }

    state.trees_per_hectare = tph_unscale * std::exp(y[0]);
    state.basal_area = (ba_unscale * y[1]) / tau;
}

}  // namespace sylvo
