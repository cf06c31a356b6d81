// sylvo project and sylvo tables (tools/sylvo/inventory_commands.cpp) on any
// CSV file with any of their options: the model, mode and format, 0 to 4
// threads, and every number option given or not, with any value. The last
// bytes of an input are the options, the rest is the file. A run either
// refuses its input (the tool's or the engine's InputError, EngineError) or
// writes one output row per input row (project) or at least one (tables),
// in CSV that reads back with the header's number of fields, or in JSON
// that parses (a field that is not UTF-8 flags its row).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "csv.h"
#include "errors.h"
#include "fuzz_values.h"
#include "inventory_commands.h"
#include "sylvo/inventory.hpp"

namespace {

using namespace sylvo_fuzz;

std::string input_path, output_path;

void remove_files()
{
    std::remove(input_path.c_str());
    std::remove(output_path.c_str());
}

std::string temporary(const char* name)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/sylvo-fuzz-" + name + "-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        std::perror("mkstemp");
        std::exit(1);
    }
    close(fd);
    return path;
}

std::string read_file(const std::string& path)
{
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

// How many records a CSV file holds; with CHECK_FIELDS, each must have no
// fault and as many fields as the first.
long count_records(const std::string& path, std::size_t* fields_of_first, bool check_fields)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) fail("cannot open a file the target wrote");
    sylvo_tool::CsvReader reader(f);
    sylvo_tool::CsvRecord record;
    long n = 0;
    std::size_t fields = 0;
    while (reader.next(record)) {
        if (n == 0) fields = record.size();
        if (check_fields) {
            if (!record.fault.empty()) fail("the output CSV has a fault");
            if (record.size() != fields)
                fail("an output row has not the header's number of fields", static_cast<double>(record.size()),
                     static_cast<double>(fields));
        }
        ++n;
    }
    std::fclose(f);
    if (fields_of_first) *fields_of_first = fields;
    return n;
}

std::optional<double> maybe(FuzzedDataProvider& in)
{
    if (!in.ConsumeBool()) return std::nullopt;
    return value(in);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    input_path = temporary("input");
    output_path = temporary("output");
    std::atexit(remove_files);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool tables = in.ConsumeBool();
    sylvo_tool::InventoryOptions options;
    options.input = input_path;
    options.output = output_path;
    options.format = in.ConsumeBool() ? "json" : "csv";
    static const char* const models[] = {"a", "b", "c", "B", "", "d"};
    if (in.ConsumeBool()) options.model = models[in.ConsumeIntegralInRange<int>(0, 5)];
    static const char* const modes[] = {"exact", "fast", "Fast", ""};
    options.mode = modes[in.ConsumeIntegralInRange<int>(0, 3)];
    options.threads = in.ConsumeIntegralInRange<int>(0, 4);
    options.to_age = maybe(in);
    options.years = maybe(in);
    options.end_age = maybe(in);
    options.interval = maybe(in);
    options.merch_limit = maybe(in);
    options.max_sdi = maybe(in);
    const std::string csv = in.ConsumeRemainingBytesAsString();
    {
        std::FILE* f = std::fopen(input_path.c_str(), "wb");
        if (!f || std::fwrite(csv.data(), 1, csv.size(), f) != csv.size() || std::fclose(f) != 0)
            fail("cannot write the input file");
    }
    std::remove(output_path.c_str());

    // The commands' summary and warnings go to standard error.
    NullBuffer null;
    std::streambuf* cerr = std::cerr.rdbuf(&null);
    int status = -1;
    try {
        status = tables ? sylvo_tool::run_tables(options) : sylvo_tool::run_project(options);
    } catch (const sylvo_tool::InputError&) {
    } catch (const sylvo::InputError&) {
    } catch (const sylvo::EngineError&) {
    } catch (const std::exception& e) {
        std::cerr.rdbuf(cerr);
        std::fprintf(stderr, "%s\n", e.what());
        fail("the command failed with an exception that is not a refusal of its input");
    }
    std::cerr.rdbuf(cerr);
    if (status == -1) return 0;
    if (status != sylvo_tool::kOk) fail("the command did not return 0", status, 0.0);

    const long stands = count_records(input_path, nullptr, false) - 1;
    if (options.format == "csv") {
        const long rows = count_records(output_path, nullptr, true) - 1;
        if (tables ? rows < stands : rows != stands)
            fail("output rows against input rows", static_cast<double>(rows), static_cast<double>(stands));
    } else {
        nlohmann::json out;
        try {
            out = nlohmann::json::parse(read_file(output_path));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            fail("the JSON output does not parse");
        }
        if (!out.is_array()) fail("the JSON output is not an array");
        const long rows = static_cast<long>(out.size());
        if (tables ? rows < stands : rows != stands)
            fail("output objects against input rows", static_cast<double>(rows), static_cast<double>(stands));
    }
    return 0;
}
