// Inventories: many stands, each brought to a common age or forward by a
// number of years (project), or turned into a yield table (tables). No stand
// is ever dropped: each gets a status, "ok" or the reason it has no result.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sylvo/engine.hpp"
#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"

namespace sylvo {

// One stand of an inventory, as read from a file or a data frame. The site
// index is SITE, or when SITE is kNone the one SylvoSite finds for HEIGHT
// at HEIGHT_AGE.
struct InventoryStand {
    Model model = Model::a;
    double age = kNone;         // years
    double trees = kNone;       // per hectare
    double ba = kNone;          // m2/ha
    double site = kNone;        // m
    double height = kNone;      // m
    double height_age = kNone;  // years
    double shift = 0.0;         // years
};

// Where to take every stand: to one age, or forward by a number of years
// (exactly one of the two is a number).
struct ProjectRequest {
    double to_age = kNone;
    double years = kNone;
    double merch_limit = kNone;  // cm; kNone: no merchantable volume
    double max_sdi = kDefaultMaxSdi;
    Options options;
};

// The result for one stand. When status is not "ok" every number is kNone
// (start_age and end_age too, unless the reason lies in the projection).
struct ProjectedStand {
    double start_age, end_age;  // years
    double site;                // m
    double height;              // m, SylvoHeight at end_age
    double trees;               // per ha
    double ba;                  // m2/ha
    double qmd;                 // cm
    double volume;              // m3/ha
    double merch_volume;        // m3/ha as SylvoMerchVol gives it, kNone without a limit
    double sdi;                 // per ha
    unsigned notes;             // volume anomalies (Note bits); they do not flag a stand
    std::string status;         // "ok", or why there is no result
};

// Checks one stand's values and returns "" when they are usable, else the
// reason naming the column ("trees_per_ha: -5 is not above 0").
std::string check_stand(const InventoryStand& stand);

// Projects every stand with the engine's batch functions (grouped by model,
// threads and mode as the request's options say). OUT must have the size of
// STANDS. A request that is itself invalid (neither or both of to_age and
// years, a bad merch_limit or max_sdi) throws InputError.
void project_inventory(std::span<const InventoryStand> stands, const ProjectRequest& request,
                       std::span<ProjectedStand> out);

// One stand of a tables run: the stand, its table's layout and thinnings.
struct TableStand {
    InventoryStand stand;
    double end_age = kNone;
    double interval = 5.0;
    double merch_limit = kNone;
    std::vector<Thinning> thinnings;
    const Regime* regime = nullptr;  // the stand's regime (then no thinnings), kept by the caller
};

// The table of one stand of a tables run: its rows up to its end age or its
// stop, or, where the stand cannot be tabled, no rows and the reason.
struct StandTable {
    YieldTable table;
    std::string status;  // "ok", or why there is no table
};

// Every stand's table, in order, over the given threads.
std::vector<StandTable> inventory_tables(std::span<const TableStand> stands, double max_sdi,
                                         const Options& options = {});

// Reading rows: every front (a CSV file, a pandas or an R data frame) reads
// an inventory's rows into stands with the same rules and words.

// The columns of an inventory the engine reads; column_name gives each its
// name in a file or a data frame ("age_yr").
enum class InventoryColumn {
    model, age, trees, ba, site, height, height_age, shift, end_age, interval, merch_limit, thinnings, regime
};
inline constexpr int kInventoryColumns = 13;
const char* column_name(InventoryColumn column);

// One cell of a row as a front holds it: empty (a missing value), a number
// (NaN is a missing value too) or text, read as a CSV field is.
struct Cell {
    enum class Kind { empty, number, text };
    Kind kind = Kind::empty;
    double number = 0.0;
    std::string_view text;
};

// Why text is not a usable number: empty, not a decimal number ("1.2k"),
// or not finite ("inf", "nan", "1e400", and 1e-400, too small for a double).
enum class NumberFault { none, empty, not_number, not_finite };
NumberFault parse_number(std::string_view text, double& value);

// A row of an inventory: the columns it has, its cells, and how a status
// names the row ("line 18", "row 18") and one of its columns ("line 18,
// column 5 (trees_per_ha)").
class InventoryRow {
public:
    virtual bool has(InventoryColumn column) const = 0;
    virtual Cell cell(InventoryColumn column) const = 0;
    virtual std::string where() const = 0;
    virtual std::string where(InventoryColumn column) const = 0;

protected:
    ~InventoryRow() = default;
};

// What a row takes where a column is absent or a cell empty, and how a status
// names the option that gives every stand an end age ("--end-age").
struct RowDefaults {
    Model model = Model::a;
    double end_age = kNone, interval = 5.0, merch_limit = kNone;
    std::string end_age_option = "--end-age";
    // The regimes a tables run may name in a `regime` column; with a file of
    // one regime and no such column, every stand takes that one.
    const RegimeFile* regimes = nullptr;
};

// Reads ROW into STAND (and, with TABLE, its table's end age, interval,
// merchantable limit and thinnings): "" when the stand is usable, else its
// status, naming the row and the column at fault.
std::string read_stand(const InventoryRow& row, const RowDefaults& defaults, InventoryStand& stand,
                       TableStand* table = nullptr);

// A reason "FIELD: TEXT" the engine gives for a stand (check_stand, a
// thinning, a table), with the row and the column put in front.
std::string locate(const std::string& reason, const InventoryRow& row);
// As locate, for a reason that may not name a column ("no site index: ..."
// is left as it is).
std::string locate_column(const std::string& reason, const InventoryRow& row);
// Whether REASON names a column, which locate_column puts the row and column
// of in front.
bool names_column(std::string_view reason);

// The numbers of a projected stand as every front names them, in the order
// of ProjectedStand ("start_age_yr" ... "sdi_per_ha").
std::span<const char* const> projection_keys();
// Reads input rows 0 to COUNT - 1 with READ(i, stand), which gives "" or the
// row's status (as read_stand), projects the stands read, and gives one
// result per input row, in order: a row that was not read has its status
// and no numbers. PLACE(i, reason) puts row i's line or column in front of
// a reason the engine gives for its stand (as locate_column).
std::vector<ProjectedStand> project_rows(std::size_t count,
                                         const std::function<std::string(std::size_t, InventoryStand&)>& read,
                                         const std::function<std::string(std::size_t, const std::string&)>& place,
                                         const ProjectRequest& request);

// The yield tables of an inventory's rows as one long table, as every front
// shows them.
struct LongTableRow {
    std::size_t input;                // the input row it belongs to
    const TableStand* stand;          // its stand; nullptr if the row could not be read
    const YieldRow* row;              // a row of the stand's table; nullptr for a stand without one
    bool first;                       // the first row of its table
    std::string status;               // "ok", why the table stops (its last row), or why there is none
    const YieldTable* table = nullptr;  // the table ROW belongs to (its event and note: row_event, row_note)
    std::size_t index = 0;            // ROW's index in it
};
struct LongTables {
    // The rows point into stands and tables: moved, never copied.
    LongTables() = default;
    LongTables(LongTables&&) = default;
    LongTables& operator=(LongTables&&) = default;
    LongTables(const LongTables&) = delete;
    LongTables& operator=(const LongTables&) = delete;

    std::vector<TableStand> stands;   // the stands read, in order
    std::vector<StandTable> tables;   // their tables
    std::vector<LongTableRow> rows;   // every input row's table rows, or one row without numbers
    long long flagged = 0;            // input rows without a table
    long long stopped = 0;            // tables that stop before their end age
    unsigned notes = 0;               // the notes of every row (note_kinds)
};
// Reads input rows 0 to COUNT - 1 with READ(i, stand), which gives "" or the
// row's status (as read_stand), tables the stands read, and lays the rows
// out. PLACE(i, reason) puts row i's line and column in front of a reason
// the engine gives for a stand (as locate).
LongTables long_tables(std::size_t count, const std::function<std::string(std::size_t, TableStand&)>& read,
                       const std::function<std::string(std::size_t, const std::string&)>& place, double max_sdi,
                       const Options& options = {});

}  // namespace sylvo
