// Inventories: every stand brought to an end age with the engine's batch
// functions (one group per model), or turned into its yield table.
#include "sylvo/inventory.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "parallel.h"
#include "values.h"

namespace sylvo {

namespace {

using engine::age_ok;
using engine::finite_positive;
using engine::given;
using engine::kMaxSite;
using engine::append_shortest;
using engine::shortest;

double site_floor(Model model) { return model == Model::c ? 1.372 : 1.3; }

std::string site_range_text(Model model)
{
    return "above " + shortest(site_floor(model)) + " m and at most 80.5 m in " + model_name(model);
}

// Makes R a result with no numbers and STATUS, in place (a caller that
// reuses its results reuses their strings).
void set_empty(ProjectedStand& r, std::string_view status)
{
    r.start_age = r.end_age = r.site = r.height = r.trees = r.ba = r.qmd = r.volume = r.merch_volume = r.sdi =
        kNone;
    r.notes = 0;
    r.status.assign(status);
}

// The options' mode and threads, checked as every batch call checks them.
void engine_check_options(const Options& options)
{
    const int mode = static_cast<int>(options.mode);
    if (mode != SYLVO_EXACT && mode != SYLVO_FAST)
        throw EngineError(SYLVO_ERR_MODE, "unknown mode " + std::to_string(mode) + "; accepted: exact or fast");
    if (options.threads < 0)
        throw EngineError(SYLVO_ERR_THREADS,
                          "threads is " + std::to_string(options.threads) + "; accepted: 0 (every core) or more");
}

}  // namespace

std::string check_stand(const InventoryStand& stand)
{
    const int m = static_cast<int>(stand.model);
    if (m < SYLVO_MODEL_A || m > SYLVO_MODEL_C) return "model: " + std::to_string(m) + " is not a, b or c";
    if (!age_ok(stand.age)) return "age_yr: " + shortest(stand.age) + " is not above 0 and at most 1000";
    if (!finite_positive(stand.trees)) return "trees_per_ha: " + shortest(stand.trees) + " is not above 0";
    if (!finite_positive(stand.ba)) return "ba_m2_per_ha: " + shortest(stand.ba) + " is not above 0";
    if (!std::isfinite(stand.shift)) return "shift_yr: " + shortest(stand.shift) + " is not a finite number";
    if (given(stand.site)) {
        if (given(stand.height) || given(stand.height_age))
            return given(stand.height) ? "height_m: given together with site_m (give one of them)"
                                       : "height_age_yr: given together with site_m (give site_m or a height)";
        if (!(stand.site > site_floor(stand.model) && stand.site <= kMaxSite))
            return "site_m: " + shortest(stand.site) + " is outside the range (" + site_range_text(stand.model) +
                   ")";
        return {};
    }
    if (!given(stand.height) && !given(stand.height_age))
        return "site_m: missing (give site_m, or height_m and height_age_yr)";
    if (!given(stand.height)) return "height_m: missing (height_age_yr needs it)";
    if (!given(stand.height_age)) return "height_age_yr: missing (height_m needs it)";
    if (!finite_positive(stand.height)) return "height_m: " + shortest(stand.height) + " is not above 0";
    if (!age_ok(stand.height_age))
        return "height_age_yr: " + shortest(stand.height_age) + " is not above 0 and at most 1000";
    return {};
}

void project_inventory(std::span<const InventoryStand> stands, const ProjectRequest& request,
                       std::span<ProjectedStand> out)
{
    if (given(request.to_age) == given(request.years))
        throw InputError("--to-age", given(request.to_age) ? shortest(request.to_age) : "",
                         given(request.to_age) ? "is given together with --years" : "is missing, and so is --years",
                         "exactly one of an end age (--to-age) and a number of years (--years)");
    if (given(request.to_age) && !age_ok(request.to_age))
        throw InputError("--to-age", shortest(request.to_age), "is not above 0 and at most 1000",
                         "an age in years, above 0 and at most 1000");
    if (given(request.years) && !(std::isfinite(request.years) && request.years > 0.0))
        throw InputError("--years", shortest(request.years), "is not a finite number above 0",
                         "a number of years forward, above 0");
    if (given(request.merch_limit) && !(std::isfinite(request.merch_limit) && request.merch_limit >= 0.0))
        throw InputError("--merch-limit", shortest(request.merch_limit), "is not 0 or more",
                         "a diameter in cm, 0 or more");
    if (!(request.max_sdi > 0.0))
        throw InputError("--max-sdi", shortest(request.max_sdi), "is not above 0", "a stand density index above 0");
    if (out.size() != stands.size())
        throw EngineError(SYLVO_ERR_LENGTH, "the inventory and its results differ in length");
    // The options are checked before anything is written.
    engine_check_options(request.options);

    const bool merch = given(request.merch_limit);
    std::array<std::vector<std::size_t>, 3> groups;
    for (std::size_t i = 0; i < stands.size(); ++i) {
        const InventoryStand& s = stands[i];
        std::string why = check_stand(s);
        if (why.empty()) {
            const double end = given(request.to_age) ? request.to_age : s.age + request.years;
            if (!age_ok(end))
                why = "age_yr: " + shortest(s.age) + " plus " + shortest(request.years) + " years gives the end age " +
                      shortest(end) + ", not above 0 and at most 1000";
        }
        set_empty(out[i], why.empty() ? "ok" : why);
        if (why.empty()) groups[static_cast<std::size_t>(s.model)].push_back(i);
    }

    std::vector<double> site, height, height_age, shift, t1, t2, trees, ba, trees2, ba2, h, volume, merch_vol, limit;
    for (int m = 0; m < 3; ++m) {
        const Model model = static_cast<Model>(m);
        std::vector<std::size_t>& index = groups[static_cast<std::size_t>(m)];
        if (index.empty()) continue;

        // Site indices from heights, in one batch.
        std::vector<std::size_t> by_height;
        for (std::size_t i : index)
            if (!given(stands[i].site)) by_height.push_back(i);
        std::vector<double> found(by_height.size());
        if (!by_height.empty()) {
            height.resize(by_height.size());
            height_age.resize(by_height.size());
            shift.resize(by_height.size());
            for (std::size_t k = 0; k < by_height.size(); ++k) {
                const InventoryStand& s = stands[by_height[k]];
                height[k] = s.height;
                height_age[k] = s.height_age;
                shift[k] = s.shift;
            }
            sylvo::site(model, height, height_age, shift, found, request.options);
        }

        // The stands with a usable site index, in order.
        std::size_t n = 0, next_height = 0;
        site.resize(index.size());
        for (std::size_t i : index) {
            const InventoryStand& s = stands[i];
            double si = s.site;
            if (!given(si)) {
                si = found[next_height++];
                if (!(si != 0.0 && std::isfinite(si))) {
                    set_empty(out[i], "no site index: no site curve of " + std::string(model_name(model)) +
                                          " passes height_m " + shortest(s.height) + " at height_age_yr " +
                                          shortest(s.height_age));
                    continue;
                }
                if (!(si > site_floor(model) && si <= kMaxSite)) {
                    set_empty(out[i], "no site index: height_m " + shortest(s.height) + " at height_age_yr " +
                                          shortest(s.height_age) + " gives " + shortest(si) + " m, outside " +
                                          site_range_text(model));
                    continue;
                }
            }
            site[n] = si;
            index[n++] = i;
        }
        index.resize(n);
        site.resize(n);

        t1.resize(n), t2.resize(n), trees.resize(n), ba.resize(n), shift.resize(n);
        trees2.resize(n), ba2.resize(n), h.resize(n), volume.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            const InventoryStand& s = stands[index[k]];
            t1[k] = s.age;
            t2[k] = given(request.to_age) ? request.to_age : s.age + request.years;
            trees[k] = s.trees;
            ba[k] = s.ba;
            shift[k] = s.shift;
        }
        grow(model, t1, t2, trees, ba, trees2, ba2, request.options);
        if (merch) {
            limit.assign(n, request.merch_limit);
            merch_vol.resize(n);
        }

        // Heights, volumes, the stand rule and the derived values: each
        // thread calls the batch functions on its own part of the stands
        // (they are too cheap for the batch functions to split a block).
        const std::size_t parts = static_cast<std::size_t>(
            std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(thread_count(request.options, n)),
                                                           n / 2048)));
        engine::parallel_for(n, parts, [&](std::size_t begin, std::size_t end, std::size_t) {
            const Options one{request.options.mode, 1};
            auto part = [begin, end](std::vector<double>& v) { return std::span<double>(v).subspan(begin, end - begin); };
            sylvo::height(model, part(t2), part(site), part(shift), part(h), one);
            sylvo::volume(model, part(h), part(trees2), part(ba2), part(volume), one);
            if (merch) merch_volume(model, part(h), part(trees2), part(ba2), part(limit), part(merch_vol), one);
            std::string why;  // kept from stand to stand: no string per stand
            for (std::size_t k = begin; k < end; ++k) {
                ProjectedStand& r = out[index[k]];
                r.start_age = t1[k];
                r.end_age = t2[k];
                const double q = qmd(ba2[k], trees2[k]);
                const double sdi = stand_density_index(trees2[k], q);
                why.clear();
                if (stand_stop_reason(trees2[k], ba2[k], h[k], sdi, request.max_sdi, why)) {
                    r.status.assign("no longer a stand at age ");
                    append_shortest(r.status, t2[k]);
                    r.status += ": ";
                    r.status += why;
                    continue;
                }
                r.site = site[k];
                r.height = h[k];
                r.trees = trees2[k];
                r.ba = ba2[k];
                r.qmd = q;
                r.volume = volume[k];
                r.merch_volume = merch ? merch_vol[k] : kNone;
                r.sdi = sdi;
                r.notes = volume_notes(ba2[k], volume[k], r.merch_volume, merch);
            }
        });
    }
}

std::span<const char* const> projection_keys()
{
    static const char* const keys[] = {"start_age_yr", "end_age_yr", "site_m",           "height_m",
                                       "trees_per_ha", "ba_m2_per_ha", "qmd_cm",         "volume_m3_per_ha",
                                       "merch_volume_m3_per_ha",       "sdi_per_ha"};
    return keys;
}

std::vector<ProjectedStand> project_rows(std::size_t count,
                                         const std::function<std::string(std::size_t, InventoryStand&)>& read,
                                         const std::function<std::string(std::size_t, const std::string&)>& place,
                                         const ProjectRequest& request)
{
    std::vector<ProjectedStand> out(count);
    std::vector<InventoryStand> stands;
    std::vector<std::size_t> read_rows;
    InventoryStand stand;
    for (std::size_t i = 0; i < count; ++i) {
        std::string why = read(i, stand);
        if (why.empty()) {
            read_rows.push_back(i);
            stands.push_back(stand);
        } else {
            set_empty(out[i], why);
        }
    }
    std::vector<ProjectedStand> results(stands.size());
    project_inventory(stands, request, results);
    for (std::size_t k = 0; k < read_rows.size(); ++k) {
        ProjectedStand& r = out[read_rows[k]] = std::move(results[k]);
        if (r.status != "ok") r.status = place(read_rows[k], r.status);
    }
    return out;
}

std::vector<StandTable> inventory_tables(std::span<const TableStand> stands, double max_sdi, const Options& options)
{
    if (!(max_sdi > 0.0))
        throw InputError("--max-sdi", shortest(max_sdi), "is not above 0", "a stand density index above 0");
    engine_check_options(options);
    std::vector<StandTable> tables(stands.size());
    const std::size_t parts = static_cast<std::size_t>(thread_count(options, stands.size()));
    engine::parallel_for(stands.size(), parts, [&](std::size_t begin, std::size_t end, std::size_t) {
        for (std::size_t i = begin; i < end; ++i) {
            const TableStand& t = stands[i];
            StandTable& result = tables[i];
            if (std::string why = check_stand(t.stand); !why.empty()) {
                result.status = why;
                continue;
            }
            TableRequest request;
            request.model = t.stand.model;
            request.site = t.stand.site;
            request.height = t.stand.height;
            request.height_age = t.stand.height_age;
            request.shift = t.stand.shift;
            request.start_age = t.stand.age;
            request.trees = t.stand.trees;
            request.ba = t.stand.ba;
            request.end_age = t.end_age;
            request.interval = t.interval;
            request.merch_limit = t.merch_limit;
            request.thinnings = t.thinnings;
            request.max_sdi = max_sdi;
            request.thinning_field = "thinnings";
            try {
                result.table = t.regime ? yield_table(request, *t.regime) : yield_table(request);
                result.status = "ok";
            } catch (const InputError& e) {
                result.status = e.what();
            } catch (const RegimeError& e) {
                result.status = std::string("regime: ") + e.what();
            }
        }
    });
    return tables;
}

LongTables long_tables(std::size_t count, const std::function<std::string(std::size_t, TableStand&)>& read,
                       const std::function<std::string(std::size_t, const std::string&)>& place, double max_sdi,
                       const Options& options)
{
    LongTables t;
    std::vector<std::string> status(count);
    std::vector<std::size_t> which(count);  // the row's stand, if its status is empty
    TableStand stand;
    for (std::size_t i = 0; i < count; ++i) {
        status[i] = read(i, stand);
        which[i] = t.stands.size();
        if (status[i].empty()) t.stands.push_back(stand);
    }
    t.tables = inventory_tables(t.stands, max_sdi, options);

    auto empty_row = [&](std::size_t i, const TableStand* s, std::string why) {
        t.rows.push_back({i, s, nullptr, true, std::move(why)});
        ++t.flagged;
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (!status[i].empty()) {
            empty_row(i, nullptr, std::move(status[i]));
            continue;
        }
        const TableStand& s = t.stands[which[i]];
        const StandTable& table = t.tables[which[i]];
        if (table.status != "ok") {
            empty_row(i, &s, place(i, table.status));
            continue;
        }
        const auto& stop = table.table.stop;
        const std::string why = stop ? stop_status(*stop) : std::string();
        if (stop) ++t.stopped;
        t.notes |= table.table.notes;
        if (table.table.rows.empty()) {  // a stop, not a flag
            t.rows.push_back({i, &s, nullptr, true, "no table: " + why});
            continue;
        }
        const std::size_t last = table.table.rows.size() - 1;
        for (std::size_t k = 0; k <= last; ++k)
            t.rows.push_back({i, &s, &table.table.rows[k], k == 0, stop && k == last ? why : std::string("ok"),
                              &table.table, k});
    }
    return t;
}

}  // namespace sylvo
