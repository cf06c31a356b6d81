// The economics file, the ledger of a table's removals and its values.
//
// 1. Reading: the same refusals as a regime file (json_places.h).
// 2. The ledger: each thinning row and the harvest row, its volume by
//    assortment from the merchantable volume removed at each class's limit.
// 3. The values: LEV, NPV at the start age, IRR (the lowest root above
//    -0.99, found by a scan and Brent's method) and EAV.
#include "sylvo/economics.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>
#include <sstream>

#include "find_root.h"
#include "json_places.h"

namespace sylvo {

using namespace engine;

namespace {

constexpr Range kRate{[](double x) { return x > 0.0 && x <= 1.0; }, "a real rate per year above 0 and at most 1"};
constexpr Range kMoney{[](double x) { return x >= 0.0; }, "an amount of 0 or more"};
constexpr Range kDiameter{[](double x) { return x >= 0.0; }, "a diameter in cm, 0 or more"};

class Reader : public JsonReader {
public:
    using JsonReader::JsonReader;

    Economics read(const json& v) const
    {
        object(v, "", {"$schema", "description", "discount_rate", "assortments", "costs"}, "an economics file");
        Economics e;
        e.file = file_;
        if (!v.contains("discount_rate")) fail("", "has no \"discount_rate\"", "an economics file with a discount_rate and its assortments");
        e.discount_rate = plain(v["discount_rate"], "/discount_rate", kRate, kRate.words);
        if (!v.contains("assortments")) fail("", "has no \"assortments\"", "an economics file with a discount_rate and its assortments");
        const json& list = v["assortments"];
        if (!list.is_array() || list.empty())
            fail("/assortments", list.is_array() ? "is empty" : std::string("is ") + type_name(list),
                 "an array of one or more assortments {\"name\", \"min_diameter_cm\", \"price_per_m3\"}");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string p = "/assortments/" + std::to_string(i);
            const json& a = list[i];
            object(a, p, {"name", "min_diameter_cm", "price_per_m3"}, "an assortment");
            for (const char* key : {"name", "min_diameter_cm", "price_per_m3"})
                if (!a.contains(key)) fail(p, std::string("has no \"") + key + "\"", "an assortment with name, min_diameter_cm and price_per_m3");
            if (!a["name"].is_string() || a["name"].get<std::string>().empty())
                fail(p + "/name", a["name"].is_string() ? "is empty" : std::string("is ") + type_name(a["name"]), "a name, a string that is not empty");
            Assortment s;
            s.name = a["name"].get<std::string>();
            s.min_diameter_cm = plain(a["min_diameter_cm"], p + "/min_diameter_cm", kDiameter, kDiameter.words);
            s.price_per_m3 = plain(a["price_per_m3"], p + "/price_per_m3", kMoney, "a price per m3, 0 or more");
            for (const Assortment& other : e.assortments) {
                if (other.name == s.name) fail(p + "/name", "'" + s.name + "' names an assortment before it too", "a name of its own for each assortment");
                if (other.min_diameter_cm == s.min_diameter_cm)
                    fail(p + "/min_diameter_cm", "is the limit of '" + other.name + "' too", "a lower limit of its own for each assortment");
            }
            e.assortments.push_back(s);
        }
        if (v.contains("costs")) {
            const json& c = v["costs"];
            object(c, "/costs", {"thinning_per_ha", "harvest_per_ha", "felling_per_m3", "establishment_per_ha", "annual_per_ha"}, "the costs");
            auto cost = [&](const char* key, double& slot) {
                if (c.contains(key)) slot = plain(c[key], std::string("/costs/") + key, kMoney, kMoney.words);
            };
            cost("thinning_per_ha", e.thinning_per_ha);
            cost("harvest_per_ha", e.harvest_per_ha);
            cost("felling_per_m3", e.felling_per_m3);
            cost("establishment_per_ha", e.establishment_per_ha);
            cost("annual_per_ha", e.annual_per_ha);
        }
        json document = v;
        document.erase("$schema");
        e.document = document.dump();
        return e;
    }
};

}  // namespace

Economics parse_economics(std::string_view text, std::string_view file_name)
{
    const std::string file(file_name);
    const json document = parse_document(text, file, "a JSON object with discount_rate, assortments and costs");
    const Locator locator(text);
    refuse_duplicates(text, file, locator);
    return Reader(file, text, locator).read(document);
}

Economics read_economics(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RegimeError(path, {}, "cannot be opened", "a readable economics file (JSON)");
    std::ostringstream text;
    text << in.rdbuf();
    return parse_economics(text.str(), path);
}

std::vector<LedgerRecord> removal_ledger(const TableRequest& request, const YieldTable& table,
                                         const Economics& economics)
{
    // The classes from the highest limit down.
    std::vector<std::size_t> order(economics.assortments.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return economics.assortments[a].min_diameter_cm > economics.assortments[b].min_diameter_cm;
    });
    std::vector<LedgerRecord> ledger;
    for (std::size_t i = 1; i < table.rows.size(); ++i) {
        const YieldRow& row = table.rows[i];
        if (!row.after_thinning && !row.harvest) continue;
        const YieldRow& before = table.rows[i - 1];
        // M(d): the merchantable volume removed at limit d, as the library gives it.
        auto removed_at = [&](double d) {
            const double stood = merch_volume_one(request.model, before.height, before.trees, before.ba, d);
            return row.harvest ? stood : stood - merch_volume_one(request.model, row.height, row.trees, row.ba, d);
        };
        LedgerRecord r;
        r.row = i;
        r.age = row.age;
        r.harvest = row.harvest;
        r.trees = row.removed_trees;
        r.ba = row.removed_ba;
        r.volume = row.removed_volume;
        r.merch_volume = given(request.merch_limit) ? removed_at(request.merch_limit) : kNone;
        r.assortments.assign(order.size(), 0.0);
        double above = 0.0;  // M at the next higher limit (none above the highest)
        for (std::size_t k = 0; k < order.size(); ++k) {
            const Assortment& a = economics.assortments[order[k]];
            const double m = removed_at(a.min_diameter_cm);
            const double volume = k == 0 ? m : m - above;
            above = m;
            if (volume < 0.0 || !std::isfinite(volume)) {
                r.note += (r.note.empty() ? "" : "; ") + a.name + " comes out at " +
                          (std::isfinite(volume) ? shortest(std::round(volume * 1e4) / 1e4) : std::string("not a number")) +
                          " m3/ha (the volume equation rises after the removal) and counts 0";
                continue;
            }
            r.assortments[order[k]] = volume;
        }
        double sold = 0.0;
        r.revenue = 0.0;
        for (std::size_t k = 0; k < r.assortments.size(); ++k) {
            r.revenue += r.assortments[k] * economics.assortments[k].price_per_m3;
            sold += r.assortments[k];
        }
        r.cost = (r.harvest ? economics.harvest_per_ha : economics.thinning_per_ha) + economics.felling_per_m3 * sold;
        r.net = r.revenue - r.cost;
        ledger.push_back(std::move(r));
    }
    return ledger;
}

TableValues table_values(const TableRequest& request, const YieldTable& table,
                         const std::vector<LedgerRecord>& ledger, const Economics& economics)
{
    TableValues v;
    if (!table.harvested) {
        v.why = table.stop ? "the stand is no longer a stand at age " + shortest(table.stop->age) +
                                 ", before any harvest: " + table.stop->reason
                           : "the table has no final harvest (none in the regime, or none due by the end age " +
                                 shortest(request.end_age) + ")";
        return v;
    }
    const double r = economics.discount_rate, R = table.rows.back().age, t0 = request.start_age;
    const double E = economics.establishment_per_ha, a = economics.annual_per_ha;
    v.valued = true;
    v.rotation = R;

    // LEV: (sum_k net_k (1+r)^(R-t_k) - E (1+r)^R) / ((1+r)^R - 1) - a/r.
    double compounded = 0.0;
    for (const LedgerRecord& k : ledger) compounded += k.net * std::pow(1.0 + r, R - k.age);
    const double growth = std::pow(1.0 + r, R);
    v.lev = (compounded - E * growth) / (growth - 1.0) - a / r;
    v.eav = r * v.lev;

    // NPV at t0: the removals from t0 on, less the annual costs of the years
    // ending at t0 + 1, ..., up to R.
    double npv = 0.0;
    for (const LedgerRecord& k : ledger)
        if (k.age >= t0) npv += k.net / std::pow(1.0 + r, k.age - t0);
    const long years = static_cast<long>(std::floor(R - t0 + kSameAge));
    for (long j = 1; j <= years; ++j) npv -= a / std::pow(1.0 + r, static_cast<double>(j));
    v.npv = npv;

    // IRR: one rotation from bare land: -E at 0, each removal's net value at
    // its age, -a at the end of every year up to R.
    const long all_years = static_cast<long>(std::floor(R + kSameAge));
    auto present = [&](double i) {
        double sum = -E;
        for (const LedgerRecord& k : ledger) sum += k.net / std::pow(1.0 + i, k.age);
        for (long j = 1; j <= all_years; ++j) sum -= a / std::pow(1.0 + i, static_cast<double>(j));
        return sum;
    };
    bool positive = false, negative = E > 0 || a > 0;
    for (const LedgerRecord& k : ledger) {
        if (k.net > 0) positive = true;
        if (k.net < 0) negative = true;
    }
    if (!positive || !negative) {
        v.irr_why = positive ? "every cash flow of the rotation is a gain: no rate makes them sum to 0"
                             : "no cash flow of the rotation is a gain: no rate makes them sum to 0";
        return v;
    }
    // Scan from just above -0.99 upwards for the first change of sign.
    double prev_i = kNone, prev_f = kNone;
    for (int j = 1;; ++j) {
        const double i = j <= 1990 ? -0.99 + 0.001 * j : 1.0 + 0.01 * (j - 1990);
        if (i > 10.0) break;
        const double f = present(i);
        if (!std::isfinite(f)) continue;
        if (f == 0.0) {
            v.irr = i;
            return v;
        }
        if (given(prev_f) && ((prev_f < 0) != (f < 0))) {
            const RootBracket root = find_root(prev_i, i, present, 0.0);
            v.irr = root.best;
            return v;
        }
        prev_i = i;
        prev_f = f;
    }
    v.irr_why = "no rate from -0.99 to 10 makes one rotation's cash flows sum to 0";
    return v;
}

}  // namespace sylvo
