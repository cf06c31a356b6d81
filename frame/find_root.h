// Brent's method in the zeroin form: a zero of f on [a, b] to within tol.
//
// The search keeps a bracketing pair (b, c) with b the best estimate, tries
// inverse quadratic interpolation through (a, b, c) - or the secant through
// (b, c) when only two points are distinct - and falls back to bisection
// whenever the interpolated step is not safe. Every comparison is written so
// that a value that is not a number takes the documented way: no exchange, no
// interpolation, and an immediate return once fb itself is not a number.
//
// There is no check that f changes sign on [a, b]: without a sign change the
// bracket is rebuilt from the last two points on every step and the result is
// no zero. The final bracket is returned with the estimate so that a caller
// can tell the two apart.
#pragma once

#include <cmath>

namespace sylvo {

// Where a search ended: the best estimate and the other end of the bracket,
// with the function's values there.
struct RootBracket {
    double best;
    double f_best;
    double other;
    double f_other;

    // True when the final bracket holds a zero of a continuous f: an exact
    // zero at either end, or values of strictly opposite sign.
    bool holds_sign_change() const
    {
        if (std::isnan(f_best) || std::isnan(f_other)) return false;
        return !((f_best > 0.0 && f_other > 0.0) || (f_best < 0.0 && f_other < 0.0));
    }
};

// f is any callable double -> double; it is called exactly once for each point
// tried, a before b first. The ends may come in either order.
template <class Function>
RootBracket find_root(double a, double b, Function&& f, double tol)
{
    constexpr double rel_tol = 2e-15;      // relative part of the working tolerance
    constexpr double accept = 0.75;        // interpolation must stay within 3/4 of the bracket

    double fa = f(a);
    double fb = f(b);
    double c = a;
    double fc = fa;

    for (;;) {
        // The step that produced b (on the first pass, the whole interval).
        const double e = b - a;

        // Keep the smaller residual in b; c stays on the other side.
        if (std::fabs(fb) > std::fabs(fc)) {
            a = b;
            b = c;
            c = a;
            fa = fb;
            fb = fc;
            fc = fa;
        }

        const double delta = rel_tol * std::fabs(b) + tol / 2.0;
        const double m = (c - b) / 2.0;

        // Converged: the bracket is within 2 delta, or b is an exact zero (or
        // its value is not a number).
        if (delta >= std::fabs(m)) return {b, fb, c, fc};
        if (fb == 0.0 || std::isnan(fb)) return {b, fb, c, fc};

        double step = m;  // bisection

        // Interpolate only when the last step was not tiny and it reduced |f|.
        if (!(delta > std::fabs(e)) && !(std::fabs(fb) >= std::fabs(fa))) {
            const double cb = c - b;
            double p;
            double q;
            if (a == c) {
                // Secant through (b, fb) and (c, fc).
                const double s = fb / fa;
                p = cb * s;
                q = 1 - s;
            } else {
                // Inverse quadratic through (a, fa), (b, fb), (c, fc).
                const double q0 = fa / fc;
                const double r = fb / fc;
                const double s = fb / fa;
                p = s * ((cb * q0) * (q0 - r) - (b - a) * (r - 1));
                q = ((q0 - 1) * (r - 1)) * (s - 1);
            }
            // Make p non-negative; the candidate step is p / q.
            if (0 >= p) {
                p = -p;
            } else {
                q = -q;
            }
            // Accept it only if it stays well inside the bracket and shrinks
            // faster than the step before last.
            if (p < accept * cb * q - std::fabs(delta * q) / 2.0 && p < std::fabs(q * e / 2.0)) {
                step = p / q;
            }
        }

        // Never step by less than delta (a step of exactly 0 goes down).
        if (std::fabs(step) < delta) step = step > 0 ? delta : -delta;

        a = b;
        fa = fb;
        b = b + step;
        fb = f(b);

        // Without a sign change between b and c, restore the bracket with a.
        if ((fb > 0 && fc > 0) || (fb < 0 && fc < 0)) {
            c = a;
            fc = fa;
        }
    }
}

}  // namespace sylvo
