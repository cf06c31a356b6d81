// The three output formats: an aligned table for people, CSV and JSON.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "library.h"
#include "sylvo/economics.hpp"
#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"

namespace sylvo_tool {

enum class Format { Table, Csv, Json };

// One output column or field: its CSV/JSON key, its label and unit in the
// aligned table, and the decimals shown there.
struct Column {
    std::string key;
    std::string label;
    std::string unit;
    int decimals;
};

// A value, or none where the model gives none (empty in CSV, null in JSON,
// "none" or blank in the aligned table).
using Cell = std::optional<double>;

// The columns of the yield table, in order.
const std::vector<Column>& yield_table_columns();

// The table of a stand: for people (aligned, rows with volume anomalies
// marked and the marks explained under it, the regime's events listed under
// it), CSV or JSON. REGIME: the regime the table was made under, if any
// (JSON carries it as read).
// What a table's removals are worth, for --economics.
struct Valuation {
    const sylvo::Economics* economics = nullptr;
    std::vector<sylvo::LedgerRecord> ledger;
    sylvo::TableValues values;
};

void write_yield_table(std::ostream& out, Format format, const Library& library, const sylvo::TableRequest& request,
                       const sylvo::YieldTable& table, const sylvo::Regime* regime = nullptr,
                       const Valuation* valuation = nullptr);

// A field for CSV: quoted (RFC 4180) where it holds a comma, a quote or a
// line break.
std::string csv_field(const std::string& text);

// A one-off query's answer: its inputs and results as named fields.
struct Field {
    Column column;
    Cell value;
};

void write_record(std::ostream& out, Format format, const Library& library, const std::vector<Field>& fields);

}  // namespace sylvo_tool
