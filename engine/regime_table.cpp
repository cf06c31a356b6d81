// The walk that makes every yield table: the stand projected from one age
// to the next (rows, check ages and event ages), measured at each, and the
// regime's events done, in file order, where they are due.
//
// 1. Ages: the rows (start, every interval, end), each fixed event age and,
//    for a regime with conditions, the check ages (start, every
//    check_every years). A computed age within kSameAge of a given one
//    takes the given age (the start and end ages stay as given).
// 2. At each age: the stand is projected there from the age before and
//    measured; a stand that is no longer a stand ends the table.
// 3. Events due there run in file order, each reading the stand as the
//    events before it left it. A thinning that cannot be done is skipped
//    and the row of its age says which event and why.
// 4. The final harvest removes the whole stand and ends the table.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "find_root.h"
#include "sylvo/regime.hpp"
#include "table_run.h"
#include "values.h"

namespace sylvo {

using engine::given;
using engine::shortest;

namespace {

// An age of the walk, and what happens there.
struct Point {
    double age;
    int rank;  // 0: start or end, 1: an `at` age, 2: an `every` age, 3: a row, 4: a check age
    bool row = false;
    bool check = false;
    std::vector<std::size_t> due;  // fixed events due here, in file order
};

// Adds AGE to POINTS (sorted), merging with an age within kSameAge.
Point& add_point(std::vector<Point>& points, double age, int rank)
{
    auto at = std::lower_bound(points.begin(), points.end(), age - kSameAge,
                               [](const Point& p, double a) { return p.age < a; });
    if (at != points.end() && std::abs(at->age - age) <= kSameAge && (at->rank != 0 || at->age == age)) {
        if (rank < at->rank) {
            at->age = age;
            at->rank = rank;
        }
        return *at;
    }
    return *points.insert(std::lower_bound(points.begin(), points.end(), age,
                                           [](const Point& p, double a) { return p.age < a; }),
                          Point{age, rank, false, false, {}});
}

// A number as a row's text shows it: at most two decimals, no trailing zeros.
std::string brief(double x)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", x);
    std::string s = buffer;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

const char* condition_label(ConditionKind kind)
{
    switch (kind) {
    case ConditionKind::ba_m2_per_ha_over: return "basal area";
    case ConditionKind::sdi_per_ha_over: return "SDI";
    case ConditionKind::relative_density_over: return "relative density";
    case ConditionKind::height_m_over: return "dominant height";
    case ConditionKind::trees_per_ha_over: return "trees/ha";
    case ConditionKind::mai_culminates: return "MAI";
    }
    return "";
}

// Where an event stands, for a note: its pointer, or its --thin text.
std::string event_name(const RegimeEvent& e)
{
    if (!e.place.pointer.empty()) return e.place.pointer + (e.label.empty() ? "" : " '" + e.label + "'");
    return e.label;
}

// What a thinning leaves, or why it is not done.
struct ThinResult {
    double trees = kNone, ba = kNone;
    std::string why;  // empty: done
};

}  // namespace

namespace engine {

YieldTable run_table(const TableRequest& request, const Regime& regime, bool strict)
{
    check_request(request);
    for (const RegimeNumber* n : search_numbers(regime))
        if (!given(n->value))
            throw RegimeError(regime.file, n->place, "is a search range, which only `sylvo optimize` fills in",
                              "a number");
    YieldTable table;
    table.site = resolve_site(request);
    const Model model = request.model;
    const bool merch = given(request.merch_limit);
    const double t0 = request.start_age, t_end = request.end_age;

    // 1. Ages.
    std::vector<Point> points;
    {
        TableRequest rows_only = request;
        rows_only.thinnings.clear();
        for (double a : row_ages(rows_only)) {
            Point& p = add_point(points, a, a == t0 || a == t_end ? 0 : 3);
            p.row = true;
        }
    }
    bool conditions = false;
    std::vector<std::pair<std::size_t, std::string>> early;  // every ages before the start
    for (std::size_t k = 0; k < regime.events.size(); ++k) {
        const RegimeEvent& e = regime.events[k];
        if (e.timing == EventTiming::when) conditions = true;
        if (e.timing == EventTiming::at) {
            for (const RegimeNumber& a : e.at) {
                if (!(a.value >= t0 && a.value <= t_end)) {
                    // (--thin ages outside the table were refused by check_request already)
                    throw RegimeError(regime.file, a.place,
                                      "is age " + shortest(a.value) + ", outside the table's ages " + shortest(t0) +
                                          " to " + shortest(t_end),
                                      "an age from the start age to the end age");
                }
                add_point(points, a.value, 1).due.push_back(k);
            }
        } else if (e.timing == EventTiming::every) {
            const double last = given(e.every_to.value) ? std::min(e.every_to.value, t_end) : t_end;
            std::string before;
            for (long i = 0; i <= 100000; ++i) {
                const double a = e.every_from.value + static_cast<double>(i) * e.every_step.value;
                if (a > last + kSameAge) break;
                if (a < t0 - kSameAge) {
                    before += (before.empty() ? "" : ", ") + shortest(a);
                    continue;
                }
                add_point(points, a, 2).due.push_back(k);
            }
            if (!before.empty()) early.emplace_back(k, before);
        }
    }
    if (conditions) {
        const double step = regime.check_every.value;
        for (long i = 0;; ++i) {
            const double a = t0 + static_cast<double>(i) * step;
            if (a > t_end + kSameAge) break;
            add_point(points, std::abs(a - t_end) <= kSameAge ? t_end : a, 4).check = true;
        }
    }
    for (Point& p : points) std::sort(p.due.begin(), p.due.end());

    // Measuring a stand, and keeping rows.
    auto measure = [&](double age, double trees, double ba) {
        YieldRow row{};
        row.age = age;
        row.trees = trees;
        row.ba = ba;
        row.height = height_one(model, age, table.site, request.shift);
        row.qmd = qmd(ba, trees);
        row.sdi = stand_density_index(trees, row.qmd);
        row.volume = volume_one(model, row.height, trees, ba);
        row.merch_volume = merch ? merch_volume_one(model, row.height, trees, ba, request.merch_limit) : kNone;
        row.notes = volume_notes(ba, row.volume, row.merch_volume, merch);
        if (row.merch_volume < 0.0) row.merch_volume = 0.0;
        row.removed_trees = row.removed_ba = row.removed_volume = kNone;
        row.pai = kNone;
        return row;
    };
    double removed_total = 0.0;  // all volume removed so far (m3/ha)
    double last_age = kNone, last_production = kNone;
    auto keep = [&](YieldRow row) {
        const double production = row.volume + removed_total;
        row.mai = production / row.age;
        if (given(last_age) && row.age > last_age) row.pai = (production - last_production) / (row.age - last_age);
        last_age = row.age;
        last_production = production;
        table.notes |= row.notes;
        table.rows.push_back(row);
    };
    // Keeps ROW, or records why the table ends there.
    auto add = [&](const YieldRow& row) {
        if (std::string why; append_no_stand(row, request.max_sdi, why)) {
            table.stop = TableStop{row.age, row.after_thinning, why};
            return false;
        }
        keep(row);
        return true;
    };
    auto text_of = [&](std::size_t row) -> RowText& {
        if (table.texts.empty() || table.texts.back().row != row) table.texts.push_back(RowText{row, {}, {}});
        return table.texts.back();
    };
    auto say = [](std::string& field, const std::string& what) { field += (field.empty() ? "" : "; ") + what; };

    // What thinning E leaves of the stand ROW.
    auto thin = [&](const RegimeEvent& e, const YieldRow& row) {
        ThinResult r;
        const double n = row.trees, b = row.ba, p = e.p.value, v = e.target_value.value;
        const std::string at = " at age " + shortest(row.age);
        switch (e.target) {
        case TargetKind::trees_per_ha:
            if (!(v < n)) {
                if (strict)
                    throw InputError(request.thinning_field, e.label,
                                     "leaves " + shortest(v) + " trees/ha, but the stand has only " + shortest(n) + at,
                                     "fewer trees per hectare than the stand has at the thinning age");
                r.why = "the stand has " + brief(n) + " trees/ha, not more than the target " + brief(v);
                return r;
            }
            r.trees = v;
            r.ba = ba_after_one(model, p, n, b, v);
            break;
        case TargetKind::ba_m2_per_ha:
            if (!(v < b)) {
                if (strict)
                    throw InputError(request.thinning_field, e.label,
                                     "leaves " + shortest(v) + " m2/ha of basal area, but the stand has only " +
                                         shortest(b) + at,
                                     "less basal area than the stand has at the thinning age");
                r.why = "the stand has " + brief(b) + " m2/ha of basal area, not more than the target " + brief(v);
                return r;
            }
            r.ba = v;
            r.trees = tph_after_one(model, p, n, b, v);
            break;
        case TargetKind::remove_trees_fraction:
            r.trees = n * (1.0 - v);
            r.ba = ba_after_one(model, p, n, b, r.trees);
            break;
        case TargetKind::remove_ba_fraction:
            r.ba = b * (1.0 - v);
            r.trees = tph_after_one(model, p, n, b, r.ba);
            break;
        case TargetKind::sdi_per_ha:
        case TargetKind::relative_density: {
            const bool relative = e.target == TargetKind::relative_density;
            const double goal = relative ? v * request.max_sdi : v;
            const std::string goal_words = relative ? "relative density " + brief(v) + " (SDI " + brief(goal) + ")"
                                                    : "SDI " + brief(goal);
            if (!(row.sdi > goal)) {
                r.why = "the stand's SDI " + brief(row.sdi) + " is not above the target " + goal_words;
                return r;
            }
            // The trees left whose basal area after the thinning gives the
            // target SDI: a zero of sdi(trees left) - goal between almost
            // no trees and the trees standing.
            auto residual = [&](double trees_left) {
                const double ba_left = ba_after_one(model, p, n, b, trees_left);
                return stand_density_index(trees_left, qmd(ba_left, trees_left)) - goal;
            };
            const double low = n * 1e-12;
            const RootBracket root = find_root(low, n, residual, 0.0);
            const double trees_left = root.best;
            const double ba_left = ba_after_one(model, p, n, b, trees_left);
            const double reached = stand_density_index(trees_left, qmd(ba_left, trees_left));
            if (!root.holds_sign_change() || !(std::abs(reached - goal) <= 1e-9 * goal)) {
                r.why = "the thinning response cannot reach " + goal_words + " (closest SDI " + brief(reached) + ")";
                return r;
            }
            r.trees = trees_left;
            r.ba = ba_left;
            break;
        }
        }
        if (strict) return r;  // --thin: the response as it is, as ever
        if (!(std::isfinite(r.trees) && std::isfinite(r.ba) && r.trees > 0.0 && r.ba > 0.0 && r.trees < n && r.ba < b)) {
            r.why = "the thinning response gives " + brief(r.trees) + " trees/ha and " + brief(r.ba) +
                    " m2/ha, which is no removal from " + brief(n) + " trees/ha and " + brief(b) + " m2/ha";
            r.trees = r.ba = kNone;
        }
        return r;
    };

    // Whether condition C holds on ROW, and its words.
    auto holds = [&](const Condition& c, const YieldRow& row, std::string& words) {
        double value = kNone;
        switch (c.kind) {
        case ConditionKind::ba_m2_per_ha_over: value = row.ba; break;
        case ConditionKind::sdi_per_ha_over: value = row.sdi; break;
        case ConditionKind::relative_density_over: value = row.sdi / request.max_sdi; break;
        case ConditionKind::height_m_over: value = row.height; break;
        case ConditionKind::trees_per_ha_over: value = row.trees; break;
        case ConditionKind::mai_culminates: return false;
        }
        if (!(value > c.threshold.value)) return false;
        words = std::string("condition ") + condition_label(c.kind) + " " +
                (c.kind == ConditionKind::relative_density_over ? shortest(std::round(value * 1e4) / 1e4) : brief(value)) +
                " > " + shortest(c.threshold.value);
        return true;
    };

    // 2-4. The walk.
    double age = t0, trees = request.trees, ba = request.ba;
    double last_thinning = kNone;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& point = points[i];
        if (point.age != age) {
            const Stand s = grow_one(model, age, point.age, trees, ba);
            trees = s.trees;
            ba = s.ba;
            age = point.age;
        }
        YieldRow current = measure(age, trees, ba);
        bool have_row = false;  // a row of this age is kept
        auto ensure_row = [&]() {
            if (have_row) return true;
            have_row = true;
            return add(current);
        };
        if (point.row || point.check || !point.due.empty()) {
            if (point.row || !point.due.empty()) {
                if (!ensure_row()) return table;
            } else if (std::string why; append_no_stand(current, request.max_sdi, why)) {
                if (!ensure_row()) return table;
            }
        }
        if (i == 0)
            for (const auto& [k, ages] : early)
                say(text_of(table.rows.size() - 1).note,
                    "skipped " + event_name(regime.events[k]) + " (" + describe_action(regime.events[k]) +
                        ") at ages " + ages + ": before the table's start age " + shortest(t0));

        for (std::size_t k = 0; k < regime.events.size(); ++k) {
            const RegimeEvent& e = regime.events[k];
            std::string why;  // why it is due
            if (e.timing == EventTiming::when) {
                if (!point.check) continue;
                const Condition& c = e.when;
                if (given(c.from_age.value) && !(age >= c.from_age.value - kSameAge)) continue;
                if (given(c.to_age.value) && !(age <= c.to_age.value + kSameAge)) continue;
                if (given(c.min_years_since_thinning.value) && given(last_thinning) &&
                    !(age - last_thinning >= c.min_years_since_thinning.value - kSameAge))
                    continue;
                if (c.kind == ConditionKind::mai_culminates) {
                    // MAI at the next check age, the stand grown there as it is.
                    std::size_t j = i + 1;
                    while (j < points.size() && !points[j].check) ++j;
                    if (j == points.size()) continue;
                    double a = age, n = current.trees, b = current.ba;
                    for (std::size_t q = i + 1; q <= j; ++q) {
                        const Stand s = grow_one(model, a, points[q].age, n, b);
                        n = s.trees;
                        b = s.ba;
                        a = points[q].age;
                    }
                    const YieldRow next = measure(a, n, b);
                    const double mai_now = (current.volume + removed_total) / age;
                    const double mai_next = (next.volume + removed_total) / a;
                    if (!(mai_next < mai_now)) continue;
                    char words[160];
                    std::snprintf(words, sizeof words, "MAI culminates: %.4f m3/ha/yr at age %s, %.4f at %s", mai_now,
                                  shortest(age).c_str(), mai_next, shortest(a).c_str());
                    why = words;
                } else if (!holds(c, current, why)) {
                    continue;
                }
            } else if (std::find(point.due.begin(), point.due.end(), k) == point.due.end()) {
                continue;
            } else if (e.timing == EventTiming::at) {
                why = "at age " + shortest(age);
            } else {
                why = "every " + shortest(e.every_step.value) + " years from " + shortest(e.every_from.value);
            }
            if (!ensure_row()) return table;

            if (e.action == EventAction::harvest) {
                YieldRow h = current;
                h.removed_trees = current.trees;
                h.removed_ba = current.ba;
                h.removed_volume = current.volume;
                h.trees = h.ba = h.volume = h.sdi = 0.0;
                h.qmd = kNone;
                h.merch_volume = merch ? 0.0 : kNone;
                h.notes = 0;
                h.harvest = true;
                if (std::isfinite(current.volume)) removed_total += current.volume;
                keep(h);
                text_of(table.rows.size() - 1).event = describe_action(e) + ": " + why;
                table.harvested = true;
                return table;
            }

            const ThinResult r = thin(e, current);
            if (r.why.empty()) {
                YieldRow after = measure(age, r.trees, r.ba);
                after.after_thinning = true;
                after.removed_trees = current.trees - r.trees;
                after.removed_ba = current.ba - r.ba;
                after.removed_volume = current.volume - after.volume;
                std::string small;
                if (given(e.min_trees.value) && !(after.removed_trees >= e.min_trees.value))
                    small = brief(after.removed_trees) + " trees/ha, is below the minimum " + shortest(e.min_trees.value) + " trees/ha";
                else if (given(e.min_ba.value) && !(after.removed_ba >= e.min_ba.value))
                    small = brief(after.removed_ba) + " m2/ha, is below the minimum " + shortest(e.min_ba.value) + " m2/ha";
                else if (given(e.min_volume.value) && !(after.removed_volume >= e.min_volume.value))
                    small = brief(after.removed_volume) + " m3/ha, is below the minimum " + shortest(e.min_volume.value) + " m3/ha";
                if (small.empty()) {
                    if (after.removed_volume < 0.0) after.notes |= kNoteThinningGain;
                    if (std::isfinite(after.removed_volume)) removed_total += after.removed_volume;
                    if (!add(after)) return table;
                    text_of(table.rows.size() - 1).event = describe_action(e) + ": " + why;
                    current = after;
                    trees = r.trees;
                    ba = r.ba;
                    last_thinning = age;
                    continue;
                }
                say(text_of(table.rows.size() - 1).note, "skipped " + event_name(e) + " (" + describe_action(e) +
                                                             ", " + why + "): the removal, " + small);
                continue;
            }
            say(text_of(table.rows.size() - 1).note,
                "skipped " + event_name(e) + " (" + describe_action(e) + ", " + why + "): " + r.why);
        }
    }
    // A harvest that was never due.
    if (!table.rows.empty())
        for (const RegimeEvent& e : regime.events)
            if (e.action == EventAction::harvest) {
                say(text_of(table.rows.size() - 1).note,
                    "no harvest: " + event_name(e) + " (" + describe_action(e) + ") was not due by the end age " +
                        shortest(t_end));
                break;
            }
    return table;
}

}  // namespace engine

Regime regime_from_thinnings(const std::vector<Thinning>& thinnings, const std::string& field)
{
    Regime regime;
    regime.name = field;
    regime.check_every.value = 1.0;
    for (const Thinning& t : thinnings) {
        RegimeEvent e;
        e.action = EventAction::thin;
        e.timing = EventTiming::at;
        RegimeNumber age;
        age.value = t.age;
        age.is_age = true;
        e.at.push_back(age);
        const bool by_trees = given(t.residual_trees);
        e.target = by_trees ? TargetKind::trees_per_ha : TargetKind::ba_m2_per_ha;
        e.target_value.value = by_trees ? t.residual_trees : t.residual_ba;
        e.p.value = t.p;
        e.label = t.written.empty() ? format_thinning(t) : t.written;
        regime.events.push_back(std::move(e));
    }
    return regime;
}

TableSummary summarize_table(const YieldTable& table)
{
    TableSummary s;
    if (table.rows.empty()) return s;
    const YieldRow& last = table.rows.back();
    s.end_age = last.age;
    s.standing_volume = last.volume;
    s.production = last.mai * last.age;
    s.removed_volume = 0.0;
    s.harvested = table.harvested;
    for (const YieldRow& row : table.rows) {
        if (given(row.removed_volume) && std::isfinite(row.removed_volume)) s.removed_volume += row.removed_volume;
        if (row.mai > s.max_mai || !given(s.max_mai)) {
            s.max_mai = row.mai;
            s.max_mai_age = row.age;
        }
    }
    return s;
}

YieldTable yield_table(const TableRequest& request, const Regime& regime)
{
    if (!request.thinnings.empty())
        throw InputError(request.thinning_field, format_thinning(request.thinnings.front()),
                         "is given together with a regime", "thinnings in the regime, or --thin without one");
    return engine::run_table(request, regime, false);
}

}  // namespace sylvo
