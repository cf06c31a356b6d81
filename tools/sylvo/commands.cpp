#include "commands.h"

#include <cmath>
#include <iostream>
#include <memory>
#include <numbers>
#include <sstream>

#include "errors.h"
#include "library.h"
#include "sylvo.h"
#include "numbers.h"
#include "output.h"
#include "plot.h"
#include "sylvo/optimize.hpp"
#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"
#include <nlohmann/json.hpp>

namespace sylvo_tool {

namespace {

// The built-in example: a stand of Model A that stays within the model's
// valid range over the whole table (the model's basal area runs away a few
// years after age 35 in every stand).
sylvo::TableRequest example_stand(sylvo::Model model)
{
    sylvo::TableRequest request;
    request.model = model;
    request.site = 24.0;
    request.start_age = 10.0;
    request.trees = 1800.0;
    request.ba = 6.0;
    request.end_age = 35.0;
    request.interval = 5.0;
    request.merch_limit = 12.0;
    request.thinnings.push_back(sylvo::parse_thinning("20:tph=800:p=20"));
    return request;
}

Format format_of(const CommonOptions& common)
{
    if (common.format == "csv") return Format::Csv;
    if (common.format == "json") return Format::Json;
    return Format::Table;
}

std::unique_ptr<Library> load(const CommonOptions& common)
{
    return std::make_unique<Library>(sylvo::parse_model(common.model));
}

void check_site(const Library& library, const std::string& option, double value, double site)
{
    const ModelInfo& model = library.model();
    if (site > model.site_floor && site <= kMaxSite) return;
    const std::string range = "a site index above " + shortest(model.site_floor) + " m and at most " +
                              shortest(kMaxSite) + " m for " + model.site_reason;
    if (option == "--site") throw InputError(option, shortest(value), "is outside the range", range);
    throw InputError(option, shortest(value), "gives a site index of " + shortest(site) + " m", range);
}

// The stand the options describe; the engine checks it when it makes the
// table (a value it does not accept names its option, see main.cpp).
sylvo::TableRequest stand_from(const Library& library, const Values& v)
{
    sylvo::TableRequest request;
    request.model = library.id();
    auto value = [](const std::optional<double>& x) { return x.value_or(sylvo::kNone); };
    request.site = value(v.site);
    request.height = value(v.height);
    request.height_age = value(v.height_age);
    request.shift = v.shift.value_or(0.0);
    request.start_age = value(v.start_age);
    request.trees = value(v.trees);
    request.ba = value(v.ba);
    request.end_age = value(v.end_age);
    request.interval = v.interval.value_or(5.0);
    request.merch_limit = value(v.merch_limit);
    if (!v.merch_limit)
        throw InputError("--merch-limit", "", "is missing (a stand needs it)",
                         "the merchantable diameter limit in cm, 0 or more");
    request.max_sdi = v.max_sdi.value_or(sylvo::kDefaultMaxSdi);
    for (const std::string& text : v.thinnings) request.thinnings.push_back(sylvo::parse_thinning(text, "--thin"));
    return request;
}

bool no_stand_given(const Values& v)
{
    return !v.site && !v.height && !v.height_age && !v.shift && !v.start_age && !v.trees && !v.ba && !v.end_age &&
           !v.interval && !v.merch_limit && !v.max_sdi && v.thinnings.empty();
}

Column column(const char* key, const char* label, const char* unit, int decimals)
{
    return {key, label, unit, decimals};
}

Cell finite(double x) { return std::isfinite(x) ? Cell(x) : std::nullopt; }

// Writes a one-off answer; a missing result is reported on standard error
// and gives exit status 3.
int answer(const CommonOptions& common, const Library& library, const std::vector<Field>& fields,
           const std::string& none_reason)
{
    write_record(std::cout, format_of(common), library, fields);
    for (const Field& field : fields) {
        if (!field.value) {
            std::cout.flush();
            std::cerr << "sylvo: " << none_reason << '\n';
            return kOutOfRange;
        }
    }
    return kOk;
}

}  // namespace

namespace {

// The stand of a table under a regime: the options' stand, or the example
// stand without its thinning.
sylvo::TableRequest regime_stand(const Library& library, const Values& values)
{
    if (!values.thinnings.empty())
        throw InputError("--thin", values.thinnings.front(), "is given together with --regime",
                         "thinnings in the regime file, or --thin without --regime");
    sylvo::TableRequest request = no_stand_given(values) ? example_stand(library.id()) : stand_from(library, values);
    request.thinnings.clear();
    return request;
}

// The regimes --regime-name chooses (all of a file for none, when ALL).
std::vector<const sylvo::Regime*> chosen(const sylvo::RegimeFile& file, const Values& values, bool all)
{
    std::vector<const sylvo::Regime*> out;
    if (values.regime_names.empty()) {
        if (all)
            for (const sylvo::Regime& r : file.regimes) out.push_back(&r);
        else
            out.push_back(&file.pick(""));
    }
    for (const std::string& name : values.regime_names) {
        if (name.empty()) throw InputError("--regime-name", "", "is empty", "the name of a regime of " + file.file);
        out.push_back(&file.pick(name));
    }
    return out;
}

}  // namespace

int run_table(const CommonOptions& common, const Values& values)
{
    if (!values.regime_file.empty() && values.regime_names.size() > 1) return run_compare(common, values);
    const auto library = load(common);
    if (!values.plot.empty()) check_plot_file(values.plot);
    std::optional<sylvo::RegimeFile> file;
    const sylvo::Regime* regime = nullptr;
    if (!values.regime_file.empty()) {
        file = sylvo::read_regimes(values.regime_file);
        regime = chosen(*file, values, false).front();
    } else if (!values.regime_names.empty()) {
        throw InputError("--regime-name", values.regime_names.front(), "is given without --regime",
                         "--regime FILE with it");
    }
    const sylvo::TableRequest request = regime ? regime_stand(*library, values)
                                        : no_stand_given(values) ? example_stand(library->id())
                                                                 : stand_from(*library, values);
    const sylvo::YieldTable table = regime ? sylvo::yield_table(request, *regime) : sylvo::yield_table(request);
    std::string stop;
    if (table.stop)
        stop = "the stand is no longer a stand at age " + shortest(table.stop->age) +
               (table.stop->after_thinning ? " after the thinning" : "") + ": " + table.stop->reason;
    if (!values.plot.empty()) {
        // Drawn before anything is printed, so that a refusal prints nothing.
        std::ostringstream csv;
        write_yield_table(csv, Format::Csv, *library, request, table);
        draw_plot(csv.str(), values.plot,
                  "Yield table, " + library->model().name + " (version " + fixed(library->version(), 1) +
                      "), site index " + fixed(table.site, 2) + " m",
                  stop);
    }
    std::optional<sylvo::Economics> economics;
    Valuation valuation;
    if (!values.economics_file.empty()) {
        economics = sylvo::read_economics(values.economics_file);
        valuation.economics = &*economics;
        valuation.ledger = sylvo::removal_ledger(request, table, *economics);
        valuation.values = sylvo::table_values(request, table, valuation.ledger, *economics);
    }
    write_yield_table(std::cout, format_of(common), *library, request, table, regime,
                      economics ? &valuation : nullptr);
    std::cout.flush();
    for (const std::string& line : sylvo::note_kinds(table.notes)) std::cerr << "sylvo: warning: " << line << '\n';
    std::size_t skipped = 0;
    for (const sylvo::RowText& t : table.texts) skipped += !t.note.empty();
    if (skipped)
        std::cerr << "sylvo: warning: " << skipped << " row" << (skipped == 1 ? " says" : "s say")
                  << " that an event was skipped or not due, and why (the note column)\n";
    if (!table.stop) return kOk;
    std::cerr << "sylvo: " << stop << "; the table stops before this row\n";
    return kOutOfRange;
}

int run_height(const CommonOptions& common, const Values& v)
{
    const auto library = load(common);
    check_site(*library, "--site", *v.site, *v.site);
    const double shift = v.shift.value_or(0.0);
    const double height = library->height(*v.age, *v.site, shift);
    return answer(common, *library,
                  {{column("age_yr", "age", "yr", -1), *v.age},
                   {column("site_index_m", "site index", "m", 3), *v.site},
                   {column("age_shift_yr", "age shift", "yr", -1), shift},
                   {column("height_m", "dominant height", "m", 3), finite(height)}},
                  "no dominant height: SylvoHeight returned " + shortest(height));
}

int run_age(const CommonOptions& common, const Values& v)
{
    const auto library = load(common);
    check_site(*library, "--site", *v.site, *v.site);
    const double shift = v.shift.value_or(0.0);
    const double age = library->age(*v.height, *v.site, shift);
    const bool none = age == SYLVO_MISSING_VALUE || !std::isfinite(age);
    return answer(common, *library,
                  {{column("height_m", "dominant height", "m", 3), *v.height},
                   {column("site_index_m", "site index", "m", 3), *v.site},
                   {column("age_shift_yr", "age shift", "yr", -1), shift},
                   {column("age_yr", "age", "yr", 3), none ? std::nullopt : Cell(age)}},
                  "no age: the site curve of " + library->model().name + " for site index " + shortest(*v.site) +
                      " m never reaches " + shortest(*v.height) + " m (SylvoAge returned " + shortest(age) + ")");
}

int run_site(const CommonOptions& common, const Values& v)
{
    const auto library = load(common);
    const double shift = v.shift.value_or(0.0);
    const double site = library->site(*v.height, *v.age, shift);
    const bool none = site == 0.0 || !std::isfinite(site);
    return answer(common, *library,
                  {{column("height_m", "dominant height", "m", 3), *v.height},
                   {column("age_yr", "age", "yr", -1), *v.age},
                   {column("age_shift_yr", "age shift", "yr", -1), shift},
                   {column("site_index_m", "site index", "m", 3), none ? std::nullopt : Cell(site)}},
                  "no site index: none " + library->model().search + " of " + library->model().name + " reaches " +
                      shortest(*v.height) + " m at age " + shortest(*v.age) + " (SylvoSite returned " +
                      shortest(site) + ")");
}

int run_volume(const CommonOptions& common, const Values& v)
{
    const auto library = load(common);
    const double volume = library->volume(*v.height, *v.trees, *v.ba);
    std::vector<Field> fields{{column("height_m", "dominant height", "m", 3), *v.height},
                              {column("trees_per_ha", "trees", "/ha", 1), *v.trees},
                              {column("ba_m2_per_ha", "basal area", "m2/ha", 3), *v.ba},
                              {column("qmd_cm", "quadratic mean diameter", "cm", 2),
                               finite(std::sqrt(40000.0 / std::numbers::pi * *v.ba / *v.trees))},
                              {column("volume_m3_per_ha", "total volume", "m3/ha", 2), finite(volume)}};
    if (v.merch_limit) {
        fields.push_back({column("merch_limit_cm", "merchantable limit", "cm", -1), *v.merch_limit});
        fields.push_back({column("merch_volume_m3_per_ha", "merchantable volume", "m3/ha", 2),
                          finite(library->merch_volume(*v.height, *v.trees, *v.ba, *v.merch_limit))});
    }
    return answer(common, *library, fields, "no volume: the volume equation gives a value that is not a number");
}

int run_thin(const CommonOptions& common, const Values& v)
{
    const auto library = load(common);
    if (!v.to_trees && !v.to_ba)
        throw InputError("--to-trees", "", "is missing, and so is --to-ba", "one of --to-trees and --to-ba");
    double tph_after = 0.0, ba_after = 0.0;
    if (v.to_trees) {
        if (!(*v.to_trees < *v.trees))
            throw InputError("--to-trees", shortest(*v.to_trees), "is not below --trees " + shortest(*v.trees),
                             "fewer trees per hectare than before the thinning");
        tph_after = *v.to_trees;
        ba_after = library->ba_after(*v.p, *v.trees, *v.ba, tph_after);
    } else {
        if (!(*v.to_ba < *v.ba))
            throw InputError("--to-ba", shortest(*v.to_ba), "is not below --ba " + shortest(*v.ba),
                             "less basal area than before the thinning");
        ba_after = *v.to_ba;
        tph_after = library->tph_after(*v.p, *v.trees, *v.ba, ba_after);
    }
    auto valid = [](double after, double before) {
        return std::isfinite(after) && after > 0.0 && after <= before ? Cell(after) : std::nullopt;
    };
    const Cell tph = valid(tph_after, *v.trees), ba = valid(ba_after, *v.ba);
    return answer(common, *library,
                  {{column("p", "p", "", 3), *v.p},
                   {column("trees_before_per_ha", "trees before", "/ha", 1), *v.trees},
                   {column("ba_before_m2_per_ha", "basal area before", "m2/ha", 3), *v.ba},
                   {column("trees_after_per_ha", "trees after", "/ha", 1), tph},
                   {column("ba_after_m2_per_ha", "basal area after", "m2/ha", 3), ba},
                   {column("removed_trees_per_ha", "trees removed", "/ha", 1),
                    tph ? Cell(*v.trees - *tph) : std::nullopt},
                   {column("removed_ba_m2_per_ha", "basal area removed", "m2/ha", 3),
                    ba ? Cell(*v.ba - *ba) : std::nullopt}},
                  "no result: the thinning response gives " + shortest(tph_after) + " trees/ha and " +
                      shortest(ba_after) + " m2/ha, outside the stand before the thinning");
}

int run_grow(const CommonOptions& common, const Values& v)
{
    const auto library = load(common);
    double tph = *v.trees, ba = *v.ba;
    library->grow(*v.start_age, *v.end_age, tph, ba);
    const bool valid = std::isfinite(tph) && tph > 0.0 && std::isfinite(ba) && ba > 0.0;
    return answer(common, *library,
                  {{column("start_age_yr", "start age", "yr", -1), *v.start_age},
                   {column("start_trees_per_ha", "trees at start", "/ha", 1), *v.trees},
                   {column("start_ba_m2_per_ha", "basal area at start", "m2/ha", 3), *v.ba},
                   {column("end_age_yr", "end age", "yr", -1), *v.end_age},
                   {column("trees_per_ha", "trees", "/ha", 1), valid ? Cell(tph) : std::nullopt},
                   {column("ba_m2_per_ha", "basal area", "m2/ha", 3), valid ? Cell(ba) : std::nullopt}},
                  "no result: " + library->model().name + " leaves its valid range: the projection gives " +
                      shortest(tph) + " trees/ha and " + shortest(ba) + " m2/ha");
}

}  // namespace sylvo_tool

namespace sylvo_tool {

int run_regime_check(const std::string& path)
{
    const sylvo::RegimeFile file = sylvo::read_regimes(path);
    std::cout << path << ": " << file.regimes.size() << (file.regimes.size() == 1 ? " regime" : " regimes")
              << ", valid\n";
    for (const sylvo::Regime& r : file.regimes) {
        std::cout << "\nregime '" << r.name << "'";
        bool conditions = false;
        for (const sylvo::RegimeEvent& e : r.events) conditions = conditions || e.timing == sylvo::EventTiming::when;
        if (conditions) std::cout << " (conditions checked every " << shortest(r.check_every.value) << " yr)";
        std::cout << ":\n";
        for (const std::string& line : sylvo::describe_regime(r)) std::cout << "  " << line << '\n';
        const auto free = sylvo::search_numbers(r);
        if (!free.empty()) {
            std::cout << "  searched by `sylvo optimize`:";
            for (const sylvo::RegimeNumber* n : free) std::cout << ' ' << n->place.pointer;
            std::cout << '\n';
        }
    }
    return kOk;
}

int run_compare(const CommonOptions& common, const Values& values)
{
    using json = nlohmann::ordered_json;
    if (values.regime_file.empty())
        throw InputError("--regime", "", "is missing", "a regime file whose regimes are compared");
    const auto library = load(common);
    const sylvo::RegimeFile file = sylvo::read_regimes(values.regime_file);
    const std::vector<const sylvo::Regime*> regimes = chosen(file, values, true);
    const sylvo::TableRequest request = regime_stand(*library, values);
    std::vector<sylvo::YieldTable> tables;
    for (const sylvo::Regime* r : regimes) tables.push_back(sylvo::yield_table(request, *r));
    const Format format = format_of(common);
    auto number = [](double x) { return std::isfinite(x) ? json(x) : json(nullptr); };

    if (format == Format::Json) {
        json doc = json::object();
        doc["regimes"] = json::array();
        for (std::size_t k = 0; k < regimes.size(); ++k) {
            std::ostringstream one;
            write_yield_table(one, Format::Json, *library, request, tables[k], regimes[k]);
            json entry = json::parse(one.str());
            const sylvo::TableSummary s = sylvo::summarize_table(tables[k]);
            entry["summary"] = {{"regime", regimes[k]->name},
                                {"end_age_yr", number(s.end_age)},
                                {"production_m3_per_ha", number(s.production)},
                                {"removed_volume_m3_per_ha", number(s.removed_volume)},
                                {"max_mai_m3_per_ha_yr", number(s.max_mai)},
                                {"max_mai_age_yr", number(s.max_mai_age)},
                                {"standing_volume_m3_per_ha", number(s.standing_volume)},
                                {"harvested", s.harvested}};
            doc["regimes"].push_back(entry);
        }
        std::cout << doc.dump(2) << '\n';
    } else if (format == Format::Csv) {
        bool header = true;
        for (std::size_t k = 0; k < regimes.size(); ++k) {
            std::ostringstream one;
            write_yield_table(one, Format::Csv, *library, request, tables[k], regimes[k]);
            std::istringstream lines(one.str());
            std::string line;
            bool first = true;
            while (std::getline(lines, line)) {
                if (first) {
                    first = false;
                    if (!header) continue;
                    header = false;
                    std::cout << "regime," << line << '\n';
                    continue;
                }
                std::cout << csv_field(regimes[k]->name) << ',' << line << '\n';
            }
        }
    } else {
        std::cout << "Regimes compared, " << library->model().name << " (version " << fixed(library->version(), 1)
                  << "), site index " << fixed(tables.front().site, 2) << " m, from age " << shortest(request.start_age)
                  << " to " << shortest(request.end_age) << "\n\n";
        std::vector<Column> columns{{"regime", "regime", "", -3},
                                    {"end_age_yr", "end", "yr", -1},
                                    {"production_m3_per_ha", "production", "m3/ha", 1},
                                    {"removed_volume_m3_per_ha", "removed", "m3/ha", 1},
                                    {"max_mai_m3_per_ha_yr", "highest MAI", "m3/ha/yr", 2},
                                    {"max_mai_age_yr", "at age", "yr", -1},
                                    {"standing_volume_m3_per_ha", "standing", "m3/ha", 1}};
        std::vector<std::vector<std::string>> text{{}, {}};
        for (const Column& c : columns) {
            text[0].push_back(c.label);
            text[1].push_back(c.unit);
        }
        for (std::size_t k = 0; k < regimes.size(); ++k) {
            const sylvo::TableSummary s = sylvo::summarize_table(tables[k]);
            auto f = [](double x, int d) { return std::isfinite(x) ? (d < 0 ? shortest(x) : fixed(x, d)) : std::string(); };
            text.push_back({regimes[k]->name, f(s.end_age, -1), f(s.production, 1), f(s.removed_volume, 1),
                            f(s.max_mai, 2), f(s.max_mai_age, -1), f(s.standing_volume, 1)});
        }
        std::vector<std::size_t> width(columns.size(), 0);
        for (const auto& line : text)
            for (std::size_t i = 0; i < line.size(); ++i) width[i] = std::max(width[i], line[i].size());
        for (const auto& line : text) {
            std::string out;
            for (std::size_t i = 0; i < line.size(); ++i) {
                const std::string pad(width[i] - line[i].size(), ' ');
                out += (i ? "  " : "") + (i == 0 ? line[i] + pad : pad + line[i]);
            }
            out.erase(out.find_last_not_of(' ') + 1);
            std::cout << out << '\n';
        }
        for (std::size_t k = 0; k < regimes.size(); ++k) {
            std::cout << '\n';
            write_yield_table(std::cout, Format::Table, *library, request, tables[k], regimes[k]);
        }
    }
    std::cout.flush();
    int status = kOk;
    for (std::size_t k = 0; k < regimes.size(); ++k)
        if (tables[k].stop) {
            std::cerr << "sylvo: regime '" << regimes[k]->name << "': the stand is no longer a stand at age "
                      << shortest(tables[k].stop->age) << ": " << tables[k].stop->reason << '\n';
            status = kOutOfRange;
        }
    return status;
}

}  // namespace sylvo_tool

namespace sylvo_tool {

namespace {

struct Loaded {
    sylvo::RegimeFile file;
    const sylvo::Regime* regime = nullptr;
    std::optional<sylvo::Economics> economics;
};

Loaded load_regime_and_economics(const Values& values, const char* command)
{
    if (values.regime_file.empty())
        throw InputError("--regime", "", "is missing", std::string("a regime file for `sylvo ") + command + "`");
    Loaded l;
    l.file = sylvo::read_regimes(values.regime_file);
    l.regime = &l.file.pick(values.regime_names.empty() ? "" : values.regime_names.front());
    if (!values.economics_file.empty()) l.economics = sylvo::read_economics(values.economics_file);
    return l;
}

}  // namespace

int run_optimize(const CommonOptions& common, const Values& values)
{
    using json = nlohmann::ordered_json;
    const auto library = load(common);
    const Loaded l = load_regime_and_economics(values, "optimize");
    const sylvo::TableRequest request = regime_stand(*library, values);
    const sylvo::Objective objective = sylvo::parse_objective(values.objective);
    const sylvo::OptimizeResult r = sylvo::optimize_regime(request, *l.regime, l.economics ? &*l.economics : nullptr,
                                                           objective, values.threads);
    if (!std::isfinite(r.value))
        throw InputError("--regime", values.regime_file,
                         "gives no table with a " + std::string(sylvo::objective_name(objective)) +
                             " for any value of its search ranges (a harvest within the table's ages is needed "
                             "for lev and npv)",
                         "search ranges within the table's ages, and a final harvest");
    const sylvo::YieldTable table = sylvo::yield_table(request, r.best);
    Valuation valuation;
    if (l.economics) {
        valuation.economics = &*l.economics;
        valuation.ledger = sylvo::removal_ledger(request, table, *l.economics);
        valuation.values = sylvo::table_values(request, table, valuation.ledger, *l.economics);
    }
    const double gain = r.value - r.start_value;
    const Format format = format_of(common);
    if (format == Format::Json) {
        std::ostringstream one;
        write_yield_table(one, Format::Json, *library, request, table, &r.best, l.economics ? &valuation : nullptr);
        json doc = json::object();
        doc["objective"] = sylvo::objective_name(objective);
        doc["objective_value"] = r.value;
        doc["start_value"] = std::isfinite(r.start_value) ? json(r.start_value) : json(nullptr);
        doc["improvement"] = std::isfinite(gain) ? json(gain) : json(nullptr);
        doc["method"] = r.method;
        doc["evaluations"] = r.evaluations;
        doc["best"] = json::parse(sylvo::regime_document(r.best));
        doc["table"] = json::parse(one.str());
        std::cout << doc.dump(2) << '\n';
        return kOk;
    }
    if (format == Format::Csv) {
        write_yield_table(std::cout, Format::Csv, *library, request, table, &r.best, l.economics ? &valuation : nullptr);
        return kOk;
    }
    std::cout << "Best regime for " << sylvo::objective_name(objective) << " (" << r.method << ", " << r.evaluations
              << " tables): " << shortest(r.value) << ", at the starting values "
              << (std::isfinite(r.start_value) ? shortest(r.start_value) : std::string("none"))
              << (std::isfinite(gain) ? ", better by " + shortest(gain) : std::string()) << '\n';
    for (const sylvo::RegimeNumber* n : sylvo::search_numbers(r.best))
        std::cout << "  " << n->place.pointer << " = " << shortest(n->value) << " (searched " << shortest(n->low)
                  << " to " << shortest(n->high) << ")\n";
    std::cout << "  regime: " << sylvo::regime_document(r.best) << "\n\n";
    write_yield_table(std::cout, Format::Table, *library, request, table, &r.best, l.economics ? &valuation : nullptr);
    return kOk;
}

int run_rotation(const CommonOptions& common, const Values& values)
{
    using json = nlohmann::ordered_json;
    const auto library = load(common);
    const Loaded l = load_regime_and_economics(values, "rotation");
    const sylvo::TableRequest request = regime_stand(*library, values);
    if (!values.rotation_from || !values.rotation_to)
        throw InputError("--from", "", "is missing, or --to is", "--from AGE and --to AGE, the harvest ages to try");
    const auto points = sylvo::rotation_curve(request, *l.regime, l.economics ? &*l.economics : nullptr,
                                              *values.rotation_from, *values.rotation_to,
                                              values.rotation_step.value_or(1.0), values.threads);
    const sylvo::RotationPoint* bio = nullptr;
    const sylvo::RotationPoint* eco = nullptr;
    for (const sylvo::RotationPoint& p : points) {
        if (std::isfinite(p.mai) && (!bio || p.mai > bio->mai)) bio = &p;
        if (std::isfinite(p.lev) && (!eco || p.lev > eco->lev)) eco = &p;
    }
    auto number = [](double x) { return std::isfinite(x) ? json(x) : json(nullptr); };
    const Format format = format_of(common);
    if (format == Format::Json) {
        json doc = json::object();
        doc["regime"] = l.regime->name;
        doc["biological_rotation_yr"] = bio ? json(bio->age) : json(nullptr);
        doc["economic_rotation_yr"] = eco ? json(eco->age) : json(nullptr);
        doc["curve"] = json::array();
        for (const sylvo::RotationPoint& p : points)
            doc["curve"].push_back({{"harvest_age_yr", p.age}, {"harvested", p.harvested}, {"mai_m3_per_ha_yr", number(p.mai)},
                                    {"lev_per_ha", number(p.lev)}, {"npv_per_ha", number(p.npv)}});
        std::cout << doc.dump(2) << '\n';
        return kOk;
    }
    auto c = [](double x) { return std::isfinite(x) ? shortest(x) : std::string(); };
    if (format == Format::Csv) {
        std::cout << "harvest_age_yr,harvested,mai_m3_per_ha_yr,lev_per_ha,npv_per_ha\n";
        for (const sylvo::RotationPoint& p : points)
            std::cout << shortest(p.age) << ',' << (p.harvested ? "true" : "false") << ',' << c(p.mai) << ','
                      << c(p.lev) << ',' << c(p.npv) << '\n';
        return kOk;
    }
    std::cout << "Rotation of regime '" << l.regime->name << "', " << library->model().name << "\n";
    std::cout << "biological rotation (highest MAI): "
              << (bio ? shortest(bio->age) + " yr, MAI " + fixed(bio->mai, 2) + " m3/ha/yr" : std::string("none")) << '\n';
    if (l.economics)
        std::cout << "economic rotation (highest LEV): "
                  << (eco ? shortest(eco->age) + " yr, LEV " + fixed(eco->lev, 2) + "/ha" : std::string("none")) << '\n';
    std::cout << "\nharvest       MAI        LEV        NPV\n     yr  m3/ha/yr        /ha        /ha\n";
    for (const sylvo::RotationPoint& p : points) {
        char line[128];
        std::snprintf(line, sizeof line, "%7s  %8s  %9s  %9s%s", shortest(p.age).c_str(),
                      std::isfinite(p.mai) ? fixed(p.mai, 2).c_str() : "",
                      std::isfinite(p.lev) ? fixed(p.lev, 2).c_str() : "",
                      std::isfinite(p.npv) ? fixed(p.npv, 2).c_str() : "",
                      p.harvested ? "" : "  (the stand stops before this age)");
        std::cout << line << '\n';
    }
    return kOk;
}

}  // namespace sylvo_tool
