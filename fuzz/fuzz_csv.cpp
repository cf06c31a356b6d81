// The sylvo tool's CSV reader (tools/sylvo/csv.cpp) on any bytes, with the
// writers beside it. Every record is well formed (its fields' ends in
// order, its line after the one before, a fault's column among its
// fields); the records read without a fault, written again with
// append_csv_field, read back to the same fields; a field that reads as a
// number writes back (append_number) to the same bits; every field written
// as a JSON string (append_json_string) parses, to the same text where the
// field is UTF-8.
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "csv.h"
#include "fuzz_values.h"

namespace {

using namespace sylvo_fuzz;
using sylvo_tool::CsvReader;
using sylvo_tool::CsvRecord;

std::FILE* open_bytes(const void* data, std::size_t size, std::string& copy)
{
    if (size == 0) return std::fopen("/dev/null", "rb");
    copy.assign(static_cast<const char*>(data), size);
    return fmemopen(copy.data(), copy.size(), "rb");
}

std::vector<std::vector<std::string>> read_all(const std::string& text, std::vector<bool>* faulty)
{
    std::string copy;
    std::FILE* file = open_bytes(text.data(), text.size(), copy);
    if (!file) fail("cannot open the bytes as a file");
    CsvReader reader(file);
    CsvRecord record;
    std::vector<std::vector<std::string>> records;
    long last_line = 0;
    while (reader.next(record)) {
        if (record.ends.empty()) fail("a record without fields");
        if (record.ends.back() != record.text.size()) fail("the last field does not end at the record's end");
        for (std::size_t i = 1; i < record.ends.size(); ++i)
            if (record.ends[i] < record.ends[i - 1]) fail("fields end out of order");
        if (record.line <= last_line) fail("a record starts on a line before the one before it");
        last_line = record.line;
        if (!record.fault.empty() && (record.fault_column < 1 || record.fault_column > record.size()))
            fail("a fault's column is not one of the record's fields", static_cast<double>(record.fault_column),
                 static_cast<double>(record.size()));
        if (record.blank && (record.size() != 1 || !record.text.empty())) fail("a blank record with text");
        std::vector<std::string> fields;
        for (std::size_t i = 0; i < record.size(); ++i) fields.emplace_back(record.field(i));
        records.push_back(std::move(fields));
        if (faulty) faulty->push_back(!record.fault.empty());
    }
    if (reader.read_error()) fail("a read error on bytes in memory");
    if (reader.bytes_read() != static_cast<long long>(text.size()))
        fail("bytes read differ from the input's size", static_cast<double>(reader.bytes_read()),
             static_cast<double>(text.size()));
    std::fclose(file);
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<bool> faulty;
    const auto records = read_all(text, &faulty);

    // Written again: the records without a fault, with LF or CRLF line ends
    // (the last byte of the input chooses).
    const char* line_end = size > 0 && (data[size - 1] & 1) ? "\r\n" : "\n";
    std::string written;
    std::vector<std::vector<std::string>> kept;
    for (std::size_t r = 0; r < records.size(); ++r) {
        if (faulty[r]) continue;
        // A byte-order mark at the very start of the output would be read
        // as one, not as the field's text.
        if (written.empty() && records[r][0].rfind("\xEF\xBB\xBF", 0) == 0) continue;
        for (std::size_t i = 0; i < records[r].size(); ++i) {
            if (i) written += ',';
            sylvo_tool::append_csv_field(written, records[r][i]);
        }
        written += line_end;
        kept.push_back(records[r]);
    }
    std::vector<bool> refaulty;
    const auto again = read_all(written, &refaulty);
    if (again.size() != kept.size())
        fail("records written and read back differ in number", static_cast<double>(again.size()),
             static_cast<double>(kept.size()));
    for (std::size_t r = 0; r < kept.size(); ++r) {
        if (refaulty[r]) fail("a record written by append_csv_field reads back with a fault");
        if (again[r] != kept[r]) fail("a record written by append_csv_field reads back different");
    }

    // JSON strings.
    for (const auto& fields : records)
        for (const std::string& field : fields) {
            std::string json;
            sylvo_tool::append_json_string(json, field);
            std::string back;
            try {
                back = nlohmann::json::parse(json).get<std::string>();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
                fail("append_json_string wrote a string that does not parse");
            }
            if (sylvo_tool::is_utf8(field) && back != field) fail("a UTF-8 field reads back different from JSON");
        }

    // Numbers: a field the reader takes as a number writes back to its bits.
    for (const auto& fields : records)
        for (const std::string& field : fields) {
            double x = 0.0;
            if (sylvo_tool::parse_field_number(field, x) != sylvo_tool::NumberFault::none) continue;
            if (!std::isfinite(x)) fail("parse_field_number accepted a number that is not finite", x, 0.0);
            std::string out;
            sylvo_tool::append_number(out, x);
            double y = 0.0;
            if (sylvo_tool::parse_field_number(out, y) != sylvo_tool::NumberFault::none || !same(x, y))
                fail("append_number does not read back", y, x);
        }
    return 0;
}
