// Reading an inventory's rows into stands: the rules and words of every
// front (sylvo project and tables, the Python and R data frames).
#include <charconv>
#include <cmath>
#include <string>

#include <fast_float/fast_float.h>

#include "sylvo/inventory.hpp"
#include "values.h"

namespace sylvo {

namespace {

using engine::shortest;

const char* const kColumnNames[kInventoryColumns] = {"model", "age_yr", "trees_per_ha", "ba_m2_per_ha",
                                                     "site_m", "height_m", "height_age_yr", "shift_yr",
                                                     "end_age_yr", "interval_yr", "merch_limit_cm", "thinnings",
                                                     "regime"};

// The text of a cell of a text column (model, thinnings); "" for empty.
std::string text_of(const Cell& cell)
{
    switch (cell.kind) {
    case Cell::Kind::empty: return {};
    case Cell::Kind::number: return std::isnan(cell.number) ? std::string() : shortest(cell.number);
    case Cell::Kind::text: break;
    }
    return std::string(cell.text);
}

}  // namespace

const char* column_name(InventoryColumn column) { return kColumnNames[static_cast<int>(column)]; }

NumberFault parse_number(std::string_view text, double& value)
{
    if (text.empty()) return NumberFault::empty;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+') {  // from_chars takes no plus sign
        ++first;
        if (first == last || *first == '-' || *first == '+') return NumberFault::not_number;
    }
    auto [end, ec] = fast_float::from_chars(first, last, value);
    if (end != last || first == last) return NumberFault::not_number;
    if (ec != std::errc() || !std::isfinite(value)) return NumberFault::not_finite;
    // A number with a nonzero digit that is too small for a double (1e-400)
    // is out of range, not 0 (fast_float rounds it to 0).
    if (value == 0.0) {
        for (const char* p = first; p != last && *p != 'e' && *p != 'E'; ++p)
            if (*p >= '1' && *p <= '9') return NumberFault::not_finite;
    }
    return NumberFault::none;
}

std::string locate(const std::string& reason, const InventoryRow& row)
{
    const std::size_t colon = reason.find(':');
    const std::string field = reason.substr(0, colon);
    for (int c = 0; c < kInventoryColumns; ++c)
        if (field == kColumnNames[c]) {
            const auto column = static_cast<InventoryColumn>(c);
            if (row.has(column)) return row.where(column) + reason.substr(colon);
            break;
        }
    return row.where() + " (" + field + ")" + (colon == std::string::npos ? "" : reason.substr(colon));
}

bool names_column(std::string_view reason)
{
    const std::string_view field = reason.substr(0, reason.find(':'));
    for (const char* name : kColumnNames)
        if (field == name) return true;
    return false;
}

std::string locate_column(const std::string& reason, const InventoryRow& row)
{
    return names_column(reason) ? locate(reason, row) : reason;
}

std::string read_stand(const InventoryRow& row, const RowDefaults& defaults, InventoryStand& s, TableStand* table)
{
    using C = InventoryColumn;
    s = InventoryStand{};
    s.model = defaults.model;
    std::string why;
    // A number column: VALUE keeps its default where the column is absent
    // or, for an optional one, the cell is empty.
    auto number = [&](C c, double& value, bool required) {
        if (!why.empty() || !row.has(c)) return;
        const Cell cell = row.cell(c);
        double x = 0.0;
        NumberFault fault = NumberFault::empty;
        if (cell.kind == Cell::Kind::number && !std::isnan(cell.number)) {
            x = cell.number;
            fault = std::isfinite(x) ? NumberFault::none : NumberFault::not_finite;
        } else if (cell.kind == Cell::Kind::text) {
            fault = parse_number(cell.text, x);
        }
        if (fault == NumberFault::none) {
            value = x;
            return;
        }
        // The cell as its status shows it.
        const std::string text = cell.kind == Cell::Kind::text ? std::string(cell.text) : x > 0 ? "inf" : "-inf";
        switch (fault) {
        case NumberFault::none: return;
        case NumberFault::empty:
            if (required) why = row.where(c) + ": empty; a number is needed";
            return;
        case NumberFault::not_number: why = row.where(c) + ": '" + text + "' is not a number"; return;
        case NumberFault::not_finite: why = row.where(c) + ": '" + text + "' is not a finite number"; return;
        }
    };
    if (row.has(C::model)) {
        const std::string text = text_of(row.cell(C::model));
        if (text == "a" || text == "A") s.model = Model::a;
        else if (text == "b" || text == "B") s.model = Model::b;
        else if (text == "c" || text == "C") s.model = Model::c;
        else if (!text.empty()) return row.where(C::model) + ": '" + text + "' is not a model; accepted: a, b or c";
    }
    number(C::age, s.age, true);
    number(C::trees, s.trees, true);
    number(C::ba, s.ba, true);
    number(C::site, s.site, false);
    number(C::height, s.height, false);
    number(C::height_age, s.height_age, false);
    number(C::shift, s.shift, false);
    if (std::isnan(s.shift)) s.shift = 0.0;
    if (table) {
        table->end_age = defaults.end_age;
        table->interval = defaults.interval;
        table->merch_limit = defaults.merch_limit;
        number(C::end_age, table->end_age, false);
        number(C::interval, table->interval, false);
        number(C::merch_limit, table->merch_limit, false);
        if (why.empty() && std::isnan(table->end_age))
            why = (row.has(C::end_age) ? row.where(C::end_age) : row.where() + " (end_age_yr)") +
                  ": empty, and no " + defaults.end_age_option + " is given";
        table->thinnings.clear();
        if (why.empty() && row.has(C::thinnings)) {
            try {
                table->thinnings = parse_thinnings(text_of(row.cell(C::thinnings)), "thinnings");
            } catch (const InputError& e) {
                why = locate(e.what(), row);
            }
        }
        table->regime = nullptr;
        if (why.empty() && defaults.regimes) {
            const RegimeFile& file = *defaults.regimes;
            const std::string name = row.has(C::regime) ? text_of(row.cell(C::regime)) : std::string();
            std::string list;
            for (const Regime& r : file.regimes) list += (list.empty() ? "'" : ", '") + r.name + "'";
            if (name.empty() && file.regimes.size() == 1 && !row.has(C::regime)) {
                table->regime = &file.regimes.front();
            } else {
                for (const Regime& r : file.regimes)
                    if (r.name == name) table->regime = &r;
                if (!table->regime)
                    why = (row.has(C::regime) ? row.where(C::regime) : row.where() + " (regime)") + ": " +
                          (name.empty() ? std::string("empty") : "'" + name + "' names no regime of " + file.file) +
                          "; accepted: one of " + list;
            }
            if (why.empty() && !table->thinnings.empty())
                why = row.where(C::thinnings) + ": thinnings are given together with the regime '" +
                      table->regime->name + "'; accepted: thinnings or a regime, not both";
        }
    }
    if (!why.empty()) return why;
    if (std::string reason = check_stand(s); !reason.empty()) return locate(reason, row);
    return {};
}

}  // namespace sylvo
