// The growth projection: step counts, identities of the integration, its
// domain, and the direction of change the models guarantee.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "step_rule.h"
#include "support/libraries.h"

namespace {

using sylvo::StepRule;
using sylvo::step_count;
using sylvo_test::load;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

TEST(StepCount, WholeYearsWithSlack)
{
    const StepRule r = StepRule::whole_years;
    EXPECT_EQ(step_count(r, 0.0), 0);
    EXPECT_EQ(step_count(r, 1e-06), 0);
    EXPECT_EQ(step_count(r, 0.5), 1);
    EXPECT_EQ(step_count(r, 5.0), 5);
    EXPECT_EQ(step_count(r, -5.0), 5);
    EXPECT_EQ(step_count(r, 5.0 + 5e-7), 5);   // within the slack: no extra step
    EXPECT_EQ(step_count(r, 5.0 + 2e-6), 6);
    EXPECT_EQ(step_count(r, 5.5), 6);
    EXPECT_EQ(step_count(r, 2147483647.5), 2147483648LL);  // beyond 32 bits, no overflow
}

TEST(StepCount, FourYearBlocks)
{
    const StepRule r = StepRule::four_year_blocks;
    EXPECT_EQ(step_count(r, 0.0), 1);
    EXPECT_EQ(step_count(r, 0.5), 1);
    EXPECT_EQ(step_count(r, 3.9), 1);
    EXPECT_EQ(step_count(r, 3.999), 1);
    EXPECT_EQ(step_count(r, 4.0), 2);
    EXPECT_EQ(step_count(r, -4.0), 2);
    EXPECT_EQ(step_count(r, 10.0), 3);
    EXPECT_EQ(step_count(r, 20.0), 6);
    EXPECT_EQ(step_count(r, 2147483647.9), 536870912);
}

class Projection : public ::testing::TestWithParam<char> {};

// Without a step (Models A and B) or with one step of length 0 (Model C),
// the result is the start, up to the rounding of the two transforms.
TEST_P(Projection, SameAgeGivesBackTheStart)
{
    auto lib = load(GetParam());
    for (double t : {5.0, 17.5, 60.0})
        for (double n : {150.0, 1234.5, 4000.0})
            for (double b : {2.0, 25.0, 61.0}) {
                EXPECT_NEAR(lib->SylvoGrowTph(t, n, b, t), n, 4 * n * 2.2e-16);
                EXPECT_NEAR(lib->SylvoGrowBa(t, n, b, t), b, 4 * b * 2.2e-16);
            }
}

TEST_P(Projection, ForwardThenBackReturnsCloseToTheStart)
{
    auto lib = load(GetParam());
    const double n0 = 1200, b0 = 18, t1 = 15, t2 = 25;
    const double n1 = lib->SylvoGrowTph(t1, n0, b0, t2);
    const double b1 = lib->SylvoGrowBa(t1, n0, b0, t2);
    const double n2 = lib->SylvoGrowTph(t2, n1, b1, t1);
    const double b2 = lib->SylvoGrowBa(t2, n1, b1, t1);
    // Close (the integration error of ten one-year or three four-year steps
    // each way), not exact.
    EXPECT_NEAR(n2, n0, 1e-5 * n0);
    EXPECT_NEAR(b2, b0, 1e-5 * b0);
    EXPECT_NE(n2, n0);
    EXPECT_NE(n1, n0);
}

// Outside the domain both results are NaN at once, and the call ends.
TEST_P(Projection, OutsideTheDomainBothResultsAreNaN)
{
    auto lib = load(GetParam());
    const double cases[][4] = {
        {10, 0, 20, 30},    {10, -100, 20, 30},  {10, nan, 20, 30},     {0, 1000, 20, 30},
        {-0.0, 1000, 20, 30}, {10, 1000, 20, 0}, {nan, 1000, 20, 30},   {10, 1000, 20, nan},
        {inf, 1000, 20, 30}, {10, 1000, 20, -inf}, {10, 1000, 20, 2147483658.0},
        {-1e300, 1000, 20, 1e300},
    };
    for (const auto& c : cases) {
        double n = c[1];
        double b = c[2];
        lib->SylvoGrow(c[0], c[3], &n, &b);
        EXPECT_TRUE(std::isnan(n) && std::isnan(b)) << c[0] << " " << c[1] << " " << c[3];
        EXPECT_TRUE(std::isnan(lib->SylvoGrowTph(c[0], c[1], c[2], c[3])));
        EXPECT_TRUE(std::isnan(lib->SylvoGrowBa(c[0], c[1], c[2], c[3])));
    }
}

// Inside the domain odd values pass through as arithmetic gives them.
TEST_P(Projection, InsideTheDomainValuesPassThrough)
{
    auto lib = load(GetParam());
    EXPECT_TRUE(std::isnan(lib->SylvoGrowBa(10, 1000, nan, 20)));
    // Negative ages are inside the domain; the powers of a negative scaled
    // age are not real, and the basal area comes back as NaN.
    EXPECT_TRUE(std::isnan(lib->SylvoGrowBa(-5, 1000, 20, -3)));
}

TEST_P(Projection, ResultsAreUntouchedByOtherCalls)
{
    // The projection reads no module state: the stored site does not matter.
    double before;
    {
        auto lib = load(GetParam());
        before = lib->SylvoGrowTph(12, 1500, 14, 37);
    }
    auto lib = load(GetParam());
    lib->SylvoSite(18, 30, 0);
    lib->SylvoHeight(20, 40, 3);
    EXPECT_EQ(lib->SylvoGrowTph(12, 1500, 14, 37), before);
}

INSTANTIATE_TEST_SUITE_P(Models, Projection, ::testing::Values('a', 'b', 'c'));

// Models A and B lose trees and never gain them, for any start, forward.
class TreesNeverRise : public ::testing::TestWithParam<char> {};

TEST_P(TreesNeverRise, ForwardProjectionsLoseTrees)
{
    auto lib = load(GetParam());
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> age(5, 60), tph(100, 5000), ba(1, 60), span(0.5, 40);
    for (int i = 0; i < 500; ++i) {
        const double t1 = age(rng), n = tph(rng), b = ba(rng), t2 = t1 + span(rng);
        const double n2 = lib->SylvoGrowTph(t1, n, b, t2);
        if (std::isnan(n2)) continue;
        EXPECT_LE(n2, n) << t1 << " " << n << " " << b << " " << t2;
    }
}

INSTANTIATE_TEST_SUITE_P(ModelsAandB, TreesNeverRise, ::testing::Values('a', 'b'));

}  // namespace
