// What the fuzz targets share: doubles drawn from the fuzzer's bytes (the
// edges of the models' domains, ordinary stand values and raw bit patterns),
// the cap on projection spans, and comparison by bits.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <streambuf>

#include <fuzzer/FuzzedDataProvider.h>

namespace sylvo_fuzz {

// Values at the edges of the documented domains: the site-index range and
// the site indices Models A and B do not store, Model C's breast height, the
// projection's 1e-06 and 2^31 years, zeros, infinities and NaN.
inline constexpr double kEdges[] = {
    0.0, -0.0, 1e-6, 0.9999999e-6, 1.3, 1.3000000000000003, 1.372, 2.0, 80.0, 80.5, 80.50000000000001,
    1.0, -1.0, 5.0, 10.0, 20.0, 50.0, 100.0, 1000.0, 1e-300, 4.9e-324, 1e300,
    2147483647.0, 2147483648.0, 2147483649.0, -2147483648.0,
    std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()};

// One double: an edge, an ordinary value of a stand (ages, trees, basal
// areas, heights, site indices all lie in -10..3000), or any bit pattern.
inline double value(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return kEdges[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kEdges) - 1)];
    case 1: return in.ConsumeFloatingPointInRange<double>(-10.0, 3000.0);
    case 2: return static_cast<double>(in.ConsumeIntegralInRange<int>(-20, 2500)) / 4.0;
    default: {
        const std::uint64_t bits = in.ConsumeIntegral<std::uint64_t>();
        double x;
        std::memcpy(&x, &bits, sizeof x);
        return x;
    }
    }
}

// The longest projection span a driver passes, in years. The projection's
// cost is proportional to its step count: the documented horizons reach
// |t2 - t1| < 2^31 years (2^31 steps, hours per call under the sanitizers),
// so a finite span between 1000 years and 2^31 is folded back below 1000
// years (t1 + fmod(t2 - t1, 1000)). This is the only input the drivers
// change: spans of 2^31 years or more, and ages that are zero, infinite or
// NaN, reach the code as they are (the projection refuses them without a
// step).
inline constexpr double kMaxSpan = 1000.0;
inline constexpr double kTwoTo31 = 2147483648.0;

inline double capped_end_age(double t1, double t2)
{
    const double span = t2 - t1;
    if (!(std::fabs(span) > kMaxSpan) || !(std::fabs(span) < kTwoTo31)) return t2;
    return t1 + std::fmod(span, kMaxSpan);
}

// Equal bits, or both NaN (the NaN's sign and payload are not part of any
// result the models document).
inline bool same(double x, double y)
{
    if (std::isnan(x) && std::isnan(y)) return true;
    return std::memcmp(&x, &y, sizeof x) == 0;
}

// A finding: says what differed, then aborts so that libFuzzer keeps the
// input.
[[noreturn]] inline void fail(const char* what, double got = 0.0, double expected = 0.0)
{
    std::fprintf(stderr, "FUZZ FINDING: %s (got %.17g, expected %.17g)\n", what, got, expected);
    std::abort();
}

// A stream buffer that drops what is written (the commands' standard output
// and error messages are not what a target checks).
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace sylvo_fuzz
