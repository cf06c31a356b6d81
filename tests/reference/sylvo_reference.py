"""Plain-double reference evaluation of the three Sylvo model libraries.

Every routine is written out operation by operation in the order in which the
libraries are meant to evaluate it: Python's float arithmetic is IEEE double
arithmetic, `a * b * c` is `(a * b) * c`, and the mathematical functions go to
the C library through the wrappers below, which give C's results (infinities
and NaN) where Python would raise.

    SylvoA  Model A (library sylvoa, version 1.1)
    SylvoB  Model B (library sylvob, version 1.0)
    SylvoC  Model C (library sylvoc, version 1.2)

A `Library` instance is one loaded copy of a library: it holds the module
state (SiteState, SiteSearch and, in Model A, the juvenile search target) with
its load-time values, and has one method per export, named like the export.
"""

import math

MISSING_VALUE = -999.0
NAN = float("nan")
INF = float("inf")
TWO_POW_31 = 2147483648.0
TWO_POW_53 = 9007199254740992.0


# ---------------------------------------------------------------------------
# C99 semantics for the operations Python treats as errors
# ---------------------------------------------------------------------------

def _is_nan(x):
    return x != x


def _is_finite(x):
    return not (math.isinf(x) or _is_nan(x))


def _signbit(x):
    return math.copysign(1.0, x) < 0.0


def _odd_integer(y):
    """True when the finite double y is an odd integer."""
    return (math.floor(y) == y and abs(y) < TWO_POW_53
            and int(y) % 2 == 1)


def cdiv(x, y):
    """IEEE division: x / 0 is a signed infinity, 0 / 0 and NaN / 0 are NaN."""
    if y == 0.0:
        if _is_nan(x) or x == 0.0:
            return NAN
        return -INF if _signbit(x) != _signbit(y) else INF
    return x / y


def cpow(x, y):
    """C99 pow, including every special case of Annex F."""
    if y == 0.0:
        return 1.0                      # even for a NaN x
    if x == 1.0:
        return 1.0                      # even for a NaN y
    if _is_nan(x) or _is_nan(y):
        return NAN
    if math.isinf(y):
        ax = abs(x)
        if ax == 1.0:
            return 1.0                  # (-1) ** +-inf
        if (ax < 1.0) == (y > 0.0):
            return 0.0
        return INF
    odd = _odd_integer(y)
    if x == 0.0:
        if y < 0.0:
            return math.copysign(INF, x) if odd else INF
        return math.copysign(0.0, x) if odd else 0.0
    if math.isinf(x):
        if x > 0.0:
            return 0.0 if y < 0.0 else INF
        if y < 0.0:
            return -0.0 if odd else 0.0
        return -INF if odd else INF
    if x < 0.0 and math.floor(y) != y:
        return NAN                      # negative base, non-integer power
    try:
        return math.pow(x, y)           # the C library's pow
    except OverflowError:
        return -INF if (x < 0.0 and odd) else INF


def cexp(x):
    try:
        return math.exp(x)
    except OverflowError:
        return INF


def clog(x):
    if _is_nan(x):
        return NAN
    if x == 0.0:
        return -INF
    if x < 0.0:
        return NAN
    return math.log(x)


def csqrt(x):
    if x < 0.0:
        return NAN                      # -0.0 is not below 0 and stays -0.0
    return math.sqrt(x)


# ---------------------------------------------------------------------------
# Common model frame
# ---------------------------------------------------------------------------

def quadratic_mean_diameter(B, N):
    # product first, then the quotient, then the root; no guard
    return csqrt(cdiv(12732.3954473516 * B, N))


def rk4_step(tau, y, n, h, f):
    """One classical Runge-Kutta step of length h from tau; y is replaced."""
    ytmp = [0.0] * n
    k1 = [0.0] * n
    k2 = [0.0] * n
    k3 = [0.0] * n
    hh = h / 2.0
    f(tau, y, k1)
    for i in range(n):
        ytmp[i] = k1[i] * hh + y[i]
    f(tau + hh, ytmp, k2)
    for i in range(n):
        ytmp[i] = k2[i] * hh + y[i]
    f(tau + hh, ytmp, k3)
    for i in range(n):
        ytmp[i] = k3[i] * h + y[i]
        k2[i] = k3[i] + k2[i]           # second and third slopes summed
    f(tau + h, ytmp, k3)                # k3 now holds the fourth slope
    for i in range(n):
        y[i] = (h / 6.0) * (((2.0 * k2[i]) + k1[i]) + k3[i]) + y[i]


def steps_one_year(d):
    """Models A and B: one step per year, a surplus of up to 1e-06 ignored."""
    q = abs(d) / 1.0 - 1e-06
    return int(math.ceil(q))


def steps_four_years(d):
    """Model C: whole years integer-divided by 4, plus 1 (at least one step)."""
    m = int(abs(d))                     # truncation toward zero, fits 32 bits
    return m // 4 + 1


def project_stand(N1, B1, t1, t2, derivatives, step_count):
    """Carries (N1, B1) from age t1 to age t2; returns (N2, B2).

    Outside the projection's domain (no positive N1, an age of 0, an age that
    is not finite, or an age difference of 2**31 or more) both members are
    NaN and nothing is computed.
    """
    if (not (N1 > 0.0) or t1 == 0.0 or t2 == 0.0
            or not _is_finite(t1) or not _is_finite(t2)
            or abs(t2 - t1) >= TWO_POW_31):
        return NAN, NAN
    d = t2 - t1
    n = step_count(d)
    h = cdiv(0.1 * d, float(n))         # unused when n is 0
    tau = 0.1 * t1
    # forward transform: x0 = ln(0.001 N), x1 = 0.01 B tau
    y = [clog(0.001 * N1), 0.01 * B1 * tau]
    for _ in range(n):
        rk4_step(tau, y, 2, h, derivatives)
        tau = h + tau
    # back transform with the running scaled age
    return 1000.0 * cexp(y[0]), cdiv(100.0 * y[1], tau)


class RootFinderRunaway(RuntimeError):
    pass


def find_root_bracket(a, b, f, tol, limit=100000):
    """Brent's zeroin; returns (b, fb, fc): the best point, its residual and
    the residual at the other end of the final bracket."""
    fa = f(a)
    fb = f(b)
    c = a
    fc = fa
    for _ in range(limit):
        e = b - a
        if abs(fb) > abs(fc):           # b becomes the better point
            a = b
            b = c
            c = a
            fa = fb
            fb = fc
            fc = fa
        delta = 2e-15 * abs(b) + tol / 2.0
        m = (c - b) / 2.0
        if delta >= abs(m):
            return b, fb, fc
        if fb == 0.0 or _is_nan(fb):    # an exact zero, or NaN
            return b, fb, fc
        step = m                        # bisection
        if not (delta > abs(e) or abs(fb) >= abs(fa)):
            cb = c - b
            if a == c:                  # secant through two points
                s = cdiv(fb, fa)
                p = cb * s
                q = 1.0 - s
            else:                       # inverse quadratic interpolation
                q0 = cdiv(fa, fc)
                r = cdiv(fb, fc)
                s = cdiv(fb, fa)
                p = s * ((cb * q0) * (q0 - r) - (b - a) * (r - 1.0))
                q = ((q0 - 1.0) * (r - 1.0)) * (s - 1.0)
            if 0.0 >= p:
                p = -p
            else:
                q = -q
            if (p < 0.75 * cb * q - abs(delta * q) / 2.0
                    and p < abs(q * e / 2.0)):
                step = cdiv(p, q)
        if abs(step) < delta:           # smallest allowed step
            step = delta if step > 0.0 else -delta
        a = b
        fa = fb
        b = b + step
        fb = f(b)
        if (fb > 0.0 and fc > 0.0) or (fb < 0.0 and fc < 0.0):
            c = a                       # rebuild the bracket
            fc = fa
    raise RootFinderRunaway("find_root did not end")


def find_root(a, b, f, tol):
    return find_root_bracket(a, b, f, tol)[0]


def thinned_ba(coef, p, N1, B1, N2):
    """Basal area left after a thinning that leaves N2 of N1 trees."""
    if p <= 0.0 or N1 <= 0.0 or B1 <= 0.0 or N2 <= 0.0:
        return 0.0
    k, m, e, cB = coef["k"], coef["m"], coef["e"], coef["cB"]
    Q = cpow(N2 * N1, k)
    X = cB * cpow(p, -e) * cpow(B1, m) * (cpow(N1, k) - cpow(N2, k))
    r = cdiv(Q, Q + X)
    return cpow(r, coef["ba_outer"]) * B1


def thinned_tph(coef, p, N1, B1, B2):
    """Trees left after a thinning that leaves B2 of B1 basal area."""
    if p <= 0.0 or N1 <= 0.0 or B1 <= 0.0 or B2 <= 0.0:
        return 0.0
    k, m, e, cN = coef["k"], coef["m"], coef["e"], coef["cN"]
    Q = cpow(B2 * B1, m)
    X = cN * cpow(p, e) * cpow(N1, k) * (cpow(B1, m) - cpow(B2, m))
    r = cdiv(Q, Q + X)
    return cpow(r, coef["tph_outer"]) * N1


# ---------------------------------------------------------------------------
# One loaded library: module state and the exports
# ---------------------------------------------------------------------------

class Library:
    version = None
    search_lo = None
    search_hi = None
    search_tol = 0.001
    thinning = None

    def __init__(self):
        self.search_target = 0.0        # SiteSearch: H*, t*, u*
        self.search_age = 0.0
        self.search_shift = 0.0

    # model hooks
    def stand_derivatives(self, tau, x, dx):
        raise NotImplementedError

    def step_count(self, d):
        return steps_one_year(d)

    # the site-index search
    def site_residual(self, S):
        self.set_site(S, self.search_shift)
        h = self.dominant_height(self.search_age)
        return self.search_target - h

    def site_from_height(self, H, t, u):
        self.search_target = H
        self.search_age = t
        self.search_shift = u
        lo, hi = self.search_lo, self.search_hi
        r, fb, fc = find_root_bracket(lo, hi, self.site_residual,
                                      self.search_tol)
        if not (lo < r and r < hi):     # ends excluded, NaN refused
            return 0.0
        if _is_nan(fb) or _is_nan(fc):
            return 0.0
        if (fb > 0.0 and fc > 0.0) or (fb < 0.0 and fc < 0.0):
            return 0.0                  # the search never saw a sign change
        return r

    @staticmethod
    def _site_in_range(S):
        if 1e-06 > S:
            return False
        if 80.5 >= S:
            return True
        return False                    # above 80.5, or NaN

    def _project(self, t1, N1, B1, t2):
        return project_stand(N1, B1, t1, t2, self.stand_derivatives,
                             self.step_count)

    # exports
    def LibMain(self, module, reason, reserved):
        return 1

    def SylvoVersion(self):
        return self.version

    def SylvoGrowTph(self, t1, N1, B1, t2):
        return self._project(t1, N1, B1, t2)[0]

    def SylvoGrowBa(self, t1, N1, B1, t2):
        return self._project(t1, N1, B1, t2)[1]

    def SylvoGrow(self, t1, t2, N, B):
        """Returns the two values written back through the pointers."""
        return self._project(t1, N, B, t2)

    def SylvoVolume(self, H, N, B):
        return self.stand_volume(H, N, B)

    def SylvoMerchVol(self, H, N, B, d):
        return self.merch_volume(H, N, B, d)

    def SylvoBaAfter(self, p, N1, B1, N2):
        return thinned_ba(self.thinning, p, N1, B1, N2)

    def SylvoTphAfter(self, p, N1, B1, B2):
        return thinned_tph(self.thinning, p, N1, B1, B2)

    def SylvoSite(self, H, t, u):
        return self.site_from_height(H, t, u)

    def SylvoGain(self, H, u, S):
        if not self._site_in_range(S):
            return MISSING_VALUE
        self.set_site(S, u)
        return self.age_at_height(H)

    def SylvoHeight(self, t, S, u):
        if not self._site_in_range(S):
            return 0.0
        self.set_site(S, u)
        return self.dominant_height(t)

    def SylvoAge(self, H, S, u):
        if not self._site_in_range(S):
            return MISSING_VALUE
        self.set_site(S, u)
        return self.age_at_height(H)


EXPORTS = ("LibMain", "SylvoAge", "SylvoBaAfter", "SylvoGain", "SylvoGrow",
           "SylvoGrowBa", "SylvoGrowTph", "SylvoHeight", "SylvoMerchVol",
           "SylvoSite", "SylvoTphAfter", "SylvoVersion", "SylvoVolume")


# ---------------------------------------------------------------------------
# Model A
# ---------------------------------------------------------------------------

class SylvoA(Library):
    version = 1.1
    search_lo = 2.0
    search_hi = 80.0
    thinning = {"k": 0.29197, "m": 0.25912, "e": 0.48165, "cB": 7.29885,
                "cN": 0.137008, "ba_outer": 3.8592158073479466,
                "tph_outer": 3.4250094187759017}

    a0, a1, a2, a3, a4 = 0.218354, 1.89103, 0.981829, 4.04133, 2.74241
    a9, a10, a11, a12, a13 = 2.0, -0.0419732, 0.299358, 7.04846, -1.32402
    a14, a15, a16 = 3.98308, 0.380682, 0.209944
    a18, a19, a20, a21 = -3.02457, 0.853004, 6.99235, 2.02571
    a22, a23, a24, a25 = -0.410308, 0.585544, -0.0729664, 6.92322
    a26, a27 = -1.93909, 0.0

    p0, p1, p2, p3, p4 = 0.92217, 0.80391, -1.4537, 0.10925, 4.7798
    q0, q1, q2, q3 = 99.468, -0.40115, -0.39391, 0.4

    def __init__(self):
        super().__init__()
        self.site_index = 20.0
        self.age_shift = 0.0
        self.breast_height_age = 0.0    # not derived from the load-time S
        self.juvenile_target = 0.0

    def stand_derivatives(self, tau, x, dx):
        x0, x1 = x[0], x[1]
        # loss of trees: age-decaying term and density-dependent term
        E1 = cexp(-self.a1 * tau)
        E2 = cexp(self.a3 * ((self.a2 * tau + x0) - self.a4))
        dx[0] = -self.a0 * E1 - self.a2 * E2
        # density term: 0.01 B + 0.000002 N
        D = cdiv(x1, tau) + (0.001 * self.a9) * cexp(x0)
        Z = 1.0 - cexp(-self.a20 * cpow(tau, self.a21))
        Q = ((((self.a23 * tau + self.a18) * tau + self.a14) * tau + 1.0)
             + self.a19 * x0 + self.a22 * x0 * tau + self.a24 * (x0 * x0)
             + self.a25 * D + self.a26 * D * tau + self.a27 * D * x0)
        R = (self.a11 * tau + self.a10) + self.a12 * D + self.a13 * tau * D
        dx[1] = (cdiv(D * tau * Z * Q, R)
                 + self.a15 * x1 * cpow(tau, self.a16) * dx[0])

    def stand_volume(self, H, N, B):
        F = ((self.p1 * H + self.p2) - self.p3 * B) - cdiv(self.p4 * H,
                                                           csqrt(N))
        V = B * F + self.p0
        if V <= 0.0:
            return 0.0
        return V

    def merch_volume(self, H, N, B, d):
        return _merch_volume_ab(self, H, N, B, d)

    # the site curve
    def set_site(self, S, u):
        if S <= 1.3:
            return
        if S > 80.5 or _is_nan(S):
            return
        self.site_index = S
        self.age_shift = u
        if S < 18.5:
            self.breast_height_age = 69.4 / S + 2.55
        else:
            self.breast_height_age = 21.6623 * cpow(S - 9.05671, -0.550762)

    def curve_factor(self, x):
        L1 = clog(x - 0.5)
        L2 = clog(self.site_index - 1.3)
        return cexp((7.6298 - 1.3563 * L1) - 0.8949 * L2) + 1.0

    def _main_curve(self, w):
        S = self.site_index
        return cdiv((S - 1.3) * self.curve_factor(50.0),
                    self.curve_factor(w)) + 1.3

    def _juvenile_scale(self):
        return 0.004828 * self.site_index + (-0.03993)

    def _juvenile_curve(self, T):
        return self._juvenile_scale() * cpow(T, 1.902) * cpow(0.9645, T)

    def dominant_height(self, age):
        S, K = self.site_index, self.breast_height_age
        T = (age + 1.0) + self.age_shift
        if T < 0.0:
            return 0.0
        w = (T - K) + 0.5
        if S < 18.5:
            if w <= 0.5:
                return 1.3 * cpow(cdiv(T, K), 1.8)
            return self._main_curve(w)
        if w <= 0.0:
            return self._juvenile_curve(T)
        if w >= 2.0:
            return self._main_curve(w)
        # bridge: straight line from J(K - 0.5) at w = 0 to M(2) at w = 2
        Kh = K - 0.5
        first = ((1.0 - w / 2.0) * self._juvenile_scale() * cpow(Kh, 1.902)
                 * cpow(0.9645, Kh))
        second = (w / 2.0) * self._main_curve(2.0)
        return first + second

    def juvenile_height_residual(self, T):
        return self.juvenile_target - self._juvenile_curve(T)

    def age_at_height(self, H):
        S, K, u = self.site_index, self.breast_height_age, self.age_shift
        y = NAN
        if not (H <= 1.3):              # main curve in closed form
            r = cdiv((H - 1.3) * (self.curve_factor(1.5) - 1.0),
                     (((S - 1.3) * self.curve_factor(50.0) - H) + 1.3))
            if r < 0.0:
                return MISSING_VALUE    # above the main curve's limit
            y = cpow(r, 0.737300007373)
            if y >= 1.5:
                return ((K + y) - u) - 1.0
        if S < 18.5:
            if H <= 1.3:                # inverse of the power curve
                return (cpow(H / 1.3, 0.5555555555555556) * K - u) - 1.0
            return ((K + y) - u) - 1.0
        h0 = self.dominant_height(K - 1.5 - u)
        if h0 > H:                      # juvenile curve: search the age
            self.juvenile_target = H
            x = find_root(0.0, K, self.juvenile_height_residual, 0.001)
            if 0.0 < x and x < K:
                return (x - 1.0) - u
            return MISSING_VALUE
        h2 = self.dominant_height(K + 0.5 - u)
        return (((cdiv(2.0 * (H - h0), h2 - h0) + K) - 1.5) - u)


def _merch_volume_ab(model, H, N, B, d):
    """Merchantable volume of Models A and B (same form, own coefficients)."""
    if B <= 0.0:
        return 0.0
    D = quadratic_mean_diameter(B, N)
    W = model.q0 * cpow(N, model.q1)
    V = model.stand_volume(H, N, B)
    X = cdiv(model.q2 * cpow(d, W) * cpow(D, 1.0 - W), H)
    return (V - model.q3 * B) * cexp(X)


# ---------------------------------------------------------------------------
# Model B
# ---------------------------------------------------------------------------

class SylvoB(Library):
    version = 1.0
    search_lo = 2.0
    search_hi = 80.0
    thinning = {"k": 0.29197, "m": 0.25912, "e": 0.48165, "cB": 7.79775,
                "cN": 0.128242, "ba_outer": 3.8592158073479466,
                "tph_outer": 3.4250094187759017}

    b = (0.0478198, 0.639635, 4.15826, 4.70504, 6.69127, 0.382059, 0.974894,
         1.51159, 1.3865, 1.23475, 0.488919, 2.4543, 0.135531, 1.38175,
         1.40002, 1.10764, 0.999185)

    w0, w1, w2 = 1.0481, 0.2965, 10.677
    q0, q1, q2, q3 = 55.322, -0.3438, -0.39447, 0.4

    def __init__(self):
        super().__init__()
        self.site_index = 18.0
        self.age_shift = 0.0
        self.breast_height_age = 0.0

    def stand_derivatives(self, tau, x, dx):
        b = self.b
        x0, x1 = x[0], x[1]
        E1 = cexp(x0 - b[1] * tau)
        E2 = cexp(b[3] * ((b[2] * cpow(tau, b[5]) + x0) - b[4]))
        dx[0] = -b[0] * E1 - b[2] * E2
        F = cexp(b[6] * x0)                                  # density factor
        S = 1.0 - cexp(-b[9] * cexp(b[10] * x0) * cpow(tau, b[11]))  # onset
        R = 1.0 + b[14] * cexp(b[15] * x0) * cpow(tau, b[16])        # damping
        G = cdiv(b[8] * F * cpow(tau, b[7]) * S, R)
        dx[1] = G + b[12] * x1 * cpow(tau, b[13]) * dx[0]

    def stand_volume(self, H, N, B):
        F = (self.w1 * H + self.w0) - cdiv(self.w2 * H, N)
        V = F * B
        if V <= 0.0:
            return 0.0
        return V

    def merch_volume(self, H, N, B, d):
        return _merch_volume_ab(self, H, N, B, d)

    # the site curve
    def set_site(self, S, u):
        if 1.3 >= S:
            return
        if not (S <= 80.5):
            return
        self.site_index = S
        self.age_shift = u
        self.breast_height_age = 110.76 / S + 4.1578

    def curve_factor(self, a):
        S = self.site_index
        return 1.0 + cexp((9.794 - 1.466 * clog(a)) - 1.287 * clog(S - 1.3))

    def dominant_height(self, age):
        S, K = self.site_index, self.breast_height_age
        t = (age + 1.0) + self.age_shift
        if t < 0.0:
            return 0.0
        d = t - K                       # time since breast height
        if d <= 0.0:
            return 1.3 * cpow(cdiv(t, K), 2.0)
        return cdiv((S - 1.3) * self.curve_factor(50.0),
                    self.curve_factor(d)) + 1.3

    def age_at_height(self, H):
        S, K, u = self.site_index, self.breast_height_age, self.age_shift
        if H <= 1.3:
            if H <= 0.0:
                return MISSING_VALUE
            return K * csqrt(H / 1.3) - 1.0 - u
        A = self.curve_factor(50.0)
        R = cdiv((H - 1.3) * (A - 1.0), A * (S - 1.3) - (H - 1.3))
        if R < 0.0:
            return MISSING_VALUE        # above the curve's upper limit
        d = 50.0 * cpow(R, 0.6821282401091405)
        return ((K + d) - 1.0) - u


# ---------------------------------------------------------------------------
# Model C
# ---------------------------------------------------------------------------

class SylvoC(Library):
    version = 1.2
    search_lo = 1.0
    search_hi = 80.0
    thinning = {"k": 0.55678, "m": 0.57086, "e": 1.2987, "cB": 185.88,
                "cN": 0.0053798, "ba_outer": 1.751742984269348,
                "tph_outer": 1.7960415244800458}

    c = (0.226788, 1.99265, 0.70132, 4.26397, 2.41424, -0.14782, 0.838876,
         0.89648, 0.193436, 0.689223, 0.566735, -0.577931, 0.532844,
         -0.0425355, 0.121589, -0.166314, 0.766793, -0.874513, 0.0251072,
         -0.223694, 0.23186, -0.355166, 0.0594313, -0.0191612, 0.0486283,
         -0.0669217, 0.126619, -0.0215096)

    def __init__(self):
        super().__init__()
        self.site_index = 30.0
        self.age_shift = 0.0
        self.curve_exponent = 0.0       # b
        self.reference_term = 0.0       # A50
        self.curve_rate = 0.0           # k

    def step_count(self, d):
        return steps_four_years(d)

    def stand_derivatives(self, tau, x, dx):
        c = self.c
        x0, x1 = x[0], x[1]
        E1 = cexp(-c[1] * tau)
        E2 = cexp(c[3] * (c[2] * tau + x0 - c[4]))
        D0 = -c[0] * E1 - c[2] * E2
        P0 = (1.0 + c[10] * x0 + c[11] * x1 + c[12] * tau
              + c[13] * (x0 * x0) + c[14] * (x1 * x1) + c[15] * (tau * tau)
              + c[16] * x0 * x1 + c[17] * x0 * tau + c[18] * x1 * tau)
        dx[0] = P0 * D0
        E3 = cexp((-c[7] * cexp(x0)) * (tau * tau))         # saturation
        D1 = (c[5] + c[6] * tau) * (1.0 - E3) + c[8] * x1 * cpow(tau, c[9]) \
            * dx[0]
        P1 = (1.0 + c[19] * x0 + c[20] * x1 + c[21] * tau
              + c[22] * (x0 * x0) + c[23] * (x1 * x1) + c[24] * (tau * tau)
              + c[25] * x0 * x1 + c[26] * x0 * tau + c[27] * x1 * tau)
        dx[1] = P1 * D1

    def stand_volume(self, H, N, B):
        V = ((0.49184 * H + 0.15471 - 0.067306 * B
              - cdiv(1.5458 * H, csqrt(N))) * B + 0.00018096 * N * H)
        if V <= 0.0:
            return 0.0
        return V

    def merch_volume(self, H, N, B, d):
        if B <= 0.0:
            return 0.0
        if N <= 0.0:
            return 0.0
        D = quadratic_mean_diameter(B, N)
        V = self.stand_volume(H, N, B)
        F1 = cpow(cdiv(1000.0, N), 0.0214634)
        F2 = cpow(D / 10.0, 0.0403751)
        G = cpow(D / 10.0, 0.308494)
        J = cpow(H / 10.0, -0.361441)
        z = cdiv(0.8707652 * G * J * d, D)
        F3 = cexp(-(cpow(z, 6.7564)))
        return 0.882771 * V * F1 * F2 * F3

    # the site curve
    def set_site(self, S, u):
        if S < 0.000001 or not (S <= 80.5):
            return
        self.site_index = S
        self.age_shift = u
        us = S / 30.48
        b = ((-0.171666 * us + 0.793548) * us - 0.894427) * us - 0.477762
        self.curve_exponent = b
        w = 13.25 - S / 6.096           # curve time at breast height
        A50 = cpow(w + 50.0, b)
        self.reference_term = A50
        self.curve_rate = cdiv(clog(1.372 / S), cpow(w, b) - A50)

    def dominant_height(self, age):
        x = (age + 1.0) + self.age_shift
        if x < 0.0:
            return 0.0
        k, b, A50 = self.curve_rate, self.curve_exponent, self.reference_term
        return self.site_index * cexp(k * (cpow(x, b) - A50))

    def age_at_height(self, H):
        if H <= 0.0:
            return MISSING_VALUE
        k, b, A50 = self.curve_rate, self.curve_exponent, self.reference_term
        if k == 0.0:
            return MISSING_VALUE        # flat curve at S = 1.372
        y = cdiv(clog(H / self.site_index), k) + A50
        if y < 0.0:
            return MISSING_VALUE        # above the asymptote
        return (cpow(y, cdiv(1.0, b)) - 1.0) - self.age_shift


MODELS = {"sylvoa": SylvoA, "sylvob": SylvoB, "sylvoc": SylvoC}
