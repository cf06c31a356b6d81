// The growth projection: trees per hectare and basal area from one age to
// another by fixed-step Runge-Kutta integration of a model's stand equations.
//
// The driver is generic over the model M, which supplies (as static members)
//   M::AgeTerms                      the terms of its equations that depend on scaled age alone,
//   M::age_terms(tau)                those terms at a scaled age,
//   M::stand_derivatives(tau, terms, x, dx)   dx/dtau at (tau, x),
//   M::coefficients.frame.step_rule  how an age difference becomes a number of steps.
//
// A projection is planned from its two ages alone (plan_projection); every
// stand projected between the same two ages takes the same steps at the same
// scaled ages, so a batch can evaluate the age terms once for all of them.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "rk4.h"
#include "step_rule.h"
#include "types.h"

namespace sylvo {

// Coordinates of the integration: scaled age tau = 0.1 * t,
// x0 = ln(0.001 * N), x1 = 0.01 * B * tau; and back N = 1000 * exp(x0),
// B = 100 * x1 / tau.
inline constexpr double kAgeScale = 0.1;
inline constexpr double kTphScale = 0.001;
inline constexpr double kBaScale = 0.01;
inline constexpr double kTphUnscale = 1000.0;
inline constexpr double kBaUnscale = 100.0;

// Age differences of 2^31 years or more are outside the projection's domain.
inline constexpr double kLargestAgeDifference = 2147483648.0;

// The steps of a projection between two ages.
struct ProjectionPlan {
    bool in_domain;       // both ages finite and not 0, |t2 - t1| < 2^31
    std::int64_t steps;   // Runge-Kutta steps
    double h;             // step length in scaled age (0 without steps)
    double tau_start;     // 0.1 * t1
};

inline ProjectionPlan plan_projection(StepRule rule, double t1, double t2)
{
    ProjectionPlan plan{false, 0, 0.0, 0.0};
    if (!std::isfinite(t1) || !std::isfinite(t2)) return plan;
    if (t1 == 0.0 || t2 == 0.0) return plan;
    const double d = t2 - t1;
    if (!(std::fabs(d) < kLargestAgeDifference)) return plan;
    plan.in_domain = true;
    plan.steps = step_count(rule, d);
    // With no step to take the step length is never needed (it would be d / 0).
    plan.h = plan.steps > 0 ? (kAgeScale * d) / static_cast<double>(plan.steps) : 0.0;
    plan.tau_start = kAgeScale * t1;
    return plan;
}

// The scaled ages at which a projection evaluates its system, in order: for
// step i the age tau_i at its start (index 2i) and tau_i + h/2 at its middle
// (index 2i + 1), and after the last step the final age (index 2 * steps),
// where tau_{i+1} = h + tau_i. VISIT(index, tau) is called for each; the
// final scaled age is returned.
template <class Visit>
double for_each_stage_age(const ProjectionPlan& plan, Visit&& visit)
{
    const double hh = plan.h / 2.0;
    double tau = plan.tau_start;
    for (std::int64_t i = 0; i < plan.steps; ++i) {
        visit(2 * i, tau);
        visit(2 * i + 1, tau + hh);
        tau = plan.h + tau;
    }
    visit(2 * plan.steps, tau);
    return tau;
}

// The stand in the integration's coordinates, and back.
inline void to_transformed(const StandState& stand, double tau, double* y)
{
    y[0] = std::log(kTphScale * stand.trees_per_hectare);
    y[1] = kBaScale * stand.basal_area * tau;
}

inline StandState from_transformed(const double* y, double tau)
{
    return {kTphUnscale * std::exp(y[0]), (kBaUnscale * y[1]) / tau};
}

// The model's stand equations as the integrator's system, keeping the
// terms that depend only on the scaled age of the last age it saw.
template <class M>
class CachingStandSystem {
public:
    void operator()(double tau, const double* x, double* dx)
    {
        if (!(tau == tau_)) {
            terms_ = M::age_terms(tau);
            tau_ = tau;
        }
        M::stand_derivatives(tau, terms_, x, dx);
    }

private:
    double tau_ = std::numeric_limits<double>::quiet_NaN();
    typename M::AgeTerms terms_{};
};

// Runs the planned steps on the n variables of y (transformed coordinates:
// one stand's two, or several stands' as SYSTEM lays them out) with SYSTEM,
// which rk4_step calls four times per step; work holds 4 n doubles. Returns
// the final scaled age.
template <class System>
double integrate(const ProjectionPlan& plan, double* y, int n, System& system, double* work)
{
    double tau = plan.tau_start;
    for (std::int64_t i = 0; i < plan.steps; ++i) {
        rk4_step(tau, y, n, plan.h, system, work, work + n, work + 2 * n, work + 3 * n);
        tau = plan.h + tau;
    }
    return tau;
}

// Whether a stand can be projected under a plan: the plan's ages are in the
// domain and the trees are a positive number.
inline bool projectable(const ProjectionPlan& plan, double trees)
{
    return plan.in_domain && trees > 0.0;
}

// Projects the stand from age t1 to age t2 in place. Outside the domain
// (N1 <= 0 or not a number, t1 or t2 zero or not finite, |t2 - t1| >= 2^31)
// both members become NaN and nothing is computed.
template <class M>
void project_stand(StandState& state, double t1, double t2)
{
    const ProjectionPlan plan = plan_projection(M::coefficients.frame.step_rule, t1, t2);
    if (!projectable(plan, state.trees_per_hectare)) {
        state.trees_per_hectare = std::numeric_limits<double>::quiet_NaN();
        state.basal_area = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    // The transformed state lives in the same two places as (N, B).
    double y[2];
    to_transformed(state, plan.tau_start, y);
    CachingStandSystem<M> system;
    double work[8];
    const double tau = integrate(plan, y, 2, system, work);
    state = from_transformed(y, tau);
}

}  // namespace sylvo
