#include "commands.h"

#include <cmath>
#include <iostream>
#include <memory>
#include <numbers>

#include "errors.h"
#include "library.h"
#include "numbers.h"
#include "output.h"
#include "yield_table.h"

namespace sylvo_tool {

namespace {

// The built-in example: a stand of Model A that stays within the model's
// valid range over the whole table (the model's basal area runs away a few
// years after age 35 in every stand).
Stand example_stand()
{
    Stand stand{};
    stand.site_index = 24.0;
    stand.age_shift = 0.0;
    stand.start_age = 10.0;
    stand.tph = 1800.0;
    stand.ba = 6.0;
    stand.end_age = 35.0;
    stand.interval = 5.0;
    stand.merch_limit = 12.0;
    stand.thinnings.push_back({20.0, 800.0, std::nullopt, 20.0, "20:tph=800:p=20"});
    return stand;
}

const char* const kThinAccepted =
    "AGE:tph=N:p=P or AGE:ba=B:p=P (AGE in years, N trees/ha or B m2/ha left after the thinning, P a positive "
    "number)";

Format format_of(const CommonOptions& common)
{
    if (common.format == "csv") return Format::Csv;
    if (common.format == "json") return Format::Json;
    return Format::Table;
}

std::unique_ptr<Library> load(const CommonOptions& common)
{
    if (!common.library.empty())
        return std::make_unique<Library>(common.library, "--library", common.library,
                                         "a shared library exporting the thirteen Sylvo functions");
    const std::string path = model_library_path(common.model);
    auto library =
        std::make_unique<Library>(path, "--model", common.model, "a, b or c, with its library built as " + path);
    const double expected = common.model == "a" ? 1.1 : common.model == "b" ? 1.0 : 1.2;
    if (library->version() != expected)
        throw InputError("--model", common.model,
                         "loads " + path + ", which reports version " + shortest(library->version()) +
                             " instead of " + shortest(expected),
                         "a, b or c, with the library of that model");
    return library;
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

Thinning parse_thinning(const std::string& text)
{
    auto fail = [&](const std::string& problem) { return InputError("--thin", text, problem, kThinAccepted); };
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string::npos ? colon : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    Thinning thinning{};
    thinning.written = text;
    const auto age = parse_number(parts[0]);
    if (!age) throw fail("does not start with an age");
    if (!(*age > 0.0 && *age <= kMaxAge)) throw fail("has an age that is not above 0 and at most 1000");
    thinning.age = *age;
    std::optional<double> p;
    for (size_t i = 1; i < parts.size(); ++i) {
        const size_t eq = parts[i].find('=');
        const std::string key = parts[i].substr(0, eq);
        std::optional<double>* slot = key == "tph" ? &thinning.residual_tph
                                      : key == "ba" ? &thinning.residual_ba
                                      : key == "p"  ? &p
                                                    : nullptr;
        if (!slot) throw fail("has '" + parts[i] + "', not tph=, ba= or p=");
        if (*slot) throw fail("gives " + key + "= twice");
        const double value = parse_number(eq == std::string::npos ? "" : parts[i].substr(eq + 1)).value_or(NAN);
        if (std::isnan(value)) throw fail("has " + key + "= without a number");
        if (!(value > 0.0)) throw fail("has " + key + "=" + shortest(value) + ", not above 0");
        *slot = value;
    }
    if (thinning.residual_tph.has_value() == thinning.residual_ba.has_value())
        throw fail("needs exactly one of tph= and ba=");
    if (!p) throw fail("has no p=");
    thinning.p = *p;
    return thinning;
}

// The stand the options describe (a site index or a height that gives one,
// the start, the end, the rows and the thinnings), checked against the model.
Stand stand_from(const Library& library, const Values& v)
{
    auto need = [](const std::optional<double>& value, const char* option, const char* accepted) {
        if (!value) throw InputError(option, "", "is missing (a stand needs it)", accepted);
        return *value;
    };
    Stand stand{};
    stand.age_shift = v.shift.value_or(0.0);
    if (v.height) {
        stand.site_height = v.height;
        stand.site_age = v.height_age;
        const double site = library.site(*v.height, *v.height_age, stand.age_shift);
        if (!(site != 0.0 && std::isfinite(site)))
            throw InputError("--height", shortest(*v.height),
                             "is reached at age " + shortest(*v.height_age) + " by no site index " +
                                 library.model().search + " of " + library.model().name,
                             "a dominant height that a site curve of the model passes at --height-age");
        check_site(library, "--height", *v.height, site);
        stand.site_index = site;
    } else {
        stand.site_index = need(v.site, "--site", "a site index in m, or --height with --height-age");
        check_site(library, "--site", stand.site_index, stand.site_index);
    }
    stand.start_age = need(v.start_age, "--start-age", "the age in years the table starts at");
    stand.tph = need(v.trees, "--trees", "the trees per hectare at the start age");
    stand.ba = need(v.ba, "--ba", "the basal area in m2/ha at the start age");
    stand.end_age = need(v.end_age, "--end-age", "the age in years the table ends at");
    stand.merch_limit = need(v.merch_limit, "--merch-limit", "the merchantable diameter limit in cm, 0 or more");
    stand.interval = v.interval.value_or(5.0);
    if (!(stand.end_age > stand.start_age))
        throw InputError("--end-age", shortest(stand.end_age),
                         "is not after the start age " + shortest(stand.start_age),
                         "an age after --start-age, at most 1000");
    if ((stand.end_age - stand.start_age) / stand.interval > kMaxRows)
        throw InputError("--interval", shortest(stand.interval),
                         "gives more than " + std::to_string(kMaxRows) + " rows",
                         "a positive number of years, at most a " + std::to_string(kMaxRows) +
                             "th of the table's span");
    for (const std::string& text : v.thinnings) {
        Thinning thinning = parse_thinning(text);
        if (thinning.age < stand.start_age || thinning.age > stand.end_age)
            throw InputError("--thin", text,
                             "is outside the table's ages " + shortest(stand.start_age) + " to " +
                                 shortest(stand.end_age),
                             "a thinning age from --start-age to --end-age");
        if (!stand.thinnings.empty() && !(thinning.age > stand.thinnings.back().age + kSameAge))
            throw InputError("--thin", text,
                             "does not come after the thinning at age " + shortest(stand.thinnings.back().age),
                             "thinnings in increasing order of age, more than 1e-06 years apart");
        stand.thinnings.push_back(thinning);
    }
    return stand;
}

bool no_stand_given(const Values& v)
{
    return !v.site && !v.height && !v.height_age && !v.shift && !v.start_age && !v.trees && !v.ba && !v.end_age &&
           !v.interval && !v.merch_limit && v.thinnings.empty();
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

int run_table(const CommonOptions& common, const Values& values)
{
    const auto library = load(common);
    const Stand stand = no_stand_given(values) ? example_stand() : stand_from(*library, values);
    const YieldTable table = compute_yield_table(*library, stand);
    write_yield_table(std::cout, format_of(common), *library, stand, table);
    if (!table.stop) return kOk;
    std::cout.flush();
    std::cerr << "sylvo: " << library->model().name << " leaves its valid range at age " << shortest(table.stop->age)
              << (table.stop->after_thinning ? " after the thinning" : "") << ": " << table.stop->reason
              << "; the table stops before this row\n";
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
