// What every model supplies to the frame. A model's own model.h defines its
// SiteCurve and ModelCoefficients (with the frame constants in
// `coefficients.frame`) and then includes this header; each library is the
// frame compiled with one model's directory on the include path.
#pragma once

namespace sylvo {

// dx/dtau of the stand equations at scaled age tau for the transformed state
// x = (x0, x1) = (ln(0.001 * N), 0.01 * B * tau). x and dx are distinct.
void stand_derivatives(double tau, const double* x, double* dx);

// The same, split in two: the terms that depend on the scaled age alone
// (AgeTerms, defined by the model), and the rest. A Runge-Kutta step
// evaluates its system twice at each midpoint and the next step starts
// where it ended, so a projection computes the age terms once per age.
AgeTerms age_terms(double tau);
void stand_derivatives(double tau, const AgeTerms& terms, const double* x, double* dx);

// Stores the site index and age shift, with the values the curve derives
// from them, when the model accepts the site index; otherwise leaves the
// curve as it was. Returns whether it stored them.
bool set_site(SiteCurve& curve, double site_index, double age_shift);

// Dominant height (m) at an age for the curve's site.
double dominant_height(const SiteCurve& curve, double age);

// Age at which the curve's site reaches a height, or MISSING_VALUE.
double age_at_height(const SiteCurve& curve, double height);

// Total and merchantable stand volume (m3/ha).
double stand_volume(double height, double trees_per_hectare, double basal_area);
double merch_volume(double height, double trees_per_hectare, double basal_area, double diameter_limit);

}  // namespace sylvo
