// The root finder on functions whose answers are known, and the site-index
// search built on it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "find_root.h"
#include "support/libraries.h"

namespace {

using sylvo::find_root;
using sylvo_test::load;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// A residual that records where it was evaluated.
struct Recorder {
    double (*f)(double);
    std::vector<double>* points;
    double operator()(double x) const
    {
        points->push_back(x);
        return f(x);
    }
};

sylvo::RootBracket search(double (*f)(double), std::vector<double>& points, double lo = 2.0, double hi = 80.0)
{
    return find_root(lo, hi, Recorder{f, &points}, 0.001);
}

TEST(FindRoot, SignChangeConvergesWithinTolerance)
{
    std::vector<double> points;
    const auto r = search([](double x) { return x - 10; }, points);
    EXPECT_NEAR(r.best, 10.0, 0.001);
    EXPECT_TRUE(r.holds_sign_change());
    ASSERT_GE(points.size(), 2u);
    EXPECT_EQ(points[0], 2.0);   // the first end is evaluated first
    EXPECT_EQ(points[1], 80.0);

    // Nonlinear, with an answer known in closed form.
    points.clear();
    const auto c = search([](double x) { return std::log(x) - 3.0; }, points);
    EXPECT_NEAR(c.best, std::exp(3.0), 0.001);
    EXPECT_LE(points.size(), 2u + 17u);   // never slower than bisection
}

TEST(FindRoot, NoSignChangeEndsExactlyAtTheEndNearerZero)
{
    std::vector<double> points;
    const auto falling = search([](double x) { return 100 - x; }, points);
    EXPECT_EQ(falling.best, 80.0);
    EXPECT_FALSE(falling.holds_sign_change());
    const auto rising = search([](double x) { return x + 5; }, points);
    EXPECT_EQ(rising.best, 2.0);
    EXPECT_FALSE(rising.holds_sign_change());
}

TEST(FindRoot, ExactZeroAtAnEnd)
{
    std::vector<double> points;
    const auto at_hi = search([](double x) { return x - 80; }, points);
    EXPECT_EQ(at_hi.best, 80.0);
    EXPECT_EQ(points.size(), 2u);   // returned at once
    points.clear();
    const auto at_lo = search([](double x) { return x - 2; }, points);
    EXPECT_EQ(at_lo.best, 2.0);     // exchanged into b first
    EXPECT_EQ(points.size(), 2u);
}

TEST(FindRoot, FlatResidualEndsAtAPointThatIsNoRoot)
{
    std::vector<double> points;
    const auto r = search([](double) { return 6.66; }, points);
    EXPECT_GT(r.best, 2.0);
    EXPECT_LT(r.best, 80.0);
    EXPECT_FALSE(r.holds_sign_change());
}

TEST(FindRoot, NotANumberEndsTheSearch)
{
    std::vector<double> points;
    // f(80) is NaN: the search returns 80 at once, with no bracket.
    const auto r = search([](double x) { return x > 50 ? nan : x - 60; }, points);
    EXPECT_EQ(r.best, 80.0);
    EXPECT_FALSE(r.holds_sign_change());
    EXPECT_EQ(points.size(), 2u);
    points.clear();
    const auto everywhere = search([](double) { return nan; }, points);
    EXPECT_EQ(points.size(), 2u);
    EXPECT_FALSE(everywhere.holds_sign_change());
}

// The site-index search behind SylvoSite.
class SiteSearch : public ::testing::TestWithParam<char> {};

TEST_P(SiteSearch, ReachableHeightsComeBackWithinTolerance)
{
    auto lib = load(GetParam());
    for (double s : {2.5, 9.0, 18.4, 18.5, 26.0, 41.0, 79.0})
        for (double t : {20.0, 50.0, 90.0})
            for (double u : {0.0, 3.0}) {
                const double h = lib->SylvoHeight(t, s, u);
                const double found = lib->SylvoSite(h, t, u);
                ASSERT_NE(found, 0.0) << s << " " << t << " " << u;
                // The answer's height differs from h by no more than 0.001 of
                // site index changes it (with some slack for curvature).
                const double dh = std::fabs(lib->SylvoHeight(t, found + 0.001, u) - lib->SylvoHeight(t, found, u));
                EXPECT_LE(std::fabs(lib->SylvoHeight(t, found, u) - h), 2 * dh + 1e-12) << s << " " << t;
                // Heights of Models A and B rise with the site index, so the
                // answer is the site index itself; Model C's may not.
                if (GetParam() != 'c') EXPECT_NEAR(found, s, 0.01) << t << " " << u;
            }
}

TEST_P(SiteSearch, UnreachableHeightsGiveZero)
{
    auto lib = load(GetParam());
    const double lo = GetParam() == 'c' ? 1.0 : 2.0;
    const double t = 40, u = 0;
    const double lowest = lib->SylvoHeight(t, lo, u);
    const double highest = lib->SylvoHeight(t, 80.0, u);
    EXPECT_EQ(lib->SylvoSite(lowest * 0.5, t, u), 0.0);
    EXPECT_EQ(lib->SylvoSite(highest * 1.5, t, u), 0.0);
    EXPECT_EQ(lib->SylvoSite(nan, t, u), 0.0);
    EXPECT_EQ(lib->SylvoSite(20, nan, u), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Models, SiteSearch, ::testing::Values('a', 'b', 'c'));

// Where no site index reaches the height and the residual is flat or not
// monotone, the search ends at an interior point that is no root: the
// answer is 0.0, not that point.
TEST(SiteSearchNoRoot, CurveTimeBelowZeroInModelA)
{
    auto lib = load('a');
    EXPECT_EQ(lib->SylvoSite(6.66, 2.99, -4.78), 0.0);
    // The search still stored its last trial: a declined site index now
    // computes with it (at a curve time below zero every height is 0).
    EXPECT_EQ(lib->SylvoHeight(2.99, 1.0, 0.0), 0.0);
    EXPECT_GT(lib->SylvoHeight(30.0, 1.0, 0.0), 0.0);
}

TEST(SiteSearchNoRoot, HeightNotMonotoneInSiteIndexInModelC)
{
    auto lib = load('c');
    EXPECT_EQ(lib->SylvoSite(94.05, 70, 3), 0.0);
}

}  // namespace
