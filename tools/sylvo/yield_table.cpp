#include "yield_table.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "errors.h"
#include "numbers.h"

namespace sylvo_tool {

namespace {

Row measure(const Library& library, const Stand& stand, double age, double tph, double ba)
{
    Row row{};
    row.age = age;
    row.tph = tph;
    row.ba = ba;
    row.height = library.height(age, stand.site_index, stand.age_shift);
    row.qmd = std::sqrt(40000.0 / std::numbers::pi * ba / tph);
    row.volume = library.volume(row.height, tph, ba);
    // Models A and B deduct 0.4 m3 per m2 of basal area before the share
    // above the limit, which leaves a small negative volume in stands whose
    // volume is below that: nothing is merchantable there.
    row.merch_volume = library.merch_volume(row.height, tph, ba, stand.merch_limit);
    if (row.merch_volume < 0.0) row.merch_volume = 0.0;
    return row;
}

bool finite_positive(double x) { return std::isfinite(x) && x > 0.0; }

}  // namespace

std::vector<double> row_ages(const Stand& stand)
{
    std::vector<double> ages{stand.start_age};
    for (long k = 1;; ++k) {
        const double age = stand.start_age + static_cast<double>(k) * stand.interval;
        if (age >= stand.end_age - kSameAge) break;
        ages.push_back(age);
    }
    ages.push_back(stand.end_age);
    for (const Thinning& thinning : stand.thinnings) {
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

std::optional<std::string> check_row(const Row& row, const std::string& model)
{
    if (!finite_positive(row.tph))
        return "the number of trees is " + shortest(row.tph) + " per hectare, not a positive number";
    if (!finite_positive(row.ba))
        return "the basal area is " + shortest(row.ba) + " m2/ha, not a positive number";
    if (!finite_positive(row.height))
        return "the dominant height is " + shortest(row.height) + " m, not a positive number";
    if (!std::isfinite(row.volume)) return "the total volume is " + shortest(row.volume) + " m3/ha";
    if (row.volume <= 0.0)
        return "the total volume is 0 m3/ha with " + fixed(row.ba, 2) + " m2/ha of basal area (" + model +
               "'s volume equation gives zero or less for this stand)";
    if (!std::isfinite(row.merch_volume)) return "the merchantable volume is " + shortest(row.merch_volume);
    if (row.merch_volume > row.volume)
        return "the merchantable volume (" + fixed(row.merch_volume, 2) + " m3/ha) exceeds the total volume (" +
               fixed(row.volume, 2) + " m3/ha)";
    if (row.removed_volume && *row.removed_volume < 0.0)
        return "the thinning leaves more total volume than stood before it (" +
               fixed(row.volume, 2) + " m3/ha after, " + fixed(row.volume + *row.removed_volume, 2) +
               " m3/ha before)";
    return std::nullopt;
}

YieldTable compute_yield_table(const Library& library, const Stand& stand)
{
    YieldTable table;
    const std::string& model = library.model().name;
    double age = stand.start_age, tph = stand.tph, ba = stand.ba;
    double removed_volume_total = 0.0;  // all volume thinned so far (m3/ha)
    std::optional<double> last_age, last_production;
    auto thinning = stand.thinnings.begin();

    // Fills in the increments and keeps the row, or records why the table
    // ends there.
    auto add = [&](Row row) {
        const double production = row.volume + removed_volume_total;
        row.mai = production / row.age;
        if (last_age && row.age > *last_age) row.pai = (production - *last_production) / (row.age - *last_age);
        if (auto why = check_row(row, model)) {
            table.stop = Stop{row.age, row.after_thinning, *why};
            return false;
        }
        last_age = row.age;
        last_production = production;
        table.rows.push_back(row);
        return true;
    };

    for (double next : row_ages(stand)) {
        if (next != age) {
            library.grow(age, next, tph, ba);
            age = next;
        }
        const Row before = measure(library, stand, age, tph, ba);
        if (!add(before)) return table;
        if (thinning == stand.thinnings.end() || thinning->age != age) continue;

        double tph_after = 0.0, ba_after = 0.0;
        const std::string at = " at age " + shortest(age);
        if (thinning->residual_tph) {
            tph_after = *thinning->residual_tph;
            if (!(tph_after < tph))
                throw InputError("--thin", thinning->written,
                                 "leaves " + shortest(tph_after) + " trees/ha, but the stand has only " +
                                     fixed(tph, 1) + at,
                                 "fewer trees per hectare than the stand has at the thinning age");
            ba_after = library.ba_after(thinning->p, tph, ba, tph_after);
        } else {
            ba_after = *thinning->residual_ba;
            if (!(ba_after < ba))
                throw InputError("--thin", thinning->written,
                                 "leaves " + shortest(ba_after) + " m2/ha of basal area, but the stand has only " +
                                     fixed(ba, 2) + at,
                                 "less basal area than the stand has at the thinning age");
            tph_after = library.tph_after(thinning->p, tph, ba, ba_after);
        }
        Row after = measure(library, stand, age, tph_after, ba_after);
        after.after_thinning = true;
        after.removed_tph = tph - tph_after;
        after.removed_ba = ba - ba_after;
        after.removed_volume = before.volume - after.volume;
        if (std::isfinite(*after.removed_volume)) removed_volume_total += *after.removed_volume;
        if (!add(after)) return table;
        tph = tph_after;
        ba = ba_after;
        ++thinning;
    }
    if (thinning != stand.thinnings.end())
        throw std::logic_error("the thinning at age " + shortest(thinning->age) + " fell on no row");
    return table;
}

}  // namespace sylvo_tool
