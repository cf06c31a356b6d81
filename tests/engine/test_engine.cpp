// The engine's C interface against the thirteen exports: every batch
// function, bit for bit, on random and edge rows of every model; results
// that do not depend on the thread count; in-place calls; every error code.
//
// The exports are called in a loaded copy of each model's library. Only the
// height and age calls depend on its stored site, and only for site indices
// that Models A and B decline to store (1e-06 <= S <= 1.3), where the engine
// gives NaN instead: those rows are checked for NaN.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/libraries.h"
#include "sylvo_engine.h"

namespace {

using sylvo_test::LoadedLibrary;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr int kRows = 20000;

int model_id(char m) { return m - 'a'; }

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// Values a caller may pass: mostly ordinary ones in RANGE, some of the edge
// values every function must treat as the export does.
class Values {
public:
    explicit Values(unsigned seed) : rng_(seed) {}

    double draw(double lo, double hi, const std::vector<double>& edges)
    {
        const double u = unit_(rng_);
        if (u < 0.12 && !edges.empty()) return edges[rng_() % edges.size()];
        if (u < 0.17) return common_edges[rng_() % std::size(common_edges)];
        if (u < 0.25) return std::round(lo + (hi - lo) * unit_(rng_));  // whole numbers: shared ages
        return lo + (hi - lo) * unit_(rng_);
    }

    std::vector<double> column(int n, double lo, double hi, const std::vector<double>& edges = {})
    {
        std::vector<double> v(n);
        for (double& x : v) x = draw(lo, hi, edges);
        return v;
    }

private:
    static constexpr double common_edges[] = {0.0, -0.0, -1.0, nan, inf, -inf, 1e-300, 1e300, 5e-324};
    std::mt19937_64 rng_;
    std::uniform_real_distribution<double> unit_{0.0, 1.0};
};

const std::vector<double> site_edges{1e-06, 9.9e-07, 1.0, 1.3, 1.3000000000000003, 1.372, 2.0, 18.5, 18.499999999999996,
                                     80.0, 80.5, 80.50000000000001, 81.0};
const std::vector<double> age_edges{-1.0, -1.5, -2.0, 0.5, 1.0, 50.0, 200.0};

void expect_same(const std::vector<double>& engine, const std::vector<double>& exported, const char* what,
                 const std::function<std::string(int)>& row)
{
    int differ = 0;
    std::string first;
    for (std::size_t i = 0; i < engine.size(); ++i) {
        if (bits(engine[i]) == bits(exported[i])) continue;
        if (differ++ == 0)
            first = row(static_cast<int>(i)) + ": engine " + std::to_string(engine[i]) + ", export " +
                    std::to_string(exported[i]);
    }
    EXPECT_EQ(differ, 0) << what << ": " << differ << " of " << engine.size() << " rows differ; first " << first;
}

// A mixed inventory: ages shared by many stands (multiples of GRID years;
// with a grid of 1 year, too many pairs of ages for a few thousand stands
// to share their terms), every seventh stand on ages of its own, and a few
// stands outside the projection's domain.
struct Inventory {
    std::vector<double> t1, t2, trees, ba;
    Inventory(int n, unsigned seed, int grid = 5)
    {
        std::mt19937_64 rng(seed);
        std::uniform_int_distribution<int> age(1, 60 / grid), horizon(1, 50 / grid);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (int i = 0; i < n; ++i) {
            const double a = (i % 7 == 0) ? 5 + 55 * u(rng) : grid * age(rng);
            t1.push_back(a);
            t2.push_back(a + grid * horizon(rng));
            trees.push_back(i % 503 == 0 ? -1.0 : 200 + 2800 * u(rng));
            ba.push_back(5 + 45 * u(rng));
        }
    }
};

class ExactMode : public ::testing::TestWithParam<char> {
protected:
    char m() const { return GetParam(); }
    int id() const { return model_id(GetParam()); }
};

TEST_P(ExactMode, GrowEqualsSylvoGrow)
{
    LoadedLibrary lib(sylvo_test::library_path(m()));
    Values v(11 + id());
    // Ages: integer ages shared by many stands, arbitrary ones, backwards,
    // equal, zero, and a few long horizons.
    std::vector<double> t1 = v.column(kRows, 1, 80, age_edges), t2 = v.column(kRows, 1, 120, age_edges);
    for (int i = 0; i < kRows; i += 997) t2[i] = t1[i] + 5000.5;  // beyond the shared table of age terms
    for (int i = 5; i < kRows; i += 101) t2[i] = t1[i];
    const std::vector<double> trees = v.column(kRows, 50, 5000), ba = v.column(kRows, 0.5, 80);
    std::vector<double> n(kRows), b(kRows), en(kRows), eb(kRows);
    for (int i = 0; i < kRows; ++i) {
        n[i] = trees[i];
        b[i] = ba[i];
        lib->SylvoGrow(t1[i], t2[i], &n[i], &b[i]);
    }
    ASSERT_EQ(sylvo_grow_batch(id(), kRows, t1.data(), t2.data(), trees.data(), ba.data(), en.data(), eb.data(),
                               nullptr),
              SYLVO_OK);
    auto row = [&](int i) {
        return "t1 " + std::to_string(t1[i]) + " t2 " + std::to_string(t2[i]) + " N " + std::to_string(trees[i]) +
               " B " + std::to_string(ba[i]);
    };
    expect_same(en, n, "trees", row);
    expect_same(eb, b, "basal area", row);
}

// An inventory's stands, grouped by their ages window by window, as the
// export projects each.
TEST_P(ExactMode, InventoryEqualsSylvoGrow)
{
    LoadedLibrary lib(sylvo_test::library_path(m()));
    const Inventory inv(30011, 17 + id());
    std::vector<double> n = inv.trees, b = inv.ba, en(n.size()), eb(n.size());
    for (std::size_t i = 0; i < n.size(); ++i) lib->SylvoGrow(inv.t1[i], inv.t2[i], &n[i], &b[i]);
    for (int threads : {1, 2}) {
        const sylvo_options options{SYLVO_EXACT, threads};
        ASSERT_EQ(sylvo_grow_batch(id(), n.size(), inv.t1.data(), inv.t2.data(), inv.trees.data(), inv.ba.data(),
                                   en.data(), eb.data(), &options),
                  SYLVO_OK);
        auto row = [&](int i) { return "stand " + std::to_string(i) + " threads " + std::to_string(threads); };
        expect_same(en, n, "trees", row);
        expect_same(eb, b, "basal area", row);
    }
}

// Exact mode takes a group's stands in blocks of 64 and 16 and the last few
// side by side: groups of every size around those counts, with stands the
// projection refuses at block edges (which shift the blocks) and edge values
// in the lanes, each stand as the export projects it.
TEST_P(ExactMode, GroupsOfEverySizeAroundTheBlocks)
{
    LoadedLibrary lib(sylvo_test::library_path(m()));
    std::mt19937_64 rng(31 + id());
    std::uniform_real_distribution<double> trees(150.0, 4000.0), ba(1.0, 70.0);
    for (int count : {1, 7, 15, 16, 17, 31, 63, 64, 65, 79, 80, 81, 96, 143, 144, 145}) {
        std::vector<double> t1(count, 12.0), t2(count, 31.0), n(count), b(count);
        for (int i = 0; i < count; ++i) {
            n[i] = trees(rng);
            b[i] = ba(rng);
        }
        for (int i : {0, 15, 16, 63, 64, 80}) {
            if (i < count) n[i] = i % 2 ? nan : 0.0;
        }
        for (int i : {5, 70, 100}) {
            if (i < count) b[i] = i == 5 ? inf : nan;
        }
        if (count > 20) n[20] = 1e300;
        std::vector<double> en(count), eb(count), xn = n, xb = b;
        for (int i = 0; i < count; ++i) lib->SylvoGrow(t1[i], t2[i], &xn[i], &xb[i]);
        ASSERT_EQ(sylvo_grow_batch(id(), count, t1.data(), t2.data(), n.data(), b.data(), en.data(), eb.data(),
                                   nullptr),
                  SYLVO_OK);
        auto row = [&](int i) { return "group of " + std::to_string(count) + ", stand " + std::to_string(i); };
        expect_same(en, xn, "trees", row);
        expect_same(eb, xb, "basal area", row);
    }
}

// The site-curve functions: height, age and site.
TEST_P(ExactMode, SiteCurveEqualsTheExports)
{
    LoadedLibrary lib(sylvo_test::library_path(m()));
    Values v(23 + id());
    const std::vector<double> age = v.column(kRows, -3, 150, age_edges), site = v.column(kRows, 0.5, 82, site_edges),
                              shift = v.column(kRows, -5, 5, {0.0}), height = v.column(kRows, -1, 70, {1.3, 1.372});
    std::vector<double> out(kRows), expected(kRows);
    const bool declines_small = m() != 'c';
    auto declined = [&](double s) { return declines_small && s >= 1e-06 && s <= 1.3; };

    ASSERT_EQ(sylvo_height_batch(id(), kRows, age.data(), site.data(), shift.data(), out.data(), nullptr), SYLVO_OK);
    for (int i = 0; i < kRows; ++i)
        expected[i] = declined(site[i]) ? nan : lib->SylvoHeight(age[i], site[i], shift[i]);
    expect_same(out, expected, "height", [&](int i) { return "age " + std::to_string(age[i]) + " site " +
                                                             std::to_string(site[i]); });

    ASSERT_EQ(sylvo_age_batch(id(), kRows, height.data(), site.data(), shift.data(), out.data(), nullptr), SYLVO_OK);
    for (int i = 0; i < kRows; ++i) {
        expected[i] = declined(site[i]) ? nan : lib->SylvoAge(height[i], site[i], shift[i]);
        if (!declined(site[i])) EXPECT_EQ(bits(lib->SylvoGain(height[i], shift[i], site[i])), bits(expected[i]));
    }
    expect_same(out, expected, "age", [&](int i) { return "height " + std::to_string(height[i]) + " site " +
                                                          std::to_string(site[i]); });

    ASSERT_EQ(sylvo_site_batch(id(), kRows, height.data(), age.data(), shift.data(), out.data(), nullptr), SYLVO_OK);
    for (int i = 0; i < kRows; ++i) expected[i] = lib->SylvoSite(height[i], age[i], shift[i]);
    expect_same(out, expected, "site", [&](int i) { return "height " + std::to_string(height[i]) + " age " +
                                                           std::to_string(age[i]); });
}

TEST_P(ExactMode, VolumesAndThinningEqualTheExports)
{
    LoadedLibrary lib(sylvo_test::library_path(m()));
    Values v(37 + id());
    const std::vector<double> h = v.column(kRows, 0.5, 45), n = v.column(kRows, 20, 5000), b = v.column(kRows, 0.1, 90),
                              d = v.column(kRows, 0, 40), p = v.column(kRows, 0.5, 60), n2 = v.column(kRows, 10, 5000),
                              b2 = v.column(kRows, 0.1, 90);
    std::vector<double> out(kRows), expected(kRows);
    auto row = [&](int i) { return "row " + std::to_string(i); };

    ASSERT_EQ(sylvo_volume_batch(id(), kRows, h.data(), n.data(), b.data(), out.data(), nullptr), SYLVO_OK);
    for (int i = 0; i < kRows; ++i) expected[i] = lib->SylvoVolume(h[i], n[i], b[i]);
    expect_same(out, expected, "volume", row);

    ASSERT_EQ(sylvo_merch_volume_batch(id(), kRows, h.data(), n.data(), b.data(), d.data(), out.data(), nullptr),
              SYLVO_OK);
    for (int i = 0; i < kRows; ++i) expected[i] = lib->SylvoMerchVol(h[i], n[i], b[i], d[i]);
    expect_same(out, expected, "merchantable volume", row);

    ASSERT_EQ(sylvo_ba_after_batch(id(), kRows, p.data(), n.data(), b.data(), n2.data(), out.data(), nullptr),
              SYLVO_OK);
    for (int i = 0; i < kRows; ++i) expected[i] = lib->SylvoBaAfter(p[i], n[i], b[i], n2[i]);
    expect_same(out, expected, "basal area after thinning", row);

    ASSERT_EQ(sylvo_tph_after_batch(id(), kRows, p.data(), n.data(), b.data(), b2.data(), out.data(), nullptr),
              SYLVO_OK);
    for (int i = 0; i < kRows; ++i) expected[i] = lib->SylvoTphAfter(p[i], n[i], b[i], b2[i]);
    expect_same(out, expected, "trees after thinning", row);

    EXPECT_EQ(sylvo_model_version(id()), lib->SylvoVersion());
}

INSTANTIATE_TEST_SUITE_P(Models, ExactMode, ::testing::Values('a', 'b', 'c'),
                         [](const auto& info) { return std::string(1, info.param); });

class Threads : public ::testing::TestWithParam<int> {};

TEST_P(Threads, ResultsDoNotDependOnTheThreadCount)
{
    const int mode = GetParam();
    for (int grid : {1, 5}) {
        for (int model = 0; model < 3; ++model) {
            const Inventory inv(30011, 5, grid);
            std::vector<double> n1, b1;
            for (int threads : {1, 2, 3, 8}) {
                std::vector<double> n(inv.t1.size()), b(inv.t1.size());
                const sylvo_options options{mode, threads};
                ASSERT_EQ(sylvo_grow_batch(model, n.size(), inv.t1.data(), inv.t2.data(), inv.trees.data(),
                                           inv.ba.data(), n.data(), b.data(), &options),
                          SYLVO_OK)
                    << "mode " << mode << " threads " << threads;
                if (n1.empty()) {
                    n1 = n;
                    b1 = b;
                    continue;
                }
                EXPECT_EQ(0, std::memcmp(n.data(), n1.data(), n.size() * sizeof(double)))
                    << "model " << model << " grid " << grid << " threads " << threads;
                EXPECT_EQ(0, std::memcmp(b.data(), b1.data(), b.size() * sizeof(double)))
                    << "model " << model << " grid " << grid << " threads " << threads;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Threads, ::testing::Values(SYLVO_EXACT, SYLVO_FAST),
                         [](const auto& info) { return info.param == SYLVO_EXACT ? "exact" : "fast"; });

// A stand's fast result depends on its own arguments alone: the same in a
// batch where it shares its ages with every other stand as in one where no
// two stands share theirs (which the engine does not group).
TEST(FastMode, AStandsResultDoesNotDependOnTheOtherStands)
{
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> t1, t2, trees, ba;
    for (int i = 0; i < 64; ++i) {
        t1.push_back(20.0);
        t2.push_back(35.0);
        trees.push_back(300 + 2500 * u(rng));
        ba.push_back(5 + 40 * u(rng));
    }
    const std::size_t shared = t1.size();
    for (int i = 0; i < 2000; ++i) {
        t1.push_back(5 + 50 * u(rng));
        t2.push_back(t1.back() + 1 + 40 * u(rng));
        trees.push_back(300 + 2500 * u(rng));
        ba.push_back(5 + 40 * u(rng));
    }
    const sylvo_options fast{SYLVO_FAST, 2};
    for (int model = 0; model < 3; ++model) {
        std::vector<double> grouped_n(shared), grouped_b(shared), mixed_n(t1.size()), mixed_b(t1.size());
        ASSERT_EQ(sylvo_grow_batch(model, shared, t1.data(), t2.data(), trees.data(), ba.data(), grouped_n.data(),
                                   grouped_b.data(), &fast),
                  SYLVO_OK);
        ASSERT_EQ(sylvo_grow_batch(model, t1.size(), t1.data(), t2.data(), trees.data(), ba.data(), mixed_n.data(),
                                   mixed_b.data(), &fast),
                  SYLVO_OK);
        EXPECT_EQ(0, std::memcmp(grouped_n.data(), mixed_n.data(), shared * sizeof(double))) << "model " << model;
        EXPECT_EQ(0, std::memcmp(grouped_b.data(), mixed_b.data(), shared * sizeof(double))) << "model " << model;
    }
}

TEST(InPlace, OutputsMayBeTheirInputs)
{
    const Inventory inv(30011, 9);  // enough stands per pair of ages to be grouped
    const std::size_t n = inv.t1.size();
    for (int mode : {SYLVO_EXACT, SYLVO_FAST}) {
        const sylvo_options options{mode, 3};
        std::vector<double> ref_n(n), ref_b(n);
        ASSERT_EQ(sylvo_grow_batch(SYLVO_MODEL_B, n, inv.t1.data(), inv.t2.data(), inv.trees.data(), inv.ba.data(),
                                   ref_n.data(), ref_b.data(), &options),
                  SYLVO_OK);
        // The state arrays overwritten in place.
        std::vector<double> trees = inv.trees, ba = inv.ba;
        ASSERT_EQ(sylvo_grow_batch(SYLVO_MODEL_B, n, inv.t1.data(), inv.t2.data(), trees.data(), ba.data(),
                                   trees.data(), ba.data(), &options),
                  SYLVO_OK);
        EXPECT_EQ(0, std::memcmp(trees.data(), ref_n.data(), n * sizeof(double)));
        EXPECT_EQ(0, std::memcmp(ba.data(), ref_b.data(), n * sizeof(double)));
        // The ages overwritten by the results, the other way round.
        std::vector<double> t1 = inv.t1, t2 = inv.t2;
        ASSERT_EQ(sylvo_grow_batch(SYLVO_MODEL_B, n, t1.data(), t2.data(), inv.trees.data(), inv.ba.data(), t2.data(),
                                   t1.data(), &options),
                  SYLVO_OK);
        EXPECT_EQ(0, std::memcmp(t2.data(), ref_n.data(), n * sizeof(double)));
        EXPECT_EQ(0, std::memcmp(t1.data(), ref_b.data(), n * sizeof(double)));
    }
    std::vector<double> age(inv.t1), site(n, 24.0), shift(n, 0.0), out(n);
    ASSERT_EQ(sylvo_height_batch(SYLVO_MODEL_C, n, age.data(), site.data(), shift.data(), out.data(), nullptr), SYLVO_OK);
    ASSERT_EQ(sylvo_height_batch(SYLVO_MODEL_C, n, age.data(), site.data(), shift.data(), age.data(), nullptr), SYLVO_OK);
    EXPECT_EQ(0, std::memcmp(age.data(), out.data(), n * sizeof(double)));
}

TEST(Errors, EveryCodeAndNothingWritten)
{
    const double in[4] = {10, 20, 30, 40};
    double out[4] = {-7, -7, -7, -7}, out2[4] = {-7, -7, -7, -7};
    auto untouched = [&] {
        for (int i = 0; i < 4; ++i)
            if (out[i] != -7 || out2[i] != -7) return false;
        return true;
    };
    const sylvo_options bad_mode{2, 0}, bad_threads{SYLVO_EXACT, -1};

    EXPECT_EQ(sylvo_grow_batch(3, 4, in, in, in, in, out, out2, nullptr), SYLVO_ERR_MODEL);
    EXPECT_EQ(sylvo_height_batch(-1, 4, in, in, in, out, nullptr), SYLVO_ERR_MODEL);
    EXPECT_EQ(sylvo_volume_batch(SYLVO_MODEL_A, 4, in, in, in, out, &bad_mode), SYLVO_ERR_MODE);
    EXPECT_EQ(sylvo_grow_batch(SYLVO_MODEL_A, 4, in, in, in, in, out, out2, &bad_threads), SYLVO_ERR_THREADS);
    // A NULL array in any position.
    EXPECT_EQ(sylvo_grow_batch(SYLVO_MODEL_A, 4, in, in, nullptr, in, out, out2, nullptr), SYLVO_ERR_NULL);
    EXPECT_EQ(sylvo_grow_batch(SYLVO_MODEL_A, 4, in, in, in, in, out, nullptr, nullptr), SYLVO_ERR_NULL);
    EXPECT_EQ(sylvo_merch_volume_batch(SYLVO_MODEL_B, 4, in, in, in, nullptr, out, nullptr), SYLVO_ERR_NULL);
    EXPECT_EQ(sylvo_tph_after_batch(SYLVO_MODEL_C, 4, in, in, in, in, nullptr, nullptr), SYLVO_ERR_NULL);
    // Overlaps other than in place.
    double shared[5] = {10, 20, 30, 40, 50};
    EXPECT_EQ(sylvo_volume_batch(SYLVO_MODEL_A, 4, shared, in, in, shared + 1, nullptr), SYLVO_ERR_OVERLAP);
    EXPECT_EQ(sylvo_grow_batch(SYLVO_MODEL_A, 4, in, in, in, in, out, out, nullptr), SYLVO_ERR_OVERLAP);
    EXPECT_EQ(shared[1], 20);
    EXPECT_TRUE(untouched());
    // No stands: fine, with or without arrays.
    EXPECT_EQ(sylvo_grow_batch(SYLVO_MODEL_A, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              SYLVO_OK);
    EXPECT_EQ(sylvo_site_batch(SYLVO_MODEL_C, 0, nullptr, nullptr, nullptr, nullptr, &bad_threads), SYLVO_ERR_THREADS);

    std::vector<std::string> texts;
    for (int code = SYLVO_OK; code <= SYLVO_ERR_LENGTH; ++code) texts.push_back(sylvo_strerror(code));
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t j = i + 1; j < texts.size(); ++j) EXPECT_NE(texts[i], texts[j]);
    EXPECT_STREQ(sylvo_strerror(1234), "unknown error code");
    EXPECT_TRUE(std::isnan(sylvo_model_version(3)));
}

}  // namespace
