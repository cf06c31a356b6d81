// One classical fourth-order Runge-Kutta step for n state variables.
//
//   y(t + h) = y + h/6 * (k1 + 2*k2 + 2*k3 + k4)
//
// The system is any callable f(t, y, dydt) writing dy/dt at (t, y) into dydt;
// it is called exactly four times per step, never with y and dydt the same
// array. The second and third slopes are summed before they are doubled. The
// four work arrays belong to the caller; the step does not advance t.
#pragma once

namespace sylvo {

template <class System>
void rk4_step(double t, double* y, int n, double h, System&& f,
              double* ytmp, double* k1, double* k2, double* k3)
{
    const double hh = h / 2.0;

    // k1 = f(t, y)
    f(t, static_cast<const double*>(y), k1);

    // k2 = f(t + h/2, y + h/2 * k1)
    for (int i = 0; i < n; ++i) ytmp[i] = k1[i] * hh + y[i];
    f(t + hh, static_cast<const double*>(ytmp), k2);

    // k3 = f(t + h/2, y + h/2 * k2)
    for (int i = 0; i < n; ++i) ytmp[i] = k2[i] * hh + y[i];
    f(t + hh, static_cast<const double*>(ytmp), k3);

    // ytmp = y + h * k3, and k2 <- k2 + k3 (the two middle slopes, summed once)
    for (int i = 0; i < n; ++i) {
        ytmp[i] = k3[i] * h + y[i];
        k2[i] = k3[i] + k2[i];
    }

    // k4 = f(t + h, y + h * k3), held in k3
    f(t + h, static_cast<const double*>(ytmp), k3);

    // y <- y + h/6 * ((2 * (k2 + k3) + k1) + k4)
    for (int i = 0; i < n; ++i) y[i] = (h / 6.0) * (((2.0 * k2[i]) + k1[i]) + k3[i]) + y[i];
}

}  // namespace sylvo
