// Total and merchantable volume: the diameter limit's effect, the guards and
// clamps, and the points where a factor is exactly 1.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/libraries.h"

namespace {

using sylvo_test::load;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

class Volume : public ::testing::TestWithParam<char> {};

TEST_P(Volume, MerchantableVolumeFallsAsTheLimitRises)
{
    auto lib = load(GetParam());
    for (double h : {12.0, 25.0})
        for (double n : {400.0, 1600.0}) {
            const double b = 30;
            double previous = lib->SylvoMerchVol(h, n, b, 0);
            const double mean_d = std::sqrt(40000 / M_PI * b / n);
            const double full = previous;
            for (double d = 2; d < 3 * mean_d; d += 2) {
                const double v = lib->SylvoMerchVol(h, n, b, d);
                if (previous > 0) EXPECT_LT(v, previous) << h << " " << n << " " << d;
                EXPECT_GE(v, 0.0);
                previous = v;
            }
            EXPECT_LT(previous, 0.01 * full);   // well past the mean diameter, next to nothing
        }
}

TEST_P(Volume, NoBasalAreaMeansNoMerchantableVolume)
{
    auto lib = load(GetParam());
    for (double b : {0.0, -0.0, -4.0}) EXPECT_EQ(lib->SylvoMerchVol(20, 900, b, 10), 0.0);
    EXPECT_TRUE(std::isnan(lib->SylvoMerchVol(20, 900, 30, -1.0)));   // a negative limit
    EXPECT_TRUE(std::isnan(lib->SylvoVolume(nan, 900, 30)));
}

TEST_P(Volume, TotalVolumeIsNeverNegative)
{
    auto lib = load(GetParam());
    for (double h = 1; h < 40; h += 3)
        for (double n = 50; n < 6000; n *= 1.7)
            for (double b = 0; b < 120; b += 9) EXPECT_GE(lib->SylvoVolume(h, n, b), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Models, Volume, ::testing::Values('a', 'b', 'c'));

// Models A and B: (V - 0.4 B) exp(X), with X = 0 at d = 0 and no clamp.
class RatioVolume : public ::testing::TestWithParam<char> {};

TEST_P(RatioVolume, ZeroLimitLeavesTheVolumeLessItsDeduction)
{
    auto lib = load(GetParam());
    for (double h : {8.0, 21.0})
        for (double n : {300.0, 2500.0})
            for (double b : {5.0, 40.0}) EXPECT_EQ(lib->SylvoMerchVol(h, n, b, 0), lib->SylvoVolume(h, n, b) - 0.4 * b);
}

TEST_P(RatioVolume, SmallStandsHaveNegativeMerchantableVolume)
{
    auto lib = load(GetParam());
    // Short and sparse with much basal area: the total volume is clamped to
    // 0, and the merchantable volume is -0.4 B times the share, unclamped.
    const double h = 2, n = 10, b = 60;
    EXPECT_EQ(lib->SylvoVolume(h, n, b), 0.0);
    const double v = lib->SylvoMerchVol(h, n, b, 10);
    EXPECT_LT(v, 0.0);
    EXPECT_GE(v, -0.4 * b);
}

INSTANTIATE_TEST_SUITE_P(ModelsAandB, RatioVolume, ::testing::Values('a', 'b'));

TEST(VolumeA, WithoutBasalAreaOnlyTheConstantIsLeft)
{
    auto lib = load('a');
    EXPECT_EQ(lib->SylvoVolume(20, 900, 0), 0.92217);
}

TEST(VolumeB, WithoutBasalAreaThereIsNoVolume)
{
    auto lib = load('b');
    EXPECT_EQ(lib->SylvoVolume(20, 900, 0), 0.0);
}

TEST(VolumeC, FactorsThatAreExactlyOne)
{
    auto lib = load('c');
    const double h = 18, n = 1000;
    // At N = 1000 and D = 10 cm both power factors are 1, and with d = 0 so
    // is the limit factor: merchantable volume is 0.882771 of the total.
    const double b = 10 * 10 * n * M_PI / 40000;   // D = sqrt(40000/pi B / N) = 10
    const double d10 = std::sqrt(12732.3954473516 * b / n);
    ASSERT_NEAR(d10, 10.0, 1e-12);
    EXPECT_NEAR(lib->SylvoMerchVol(h, n, b, 0), 0.882771 * lib->SylvoVolume(h, n, b), 1e-13 * lib->SylvoVolume(h, n, b));
    // A short, dense stand with much basal area has no volume at all.
    EXPECT_EQ(lib->SylvoVolume(2, 3000, 30), 0.0);
    EXPECT_EQ(lib->SylvoMerchVol(2, 3000, 30, 5), 0.0);
    // No trees: no stand, no volume.
    EXPECT_EQ(lib->SylvoMerchVol(18, 0.0, 20, 5), 0.0);
    EXPECT_EQ(lib->SylvoMerchVol(18, -10, 20, 5), 0.0);
}

}  // namespace
