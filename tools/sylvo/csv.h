// Reading CSV (RFC 4180) record by record, with the line each record starts
// on and the first fault in it; writing numbers and fields.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "sylvo/inventory.hpp"

namespace sylvo_tool {

// One record: its fields, the line it starts on (1-based), and the first
// fault found in it (empty for none) with the column (1-based) it lies in.
struct CsvRecord {
    std::string text;                 // the fields' characters, unquoted, one after another
    std::vector<std::size_t> ends;    // where each field ends in text
    long line = 0;
    std::string fault;
    std::size_t fault_column = 0;
    bool blank = false;               // an empty line

    std::size_t size() const { return ends.size(); }
    std::string_view field(std::size_t i) const
    {
        const std::size_t begin = i ? ends[i - 1] : 0;
        return std::string_view(text).substr(begin, ends[i] - begin);
    }
};

// Reads quoted fields (commas, quotes and line breaks inside quotes), CRLF
// or LF line ends, a UTF-8 byte-order mark at the start, and a last record
// without a line end. A record that breaks the format is still returned,
// with its fault.
class CsvReader {
public:
    explicit CsvReader(std::FILE* file) : file_(file), buffer_(1 << 16) {}

    // The next record; false at the end of the input.
    bool next(CsvRecord& record);
    // Bytes read so far (for progress).
    long long bytes_read() const { return bytes_; }
    bool read_error() const { return std::ferror(file_) != 0; }

private:
    int get();
    int peek();

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    long long bytes_ = 0;
    long line_ = 1;
    bool started_ = false;
};

// Appends the shortest decimal that reads back as X (nothing for NaN).
void append_number(std::string& out, double x);
// Appends TEXT as a CSV field (quoted where it must be).
void append_csv_field(std::string& out, std::string_view text);
// Whether TEXT is UTF-8, the only text JSON can carry.
bool is_utf8(std::string_view text);
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
