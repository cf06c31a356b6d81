// Management regimes: a named, ordered list of events (thinnings and the
// final harvest), each with its time and, for a thinning, its target, read
// from one JSON format (schemas/regime.schema.json) for every front, and run
// by the yield tables.
//
// A file holds one regime ({"name": ..., "events": [...]}) or several
// ({"regimes": [...]}). The reader refuses unknown keys, duplicate keys,
// wrong types and values out of range, naming the file, the JSON pointer,
// the line and column, what is wrong and what is accepted. A number may be
// written {"search": [LOW, HIGH]} for the optimiser; a table refuses it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sylvo/yield_table.hpp"

namespace sylvo {

// Where a value stands in its file: the JSON pointer and the 1-based line
// and column of its first character.
struct SourcePlace {
    std::string pointer;
    int line = 0;
    int column = 0;
};

// A number of a regime: a value, or a range the optimiser searches
// ({"search": [low, high], "step": s, "start": x}).
struct RegimeNumber {
    double value = kNone;
    bool search = false;
    double low = kNone, high = kNone;
    double step = kNone;   // kNone: whole years for an age, else continuous
    double start = kNone;  // kNone: the middle of the range
    bool is_age = false;   // an age (a whole year unless a step is given)
    SourcePlace place;

    bool given() const { return search || value == value; }
};

enum class EventAction { thin, harvest };
enum class EventTiming { at, every, when };

enum class TargetKind {
    trees_per_ha,           // residual trees per hectare
    ba_m2_per_ha,           // residual basal area
    sdi_per_ha,             // residual stand density index
    relative_density,       // residual SDI as a share of the table's maximum SDI
    remove_trees_fraction,  // share of the trees removed, 0 < f < 1
    remove_ba_fraction,     // share of the basal area removed, 0 < f < 1
};

enum class ConditionKind {
    ba_m2_per_ha_over,
    sdi_per_ha_over,
    relative_density_over,
    height_m_over,
    trees_per_ha_over,
    mai_culminates,  // the final harvest only
};

struct Condition {
    ConditionKind kind = ConditionKind::sdi_per_ha_over;
    RegimeNumber threshold;                // not for mai_culminates
    RegimeNumber from_age;                 // inclusive; not given: from the start
    RegimeNumber to_age;                   // inclusive; not given: to the end
    RegimeNumber min_years_since_thinning; // since the last thinning done by any event
};

struct RegimeEvent {
    EventAction action = EventAction::thin;
    EventTiming timing = EventTiming::at;
    std::vector<RegimeNumber> at;  // timing at: one or more ages
    RegimeNumber every_from, every_step, every_to;  // timing every; every_to may be absent
    Condition when;                                  // timing when
    TargetKind target = TargetKind::trees_per_ha;    // thinnings
    RegimeNumber target_value;
    RegimeNumber p;
    RegimeNumber min_trees, min_ba, min_volume;  // min_removal; each may be absent
    std::string label;                           // the user's name for it ("label"), or the --thin text
    SourcePlace place;                           // the event object
};

struct Regime {
    std::string name;
    std::vector<RegimeEvent> events;
    RegimeNumber check_every;  // years between check ages (1 when not given)
    std::string file;          // the file it was read from
    SourcePlace place;         // the regime object
    std::string document;      // the regime object as read, as compact JSON
};

struct RegimeFile {
    std::string file;
    bool several = false;  // written as {"regimes": [...]}
    std::vector<Regime> regimes;

    // The regime named NAME; with an empty NAME the only regime of a file
    // of one. Throws RegimeError naming the regimes there are otherwise.
    const Regime& pick(std::string_view name) const;
    // The names, in file order.
    std::vector<std::string> names() const;
};

// A refused regime file (or a regime that does not fit a table): what()
// is "FILE:LINE:COLUMN: POINTER: PROBLEM; accepted: ACCEPTED".
class RegimeError : public std::invalid_argument {
public:
    RegimeError(std::string file, SourcePlace place, std::string problem, std::string accepted);
    const std::string& file() const { return file_; }
    const SourcePlace& place() const { return place_; }
    const std::string& problem() const { return problem_; }
    const std::string& accepted() const { return accepted_; }

private:
    std::string file_;
    SourcePlace place_;
    std::string problem_, accepted_;
};

// Reads a regime document. FILE_NAME names it in messages.
RegimeFile parse_regimes(std::string_view text, std::string_view file_name);
// Reads the file at PATH (a refusal to open it is a RegimeError too).
RegimeFile read_regimes(const std::string& path);

// The regime in plain words, one line per event ("at 20 thin to 800
// trees/ha (p 20)").
std::vector<std::string> describe_regime(const Regime& regime);
// One event in a few words ("thin to SDI 550", "harvest").
std::string describe_action(const RegimeEvent& event);

// The numbers of the regime written as search ranges, in file order.
std::vector<RegimeNumber*> search_numbers(Regime& regime);
std::vector<const RegimeNumber*> search_numbers(const Regime& regime);
// The regime document with every number as it is now (searched numbers
// written as the values they hold), as compact JSON.
std::string regime_document(const Regime& regime);

// A fixed-age regime of --thin thinnings.
Regime regime_from_thinnings(const std::vector<Thinning>& thinnings, const std::string& field);

// The table of REQUEST under REGIME (REQUEST's own thinnings must be
// empty). Checks the request as yield_table does; refuses (RegimeError) a
// regime with a search range left in it and an `at` age outside the table.
// A thinning that cannot be done is skipped and the row of its age says
// which event and why.
YieldTable yield_table(const TableRequest& request, const Regime& regime);

// What a table comes to, for comparing regimes: the last row's age, the
// total production (standing plus all removed volume), the volume removed
// (thinnings and harvest), the highest MAI and the first age it is reached,
// and the volume standing at the end (0 after the harvest).
struct TableSummary {
    double end_age = kNone;
    double production = kNone;     // m3/ha
    double removed_volume = kNone; // m3/ha
    double max_mai = kNone;        // m3/ha/yr
    double max_mai_age = kNone;    // yr
    double standing_volume = kNone;// m3/ha
    bool harvested = false;
};
TableSummary summarize_table(const YieldTable& table);

}  // namespace sylvo
