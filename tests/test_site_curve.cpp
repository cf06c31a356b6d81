// The site curves: where each branch joins the next, the site index at its
// index age, the inverse, the age shift, and the guards.
#include <gtest/gtest.h>

#include <cmath>

#include "support/libraries.h"

namespace {

using sylvo_test::load;

constexpr double missing = -999.0;

// Breast-height ages, from the curves' own formulas.
double k_model_a(double s)
{
    return s < 18.5 ? 69.4 / s + 2.55 : 21.6623 * std::pow(s - 9.05671, -0.550762);
}
double k_model_b(double s)
{
    return 110.76 / s + 4.1578;
}

TEST(SiteCurveA, HighSiteBranchesJoinContinuously)
{
    auto lib = load('a');
    for (double s : {18.5, 25.0, 40.0, 80.5}) {
        const double k = k_model_a(s);
        for (double join : {k - 1.5, k + 0.5}) {   // juvenile to bridge, bridge to main
            const double below = lib->SylvoHeight(join - 1e-7, s, 0);
            const double above = lib->SylvoHeight(join + 1e-7, s, 0);
            EXPECT_NEAR(below, above, 1e-5) << "S " << s << " join " << join;
        }
        EXPECT_NEAR(lib->SylvoHeight(k + 48.5, s, 0), s, 1e-12 * s);
        EXPECT_EQ(lib->SylvoHeight(-1.0000001, s, 0), 0.0);
    }
}

TEST(SiteCurveA, LowSitePowerCurveReachesBreastHeightAtK)
{
    auto lib = load('a');
    for (double s : {1.31, 6.0, 12.0, 18.4999}) {
        const double k = k_model_a(s);
        EXPECT_NEAR(lib->SylvoHeight(k - 1, s, 0), 1.3, 1e-12);
        EXPECT_NEAR(lib->SylvoHeight(k - 1 + 1e-6, s, 0), 1.3, 1e-4);   // the main curve starts there
        EXPECT_NEAR(lib->SylvoHeight(k + 48.5, s, 0), s, 1e-12 * s);
        EXPECT_NEAR(lib->SylvoAge(1.3, s, 0), k - 1, 1e-12);
        EXPECT_NEAR(lib->SylvoAge(1.3 + 1e-9, s, 0), k - 1, 1e-3);
    }
}

TEST(SiteCurveA, HeightAboveTheMainCurvesLimitHasNoAge)
{
    auto lib = load('a');
    const double s = 22;
    const double limit = lib->SylvoHeight(1e6, s, 0);   // the main curve's asymptote, nearly
    EXPECT_EQ(lib->SylvoAge(limit * 1.01, s, 0), missing);
    EXPECT_NE(lib->SylvoAge(limit * 0.99, s, 0), missing);
}

class SiteCurve : public ::testing::TestWithParam<char> {};

TEST_P(SiteCurve, AgeInvertsHeightOnEveryBranch)
{
    auto lib = load(GetParam());
    const bool juvenile_search = GetParam() == 'a';   // Model A's juvenile curve is inverted by a search
    for (double s : {3.0, 10.0, 18.4, 18.5, 24.0, 35.0, 60.0})
        for (double a : {0.3, 1.0, 2.5, 4.0, 7.0, 12.0, 30.0, 75.0, 140.0})
            for (double u : {0.0, 4.0}) {
                const double h = lib->SylvoHeight(a, s, u);
                if (h <= 0) continue;
                const double back = lib->SylvoAge(h, s, u);
                ASSERT_NE(back, missing) << s << " " << a << " " << u;
                const double tol = juvenile_search ? 0.01 : 1e-7 * (1 + a);
                EXPECT_NEAR(back, a, tol) << "S " << s << " age " << a << " shift " << u;
            }
}

TEST_P(SiteCurve, AgeShiftMovesTheCurveAlongTheAgeAxis)
{
    auto lib = load(GetParam());
    for (double s : {8.0, 21.0, 44.0})
        for (double a : {3.0, 15.0, 60.0}) {
            EXPECT_NEAR(lib->SylvoHeight(a, s, 5.0), lib->SylvoHeight(a + 5.0, s, 0.0), 1e-12 * s);
            const double h = lib->SylvoHeight(a + 5.0, s, 0.0);
            EXPECT_NEAR(lib->SylvoAge(h, s, 5.0), lib->SylvoAge(h, s, 0.0) - 5.0, 1e-9);
        }
}

TEST_P(SiteCurve, HeightIsZeroBeforeTheCurveStarts)
{
    auto lib = load(GetParam());
    for (double s : {5.0, 30.0}) {
        EXPECT_EQ(lib->SylvoHeight(-1.5, s, 0), 0.0);
        EXPECT_EQ(lib->SylvoHeight(-4.0, s, 2.5), 0.0);
        EXPECT_GT(lib->SylvoHeight(-3.0, s, 2.5), 0.0);
        EXPECT_EQ(lib->SylvoHeight(-1.0, s, 0), 0.0);   // curve time 0
    }
}

TEST_P(SiteCurve, HeightRisesWithAge)
{
    auto lib = load(GetParam());
    for (double s : {5.0, 20.0, 50.0}) {
        double previous = 0;
        for (double a = 1; a <= 150; a += 7) {
            const double h = lib->SylvoHeight(a, s, 0);
            EXPECT_GT(h, previous) << s << " " << a;
            // In Models A and B it rises with the site index too (Model C's
            // young stands of better sites start lower).
            if (GetParam() != 'c') EXPECT_GT(lib->SylvoHeight(a, s + 1, 0), h);
            previous = h;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Models, SiteCurve, ::testing::Values('a', 'b', 'c'));

TEST(SiteCurveB, BreastHeightIndexAgeAndUpperLimit)
{
    auto lib = load('b');
    for (double s : {1.31, 9.0, 18.0, 33.0, 80.5}) {
        const double k = k_model_b(s);
        EXPECT_NEAR(lib->SylvoHeight(k - 1, s, 0), 1.3, 1e-12);
        EXPECT_NEAR(lib->SylvoHeight(k - 1 + 1e-7, s, 0), 1.3, 1e-5);
        EXPECT_NEAR(lib->SylvoHeight(k - 1 + 50, s, 0), s, 1e-12 * s);
        EXPECT_NEAR(lib->SylvoAge(1.3, s, 0), k - 1, 1e-12);
        EXPECT_EQ(lib->SylvoAge(0.0, s, 0), missing);
        EXPECT_EQ(lib->SylvoAge(-2.0, s, 0), missing);
        // Hmax = 1.3 + (S - 1.3) G(50), never reached; above it, no age.
        const double g50 = 1 + std::exp(9.794 - 1.466 * std::log(50.0) - 1.287 * std::log(s - 1.3));
        const double hmax = 1.3 + (s - 1.3) * g50;
        EXPECT_LT(lib->SylvoHeight(1e4, s, 0), hmax);
        EXPECT_EQ(lib->SylvoAge(hmax * (1 + 1e-9), s, 0), missing);
    }
}

TEST(SiteCurveC, BreastHeightIndexAgeAndAsymptote)
{
    auto lib = load('c');
    for (double s : {5.0, 20.0, 45.0, 80.5}) {
        const double w = 13.25 - s / 6.096;
        EXPECT_NEAR(lib->SylvoAge(1.372, s, 0), w - 1, 1e-9);
        EXPECT_NEAR(lib->SylvoAge(s, s, 0), w + 49, 1e-9);
        EXPECT_NEAR(lib->SylvoHeight(w + 49, s, 0), s, 1e-12 * s);
        const double asymptote = lib->SylvoHeight(1e12, s, 0);
        EXPECT_EQ(lib->SylvoAge(asymptote * 1.001, s, 0), missing);
        EXPECT_EQ(lib->SylvoAge(0.0, s, 0), missing);
    }
    EXPECT_LT(lib->SylvoAge(1.372, 80.5, 0), 0.0);   // negative ages come back as computed
}

TEST(SiteCurveC, SitesAtAndBelowBreastHeight)
{
    auto lib = load('c');
    // At exactly 1.372 the curve is flat at 1.372 and fixes no age.
    EXPECT_DOUBLE_EQ(lib->SylvoHeight(20, 1.372, 0), 1.372);
    EXPECT_DOUBLE_EQ(lib->SylvoHeight(90, 1.372, 0), 1.372);
    EXPECT_EQ(lib->SylvoAge(1.372, 1.372, 0), missing);
    EXPECT_EQ(lib->SylvoAge(1.0, 1.372, 0), missing);
    EXPECT_EQ(lib->SylvoAge(3.0, 1.372, 0), missing);
    // Below it the curve falls with age.
    EXPECT_GT(lib->SylvoHeight(20, 1.0, 0), lib->SylvoHeight(60, 1.0, 0));
}

}  // namespace
