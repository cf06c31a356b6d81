// Reading CSV (RFC 4180) record by record, with the line each record starts
// on and the first fault in it: the one reader of inventory files for the
// command line and the Python and R packages.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace sylvo {

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

// The length of the UTF-8 sequence TEXT starts with (1 to 4), or 0 if it
// does not start with one (strictly: no overlong forms, no surrogates,
// nothing above U+10FFFF). TEXT must not be empty.
std::size_t utf8_length(std::string_view text);
// Whether TEXT is UTF-8 text.
bool is_utf8(std::string_view text);

// A whole inventory file as text, for a data frame: the header's names and
// each column's fields. A file that is empty, has a header that is not CSV
// or names a column twice, or has a record with a fault or with another
// number of fields than the header, throws InputError (field FIELD, value
// NAME) naming the line and column; so do bytes that are not UTF-8 text. Empty
// lines are passed over. LINES holds the line each row starts on.
struct CsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> columns;
    std::vector<long> lines;
};
CsvTable read_csv_table(std::FILE* file, const std::string& field, const std::string& name);

}  // namespace sylvo
