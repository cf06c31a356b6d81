// The optimiser and the rotation curve, checked from outside: LEV from the
// Faustmann formula written out over each table's removals, the optimiser's
// best against a brute-force search over every whole year of the same
// bounds, its document read back and tabled again, and the same answers for
// any thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "sylvo/optimize.hpp"

namespace {

sylvo::TableRequest stand()
{
    sylvo::TableRequest request;
    request.model = sylvo::Model::b;
    request.site = 24;
    request.start_age = 10;
    request.trees = 1800;
    request.ba = 6;
    request.end_age = 90;
    request.merch_limit = 12;
    return request;
}

sylvo::Economics prices()
{
    return sylvo::parse_economics(R"({"discount_rate": 0.03,
        "assortments": [{"name": "pulp", "min_diameter_cm": 10, "price_per_m3": 25},
                        {"name": "sawlog", "min_diameter_cm": 25, "price_per_m3": 60}],
        "costs": {"thinning_per_ha": 300, "harvest_per_ha": 500, "felling_per_m3": 8,
                  "establishment_per_ha": 1500, "annual_per_ha": 20}})",
                                  "prices.json");
}

sylvo::Regime regime(const std::string& thin_age, const std::string& fraction, const std::string& harvest_age)
{
    return sylvo::parse_regimes(R"({"name": "r", "events": [{"action": "thin", "at": )" + thin_age +
                                    R"(, "target": {"remove_ba_fraction": )" + fraction +
                                    R"(}, "p": 20}, {"action": "harvest", "at": )" + harvest_age + "}]}",
                                "r.json")
        .pick("");
}

// LEV written out: (sum_k net_k (1+r)^(R-t_k) - E (1+r)^R) / ((1+r)^R - 1) - a/r.
double faustmann(const sylvo::TableRequest& request, const sylvo::YieldTable& t, const sylvo::Economics& e)
{
    const double r = 0.03, R = t.rows.back().age;
    double sum = 0.0;
    for (const sylvo::LedgerRecord& k : sylvo::removal_ledger(request, t, e)) sum += k.net * std::pow(1 + r, R - k.age);
    return (sum - 1500 * std::pow(1 + r, R)) / (std::pow(1 + r, R) - 1) - 20 / r;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Rotation, EachHarvestAgeIsValuedByTheFaustmannFormulaOverItsOwnRemovals)
{
    const sylvo::TableRequest request = stand();
    const sylvo::Economics e = prices();
    const sylvo::Regime base = regime("30", "0.3", "60");
    const auto curve = sylvo::rotation_curve(request, base, &e, 35, 90, 5, 1);
    ASSERT_EQ(curve.size(), 12u);
    const auto two = sylvo::rotation_curve(request, base, &e, 35, 90, 5, 2);
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const sylvo::RotationPoint& p = curve[i];
        const sylvo::YieldTable t = sylvo::yield_table(request, regime("30", "0.3", std::to_string(int(p.age))));
        ASSERT_TRUE(p.harvested && t.harvested) << p.age;
        EXPECT_EQ(t.rows.back().age, p.age);
        double removed = 0.0;  // MAI: every m3 removed, thinning and harvest, over the harvest age
        for (const sylvo::YieldRow& row : t.rows)
            if (row.removed_volume == row.removed_volume) removed += row.removed_volume;
        EXPECT_NEAR(p.mai, removed / p.age, 1e-12 * removed / p.age);
        const double lev = faustmann(request, t, e);
        EXPECT_NEAR(p.lev, lev, 1e-9 * std::abs(lev)) << p.age;
        EXPECT_TRUE(same_bits(p.lev, two[i].lev) && same_bits(p.mai, two[i].mai));
    }
}

TEST(Optimize, TheGridsBestIsTheBruteForceBestOverEveryWholeYear)
{
    const sylvo::TableRequest request = stand();
    const sylvo::Economics e = prices();
    const sylvo::Regime free = regime(R"({"search": [18, 40]})", "0.3", R"({"search": [45, 85]})");
    // Brute force: every whole year of both bounds, valued by the formula.
    double best = -INFINITY, best_thin = 0, best_harvest = 0;
    for (int a = 18; a <= 40; ++a)
        for (int h = 45; h <= 85; ++h) {
            const double v = faustmann(request, sylvo::yield_table(request, regime(std::to_string(a), "0.3", std::to_string(h))), e);
            if (v > best) best = v, best_thin = a, best_harvest = h;
        }
    const sylvo::OptimizeResult one = sylvo::optimize_regime(request, free, &e, sylvo::Objective::lev, 1);
    const sylvo::OptimizeResult two = sylvo::optimize_regime(request, free, &e, sylvo::Objective::lev, 2);
    EXPECT_NEAR(one.value, best, 1e-6 * std::abs(best));
    EXPECT_TRUE(same_bits(one.value, two.value));
    EXPECT_GE(one.value, one.start_value);
    // The document of the best, read back as any regime file, tables to the same value.
    const sylvo::Regime back = sylvo::parse_regimes(sylvo::regime_document(one.best), "best.json").pick("");
    EXPECT_TRUE(sylvo::search_numbers(back).empty());
    const sylvo::YieldTable t = sylvo::yield_table(request, back);
    EXPECT_NEAR(faustmann(request, t, e), best, 1e-6 * std::abs(best));
    EXPECT_EQ(t.rows.back().age, best_harvest);
    EXPECT_EQ(t.rows[t.texts.front().row].age, best_thin);
}

TEST(Optimize, TheCoordinateSearchNeverEndsBelowItsStartOrAboveTheFullGrid)
{
    const sylvo::TableRequest request = stand();
    const sylvo::Economics e = prices();
    const sylvo::Regime free =
        regime(R"({"search": [20, 34]})", R"({"search": [0.1, 0.5], "step": 0.1})", R"({"search": [50, 75]})");
    const sylvo::OptimizeResult grid = sylvo::optimize_regime(request, free, &e, sylvo::Objective::lev, 2);
    const sylvo::OptimizeResult coord = sylvo::optimize_regime(request, free, &e, sylvo::Objective::lev, 2, 10);
    ASSERT_EQ(grid.method, "grid");
    ASSERT_EQ(coord.method, "coordinate search");
    EXPECT_LT(coord.evaluations, grid.evaluations);
    EXPECT_GE(coord.value, coord.start_value);
    EXPECT_LE(coord.value, grid.value);
    const sylvo::OptimizeResult again = sylvo::optimize_regime(request, free, &e, sylvo::Objective::lev, 1, 10);
    EXPECT_TRUE(same_bits(coord.value, again.value));
    EXPECT_EQ(sylvo::regime_document(coord.best), sylvo::regime_document(again.best));
    // MAI needs no prices; LEV without them is refused.
    EXPECT_GT(sylvo::optimize_regime(request, free, nullptr, sylvo::Objective::mai, 2).value, 0.0);
    EXPECT_THROW(sylvo::optimize_regime(request, free, nullptr, sylvo::Objective::lev, 2), sylvo::InputError);
    EXPECT_THROW(sylvo::optimize_regime(request, regime("30", "0.3", "60"), &e, sylvo::Objective::lev, 2),
                 sylvo::InputError);
}

}  // namespace
