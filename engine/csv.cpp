#include "sylvo/csv.hpp"

#include <string>
#include <unordered_map>

#include "sylvo/yield_table.hpp"

namespace sylvo {

int CsvReader::get()
{
    if (pos_ == end_) {
        end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        pos_ = 0;
        bytes_ += static_cast<long long>(end_);
        if (end_ == 0) return EOF;
    }
    return static_cast<unsigned char>(buffer_[pos_++]);
}

int CsvReader::peek()
{
    const int c = get();
    if (c != EOF) --pos_;
    return c;
}

namespace {

// A character that ends an unquoted run of a field's characters.
bool special(char c) { return c == ',' || c == '"' || c == '\n' || c == '\r'; }

}  // namespace

bool CsvReader::next(CsvRecord& record)
{
    if (!started_) {
        started_ = true;
        // A UTF-8 byte-order mark is not part of the first field; any other
        // start is read as it is.
        if (peek() == 0xEF && end_ - pos_ >= 3 && static_cast<unsigned char>(buffer_[pos_ + 1]) == 0xBB &&
            static_cast<unsigned char>(buffer_[pos_ + 2]) == 0xBF)
            pos_ += 3;
    }
    record.text.clear();
    record.ends.clear();
    record.line = line_;
    record.fault.clear();
    record.fault_column = 0;
    record.blank = false;

    auto fault = [&](const char* what) {
        if (record.fault.empty()) {
            record.fault = what;
            record.fault_column = record.ends.size() + 1;
        }
    };
    int c = get();
    if (c == EOF) return false;
    enum { start, unquoted, quoted, after_quote } state = start;
    bool field_chars = false;
    for (;; c = get()) {
        if (state == quoted) {
            if (c == EOF) {
                fault("a quoted field is not closed before the end of the file");
                break;
            }
            if (c == '"') {
                state = after_quote;
                continue;
            }
            if (c == '\n') ++line_;
            record.text.push_back(static_cast<char>(c));
            continue;
        }
        if (state == after_quote && c == '"') {  // "" inside quotes
            record.text.push_back('"');
            state = quoted;
            continue;
        }
        if (c == EOF) break;
        if (c == ',') {
            record.ends.push_back(record.text.size());
            state = start;
            field_chars = true;
            continue;
        }
        if (c == '\n' || c == '\r') {
            if (c == '\r' && peek() == '\n') get();
            ++line_;
            break;
        }
        if (state == start && c == '"') {
            state = quoted;
            field_chars = true;
            continue;
        }
        if (state == after_quote) fault("text after the closing quote of a field");
        else if (c == '"') fault("a quote inside a field that does not start with one");
        record.text.push_back(static_cast<char>(c));
        if (state != after_quote) {
            // The rest of an unquoted field in the buffer, in one piece: up
            // to the next comma, quote or line end, which the loop takes.
            std::size_t run = pos_;
            while (run < end_ && !special(buffer_[run])) ++run;
            record.text.append(buffer_.data() + pos_, run - pos_);
            pos_ = run;
        }
        state = unquoted;
        field_chars = true;
    }
    record.ends.push_back(record.text.size());
    record.blank = !field_chars && record.text.empty();
    return true;
}

std::size_t utf8_length(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(0);
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < n || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((byte(k) >> 6) != 2) return 0;
    return n;
}

bool is_utf8(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t n = utf8_length(text);
        if (n == 0) return false;
        text.remove_prefix(n);
    }
    return true;
}

CsvTable read_csv_table(std::FILE* file, const std::string& field, const std::string& name)
{
    const std::string accepted =
        "a CSV file whose records all have the header's number of fields, in UTF-8 (sylvo project reads any "
        "other file too, and flags its faulty rows)";
    auto refuse = [&](const std::string& problem) { throw InputError(field, name, problem, accepted); };
    auto at = [](const CsvRecord& r, std::size_t column) {
        return "line " + std::to_string(r.line) + ", column " + std::to_string(column);
    };
    CsvReader reader(file);
    CsvRecord record;
    CsvTable table;
    if (!reader.next(record)) refuse(reader.read_error() ? "cannot be read" : "is empty");
    if (!record.fault.empty()) refuse("has a header that is not CSV: " + at(record, record.fault_column) + ": " + record.fault);
    if (record.blank) refuse("has no header (its first line is empty)");
    std::unordered_map<std::string_view, std::size_t> column_of;
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (!is_utf8(record.field(i))) refuse("has a header that is not UTF-8 text: " + at(record, i + 1));
        if (const auto [seen, first] = column_of.emplace(record.field(i), i); !first)
            refuse("names the column '" + std::string(record.field(i)) + "' twice (columns " +
                   std::to_string(seen->second + 1) + " and " + std::to_string(i + 1) + ")");
    }
    for (std::size_t i = 0; i < record.size(); ++i) table.header.emplace_back(record.field(i));
    table.columns.resize(record.size());
    while (reader.next(record)) {
        if (record.blank) continue;
        if (!record.fault.empty()) refuse("has a record that is not CSV: " + at(record, record.fault_column) + ": " + record.fault);
        if (record.size() != table.header.size())
            refuse("has a record that does not fit its header: line " + std::to_string(record.line) + ": " +
                   std::to_string(record.size()) + (record.size() == 1 ? " field" : " fields") +
                   ", but the header has " + std::to_string(table.header.size()));
        for (std::size_t i = 0; i < record.size(); ++i) {
            if (!is_utf8(record.field(i))) refuse("has text that is not UTF-8: " + at(record, i + 1));
            table.columns[i].emplace_back(record.field(i));
        }
        table.lines.push_back(record.line);
    }
    if (reader.read_error()) refuse("cannot be read to its end");
    return table;
}

}  // namespace sylvo
