// The engine's yield tables and inventories (C++ interface) against the
// thirteen exports of a loaded copy of each model's library: projected
// stands bit for bit, tables row by row, the stand density stop, volume
// notes, statuses of bad stands, and results that do not depend on threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "support/libraries.h"
#include "sylvo/inventory.hpp"
#include "sylvo/yield_table.hpp"

namespace {

using sylvo::kNone;

std::uint64_t bits(double x) { return std::isnan(x) ? 0x7ff8000000000000u : std::bit_cast<std::uint64_t>(x); }

std::vector<sylvo::InventoryStand> random_stands(unsigned seed, std::size_t count)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<sylvo::InventoryStand> stands(count);
    for (auto& s : stands) {
        s.model = static_cast<sylvo::Model>(rng() % 3);
        s.age = static_cast<double>(5 + rng() % 56) + (rng() % 4 == 0 ? 0.25 : 0.0);
        s.trees = 300.0 + 2200.0 * u(rng);
        s.ba = std::clamp((0.3 + 0.5 * u(rng)) * s.age, 2.0, 45.0);
        s.shift = rng() % 5 == 0 ? 1.5 : 0.0;
        if (rng() % 3 == 0) {
            s.height = 5.0 + 20.0 * u(rng);
            s.height_age = static_cast<double>(15 + rng() % 35);
        } else {
            s.site = 12.0 + 20.0 * u(rng);
        }
    }
    return stands;
}

TEST(Inventory, ProjectionIsTheExportsBitForBitAndIndependentOfThreads)
{
    const auto stands = random_stands(11, 6000);
    sylvo::ProjectRequest request;
    request.years = 20.0;
    request.merch_limit = 12.0;
    request.options.threads = 1;
    std::vector<sylvo::ProjectedStand> one(stands.size()), three(stands.size());
    sylvo::project_inventory(stands, request, one);
    request.options.threads = 3;
    sylvo::project_inventory(stands, request, three);

    std::array<sylvo_test::LoadedLibrary, 3> libs{sylvo_test::load('a'), sylvo_test::load('b'), sylvo_test::load('c')};
    std::size_t ok = 0, no_site = 0, no_stand = 0;
    for (std::size_t i = 0; i < stands.size(); ++i) {
        const auto& s = stands[i];
        const auto& r = one[i];
        ASSERT_EQ(r.status, three[i].status);
        for (double sylvo::ProjectedStand::*f : {&sylvo::ProjectedStand::trees, &sylvo::ProjectedStand::ba,
                                                &sylvo::ProjectedStand::height, &sylvo::ProjectedStand::merch_volume})
            ASSERT_EQ(bits(r.*f), bits(three[i].*f)) << i;
        const auto& lib = libs[static_cast<std::size_t>(s.model)];
        double site = s.site;
        if (std::isnan(site)) {
            site = lib->SylvoSite(s.height, s.height_age, s.shift);
            if (site == 0.0) {
                EXPECT_EQ(r.status.rfind("no site index", 0), 0u) << r.status;
                EXPECT_TRUE(std::isnan(r.trees));
                ++no_site;
                continue;
            }
        }
        double n = s.trees, b = s.ba;
        const double t2 = s.age + 20.0;
        lib->SylvoGrow(s.age, t2, &n, &b);
        const double h = lib->SylvoHeight(t2, site, s.shift);
        if (!(n >= 1.0 && b > 0.0 && std::isfinite(b) && h > 0.0) ||
            !(n * std::pow(std::sqrt(12732.3954473516 * b / n) / 25.0, 1.605) <= 1500.0)) {
            EXPECT_EQ(r.status.rfind("no longer a stand at age ", 0), 0u) << r.status;
            EXPECT_EQ(r.end_age, t2);
            ++no_stand;
            continue;
        }
        ASSERT_EQ(r.status, "ok") << i;
        EXPECT_EQ(bits(r.site), bits(site));
        EXPECT_EQ(bits(r.trees), bits(n)) << i;
        EXPECT_EQ(bits(r.ba), bits(b)) << i;
        EXPECT_EQ(bits(r.height), bits(h)) << i;
        EXPECT_EQ(bits(r.volume), bits(lib->SylvoVolume(h, n, b))) << i;
        EXPECT_EQ(bits(r.merch_volume), bits(lib->SylvoMerchVol(h, n, b, 12.0))) << i;
        EXPECT_EQ(r.notes, sylvo::volume_notes(b, r.volume, r.merch_volume));
        ++ok;
    }
    EXPECT_GT(ok, 2000u);
    EXPECT_GT(no_site + no_stand, 100u);
}

TEST(Inventory, BadStandsAreFlaggedByColumnAndBadRequestsThrow)
{
    sylvo::InventoryStand good;
    good.age = 20;
    good.trees = 1000;
    good.ba = 20;
    good.site = 24;
    auto with = [&](auto change) {
        sylvo::InventoryStand s = good;
        change(s);
        return sylvo::check_stand(s);
    };
    EXPECT_EQ(sylvo::check_stand(good), "");
    EXPECT_EQ(with([](auto& s) { s.age = 0; }).rfind("age_yr: ", 0), 0u);
    EXPECT_EQ(with([](auto& s) { s.age = 1000.5; }).rfind("age_yr: ", 0), 0u);
    EXPECT_EQ(with([](auto& s) { s.trees = -1; }).rfind("trees_per_ha: ", 0), 0u);
    EXPECT_EQ(with([](auto& s) { s.ba = kNone; }).rfind("ba_m2_per_ha: ", 0), 0u);
    EXPECT_EQ(with([](auto& s) { s.site = 1.3; }).rfind("site_m: ", 0), 0u);
    EXPECT_EQ(with([](auto& s) { s.model = sylvo::Model::c, s.site = 1.372; }).rfind("site_m: ", 0), 0u);
    EXPECT_EQ(with([](auto& s) { s.site = kNone; }).rfind("site_m: ", 0), 0u);
    EXPECT_EQ(with([](auto& s) { s.site = kNone, s.height = 12; }).rfind("height_age_yr: ", 0), 0u);
    EXPECT_EQ(with([](auto& s) { s.height = 12; }).rfind("height_m: ", 0), 0u);

    std::vector<sylvo::InventoryStand> stands{good};
    std::vector<sylvo::ProjectedStand> out(1), wrong(2);
    sylvo::ProjectRequest request;
    EXPECT_THROW(sylvo::project_inventory(stands, request, out), sylvo::InputError);  // neither to_age nor years
    request.to_age = 40;
    request.years = 5;
    EXPECT_THROW(sylvo::project_inventory(stands, request, out), sylvo::InputError);  // both
    request.years = kNone;
    request.max_sdi = 0;
    EXPECT_THROW(sylvo::project_inventory(stands, request, out), sylvo::InputError);
    request.max_sdi = 1500;
    EXPECT_THROW(sylvo::project_inventory(stands, request, wrong), sylvo::EngineError);
    request.years = kNone;
    request.to_age = 40;
    sylvo::project_inventory(stands, request, out);
    EXPECT_EQ(out[0].status, "ok");
}

// A table from the exports: the rows' trees, basal area, height and volume.
struct ExpectedRow {
    double age, trees, ba, height, volume;
};

// A row of cells as a front hands it to the engine.
class Row final : public sylvo::InventoryRow {
public:
    std::array<sylvo::Cell, sylvo::kInventoryColumns> cells;
    std::array<bool, sylvo::kInventoryColumns> present{};
    void set(sylvo::InventoryColumn c, sylvo::Cell cell)
    {
        cells[static_cast<int>(c)] = cell;
        present[static_cast<int>(c)] = true;
    }
    bool has(sylvo::InventoryColumn c) const override { return present[static_cast<int>(c)]; }
    sylvo::Cell cell(sylvo::InventoryColumn c) const override { return cells[static_cast<int>(c)]; }
    std::string where() const override { return "row 7"; }
    std::string where(sylvo::InventoryColumn c) const override
    {
        return "row 7, column " + std::to_string(static_cast<int>(c) + 1) + " (" + sylvo::column_name(c) + ")";
    }
};

sylvo::Cell number(double x) { return {sylvo::Cell::Kind::number, x, {}}; }
sylvo::Cell text(std::string_view t) { return {sylvo::Cell::Kind::text, 0.0, t}; }

TEST(InventoryRows, CellsOfEveryKindAreReadWithTheSameRulesAndWords)
{
    using C = sylvo::InventoryColumn;
    auto read = [](std::initializer_list<std::pair<C, sylvo::Cell>> cells, sylvo::TableStand* table = nullptr) {
        Row row;
        for (const auto& [c, cell] : cells) row.set(c, cell);
        sylvo::InventoryStand s;
        const std::string why = sylvo::read_stand(row, sylvo::RowDefaults{}, s, table);
        return std::make_pair(why, s);
    };
    // A stand given by numbers, or by the same values as text.
    const auto [ok, s] = read({{C::model, text("B")}, {C::age, number(20)}, {C::trees, text("+1200")},
                               {C::ba, text("2.5e1")}, {C::site, number(24)}, {C::shift, sylvo::Cell{}}});
    EXPECT_EQ(ok, "");
    EXPECT_EQ(s.model, sylvo::Model::b);
    EXPECT_EQ(std::make_tuple(s.age, s.trees, s.ba, s.site, s.shift), std::make_tuple(20.0, 1200.0, 25.0, 24.0, 0.0));
    // NaN as a number is a missing value; as text it is not finite.
    EXPECT_EQ(read({{C::age, number(std::nan(""))}, {C::trees, number(1)}, {C::ba, number(1)}}).first,
              "row 7, column 2 (age_yr): empty; a number is needed");
    EXPECT_EQ(read({{C::age, text("nan")}}).first, "row 7, column 2 (age_yr): 'nan' is not a finite number");
    EXPECT_EQ(read({{C::age, number(-HUGE_VAL)}}).first, "row 7, column 2 (age_yr): '-inf' is not a finite number");
    EXPECT_EQ(read({{C::age, text("1e-400")}}).first, "row 7, column 2 (age_yr): '1e-400' is not a finite number");
    EXPECT_EQ(read({{C::age, text("12 00")}}).first, "row 7, column 2 (age_yr): '12 00' is not a number");
    EXPECT_EQ(read({{C::model, number(1)}}).first, "row 7, column 1 (model): '1' is not a model; accepted: a, b or c");
    // The engine's own checks, located at their column, or named where the
    // column is absent.
    EXPECT_EQ(read({{C::age, number(20)}, {C::trees, number(-5)}, {C::ba, number(1)}, {C::site, number(24)}}).first,
              "row 7, column 3 (trees_per_ha): -5 is not above 0");
    EXPECT_EQ(read({{C::age, number(20)}, {C::trees, number(5)}, {C::ba, number(1)}}).first,
              "row 7 (site_m): missing (give site_m, or height_m and height_age_yr)");
    // A table's end age from its cell or the default, and its thinnings.
    sylvo::TableStand table;
    EXPECT_EQ(read({{C::age, number(20)}, {C::trees, number(1200)}, {C::ba, number(20)}, {C::site, number(24)},
                    {C::end_age, sylvo::Cell{}}},
                   &table)
                  .first,
              "row 7, column 9 (end_age_yr): empty, and no --end-age is given");
    EXPECT_EQ(read({{C::age, number(20)}, {C::trees, number(1200)}, {C::ba, number(20)}, {C::site, number(24)},
                    {C::end_age, number(60)}, {C::thinnings, text("30:tph=800:p=20")}},
                   &table)
                  .first,
              "");
    ASSERT_EQ(table.thinnings.size(), 1u);
    EXPECT_EQ(table.thinnings[0].residual_trees, 800.0);
}

TEST(YieldTable, RowsAreTheExportsAndTheDensityRuleStopsTheRunaway)
{
    sylvo::TableRequest request;
    request.model = sylvo::Model::a;
    request.site = 24;
    request.start_age = 10;
    request.trees = 1800;
    request.ba = 6;
    request.end_age = 60;
    request.merch_limit = 12;
    request.thinnings = sylvo::parse_thinnings("20:tph=800:p=20");
    const sylvo::YieldTable table = sylvo::yield_table(request);

    auto lib = sylvo_test::load('a');
    std::vector<ExpectedRow> want;
    double n = 1800, b = 6, age = 10;
    for (double a : {10.0, 15.0, 20.0, 20.0, 25.0, 30.0, 35.0, 40.0}) {
        if (a != age) lib->SylvoGrow(age, a, &n, &b), age = a;
        if (want.size() == 3) b = lib->SylvoBaAfter(20, n, b, 800), n = 800;  // the row after the thinning
        const double h = lib->SylvoHeight(a, 24, 0);
        want.push_back({a, n, b, h, lib->SylvoVolume(h, n, b)});
    }
    ASSERT_EQ(table.rows.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(table.rows[i].age, want[i].age);
        EXPECT_EQ(bits(table.rows[i].trees), bits(want[i].trees)) << i;
        EXPECT_EQ(bits(table.rows[i].ba), bits(want[i].ba)) << i;
        EXPECT_EQ(bits(table.rows[i].height), bits(want[i].height)) << i;
        EXPECT_EQ(bits(table.rows[i].volume), bits(want[i].volume)) << i;
    }
    EXPECT_TRUE(table.rows[3].after_thinning);
    EXPECT_TRUE(std::isnan(table.rows[3].pai));
    // Age 40 is kept with its volume of 0, noted; age 45 passes SDI 1500.
    EXPECT_EQ(table.rows.back().volume, 0.0);
    EXPECT_TRUE(table.rows.back().notes & sylvo::kNoteVolumeZero);
    ASSERT_TRUE(table.stop.has_value());
    EXPECT_EQ(table.stop->age, 45.0);
    EXPECT_NE(table.stop->reason.find("stand density index"), std::string::npos);

    // A lower maximum stops the same table earlier; a higher one later.
    request.max_sdi = 700;
    EXPECT_EQ(sylvo::yield_table(request).stop->age, 20.0);
    request.max_sdi = 1e12;
    const sylvo::YieldTable loose = sylvo::yield_table(request);
    EXPECT_TRUE(!loose.stop || loose.stop->age > 45.0);
    EXPECT_GT(loose.rows.size(), table.rows.size());
}

TEST(YieldTable, BadRequestsNameTheirField)
{
    sylvo::TableRequest request;
    request.site = 24;
    request.start_age = 10;
    request.trees = 1800;
    request.ba = 6;
    request.end_age = 35;
    auto field = [](const sylvo::TableRequest& s) {
        try {
            sylvo::yield_table(s);
        } catch (const sylvo::InputError& e) {
            return e.field();
        }
        return std::string("none");
    };
    EXPECT_EQ(field(request), "none");
    auto bad = request;
    bad.thinnings = sylvo::parse_thinnings("20:tph=2000:p=20");
    EXPECT_EQ(field(bad), "--thin");
    bad.thinning_field = "thinnings";
    EXPECT_EQ(field(bad), "thinnings");
    bad = request, bad.site = 90;
    EXPECT_EQ(field(bad), "site_m");
    bad = request, bad.site = kNone, bad.height = 90, bad.height_age = 30;
    EXPECT_EQ(field(bad), "height_m");
    bad = request, bad.end_age = 10;
    EXPECT_EQ(field(bad), "end_age_yr");
    bad = request, bad.interval = 1e-4;
    EXPECT_EQ(field(bad), "interval_yr");
    bad = request, bad.thinnings = sylvo::parse_thinnings("25:tph=700:p=20;20:tph=900:p=20");
    EXPECT_EQ(field(bad), "--thin");

    EXPECT_THROW(sylvo::parse_thinning("20:tph=800"), sylvo::InputError);
    EXPECT_THROW(sylvo::parse_thinning("20:tph=800:ba=20:p=5"), sylvo::InputError);
    EXPECT_THROW(sylvo::parse_thinning("20:tph=nan:p=5"), sylvo::InputError);
    const auto parsed = sylvo::parse_thinnings("20:tph=800:p=20;30.5:ba=25:p=7.5");
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(sylvo::format_thinning(parsed[1]), "30.5:ba=25:p=7.5");
}

TEST(InventoryTables, EachStandGetsTheTableOfItsRequestWhateverTheThreads)
{
    const auto stands = random_stands(5, 300);
    std::vector<sylvo::TableStand> tables;
    for (const auto& s : stands) {
        sylvo::TableStand t;
        t.stand = s;
        t.end_age = s.age + 30;
        t.merch_limit = 10;
        t.thinnings = sylvo::parse_thinnings(tables.size() % 2 ? "" : sylvo::format_thinning(
            sylvo::parse_thinning(std::to_string(static_cast<int>(s.age) + 5) + ":tph=300:p=20")));
        tables.push_back(t);
    }
    const auto one = sylvo::inventory_tables(tables, 1500, {sylvo::Mode::exact, 1});
    const auto two = sylvo::inventory_tables(tables, 1500, {sylvo::Mode::exact, 2});
    std::size_t ok = 0;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        ASSERT_EQ(one[i].status, two[i].status);
        ASSERT_EQ(one[i].table.rows.size(), two[i].table.rows.size());
        if (one[i].status != "ok") {
            EXPECT_TRUE(one[i].table.rows.empty());
            continue;
        }
        ++ok;
        sylvo::TableRequest request;
        request.model = tables[i].stand.model;
        request.site = tables[i].stand.site;
        request.height = tables[i].stand.height;
        request.height_age = tables[i].stand.height_age;
        request.shift = tables[i].stand.shift;
        request.start_age = tables[i].stand.age;
        request.trees = tables[i].stand.trees;
        request.ba = tables[i].stand.ba;
        request.end_age = tables[i].end_age;
        request.merch_limit = 10;
        request.thinnings = tables[i].thinnings;
        const auto alone = sylvo::yield_table(request);
        ASSERT_EQ(alone.rows.size(), one[i].table.rows.size());
        for (std::size_t k = 0; k < alone.rows.size(); ++k) {
            EXPECT_EQ(bits(alone.rows[k].ba), bits(one[i].table.rows[k].ba));
            EXPECT_EQ(bits(alone.rows[k].mai), bits(two[i].table.rows[k].mai));
        }
    }
    EXPECT_GT(ok, 100u);
}

// The long table every front shows: per input row, its table's rows ("ok",
// the stop on the last), or one row without numbers saying why there is
// none (a row that cannot be read, a stand the engine refuses, placed by
// the front; a table stopped before its first row).
TEST(InventoryTables, TheLongTableKeepsEveryInputRowInOrderWithItsStatus)
{
    sylvo::TableStand good;
    good.stand.model = sylvo::Model::b;
    good.stand.age = 20;
    good.stand.trees = 1100;
    good.stand.ba = 20;
    good.stand.site = 22;
    good.end_age = 40;
    good.interval = 10;
    sylvo::TableStand refused = good;
    refused.stand.site = 1.0;  // outside the model's range
    sylvo::TableStand runaway = good;  // Model A's basal area runs away past age 35
    runaway.stand.model = sylvo::Model::a;
    runaway.stand.trees = 2000;
    runaway.stand.ba = 40;
    runaway.end_age = 80;
    sylvo::TableStand none = runaway;  // beyond the density limit from the start
    none.stand.ba = 400;
    const std::vector<sylvo::TableStand> input = {good, refused, good, runaway, none};
    const auto t = sylvo::long_tables(
        input.size() + 1,
        [&](std::size_t i, sylvo::TableStand& s) {
            if (i == 2) return std::string("line 4: unreadable");
            s = input[i < 2 ? i : i - 1];
            return std::string();
        },
        [](std::size_t i, const std::string& reason) { return "row " + std::to_string(i) + ", " + reason; }, 1500);

    std::vector<std::size_t> inputs;
    for (const auto& r : t.rows) inputs.push_back(r.input);
    EXPECT_TRUE(std::is_sorted(inputs.begin(), inputs.end()));
    auto rows_of = [&](std::size_t i) {
        std::vector<const sylvo::LongTableRow*> rows;
        for (const auto& r : t.rows)
            if (r.input == i) rows.push_back(&r);
        return rows;
    };
    const auto first = rows_of(0), bad = rows_of(1), unread = rows_of(2), same = rows_of(3), stop = rows_of(4),
               empty = rows_of(5);
    ASSERT_EQ(first.size(), 3u);  // ages 20, 30, 40
    EXPECT_TRUE(first[0]->first && !first[1]->first);
    for (const auto* r : first) EXPECT_EQ(r->status, "ok");
    ASSERT_EQ(same.size(), 3u);
    EXPECT_EQ(bits(same[2]->row->ba), bits(first[2]->row->ba));
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(bad[0]->row, nullptr);
    EXPECT_EQ(bad[0]->status.rfind("row 1, site_m: ", 0), 0u) << bad[0]->status;
    ASSERT_EQ(unread.size(), 1u);
    EXPECT_EQ((unread[0]->status), "line 4: unreadable");
    EXPECT_EQ(unread[0]->stand, nullptr);
    ASSERT_GT(stop.size(), 1u);
    EXPECT_EQ(stop.back()->status.rfind("stopped early at age ", 0), 0u) << stop.back()->status;
    EXPECT_EQ(stop.front()->status, "ok");
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0]->status.rfind("no table: ", 0), 0u) << empty[0]->status;
    EXPECT_EQ(t.flagged, 2);
    EXPECT_EQ(t.stopped, 2);
    EXPECT_THROW(sylvo::long_tables(0, {}, {}, 0.0), sylvo::InputError);
}

}  // namespace
