// Writing numbers and fields as CSV and JSON; the reader is the engine's
// (sylvo/csv.hpp).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "sylvo/csv.hpp"
#include "sylvo/inventory.hpp"

namespace sylvo_tool {

using sylvo::CsvReader;
using sylvo::CsvRecord;
using sylvo::is_utf8;

// Appends the shortest decimal that reads back as X (nothing for NaN).
void append_number(std::string& out, double x);
// Appends TEXT as a CSV field (quoted where it must be).
void append_csv_field(std::string& out, std::string_view text);
// Appends TEXT as a JSON string. A byte that is not part of UTF-8 text is
// written as the four characters \xHH: for messages that quote a cell; a
// front checks data fields with is_utf8 first.
void append_json_string(std::string& out, std::string_view text);
// Appends X as a JSON number (null for NaN and the infinities).
void append_json_number(std::string& out, double x);

// A finite decimal number filling the whole of TEXT, as the engine reads a
// cell of an inventory (fast_float).
using sylvo::NumberFault;
inline NumberFault parse_field_number(std::string_view text, double& value) { return sylvo::parse_number(text, value); }

}  // namespace sylvo_tool
