// A regime in plain words, for `sylvo regime check` and the rows' events.
#include <cmath>

#include "sylvo/regime.hpp"
#include "values.h"

namespace sylvo {

using engine::given;
using engine::shortest;

namespace {

std::string number(const RegimeNumber& n)
{
    if (n.search && !given(n.value))
        return "[search " + shortest(n.low) + " to " + shortest(n.high) +
               (given(n.step) ? " by " + shortest(n.step) : std::string()) + "]";
    return shortest(n.value);
}

std::string percent(const RegimeNumber& n)
{
    if (n.search && !given(n.value)) return number(n) + " of";
    return shortest(n.value * 100.0) + "% of";
}

std::string condition_words(const Condition& c)
{
    switch (c.kind) {
    case ConditionKind::ba_m2_per_ha_over: return "basal area is over " + number(c.threshold) + " m2/ha";
    case ConditionKind::sdi_per_ha_over: return "SDI is over " + number(c.threshold);
    case ConditionKind::relative_density_over: return "relative density is over " + number(c.threshold);
    case ConditionKind::height_m_over: return "dominant height is over " + number(c.threshold) + " m";
    case ConditionKind::trees_per_ha_over: return "trees/ha are over " + number(c.threshold);
    case ConditionKind::mai_culminates: return "MAI culminates";
    }
    return "";
}

}  // namespace

std::string describe_action(const RegimeEvent& e)
{
    if (e.action == EventAction::harvest) return "harvest";
    const RegimeNumber& v = e.target_value;
    std::string words;
    switch (e.target) {
    case TargetKind::trees_per_ha: words = "thin to " + number(v) + " trees/ha"; break;
    case TargetKind::ba_m2_per_ha: words = "thin to " + number(v) + " m2/ha of basal area"; break;
    case TargetKind::sdi_per_ha: words = "thin to SDI " + number(v); break;
    case TargetKind::relative_density: words = "thin to relative density " + number(v); break;
    case TargetKind::remove_trees_fraction: words = "thin " + percent(v) + " the trees"; break;
    case TargetKind::remove_ba_fraction: words = "thin " + percent(v) + " the basal area"; break;
    }
    return words + " (p " + number(e.p) + ")";
}

std::vector<std::string> describe_regime(const Regime& regime)
{
    std::vector<std::string> lines;
    for (const RegimeEvent& e : regime.events) {
        std::string when;
        switch (e.timing) {
        case EventTiming::at:
            when = "at ";
            for (std::size_t i = 0; i < e.at.size(); ++i)
                when += (i == 0 ? "" : i + 1 == e.at.size() ? " and " : ", ") + number(e.at[i]);
            break;
        case EventTiming::every:
            when = "every " + number(e.every_step) + " years from " + number(e.every_from) +
                   (e.every_to.given() ? " to " + number(e.every_to) : std::string(" to the end"));
            break;
        case EventTiming::when: {
            const Condition& c = e.when;
            when = "when " + condition_words(c);
            if (c.from_age.given() && c.to_age.given())
                when += " between " + number(c.from_age) + " and " + number(c.to_age);
            else if (c.from_age.given())
                when += " from " + number(c.from_age);
            else if (c.to_age.given())
                when += " up to " + number(c.to_age);
            if (c.min_years_since_thinning.given())
                when += ", at least " + number(c.min_years_since_thinning) + " years apart,";
            break;
        }
        }
        std::string line =
            e.action == EventAction::harvest ? describe_action(e) + " " + when : when + " " + describe_action(e);
        std::string minimum;
        if (e.min_trees.given()) minimum += number(e.min_trees) + " trees/ha";
        if (e.min_ba.given()) minimum += (minimum.empty() ? "" : ", ") + number(e.min_ba) + " m2/ha";
        if (e.min_volume.given()) minimum += (minimum.empty() ? "" : ", ") + number(e.min_volume) + " m3/ha";
        if (!minimum.empty()) line += ", if it removes at least " + minimum;
        if (!e.label.empty()) line += " ['" + e.label + "']";
        lines.push_back(line);
    }
    if (lines.empty()) lines.push_back("no thinning and no harvest");
    return lines;
}

}  // namespace sylvo
