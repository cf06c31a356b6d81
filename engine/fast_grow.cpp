// Fast mode of the projection (fast_grow.h): the stands of one group (one
// projection plan) integrated one SIMD vector of stands per operation.
//
// This source is compiled once per SIMD target (Highway's foreach_target:
// AVX-512, AVX2, SSE4 and portable code) and the best target the processor
// supports is chosen at the first call. Each model's stand equations are
// written in the order of models/<m>/dynamics.cpp and the step is the one of
// frame/rk4.h, with three freedoms that cost the last bits:
// - fused multiply-adds;
// - products of coefficients and age terms, which are the same for every
//   stand at a stage age, formed once per stage (a15 * x1 * tau^a16 becomes
//   x1 * (a15 * tau^a16)), and a division by the scaled age done as a
//   multiplication by its reciprocal;
// - exponentials and logarithms from Highway's vector maths (within 1 ulp),
//   given the special values of std::exp and std::log (NaN, overflow to
//   infinity, log 0 = -infinity, log infinity = infinity).
// With those special values, and NaN and infinities carried through the
// arithmetic as in exact mode, a result is not finite where exact mode's is
// not (tests/engine/test_fast_mode.cpp checks edge stands and inventories).

// SSSE3 adds nothing for doubles over the portable code.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS HWY_SSSE3
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "a/model.h"
#include "b/model.h"
#include "c/model.h"
#include "fast_grow.h"
#include "projection.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "fast_grow.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/contrib/math/math-inl.h>
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace sylvo::engine::HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;
// At most eight lanes (a 512-bit vector), so that kTile is a multiple of the
// lane count on every target, scalable vectors included.
using D = hn::CappedTag<double, 8>;
using V = hn::Vec<D>;

// Stands integrated together: a multiple of every target's lane count. Their
// state and slopes (eight arrays) stay in the first-level cache.
constexpr std::size_t kTile = 64;

// exp(x) with std::exp's special values: Highway's Exp is valid up to 706
// and gives 0 for NaN; from 709.8 (past the overflow threshold) and for NaN,
// x + infinity is the answer (+infinity, NaN).
HWY_INLINE V Exp(D d, V x)
{
    const auto below_overflow = hn::Lt(x, hn::Set(d, 709.8));
    return hn::IfThenElse(below_overflow, hn::Exp(d, x), hn::Add(x, hn::Set(d, std::numeric_limits<double>::infinity())));
}

// log(x) for x >= 0 (never NaN here): -infinity at 0, +infinity at +infinity.
HWY_INLINE V LogNonNegative(D d, V x)
{
    const V inf = hn::Set(d, std::numeric_limits<double>::infinity());
    const V y = hn::Log(d, x);
    return hn::IfThenElse(hn::Eq(x, inf), inf, hn::IfThenElse(hn::Eq(x, hn::Zero(d)), hn::Neg(inf), y));
}

// Each model's stand equations: a Stage holds what is the same for every
// stand at one scaled age, eval gives dx0, dx1 for a vector of stands.
template <class M>
struct Equations;

template <>
struct Equations<a::Model> {
    struct Stage {
        double a2tau, tph_loss, tau, inv_tau, poly, a22tau, a26tau, r0, a13tau, tau_onset, a15cp;
    };

    static Stage stage(double tau, const a::AgeTerms& t)
    {
        const auto& a = a::coefficients.dynamics;
        return {
            .a2tau = a.a2 * tau,
            .tph_loss = -a.a0 * t.decay,
            .tau = tau,
            .inv_tau = 1.0 / tau,
            .poly = ((a.a23 * tau + a.a18) * tau + a.a14) * tau + 1,
            .a22tau = a.a22 * tau,
            .a26tau = a.a26 * tau,
            .r0 = a.a11 * tau + a.a10,
            .a13tau = a.a13 * tau,
            .tau_onset = tau * t.onset,
            .a15cp = a.a15 * t.coupling_power,
        };
    }

    static HWY_INLINE void eval(D d, const Stage& s, V x0, V x1, V& dx0, V& dx1)
    {
        const auto& a = a::coefficients.dynamics;
        const V e2 = Exp(d, hn::Mul(hn::Set(d, a.a3), hn::Sub(hn::Add(hn::Set(d, s.a2tau), x0), hn::Set(d, a.a4))));
        dx0 = hn::NegMulAdd(hn::Set(d, a.a2), e2, hn::Set(d, s.tph_loss));

        // x1 / tau as a product with 1 / tau, except at a scaled age so
        // small (below 2^-1024) that 1 / tau overflows: there 0 times
        // infinity would be NaN where the quotient is 0.
        const V x1_tau =
            std::isfinite(s.inv_tau) ? hn::Mul(x1, hn::Set(d, s.inv_tau)) : hn::Div(x1, hn::Set(d, s.tau));
        const V dens = hn::MulAdd(hn::Set(d, a.tph_density_scale * a.a9), Exp(d, x0), x1_tau);

        V q = hn::MulAdd(hn::Set(d, a.a19), x0, hn::Set(d, s.poly));
        q = hn::MulAdd(hn::Set(d, s.a22tau), x0, q);
        q = hn::MulAdd(hn::Set(d, a.a24), hn::Mul(x0, x0), q);
        q = hn::MulAdd(hn::Set(d, a.a25), dens, q);
        q = hn::MulAdd(hn::Set(d, s.a26tau), dens, q);
        q = hn::MulAdd(hn::Mul(hn::Set(d, a.a27), dens), x0, q);
        V r = hn::MulAdd(hn::Set(d, a.a12), dens, hn::Set(d, s.r0));
        r = hn::MulAdd(hn::Set(d, s.a13tau), dens, r);

        const V growth = hn::Div(hn::Mul(hn::Mul(dens, hn::Set(d, s.tau_onset)), q), r);
        dx1 = hn::MulAdd(hn::Mul(x1, hn::Set(d, s.a15cp)), dx0, growth);
    }
};

template <>
struct Equations<b::Model> {
    struct Stage {
        double b1tau, b2p5, neg_b9p11, b14p16, b8p7, b12p13;
    };

    static Stage stage(double tau, const b::AgeTerms& t)
    {
        const auto& b = b::coefficients.dynamics;
        return {
            .b1tau = b.b1 * tau,
            .b2p5 = b.b2 * t.p5,
            .neg_b9p11 = -b.b9 * t.p11,
            .b14p16 = b.b14 * t.p16,
            .b8p7 = b.b8 * t.p7,
            .b12p13 = b.b12 * t.p13,
        };
    }

    static HWY_INLINE void eval(D d, const Stage& s, V x0, V x1, V& dx0, V& dx1)
    {
        const auto& b = b::coefficients.dynamics;
        const V one = hn::Set(d, 1.0);
        const V e1 = Exp(d, hn::Sub(x0, hn::Set(d, s.b1tau)));
        const V e2 = Exp(d, hn::Mul(hn::Set(d, b.b3), hn::Sub(hn::Add(hn::Set(d, s.b2p5), x0), hn::Set(d, b.b4))));
        dx0 = hn::NegMulAdd(hn::Set(d, b.b2), e2, hn::Mul(hn::Set(d, -b.b0), e1));

        const V f = Exp(d, hn::Mul(hn::Set(d, b.b6), x0));
        const V onset = hn::Sub(one, Exp(d, hn::Mul(Exp(d, hn::Mul(hn::Set(d, b.b10), x0)), hn::Set(d, s.neg_b9p11))));
        const V r = hn::MulAdd(Exp(d, hn::Mul(hn::Set(d, b.b15), x0)), hn::Set(d, s.b14p16), one);
        const V growth = hn::Div(hn::Mul(hn::Mul(f, hn::Set(d, s.b8p7)), onset), r);

        dx1 = hn::MulAdd(hn::Mul(x1, hn::Set(d, s.b12p13)), dx0, growth);
    }
};

template <>
struct Equations<c::Model> {
    struct Stage {
        double c2tau, tph_loss, p0_age, c17tau, c18tau, neg_c7tau2, growth_rate, c8cp, p1_age, c26tau, c27tau;
    };

    static Stage stage(double tau, const c::AgeTerms& t)
    {
        const auto& c = c::coefficients.dynamics;
        const double tau2 = tau * tau;
        return {
            .c2tau = c.c2 * tau,
            .tph_loss = -c.c0 * t.decay,
            .p0_age = (1 + c.c12 * tau) + c.c15 * tau2,
            .c17tau = c.c17 * tau,
            .c18tau = c.c18 * tau,
            .neg_c7tau2 = -c.c7 * tau2,
            .growth_rate = c.c5 + c.c6 * tau,
            .c8cp = c.c8 * t.coupling_power,
            .p1_age = (1 + c.c21 * tau) + c.c24 * tau2,
            .c26tau = c.c26 * tau,
            .c27tau = c.c27 * tau,
        };
    }

    static HWY_INLINE void eval(D d, const Stage& s, V x0, V x1, V& dx0, V& dx1)
    {
        const auto& c = c::coefficients.dynamics;
        const V one = hn::Set(d, 1.0);
        const V x00 = hn::Mul(x0, x0);
        const V x11 = hn::Mul(x1, x1);
        const V x01 = hn::Mul(x0, x1);

        const V e2 = Exp(d, hn::Mul(hn::Set(d, c.c3), hn::Sub(hn::Add(hn::Set(d, s.c2tau), x0), hn::Set(d, c.c4))));
        const V d0 = hn::NegMulAdd(hn::Set(d, c.c2), e2, hn::Set(d, s.tph_loss));

        V p0 = hn::MulAdd(hn::Set(d, c.c10), x0, hn::Set(d, s.p0_age));
        p0 = hn::MulAdd(hn::Set(d, c.c11), x1, p0);
        p0 = hn::MulAdd(hn::Set(d, c.c13), x00, p0);
        p0 = hn::MulAdd(hn::Set(d, c.c14), x11, p0);
        p0 = hn::MulAdd(hn::Set(d, c.c16), x01, p0);
        p0 = hn::MulAdd(hn::Set(d, s.c17tau), x0, p0);
        p0 = hn::MulAdd(hn::Set(d, s.c18tau), x1, p0);
        dx0 = hn::Mul(p0, d0);

        const V e3 = Exp(d, hn::Mul(Exp(d, x0), hn::Set(d, s.neg_c7tau2)));
        const V d1 = hn::MulAdd(hn::Mul(x1, hn::Set(d, s.c8cp)), dx0, hn::Mul(hn::Set(d, s.growth_rate), hn::Sub(one, e3)));

        V p1 = hn::MulAdd(hn::Set(d, c.c19), x0, hn::Set(d, s.p1_age));
        p1 = hn::MulAdd(hn::Set(d, c.c20), x1, p1);
        p1 = hn::MulAdd(hn::Set(d, c.c22), x00, p1);
        p1 = hn::MulAdd(hn::Set(d, c.c23), x11, p1);
        p1 = hn::MulAdd(hn::Set(d, c.c25), x01, p1);
        p1 = hn::MulAdd(hn::Set(d, s.c26tau), x0, p1);
        p1 = hn::MulAdd(hn::Set(d, s.c27tau), x1, p1);
        dx1 = hn::Mul(p1, d1);
    }
};

// Integrates the first N (at most kTile, a multiple of the lane count)
// stands of the tile's arrays: y0, y1 hold the transformed state.
template <class M>
void integrate_tile(const ProjectionPlan& plan, const typename M::AgeTerms* terms, std::size_t n, double* HWY_RESTRICT y0,
                    double* HWY_RESTRICT y1)
{
    using E = Equations<M>;
    const D d;
    const std::size_t lanes = hn::Lanes(d);
    HWY_ALIGN double m0[kTile], m1[kTile];    // the state at which the next slope is taken
    HWY_ALIGN double k10[kTile], k11[kTile];  // first slope
    HWY_ALIGN double k20[kTile], k21[kTile];  // second slope, then second plus third

    const double h = plan.h;
    const double hh = h / 2.0;
    const double h6 = h / 6.0;
    const V vh = hn::Set(d, h), vhh = hn::Set(d, hh), vh6 = hn::Set(d, h6), two = hn::Set(d, 2.0);

    double tau = plan.tau_start;
    typename E::Stage start = E::stage(tau, terms[0]);
    for (std::int64_t step = 0; step < plan.steps; ++step) {
        const typename E::Stage middle = E::stage(tau + hh, terms[2 * step + 1]);
        const typename E::Stage end = E::stage(tau + h, terms[2 * step + 2]);

        // k1 = f(t, y); m = y + h/2 k1
        for (std::size_t j = 0; j < n; j += lanes) {
            const V a0 = hn::Load(d, y0 + j), a1 = hn::Load(d, y1 + j);
            V s0, s1;
            E::eval(d, start, a0, a1, s0, s1);
            hn::Store(s0, d, k10 + j);
            hn::Store(s1, d, k11 + j);
            hn::Store(hn::MulAdd(s0, vhh, a0), d, m0 + j);
            hn::Store(hn::MulAdd(s1, vhh, a1), d, m1 + j);
        }
        // k2 = f(t + h/2, m); m = y + h/2 k2
        for (std::size_t j = 0; j < n; j += lanes) {
            V s0, s1;
            E::eval(d, middle, hn::Load(d, m0 + j), hn::Load(d, m1 + j), s0, s1);
            hn::Store(s0, d, k20 + j);
            hn::Store(s1, d, k21 + j);
            hn::Store(hn::MulAdd(s0, vhh, hn::Load(d, y0 + j)), d, m0 + j);
            hn::Store(hn::MulAdd(s1, vhh, hn::Load(d, y1 + j)), d, m1 + j);
        }
        // k3 = f(t + h/2, m); m = y + h k3; k2 <- k3 + k2
        for (std::size_t j = 0; j < n; j += lanes) {
            V s0, s1;
            E::eval(d, middle, hn::Load(d, m0 + j), hn::Load(d, m1 + j), s0, s1);
            hn::Store(hn::MulAdd(s0, vh, hn::Load(d, y0 + j)), d, m0 + j);
            hn::Store(hn::MulAdd(s1, vh, hn::Load(d, y1 + j)), d, m1 + j);
            hn::Store(hn::Add(s0, hn::Load(d, k20 + j)), d, k20 + j);
            hn::Store(hn::Add(s1, hn::Load(d, k21 + j)), d, k21 + j);
        }
        // k4 = f(t + h, m); y <- y + h/6 ((2 k2 + k1) + k4)
        for (std::size_t j = 0; j < n; j += lanes) {
            V s0, s1;
            E::eval(d, end, hn::Load(d, m0 + j), hn::Load(d, m1 + j), s0, s1);
            const V w0 = hn::Add(hn::MulAdd(two, hn::Load(d, k20 + j), hn::Load(d, k10 + j)), s0);
            const V w1 = hn::Add(hn::MulAdd(two, hn::Load(d, k21 + j), hn::Load(d, k11 + j)), s1);
            hn::Store(hn::MulAdd(vh6, w0, hn::Load(d, y0 + j)), d, y0 + j);
            hn::Store(hn::MulAdd(vh6, w1, hn::Load(d, y1 + j)), d, y1 + j);
        }
        tau = h + tau;
        start = end;
    }
}

template <class M>
void GrowBlock(const ProjectionPlan& plan, const void* terms_in, double tau_end, std::size_t count,
               double* HWY_RESTRICT trees, double* HWY_RESTRICT ba)
{
    const auto* terms = static_cast<const typename M::AgeTerms*>(terms_in);
    const D d;
    const std::size_t lanes = hn::Lanes(d);
    HWY_ALIGN double y0[kTile], y1[kTile];
    const V tph_scale = hn::Set(d, kTphScale), ba_scale = hn::Set(d, kBaScale), tau_start = hn::Set(d, plan.tau_start);
    const V tph_unscale = hn::Set(d, kTphUnscale), ba_unscale = hn::Set(d, kBaUnscale), vtau_end = hn::Set(d, tau_end);

    for (std::size_t first = 0; first < count; first += kTile) {
        const std::size_t n = std::min(kTile, count - first);
        const std::size_t padded = (n + lanes - 1) / lanes * lanes;
        // Lanes past the last stand repeat the first one; their results are dropped.
        for (std::size_t i = 0; i < padded; ++i) {
            y0[i] = trees[first + (i < n ? i : 0)];
            y1[i] = ba[first + (i < n ? i : 0)];
        }
        for (std::size_t j = 0; j < padded; j += lanes) {
            hn::Store(LogNonNegative(d, hn::Mul(tph_scale, hn::Load(d, y0 + j))), d, y0 + j);
            hn::Store(hn::Mul(hn::Mul(ba_scale, hn::Load(d, y1 + j)), tau_start), d, y1 + j);
        }
        integrate_tile<M>(plan, terms, padded, y0, y1);
        for (std::size_t j = 0; j < padded; j += lanes) {
            hn::Store(hn::Mul(tph_unscale, Exp(d, hn::Load(d, y0 + j))), d, y0 + j);
            hn::Store(hn::Div(hn::Mul(ba_unscale, hn::Load(d, y1 + j)), vtau_end), d, y1 + j);
        }
        for (std::size_t i = 0; i < n; ++i) {
            trees[first + i] = y0[i];
            ba[first + i] = y1[i];
        }
    }
}

}  // namespace

void GrowBlockA(const ProjectionPlan& plan, const void* terms, double tau_end, std::size_t count, double* trees,
                double* ba)
{
    GrowBlock<a::Model>(plan, terms, tau_end, count, trees, ba);
}
void GrowBlockB(const ProjectionPlan& plan, const void* terms, double tau_end, std::size_t count, double* trees,
                double* ba)
{
    GrowBlock<b::Model>(plan, terms, tau_end, count, trees, ba);
}
void GrowBlockC(const ProjectionPlan& plan, const void* terms, double tau_end, std::size_t count, double* trees,
                double* ba)
{
    GrowBlock<c::Model>(plan, terms, tau_end, count, trees, ba);
}
std::int64_t Target() { return HWY_TARGET; }

}  // namespace sylvo::engine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace sylvo::engine {

HWY_EXPORT(GrowBlockA);
HWY_EXPORT(GrowBlockB);
HWY_EXPORT(GrowBlockC);
HWY_EXPORT(Target);

void fast_grow_block(Model model, const ProjectionPlan& plan, const void* terms, double tau_end, std::size_t count,
                     double* trees, double* ba)
{
    switch (model) {
    case Model::a:
        HWY_DYNAMIC_DISPATCH(GrowBlockA)(plan, terms, tau_end, count, trees, ba);
        return;
    case Model::b:
        HWY_DYNAMIC_DISPATCH(GrowBlockB)(plan, terms, tau_end, count, trees, ba);
        return;
    case Model::c:
        HWY_DYNAMIC_DISPATCH(GrowBlockC)(plan, terms, tau_end, count, trees, ba);
        return;
    }
}

const char* fast_target_name()
{
    return hwy::TargetName(HWY_DYNAMIC_DISPATCH(Target)());
}

}  // namespace sylvo::engine
#endif  // HWY_ONCE
