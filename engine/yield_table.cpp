// Yield tables from the engine's exact single-stand functions.
#include "sylvo/yield_table.hpp"

#include <algorithm>
#include <cmath>

#include "sylvo/inventory.hpp"
#include "sylvo/regime.hpp"
#include "table_run.h"
#include "values.h"

namespace sylvo {

namespace {

using engine::age_ok;
using engine::finite_positive;
using engine::given;
using engine::kMaxSite;
using engine::append_shortest;
using engine::shortest;

// A finite decimal number and nothing else, read as an inventory's cells
// are; NaN otherwise.
double parse_finite(std::string_view text)
{
    double value = 0.0;
    return parse_number(text, value) == NumberFault::none ? value : kNone;
}

const char* const kThinAccepted =
    "AGE:tph=N:p=P or AGE:ba=B:p=P (AGE in years, N trees/ha or B m2/ha left after the thinning, P a positive "
    "number)";

}  // namespace

double stand_density_index(double trees, double qmd_cm)
{
    return trees * std::pow(qmd_cm / kReinekeDiameter, kReinekeExponent);
}

InputError::InputError(std::string field, std::string value, std::string problem, std::string accepted)
    : std::invalid_argument(field + ": " + (value.empty() ? std::string() : "'" + value + "' ") + problem +
                            "; accepted: " + accepted),
      field_(std::move(field)),
      value_(std::move(value)),
      problem_(std::move(problem)),
      accepted_(std::move(accepted))
{
}

Thinning parse_thinning(std::string_view text, std::string_view field)
{
    const std::string written(text);
    auto fail = [&](const std::string& problem) {
        return InputError(std::string(field), written, problem, kThinAccepted);
    };
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string_view::npos ? colon : colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    Thinning thinning;
    thinning.written = written;
    const double age = parse_finite(parts[0]);
    if (!given(age)) throw fail("does not start with an age");
    if (!(age > 0.0 && age <= kMaxAge)) throw fail("has an age that is not above 0 and at most 1000");
    thinning.age = age;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::size_t eq = parts[i].find('=');
        const std::string_view key = parts[i].substr(0, eq);
        double* slot = key == "tph" ? &thinning.residual_trees
                       : key == "ba" ? &thinning.residual_ba
                       : key == "p"  ? &thinning.p
                                     : nullptr;
        if (!slot) throw fail("has '" + std::string(parts[i]) + "', not tph=, ba= or p=");
        if (given(*slot)) throw fail("gives " + std::string(key) + "= twice");
        const double value = eq == std::string_view::npos ? kNone : parse_finite(parts[i].substr(eq + 1));
        if (!given(value)) throw fail("has " + std::string(key) + "= without a number");
        if (!(value > 0.0)) throw fail("has " + std::string(key) + "=" + shortest(value) + ", not above 0");
        *slot = value;
    }
    if (given(thinning.residual_trees) == given(thinning.residual_ba)) throw fail("needs exactly one of tph= and ba=");
    if (!given(thinning.p)) throw fail("has no p=");
    return thinning;
}

std::vector<Thinning> parse_thinnings(std::string_view text, std::string_view field)
{
    std::vector<Thinning> thinnings;
    if (text.empty()) return thinnings;
    for (std::size_t start = 0;;) {
        const std::size_t semicolon = text.find(';', start);
        thinnings.push_back(parse_thinning(
            text.substr(start, semicolon == std::string_view::npos ? semicolon : semicolon - start), field));
        if (semicolon == std::string_view::npos) break;
        start = semicolon + 1;
    }
    return thinnings;
}

std::string format_thinning(const Thinning& thinning)
{
    return shortest(thinning.age) +
           (given(thinning.residual_trees) ? ":tph=" + shortest(thinning.residual_trees)
                                           : ":ba=" + shortest(thinning.residual_ba)) +
           ":p=" + shortest(thinning.p);
}

std::string note_text(unsigned notes)
{
    static const std::pair<unsigned, const char*> words[] = {
        {kNoteVolumeZero, "total volume 0 with basal area"},
        {kNoteMerchAboveTotal, "merchantable volume above the total"},
        {kNoteMerchNotNumber, "merchantable volume not a number"},
        {kNoteThinningGain, "the thinning leaves more volume than before (negative removal)"},
        {kNoteMerchNegative, "merchantable volume below 0"},
    };
    std::string text;
    for (const auto& [bit, word] : words)
        if (notes & bit) text += (text.empty() ? "" : "; ") + std::string(word);
    return text;
}

std::vector<std::string> note_kinds(unsigned notes)
{
    std::vector<std::string> lines;
    if (notes & kNoteVolumeZero)
        lines.push_back("the total volume is 0 on rows with basal area: the volume equation gives zero or less "
                        "for these stands (their trees, basal area and height are still the model's answer)");
    if (notes & kNoteMerchAboveTotal)
        lines.push_back("the merchantable volume exceeds the total volume on some rows: the volume equations are "
                        "outside their range there");
    if (notes & kNoteMerchNotNumber)
        lines.push_back("the merchantable volume is not a number on some rows");
    if (notes & kNoteThinningGain)
        lines.push_back("a thinning leaves more total volume than stood before it: the removal is negative, shown "
                        "and counted in MAI as computed (the volume equation falls with basal area there)");
    if (notes & kNoteMerchNegative)
        lines.push_back("the merchantable volume is below 0 on some rows (the equation deducts 0.4 m3 per m2 of "
                        "basal area, more than a young stand's volume)");
    return lines;
}

std::vector<double> row_ages(const TableRequest& request)
{
    std::vector<double> ages{request.start_age};
    for (long k = 1;; ++k) {
        const double age = request.start_age + static_cast<double>(k) * request.interval;
        if (age >= request.end_age - kSameAge) break;
        ages.push_back(age);
    }
    ages.push_back(request.end_age);
    for (const Thinning& thinning : request.thinnings) {
        auto at = std::lower_bound(ages.begin(), ages.end(), thinning.age - kSameAge);
        if (at != ages.end() && std::abs(*at - thinning.age) <= kSameAge) {
            // A computed row age takes the thinning's age exactly; the start
            // and end ages are the user's and stay as given.
            if (at != ages.begin() && at + 1 != ages.end()) *at = thinning.age;
            if (*at == thinning.age) continue;
        }
        ages.insert(std::lower_bound(ages.begin(), ages.end(), thinning.age), thinning.age);
    }
    return ages;
}

namespace engine {

namespace {

// The lowest site index a model takes (exclusive) and why, and the interval
// its site search covers.
struct SiteRange {
    double floor;
    const char* why;
    const char* search;
};

SiteRange site_range(Model model)
{
    if (model == Model::c)
        return {1.372, "whose site curve is flat at 1.372 m (breast height) and falls with age below it",
                "between 1 and 80 m"};
    return {1.3, "which stores only site indices above 1.3 m", "between 2 and 80 m"};
}

void check_number(const char* field, double value, bool ok, const std::string& problem, const std::string& accepted)
{
    if (!ok) throw InputError(field, given(value) ? shortest(value) : "", given(value) ? problem : "is missing", accepted);
}

}  // namespace

// The site index of the request, checked against the model's range.
double resolve_site(const TableRequest& request)
{
    const SiteRange range = site_range(request.model);
    const std::string name = model_name(request.model);
    const std::string accepted = "a site index above " + shortest(range.floor) + " m and at most " +
                                 shortest(kMaxSite) + " m for " + name + ", " + range.why;
    if (!std::isfinite(request.shift))
        throw InputError("shift_yr", shortest(request.shift), "is not a finite number", "a number of years");
    if (given(request.site)) {
        if (given(request.height) || given(request.height_age))
            throw InputError("height_m", given(request.height) ? shortest(request.height) : "",
                             "is given together with a site index", "either a site index or a height and its age");
        if (!(request.site > range.floor && request.site <= kMaxSite))
            throw InputError("site_m", shortest(request.site), "is outside the range", accepted);
        return request.site;
    }
    if (!given(request.height) && !given(request.height_age))
        throw InputError("site_m", "", "is missing", "a site index in m, or a dominant height and its age");
    check_number("height_m", request.height, std::isfinite(request.height) && request.height > 0.0, "is not above 0",
                 "a dominant height in m, above 0");
    check_number("height_age_yr", request.height_age,
                 std::isfinite(request.height_age) && request.height_age > 0.0 && request.height_age <= kMaxAge,
                 "is not above 0 and at most 1000", "the age in years the height was measured at");
    const double site = site_one(request.model, request.height, request.height_age, request.shift);
    if (!(site != 0.0 && std::isfinite(site)))
        throw InputError("height_m", shortest(request.height),
                         "is reached at age " + shortest(request.height_age) + " by no site index " + range.search +
                             " of " + name,
                         "a dominant height that a site curve of the model passes at its age");
    if (!(site > range.floor && site <= kMaxSite))
        throw InputError("height_m", shortest(request.height), "gives a site index of " + shortest(site) + " m",
                         accepted);
    return site;
}

void check_request(const TableRequest& request)
{
    const int m = static_cast<int>(request.model);
    if (m < SYLVO_MODEL_A || m > SYLVO_MODEL_C)
        throw InputError("model", std::to_string(m), "is not a model", "a, b or c");
    const std::string age_range = "above 0 and at most " + shortest(kMaxAge);
    check_number("age_yr", request.start_age,
                 std::isfinite(request.start_age) && request.start_age > 0.0 && request.start_age <= kMaxAge,
                 "is not " + age_range, "the age in years the table starts at, " + age_range);
    check_number("trees_per_ha", request.trees, std::isfinite(request.trees) && request.trees > 0.0, "is not above 0",
                 "the trees per hectare at the start age, above 0");
    check_number("ba_m2_per_ha", request.ba, std::isfinite(request.ba) && request.ba > 0.0, "is not above 0",
                 "the basal area in m2/ha at the start age, above 0");
    check_number("end_age_yr", request.end_age,
                 std::isfinite(request.end_age) && request.end_age > 0.0 && request.end_age <= kMaxAge,
                 "is not " + age_range, "the age in years the table ends at, " + age_range);
    if (!(request.end_age > request.start_age))
        throw InputError("end_age_yr", shortest(request.end_age),
                         "is not after the start age " + shortest(request.start_age),
                         "an age after the start age, at most 1000");
    check_number("interval_yr", request.interval, std::isfinite(request.interval) && request.interval > 0.0,
                 "is not above 0", "a number of years above 0");
    if ((request.end_age - request.start_age) / request.interval > kMaxRows)
        throw InputError("interval_yr", shortest(request.interval),
                         "gives more than " + std::to_string(kMaxRows) + " rows",
                         "a positive number of years, at most a " + std::to_string(kMaxRows) +
                             "th of the table's span");
    if (given(request.merch_limit) && !(std::isfinite(request.merch_limit) && request.merch_limit >= 0.0))
        throw InputError("merch_limit_cm", shortest(request.merch_limit), "is not 0 or more",
                         "a diameter in cm, 0 or more");
    if (!(request.max_sdi > 0.0))
        throw InputError("max_sdi", shortest(request.max_sdi), "is not above 0", "a stand density index above 0");
    const Thinning* last = nullptr;
    for (const Thinning& thinning : request.thinnings) {
        const std::string& field = request.thinning_field;
        const std::string written = thinning.written.empty() ? format_thinning(thinning) : thinning.written;
        if (!(thinning.age >= request.start_age && thinning.age <= request.end_age))
            throw InputError(field, written,
                             "is outside the table's ages " + shortest(request.start_age) + " to " +
                                 shortest(request.end_age),
                             "a thinning age from the start age to the end age");
        if (given(thinning.residual_trees) == given(thinning.residual_ba) || !(thinning.p > 0.0))
            throw InputError(field, written, "is not a thinning", kThinAccepted);
        if (last && !(thinning.age > last->age + kSameAge))
            throw InputError(field, written, "does not come after the thinning at age " + shortest(last->age),
                             "thinnings in increasing order of age, more than 1e-06 years apart");
        last = &thinning;
    }
}

// Appends to WHY the reason a row's stand is no longer a stand; false (and
// nothing appended) for a stand. Inventories ask this of every stand, so it
// appends to a string the caller keeps, with no string of its own.
bool append_no_stand(const YieldRow& row, double max_sdi, std::string& why)
{
    auto say = [&why](const char* what, double x, const char* rest) {
        why += what;
        append_shortest(why, x);
        why += rest;
        return true;
    };
    if (!(std::isfinite(row.trees) && row.trees >= 1.0))
        return say("trees ", row.trees, " per hectare (below 1 or not a number)");
    if (!finite_positive(row.ba)) return say("basal area ", row.ba, " m2/ha (not a positive number)");
    if (!finite_positive(row.height)) return say("dominant height ", row.height, " m (not a positive number)");
    if (!(row.sdi <= max_sdi)) {
        say("stand density index ", row.sdi, " per hectare (above the maximum ");
        append_shortest(why, max_sdi);
        why += ')';
        return true;
    }
    if (!std::isfinite(row.volume)) return say("total volume ", row.volume, " m3/ha (not a number)");
    return false;
}

}  // namespace engine

bool stand_stop_reason(double trees, double ba, double height, double sdi, double max_sdi, std::string& why)
{
    YieldRow row{};
    row.trees = trees;
    row.ba = ba;
    row.height = height;
    row.sdi = sdi;
    row.volume = 0.0;
    return engine::append_no_stand(row, max_sdi, why);
}

std::string stop_status(const TableStop& stop)
{
    return "stopped early at age " + shortest(stop.age) + (stop.after_thinning ? " after the thinning" : "") + ": " +
           stop.reason;
}

unsigned volume_notes(double ba, double volume, double merch_volume, bool with_merch)
{
    unsigned notes = 0;
    if (volume == 0.0 && ba > 0.0) notes |= kNoteVolumeZero;
    if (!with_merch) return notes;
    if (std::isnan(merch_volume)) {
        notes |= kNoteMerchNotNumber;
    } else {
        if (merch_volume > volume) notes |= kNoteMerchAboveTotal;
        if (merch_volume < 0.0) notes |= kNoteMerchNegative;
    }
    return notes;
}

YieldTable yield_table(const TableRequest& request)
{
    engine::check_request(request);
    TableRequest bare = request;
    bare.thinnings.clear();
    return engine::run_table(bare, regime_from_thinnings(request.thinnings, request.thinning_field), true);
}

const RowText* YieldTable::text(std::size_t row) const
{
    auto it = std::lower_bound(texts.begin(), texts.end(), row,
                               [](const RowText& t, std::size_t r) { return t.row < r; });
    return it != texts.end() && it->row == row ? &*it : nullptr;
}

std::string YieldTable::row_note(std::size_t row) const
{
    std::string note = note_text(rows[row].notes);
    if (const RowText* t = text(row); t && !t->note.empty()) note += (note.empty() ? "" : "; ") + t->note;
    return note;
}

std::string_view YieldTable::row_event(std::size_t row) const
{
    const RowText* t = text(row);
    return t ? std::string_view(t->event) : std::string_view();
}

std::span<const char* const> yield_table_keys()
{
    static const char* const keys[] = {
        "age_yr",           "height_m",               "trees_per_ha",         "ba_m2_per_ha",
        "qmd_cm",           "volume_m3_per_ha",       "merch_volume_m3_per_ha", "removed_trees_per_ha",
        "removed_ba_m2_per_ha", "removed_volume_m3_per_ha", "mai_m3_per_ha_yr", "pai_m3_per_ha_yr",
        "sdi_per_ha",       "event",                  "note",
    };
    return keys;
}

}  // namespace sylvo
