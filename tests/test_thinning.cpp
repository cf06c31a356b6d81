// The thinning response: identities, direction, guards, and the near-inverse
// relation between the two functions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/libraries.h"

namespace {

using sylvo_test::load;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

class Thinning : public ::testing::TestWithParam<char> {};

TEST_P(Thinning, NothingRemovedLeavesTheStandAsItWas)
{
    auto lib = load(GetParam());
    for (double p : {0.3, 5.0, 40.0})
        for (double n : {200.0, 1500.0})
            for (double b : {4.0, 35.0}) {
                EXPECT_EQ(lib->SylvoBaAfter(p, n, b, n), b);
                EXPECT_EQ(lib->SylvoTphAfter(p, n, b, b), n);
            }
}

TEST_P(Thinning, LessLeftMeansLessLeft)
{
    auto lib = load(GetParam());
    const double p = 12, n1 = 1400, b1 = 30;
    double ba_prev = 0, tph_prev = 0;
    for (int tenth = 1; tenth < 10; ++tenth) {
        const double f = tenth / 10.0;
        const double ba = lib->SylvoBaAfter(p, n1, b1, f * n1);
        const double tph = lib->SylvoTphAfter(p, n1, b1, f * b1);
        EXPECT_GT(ba, ba_prev);
        EXPECT_LT(ba, b1);
        EXPECT_GT(tph, tph_prev);
        EXPECT_LT(tph, n1);
        ba_prev = ba;
        tph_prev = tph;
    }
    // A larger p weakens the effect on basal area and strengthens it on trees.
    EXPECT_GT(lib->SylvoBaAfter(30, n1, b1, 700), lib->SylvoBaAfter(3, n1, b1, 700));
    EXPECT_LT(lib->SylvoTphAfter(30, n1, b1, 20), lib->SylvoTphAfter(3, n1, b1, 20));
    // More after than before is not rejected: the result exceeds the before value.
    EXPECT_GT(lib->SylvoBaAfter(p, n1, b1, 1.2 * n1), b1);
    EXPECT_GT(lib->SylvoTphAfter(p, n1, b1, 1.2 * b1), n1);
}

TEST_P(Thinning, EachFunctionNearlyUndoesTheOther)
{
    auto lib = load(GetParam());
    for (double n2 : {300.0, 800.0, 1300.0}) {
        const double b2 = lib->SylvoBaAfter(9, 1400, 30, n2);
        const double back = lib->SylvoTphAfter(9, 1400, 30, b2);
        EXPECT_NEAR(back, n2, 1e-3 * n2);   // cn is 1/cb to five or six digits only
        EXPECT_NE(back, n2);
    }
}

TEST_P(Thinning, ArgumentsNotAboveZeroGiveZero)
{
    auto lib = load(GetParam());
    const double good[4] = {10, 1200, 25, 800};
    for (int i = 0; i < 4; ++i)
        for (double bad : {0.0, -0.0, -3.0}) {
            double a[4] = {good[0], good[1], good[2], good[3]};
            a[i] = bad;
            EXPECT_EQ(lib->SylvoBaAfter(a[0], a[1], a[2], a[3]), 0.0) << i << " " << bad;
            a[3] = i == 3 ? bad : 20;
            EXPECT_EQ(lib->SylvoTphAfter(a[0], a[1], a[2], a[3]), 0.0) << i << " " << bad;
        }
    // A value that is not a number passes the test.
    EXPECT_TRUE(std::isnan(lib->SylvoBaAfter(nan, 1200, 25, 800)));
}

INSTANTIATE_TEST_SUITE_P(Models, Thinning, ::testing::Values('a', 'b', 'c'));

TEST(ThinningAcrossModels, EachModelHasItsOwnResponse)
{
    double ba[3], tph[3];
    int i = 0;
    for (char m : {'a', 'b', 'c'}) {
        auto lib = load(m);
        ba[i] = lib->SylvoBaAfter(10, 1500, 30, 900);
        tph[i] = lib->SylvoTphAfter(10, 1500, 30, 20);
        ++i;
    }
    EXPECT_NE(ba[0], ba[1]);
    EXPECT_NE(ba[1], ba[2]);
    EXPECT_NE(tph[0], tph[1]);
    EXPECT_NE(tph[1], tph[2]);
}

}  // namespace
