// Fast mode against exact mode, through the engine's C interface: the
// standard job (1e6 stands, 10 -> 40 years, N ~ U(200, 3000),
// B ~ U(5, 50)) and an inventory-like mix of ages and horizons for every
// model, on every SIMD target this processor offers; and results that are not
// finite exactly where exact mode's are not.
//
// Accuracy on the standard job: relative difference at most 1e-13 for 99.9%
// of results and 1e-10 for every finite one. Inventories reach past the ages
// the models were fitted for, where many projections are ill-conditioned;
// there 99% of the well-conditioned results are held to 1e-12 (see
// held_to_tolerance). Each test prints its worst case.
#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sylvo_engine.h"

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// Sanitizer builds, many times slower, run a tenth of each large job.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kShare = 10;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
constexpr std::size_t kShare = 10;
#else
constexpr std::size_t kShare = 1;
#endif
#else
constexpr std::size_t kShare = 1;
#endif

struct Job {
    std::vector<double> t1, t2, trees, ba;
    std::size_t size() const { return t1.size(); }
    void add(double a1, double a2, double n, double b)
    {
        t1.push_back(a1);
        t2.push_back(a2);
        trees.push_back(n);
        ba.push_back(b);
    }
};

Job standard_job(std::size_t count, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> trees(200.0, 3000.0), ba(5.0, 50.0);
    Job job;
    for (std::size_t i = 0; i < count; ++i) {
        const double n = trees(rng);
        job.add(10.0, 40.0, n, ba(rng));
    }
    return job;
}

// An inventory: whole-year ages 5 to 60 and horizons of 1 to 50 years in
// random order (many groups of odd sizes), a few stands with fractional ages,
// trees and basal area as in the standard job.
Job inventory_mix(std::size_t count, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> age(5, 60), horizon(1, 50);
    std::uniform_real_distribution<double> unit(0.0, 1.0), trees(200.0, 3000.0), ba(5.0, 50.0);
    Job job;
    for (std::size_t i = 0; i < count; ++i) {
        double t1 = age(rng);
        double t2 = t1 + horizon(rng);
        if (unit(rng) < 0.02) {
            t1 += unit(rng);
            t2 += unit(rng);
        }
        const double n = trees(rng);
        job.add(t1, t2, n, ba(rng));
    }
    return job;
}

struct Results {
    std::vector<double> trees, ba;
};

Results grow(int model, const Job& job, int mode, int threads = 0)
{
    Results r{std::vector<double>(job.size()), std::vector<double>(job.size())};
    const sylvo_options options{mode, threads};
    const int rc = sylvo_grow_batch(model, job.size(), job.t1.data(), job.t2.data(), job.trees.data(), job.ba.data(),
                                    r.trees.data(), r.ba.data(), &options);
    EXPECT_EQ(rc, SYLVO_OK) << sylvo_strerror(rc);
    return r;
}

double relative_difference(double fast, double exact)
{
    if (fast == exact) return 0.0;
    return std::fabs(fast - exact) / std::fabs(exact);
}

// The 99.9th percentile and the largest relative difference over both
// outputs of every stand, and where the largest one is.
struct Accuracy {
    double p99 = 0.0;
    double p999 = 0.0;
    double worst = 0.0;
    std::string worst_case;
    std::size_t finite_mismatches = 0;
    std::size_t left_out = 0;   // stands with finite results KEEP left out
    std::size_t differing = 0;  // compared results not bit-identical to exact mode's
    std::size_t compared = 0;   // results compared
};

// Compares the stands with KEEP[i] set (all when KEEP is null).
Accuracy compare(const Job& job, const Results& exact, const Results& fast, const std::vector<char>* keep = nullptr)
{
    Accuracy acc;
    std::vector<double> rel;
    rel.reserve(2 * job.size());
    auto consider = [&](std::size_t i, const char* what, double f, double e) {
        if (std::isfinite(e) != std::isfinite(f)) ++acc.finite_mismatches;
        if (!std::isfinite(e) || !std::isfinite(f) || (keep && !(*keep)[i])) return;
        const double d = relative_difference(f, e);
        rel.push_back(d);
        ++acc.compared;
        acc.differing += d > 0.0;
        if (!(d <= acc.worst)) {
            acc.worst = d;
            char text[256];
            std::snprintf(text, sizeof text, "row %zu (t1 %.17g, t2 %.17g, N %.17g, B %.17g): %s exact %.17g, fast %.17g", i,
                          job.t1[i], job.t2[i], job.trees[i], job.ba[i], what, e, f);
            acc.worst_case = text;
        }
    };
    for (std::size_t i = 0; i < job.size(); ++i) {
        acc.left_out += std::isfinite(exact.trees[i]) && std::isfinite(exact.ba[i]) && keep && !(*keep)[i];
        consider(i, "N", fast.trees[i], exact.trees[i]);
        consider(i, "B", fast.ba[i], exact.ba[i]);
    }
    if (!rel.empty()) {
        const auto at = rel.begin() + static_cast<std::ptrdiff_t>(0.999 * static_cast<double>(rel.size()));
        std::nth_element(rel.begin(), at, rel.end());
        acc.p999 = *at;
        const auto at99 = rel.begin() + static_cast<std::ptrdiff_t>(0.99 * static_cast<double>(rel.size()));
        std::nth_element(rel.begin(), at99, at);
        acc.p99 = *at99;
    }
    return acc;
}

void expect_accurate(const Accuracy& acc, const std::string& what)
{
    std::printf("    %s: 99.9%% within %.3g, worst %.3g at %s\n", what.c_str(), acc.p999, acc.worst,
                acc.worst_case.c_str());
    EXPECT_EQ(acc.finite_mismatches, 0u) << what;
    EXPECT_LE(acc.p999, 1e-13) << what;
    EXPECT_LE(acc.worst, 1e-10) << what << ": " << acc.worst_case;
}

class FastMode : public ::testing::TestWithParam<int> {};

std::string model_label(const ::testing::TestParamInfo<int>& info) { return std::string(1, char('a' + info.param)); }

TEST_P(FastMode, StandardJobWithinTolerance)
{
    const Job job = standard_job(1000000 / kShare, 8 + GetParam());
    const Results exact = grow(GetParam(), job, SYLVO_EXACT);
    const Results fast = grow(GetParam(), job, SYLVO_FAST);
    expect_accurate(compare(job, exact, fast), "standard job");
}

// The stands fast mode is held to the tolerance on: those whose exact result
// is a stand a forest can hold (1 to 10000 trees per hectare, a basal area
// above 0 and at most 150 m2/ha) and whose exact projection is well
// conditioned (moving N and B up by 1e-13 of their value moves neither
// result by more than 100 times as much). Past the ages the models were
// fitted for, and for some dense stands, the projection is neither: the
// basal area turns negative or explodes, the trees die out to 1e-300 per
// hectare, and a last-bit change anywhere on the way changes the result in
// the eighth digit or entirely; there the difference between two correct
// evaluations says nothing about either.
std::vector<char> held_to_tolerance(int model, const Job& job, const Results& exact)
{
    Job nudged = job;
    for (std::size_t i = 0; i < job.size(); ++i) {
        nudged.trees[i] = job.trees[i] * (1 + 1e-13);
        nudged.ba[i] = job.ba[i] * (1 + 1e-13);
    }
    const Results moved = grow(model, nudged, SYLVO_EXACT);
    std::vector<char> keep(job.size());
    for (std::size_t i = 0; i < job.size(); ++i) {
        const bool plausible = exact.trees[i] >= 1.0 && exact.trees[i] <= 10000.0 && exact.ba[i] > 0.0 &&
                               exact.ba[i] <= 150.0;
        keep[i] = plausible && relative_difference(moved.trees[i], exact.trees[i]) <= 1e-11 &&
                  relative_difference(moved.ba[i], exact.ba[i]) <= 1e-11;
    }
    return keep;
}

// On an inventory fast mode runs (some results differ from exact mode's in
// the last bits), agrees with exact mode on which results are finite, and
// keeps 99% of the results it is held to within 1e-12: the projections held
// may amplify differences a hundredfold over several hundred evaluations of
// the equations, and a wrong age term or step for some plans would move them
// by far more. The 99.9% and worst figures are printed: near the models'
// singular stands a few projections that pass the conditioning probe still
// amplify the last bits.
void expect_accurate_inventory(int model, const Job& job, const Results& exact, const Results& fast,
                               const std::string& what)
{
    const std::vector<char> keep = held_to_tolerance(model, job, exact);
    const Accuracy all = compare(job, exact, fast);
    const Accuracy kept = compare(job, exact, fast, &keep);
    std::printf("    %s: %zu of %zu stands out of range or ill-conditioned (worst difference there %.3g)\n"
                "    %s, the others: 99%% within %.3g, 99.9%% within %.3g, worst %.3g at %s\n",
                what.c_str(), kept.left_out, job.size(), all.worst, what.c_str(), kept.p99, kept.p999, kept.worst,
                kept.worst_case.c_str());
    EXPECT_EQ(all.finite_mismatches, 0u) << what;
    EXPECT_GT(kept.differing, 0u) << what << ": fast mode did not run";
    EXPECT_GT(kept.compared, 2 * job.size() / 5) << what;  // both results of a fifth of the stands
    EXPECT_LE(kept.p99, 1e-12) << what;
}

TEST_P(FastMode, InventoryMostlyWithinTolerance)
{
    const Job job = inventory_mix(300000 / kShare, 80 + GetParam());
    const Results exact = grow(GetParam(), job, SYLVO_EXACT);
    const Results fast = grow(GetParam(), job, SYLVO_FAST);
    expect_accurate_inventory(GetParam(), job, exact, fast, "inventory");
}

// Every SIMD target this processor supports, chosen in turn (Highway's
// choice is held in its shared library, which the engine uses too).
TEST_P(FastMode, EverySupportedTargetWithinTolerance)
{
    const std::int64_t supported = hwy::SupportedTargets();
    int tried = 0;
    for (std::int64_t target : {std::int64_t{HWY_AVX3}, std::int64_t{HWY_AVX2}, std::int64_t{HWY_SSE4},
                                std::int64_t{HWY_EMU128}}) {
        if (!(supported & target)) continue;
        hwy::SetSupportedTargetsForTest(target);
        const Job standard = standard_job(20000, 3);
        const Job mix = inventory_mix(20000, 4);
        const Results se = grow(GetParam(), standard, SYLVO_EXACT), sf = grow(GetParam(), standard, SYLVO_FAST);
        const Results me = grow(GetParam(), mix, SYLVO_EXACT), mf = grow(GetParam(), mix, SYLVO_FAST);
        expect_accurate(compare(standard, se, sf), std::string(hwy::TargetName(target)) + ", standard job");
        expect_accurate_inventory(GetParam(), mix, me, mf, std::string(hwy::TargetName(target)) + ", inventory");
        ++tried;
    }
    hwy::SetSupportedTargetsForTest(0);
    EXPECT_GE(tried, 2);  // at least one vector target and the portable code
}

// Results that are not finite where exact mode's are not, with the same
// bits (NaN, or the same infinity), and finite ones where exact mode's are
// finite; ordinary stands in the same groups keep their accuracy.
TEST_P(FastMode, NotFiniteExactlyWhereExactModeIsNot)
{
    const double ages[][2] = {{10, 40}, {40, 10}, {5, 6}, {20, 20}, {1e-300, 30}, {-5, 20}, {0, 10}, {10, nan},
                              {10, inf}, {-inf, 10}, {10, 3e9}, {0.5, 250},
                              {1e-308, 40}};  // a scaled age whose reciprocal overflows
    const double trees[] = {1000, inf, 1e300, 1e200, 1e-300, 5e-324, 0, -0.0, -1, nan, 1e6, 1e-3, 2e5};
    const double bas[] = {20, nan, inf, -inf, 0, -0.0, -5, 1e300, 1e-300, 5e3, 1e-3};
    Job job;
    for (const auto& a : ages)
        for (double n : trees)
            for (double b : bas) job.add(a[0], a[1], n, b);
    // Ordinary stands among them, in the same groups.
    std::mt19937_64 rng(GetParam());
    std::uniform_real_distribution<double> n(200, 3000), b(5, 50);
    for (std::size_t i = 0, end = job.size(); i < end; ++i) job.add(job.t1[i], job.t2[i], n(rng), b(rng));
    const Results exact = grow(GetParam(), job, SYLVO_EXACT, 1);
    const Results fast = grow(GetParam(), job, SYLVO_FAST, 1);

    int mismatches = 0, not_finite = 0;
    std::string first;
    auto check = [&](std::size_t i, const char* what, double f, double e) {
        bool ok;
        if (std::isnan(e))
            ok = std::isnan(f);
        else if (std::isinf(e))
            ok = std::bit_cast<std::uint64_t>(f) == std::bit_cast<std::uint64_t>(e);
        else
            ok = std::isfinite(f);
        not_finite += !std::isfinite(e);
        if (!ok && mismatches++ == 0)
            first = "row " + std::to_string(i) + " " + what + ": exact " + std::to_string(e) + ", fast " +
                    std::to_string(f) + " (t1 " + std::to_string(job.t1[i]) + ", t2 " + std::to_string(job.t2[i]) +
                    ", N " + std::to_string(job.trees[i]) + ", B " + std::to_string(job.ba[i]) + ")";
    };
    for (std::size_t i = 0; i < job.size(); ++i) {
        check(i, "N", fast.trees[i], exact.trees[i]);
        check(i, "B", fast.ba[i], exact.ba[i]);
    }
    EXPECT_EQ(mismatches, 0) << first;
    EXPECT_GT(not_finite, 1000);  // the edge rows do reach the non-finite paths

    // Ordinary stands on ordinary ages stay within the tolerance.
    Job ordinary;
    Results e, f;
    for (std::size_t i = 0; i < job.size(); ++i) {
        const bool plain_ages = job.t1[i] >= 1 && job.t1[i] <= 100 && job.t2[i] >= 1 && job.t2[i] <= 100;
        if (!plain_ages || !(job.trees[i] >= 200 && job.trees[i] <= 3000 && job.ba[i] >= 5 && job.ba[i] <= 50))
            continue;
        ordinary.add(job.t1[i], job.t2[i], job.trees[i], job.ba[i]);
        e.trees.push_back(exact.trees[i]);
        e.ba.push_back(exact.ba[i]);
        f.trees.push_back(fast.trees[i]);
        f.ba.push_back(fast.ba[i]);
    }
    ASSERT_GT(ordinary.size(), 100u);
    const Accuracy acc = compare(ordinary, e, f);
    EXPECT_LE(acc.worst, 1e-10) << acc.worst_case;
}

// Batches of every small size: the stands past the last full vector of a
// block are projected, each to the bits it gets in a batch of 64.
TEST_P(FastMode, SmallBatchesMatchALargeOne)
{
    Job job;
    const Job source = standard_job(64, 17);
    for (std::size_t i = 0; i < 64; ++i) job.add(20.0, 35.0, source.trees[i], source.ba[i]);
    const Results whole = grow(GetParam(), job, SYLVO_FAST, 1);
    const Results exact = grow(GetParam(), job, SYLVO_EXACT, 1);
    EXPECT_LE(compare(job, exact, whole).worst, 1e-12);
    for (std::size_t count = 1; count <= 19; ++count) {
        Job part;
        for (std::size_t i = 0; i < count; ++i) part.add(20.0, 35.0, job.trees[i], job.ba[i]);
        const Results small = grow(GetParam(), part, SYLVO_FAST, 1);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(small.trees[i]), std::bit_cast<std::uint64_t>(whole.trees[i]))
                << "batch of " << count << ", stand " << i;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(small.ba[i]), std::bit_cast<std::uint64_t>(whole.ba[i]))
                << "batch of " << count << ", stand " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Models, FastMode, ::testing::Values(SYLVO_MODEL_A, SYLVO_MODEL_B, SYLVO_MODEL_C), model_label);

}  // namespace
