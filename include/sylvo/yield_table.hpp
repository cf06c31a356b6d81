// Yield tables: a stand projected row by row under a thinning regime, with
// volumes, removals, increments and the stand density index, and the rule
// where a table stops because the stand is no longer a stand.
//
// Every front (the sylvo command line, the Python and R packages) makes its
// tables here; they differ only in how they present them.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sylvo/engine.hpp"

namespace sylvo {

inline constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// Ages closer than this (years) are one age: a thinning on the row interval
// takes that row, and two thinnings must be further apart.
inline constexpr double kSameAge = 1e-6;
// Ages a table or a projection accepts: above 0, at most this (years).
inline constexpr double kMaxAge = 1000.0;
// The most rows one table may have (a guard against a tiny interval).
inline constexpr long kMaxRows = 10000;
// Reineke's stand density index above which a table stops: no stand
// reaches it (see the README for where the figure comes from).
inline constexpr double kDefaultMaxSdi = 1500.0;
// Reineke's exponent and reference diameter (cm).
inline constexpr double kReinekeExponent = 1.605;
inline constexpr double kReinekeDiameter = 25.0;

// Reineke's stand density index per hectare: trees * (qmd / 25 cm)^1.605.
double stand_density_index(double trees, double qmd_cm);

// A value a table or projection does not accept. `field` is the option or
// column it came from ("--thin", "trees_per_ha", ...), `value` the value as
// given (may be empty), `problem` what is wrong and `accepted` what would
// be. what() is "FIELD: 'VALUE' PROBLEM; accepted: ACCEPTED".
class InputError : public std::invalid_argument {
public:
    InputError(std::string field, std::string value, std::string problem, std::string accepted);
    const std::string& field() const { return field_; }
    const std::string& value() const { return value_; }
    const std::string& problem() const { return problem_; }
    const std::string& accepted() const { return accepted_; }

private:
    std::string field_, value_, problem_, accepted_;
};

// One thinning: at AGE leave RESIDUAL_TREES trees/ha (the basal area left is
// SylvoBaAfter) or RESIDUAL_BA m2/ha (the trees left are SylvoTphAfter);
// exactly one of the two is a number, the other kNone. P is the thinning
// response's stand value.
struct Thinning {
    double age = kNone;
    double residual_trees = kNone;
    double residual_ba = kNone;
    double p = kNone;
    std::string written;  // as the user wrote it, for messages
};

// "AGE:tph=N:p=P" or "AGE:ba=B:p=P" (keys in any order after the age).
// Throws InputError with field FIELD.
Thinning parse_thinning(std::string_view text, std::string_view field = "--thin");
// Several thinnings separated by ';' ("20:tph=800:p=20;30:ba=25:p=20"); an
// empty text gives none.
std::vector<Thinning> parse_thinnings(std::string_view text, std::string_view field = "thinnings");
// The --thin syntax of a thinning ("20:tph=800:p=20").
std::string format_thinning(const Thinning& thinning);

// A stand and its table's layout. The site index is SITE, or, when SITE is
// kNone, the one SylvoSite finds for HEIGHT at HEIGHT_AGE.
struct TableRequest {
    Model model = Model::a;
    double site = kNone;        // m
    double height = kNone;      // m, dominant height measured at height_age
    double height_age = kNone;  // years
    double shift = 0.0;         // years, age shift of the site curve
    double start_age = kNone;   // years
    double trees = kNone;       // per hectare at start_age
    double ba = kNone;          // m2/ha at start_age
    double end_age = kNone;     // years
    double interval = 5.0;      // years between rows
    double merch_limit = kNone; // cm
    std::vector<Thinning> thinnings;  // increasing ages within [start_age, end_age]
    double max_sdi = kDefaultMaxSdi;
    // The option or column the thinnings came from, for messages.
    std::string thinning_field = "--thin";
};

// Volume anomalies a row keeps, as bits of YieldRow::notes.
enum Note : unsigned {
    kNoteVolumeZero = 1u << 0,        // total volume 0 with basal area
    kNoteMerchAboveTotal = 1u << 1,   // merchantable volume above the total
    kNoteMerchNotNumber = 1u << 2,    // merchantable volume not a number
    kNoteThinningGain = 1u << 3,      // the thinning leaves more volume than stood before it
    kNoteMerchNegative = 1u << 4,     // merchantable volume below 0 (a table shows it as 0)
};
// The notes of a stand's volumes (merch_volume as SylvoMerchVol gives it;
// WITH_MERCH false: no limit, only kNoteVolumeZero can be set).
unsigned volume_notes(double ba, double volume, double merch_volume, bool with_merch = true);
// The notes in words, joined by "; " (empty for none).
std::string note_text(unsigned notes);
// One line per kind of note, for a warning on standard error.
std::vector<std::string> note_kinds(unsigned notes);

struct YieldRow {
    double age;            // yr
    double height;         // m, SylvoHeight
    double trees;          // per ha
    double ba;             // m2/ha
    double qmd;            // cm
    double volume;         // m3/ha, SylvoVolume
    double merch_volume;   // m3/ha, SylvoMerchVol (0 where below 0)
    double removed_trees;  // per ha, on the row after a thinning, else kNone
    double removed_ba;     // m2/ha, idem
    double removed_volume; // m3/ha, idem (negative where the thinning gains volume)
    double mai;            // m3/ha/yr: standing plus all removed volume, over age
    double pai;            // m3/ha/yr since the row before; kNone on the first row and after a thinning
    double sdi;            // Reineke's stand density index per ha
    bool after_thinning;
    unsigned notes;        // Note bits
    bool harvest;          // the final harvest: the whole stand removed (trees, basal area and volumes 0)
};

// Where and why a table stopped before its end age.
struct TableStop {
    double age;
    bool after_thinning;
    std::string reason;
};

// A stop as a long table's status says it on a table's last row: "stopped
// early at age 45: stand density index ...".
std::string stop_status(const TableStop& stop);

// What a regime did on a row: the event that happened there ("thin to SDI
// 550: condition SDI 912.3 > 900") and the events skipped there, with why.
struct RowText {
    std::size_t row;
    std::string event;  // empty where none happened
    std::string note;   // skipped events, joined by "; "
};

struct YieldTable {
    double site = kNone;  // the site index used (m)
    std::vector<YieldRow> rows;
    std::optional<TableStop> stop;
    unsigned notes = 0;   // every note of every row
    std::vector<RowText> texts;  // in row order, only for rows that have any
    bool harvested = false;      // the last row is the final harvest

    // The texts of row ROW, or nullptr.
    const RowText* text(std::size_t row) const;
    // The row's note: its volume notes and skipped events, joined by "; ".
    std::string row_note(std::size_t row) const;
    // The event of row ROW ("" for none).
    std::string_view row_event(std::size_t row) const;
};

// Whether a stand with these values is no longer a stand (trees below 1 per
// hectare or not finite, basal area or dominant height not positive and
// finite, SDI above MAX_SDI or not a number); if so, appends the reason to
// WHY ("trees 0.5 per hectare (below 1 or not a number)").
bool stand_stop_reason(double trees, double ba, double height, double sdi, double max_sdi, std::string& why);

// Checks the request (throws InputError naming the field), resolves the site
// index, and computes the table from the engine's exact functions. A
// thinning to as many trees or as much basal area as the stand has at its
// age, or more, is an InputError ("--thin"/"thinnings").
YieldTable yield_table(const TableRequest& request);

// The row ages: the start age, every interval after it, the end age, and
// each thinning age (which gets a row before and one after the thinning).
std::vector<double> row_ages(const TableRequest& request);

// The columns of a table, as keys of CSV and JSON, in order.
std::span<const char* const> yield_table_keys();

}  // namespace sylvo
