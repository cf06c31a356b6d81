#include "inventory_commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <future>
#include <string_view>
#include <unordered_map>

#include "csv.h"
#include "errors.h"
#include "numbers.h"
#include "sylvo/inventory.hpp"

namespace sylvo_tool {

namespace {

using Clock = std::chrono::steady_clock;

// Rows read, computed and written at a time: memory stays bounded whatever
// the size of the file.
constexpr std::size_t kBlockRows = 16384;
constexpr std::size_t kBlockTables = 4096;
constexpr double kBlockTableRows = 1 << 17;  // rows of a block's tables, about 60 MB

// The columns the commands read by name.
enum Column : int {
    kId, kModel, kAge, kTrees, kBa, kSite, kHeight, kHeightAge, kShift,
    kEndAge, kInterval, kMerchLimit, kThinnings, kRegime, kColumns
};
constexpr std::array<const char*, kColumns> kColumnNames = {
    "id", "model", "age_yr", "trees_per_ha", "ba_m2_per_ha", "site_m", "height_m", "height_age_yr", "shift_yr",
    "end_age_yr", "interval_yr", "merch_limit_cm", "thinnings", "regime"};

struct Layout {
    std::vector<std::string> header;
    std::array<long, kColumns> index;  // -1: not in the file
    std::vector<std::size_t> carried;  // the other columns, in file order

    bool has(Column c) const { return index[c] >= 0; }
};

struct File {
    std::FILE* file = nullptr;
    bool own = false;
    long long size = -1;  // bytes, for progress (-1: unknown)
    ~File()
    {
        if (own && file) std::fclose(file);
    }
};

std::unique_ptr<File> open_input(const std::string& path)
{
    auto in = std::make_unique<File>();
    if (path == "-") {
        in->file = stdin;
    } else {
        in->file = std::fopen(path.c_str(), "rb");
        if (!in->file)
            throw InputError("--input", path, std::string("cannot be opened (") + std::strerror(errno) + ")",
                             "a readable CSV file, or - for standard input");
        in->own = true;
    }
    struct stat st {};
    if (fstat(fileno(in->file), &st) == 0 && S_ISREG(st.st_mode)) in->size = st.st_size;
    return in;
}

// Opens the output; refuses the input file itself (by name, link or
// redirection), which would be emptied, or appended to, while it is read.
std::unique_ptr<File> open_output(const std::string& path, const File& in)
{
    struct stat input {}, output {};
    if (fstat(fileno(in.file), &input) == 0 && S_ISREG(input.st_mode) &&
        (path == "-" ? fstat(STDOUT_FILENO, &output) : stat(path.c_str(), &output)) == 0 &&
        input.st_dev == output.st_dev && input.st_ino == output.st_ino)
        throw InputError("--output", path,
                         std::string(path == "-" ? "(standard output) " : "") +
                             "is the input file, which writing would destroy before it is read",
                         "another file than the input, or - for standard output");
    auto out = std::make_unique<File>();
    if (path == "-") {
        out->file = stdout;
    } else {
        out->file = std::fopen(path.c_str(), "wb");
        if (!out->file)
            throw InputError("--output", path, std::string("cannot be written (") + std::strerror(errno) + ")",
                             "a path of a file that can be written, or - for standard output");
        out->own = true;
    }
    return out;
}

Layout read_header(CsvReader& reader, const std::string& path, bool tables, const std::vector<const char*>& keys,
                   bool json)
{
    const std::string accepted =
        std::string("a CSV file whose first line names the columns id, age_yr, trees_per_ha, ba_m2_per_ha and "
                    "site_m or height_m with height_age_yr (optional: shift_yr, model") +
        (tables ? ", end_age_yr, interval_yr, merch_limit_cm, thinnings" : "") + ")";
    CsvRecord record;
    if (!reader.next(record)) {
        if (reader.read_error()) throw InputError("--input", path, "cannot be read", accepted);
        throw InputError("--input", path, "is empty", accepted);
    }
    if (!record.fault.empty())
        throw InputError("--input", path,
                         "has a header that is not CSV: line " + std::to_string(record.line) + ", column " +
                             std::to_string(record.fault_column) + ": " + record.fault,
                         accepted);
    if (record.blank) throw InputError("--input", path, "has no header (its first line is empty)", accepted);
    Layout layout;
    layout.index.fill(-1);
    std::unordered_map<std::string_view, std::size_t> column_of;  // a name's first column
    for (std::size_t i = 0; i < record.size(); ++i) {
        const std::string name(record.field(i));
        if (const auto [seen, first] = column_of.emplace(record.field(i), i); !first)
            throw InputError("--input", path,
                             "names the column '" + name + "' twice (columns " + std::to_string(seen->second + 1) +
                                 " and " + std::to_string(i + 1) + ")",
                             accepted);
        layout.header.push_back(name);
        long known = -1;
        for (int c = 0; c < kColumns; ++c)
            if (name == kColumnNames[c]) known = c;
        // The columns of a table's layout are read by tables; project
        // neither reads nor carries them, so one file serves both.
        if (known >= 0 && (tables || known < kEndAge))
            layout.index[known] = static_cast<long>(i);
        else if (known < 0)
            layout.carried.push_back(i);
    }
    for (std::size_t c : layout.carried)
        for (const char* key : keys)
            if (layout.header[c] == key)
                throw InputError("--input", path,
                                 "has a column '" + layout.header[c] + "' (column " + std::to_string(c + 1) +
                                     "), a name the output gives a column of its own",
                                 "other names for the columns carried to the output");
    if (json)
        for (std::size_t c : layout.carried)
            if (!is_utf8(layout.header[c]))
                throw InputError("--input", path,
                                 "has a header that JSON cannot carry: line " + std::to_string(record.line) +
                                     ", column " + std::to_string(c + 1) + ": a name in bytes that are not UTF-8 text",
                                 "UTF-8 column names, or --format csv, which writes a name's bytes unchanged");
    // A header of one field holding another separator: the likely cause.
    std::string separator;
    if (record.size() == 1)
        for (const auto& [c, name] : {std::pair{';', "semicolons"}, {'\t', "tabs"}, {'|', "bars"}})
            if (record.field(0).find(c) != std::string_view::npos) {
                separator = std::string(" (its header is one field with ") + name +
                            " in it: fields are separated by commas)";
                break;
            }
    for (Column c : {kId, kAge, kTrees, kBa})
        if (!layout.has(c))
            throw InputError("--input", path, std::string("lacks the column ") + kColumnNames[c] + separator,
                             accepted);
    if (!layout.has(kSite) && !(layout.has(kHeight) && layout.has(kHeightAge)))
        throw InputError("--input", path,
                         layout.has(kHeight) || layout.has(kHeightAge)
                             ? std::string("lacks the column ") + (layout.has(kHeight) ? "height_age_yr" : "height_m") +
                                   " (and site_m)"
                             : std::string("lacks the column site_m (or height_m and height_age_yr)"),
                         accepted);
    return layout;
}

constexpr const char* kNotUtf8 =
    "bytes that are not UTF-8 text, which JSON cannot carry (--format csv writes them unchanged)";

std::string line_text(const CsvRecord& record) { return "line " + std::to_string(record.line); }

std::string at_column(const CsvRecord& record, const Layout& layout, Column c)
{
    return line_text(record) + ", column " + std::to_string(layout.index[c] + 1) + " (" + kColumnNames[c] + ")";
}

// A record of the file as the engine reads a row of an inventory.
class RecordRow final : public sylvo::InventoryRow {
public:
    RecordRow(const CsvRecord& record, const Layout& layout) : record_(record), layout_(layout) {}
    bool has(sylvo::InventoryColumn c) const override { return layout_.has(column_of(c)); }
    sylvo::Cell cell(sylvo::InventoryColumn c) const override
    {
        sylvo::Cell cell;
        cell.text = record_.field(static_cast<std::size_t>(layout_.index[column_of(c)]));
        if (!cell.text.empty()) cell.kind = sylvo::Cell::Kind::text;
        return cell;
    }
    std::string where() const override { return line_text(record_); }
    std::string where(sylvo::InventoryColumn c) const override { return at_column(record_, layout_, column_of(c)); }

private:
    // The engine's columns in the order of ours, after the id.
    static Column column_of(sylvo::InventoryColumn c) { return static_cast<Column>(static_cast<int>(c) + 1); }
    const CsvRecord& record_;
    const Layout& layout_;
};

std::string locate(const std::string& reason, const CsvRecord& record, const Layout& layout)
{
    return sylvo::locate(reason, RecordRow(record, layout));
}

std::string locate_column(const std::string& reason, const CsvRecord& record, const Layout& layout)
{
    return sylvo::locate_column(reason, RecordRow(record, layout));
}

using Defaults = sylvo::RowDefaults;

// Reads one record into a stand (and its table's layout); "" when it is
// usable, else the status naming the line and column at fault. For JSON,
// the id and the carried fields must be UTF-8 text: a row with any other
// bytes there is flagged (and those fields written as null).
std::string read_stand(const CsvRecord& record, const Layout& layout, const Defaults& defaults,
                       sylvo::InventoryStand& s, sylvo::TableStand* table, bool json)
{
    if (!record.fault.empty())
        return line_text(record) + ", column " + std::to_string(record.fault_column) + ": " + record.fault;
    if (record.blank) return line_text(record) + ": an empty line, not a stand";
    if (record.size() != layout.header.size())
        return line_text(record) + ": " + std::to_string(record.size()) + (record.size() == 1 ? " field" : " fields") +
               ", but the header has " + std::to_string(layout.header.size());
    if (json) {
        if (!is_utf8(record.field(static_cast<std::size_t>(layout.index[kId]))))
            return at_column(record, layout, kId) + ": " + kNotUtf8;
        for (std::size_t c : layout.carried)
            if (!is_utf8(record.field(c)))
                return line_text(record) + ", column " + std::to_string(c + 1) + " (" + layout.header[c] +
                       "): " + kNotUtf8;
    }
    return sylvo::read_stand(RecordRow(record, layout), defaults, s, table);
}

void append_text(std::string& out, bool json, std::string_view text)
{
    if (json)
        append_json_string(out, text);
    else
        append_csv_field(out, text);
}

// Writes the fields a row of either command starts with: id and the
// carried columns (in JSON, null for a field that is not UTF-8 text; its
// row is flagged).
void append_start(std::string& out, bool json, const CsvRecord& record, const Layout& layout)
{
    auto field = [&](std::size_t i) { return i < record.size() ? record.field(i) : std::string_view(); };
    const std::string_view id = layout.index[kId] >= 0 ? field(static_cast<std::size_t>(layout.index[kId])) : "";
    if (json) {
        auto text = [&](std::string_view t) {
            if (is_utf8(t))
                append_json_string(out, t);
            else
                out += "null";
        };
        out += "{\"id\":";
        text(id);
        for (std::size_t c : layout.carried) {
            out += ',';
            append_json_string(out, layout.header[c]);
            out += ':';
            text(field(c));
        }
    } else {
        append_csv_field(out, id);
        for (std::size_t c : layout.carried) {
            out += ',';
            append_csv_field(out, field(c));
        }
    }
}

void append_header(std::string& out, const Layout& layout, const std::vector<const char*>& keys)
{
    out += "id";
    for (std::size_t c : layout.carried) {
        out += ',';
        append_csv_field(out, layout.header[c]);
    }
    for (const char* key : keys) {
        out += ',';
        out += key;
    }
    out += '\n';
}

// A row's numbers and texts under their keys (JSON) or in order (CSV).
struct RowWriter {
    std::string& out;
    bool json;
    std::size_t k = 0;
    const std::vector<const char*>& keys;

    void key()
    {
        out += ',';
        if (json) {
            out += '"';
            out += keys[k];
            out += "\":";
        }
        ++k;
    }
    void number(double x)
    {
        key();
        if (json)
            append_json_number(out, x);
        else if (std::isfinite(x) || std::isinf(x))
            append_number(out, x);
    }
    void text(std::string_view t, bool null_if_empty = false)
    {
        key();
        if (json && null_if_empty && t.empty())
            out += "null";
        else
            append_text(out, json, t);
    }
};

// The most rows a stand's table may have: one every interval from its age
// to its end age, the end age, and two for each thinning. A table the engine
// refuses (too many rows, a bad interval) has one.
double most_rows(const sylvo::TableStand& t)
{
    const double every = (t.end_age - t.stand.age) / t.interval;
    if (!(every >= 0.0 && every <= static_cast<double>(sylvo::kMaxRows))) return 1.0;
    return every + 2.0 + 2.0 * static_cast<double>(t.thinnings.size());
}

// The note column's text for a row's notes: made once for each combination
// of the five kinds, not once per row.
std::string_view note_column(unsigned notes)
{
    static const std::array<std::string, 32> texts = [] {
        std::array<std::string, 32> t;
        for (unsigned bits = 0; bits < t.size(); ++bits) t[bits] = sylvo::note_text(bits);
        return t;
    }();
    if (notes < texts.size()) return texts[notes];
    thread_local std::string other;
    other = sylvo::note_text(notes);
    return other;
}

// A row's start and end: in JSON every object is preceded by ",\n" (the
// writer turns the first into "[\n").
void begin_row(std::string& buf, bool json)
{
    if (json) buf += ",\n";
}
void end_row(std::string& buf, bool json) { buf += json ? '}' : '\n'; }

// Where the output goes, in chunks of rows; JSON is one array.
class Writer {
public:
    Writer(std::FILE* file, bool json) : file_(file), json_(json) {}
    void put(std::string_view text)
    {
        if (text.empty()) return;
        if (json_ && first_) {
            write("[\n");
            text.remove_prefix(2);
        }
        first_ = false;
        write(text);
    }
    void header(std::string_view text) { write(text); }
    void finish()
    {
        if (json_) write(first_ ? "[]\n" : "\n]\n");
        if (std::fflush(file_) != 0)
            throw IoError(std::string("cannot write the output (") + std::strerror(errno) + ")");
    }

private:
    void write(std::string_view text)
    {
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
            throw IoError(std::string("cannot write the output (") + std::strerror(errno) + ")");
    }
    std::FILE* file_;
    bool json_;
    bool first_ = true;
};

// A progress line on standard error, only when it is a terminal and the
// job has run for more than a second; cleared at the end.
class Progress {
public:
    explicit Progress(long long total_bytes) : total_(total_bytes), tty_(isatty(STDERR_FILENO) != 0) {}
    ~Progress() { clear(); }
    void update(long long stands, long long bytes)
    {
        if (!tty_) return;
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        if (elapsed < 1.0 || now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        const double rate = static_cast<double>(stands) / elapsed;
        std::string line = "sylvo: " + std::to_string(stands) + " stands, " + fixed(rate, 0) + " stands/s";
        if (total_ > 0 && bytes > 0) {
            const double left = elapsed * static_cast<double>(total_ - bytes) / static_cast<double>(bytes);
            line += ", about " + fixed(std::max(left, 0.0), 0) + " s left";
        }
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void clear()
    {
        if (shown_) std::fprintf(stderr, "\r\033[K");
        shown_ = false;
    }
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

private:
    long long total_;
    bool tty_;
    bool shown_ = false;
    Clock::time_point start_ = Clock::now(), last_ = Clock::now();
};

// Works through the input in blocks: FILL(block) reads the next block's
// records on this thread (returning how many; 0 at the end); WORK(block,
// threads) then runs on a thread of its own, for up to WORKERS blocks at
// once (at most 16: a bound on memory whatever --threads asks for), and
// WRITE(block) in input order, each block's after the one before. Whole
// blocks on each thread leave no thread waiting for another inside one.
// WORK is to use THREADS engine threads: one, except for an input of a
// single block (FULL(block) false for the first), which has them all.
// Returns the number of records; an exception in WORK or WRITE is rethrown
// once every block in flight has ended.
template <class Block, class Fill, class Full, class Work, class Write>
long long run_blocks(const CsvReader& reader, int workers_wanted, Progress& progress, Fill fill, Full full, Work work,
                     Write write)
{
    const std::size_t workers = std::clamp<std::size_t>(static_cast<std::size_t>(workers_wanted), 1, 16);
    // One block being read, the others being worked on; each made when
    // first used.
    std::vector<std::unique_ptr<Block>> blocks(workers + 1);
    // written[slot]: the block last in that slot is written; last: the
    // latest block is written.
    std::vector<std::shared_future<void>> written(blocks.size());
    std::shared_future<void> last;
    long long count = 0;
    try {
        for (std::size_t k = 0;; ++k) {
            const std::size_t slot = k % blocks.size();
            if (written[slot].valid()) written[slot].get();
            if (!blocks[slot]) blocks[slot] = std::make_unique<Block>();
            Block& B = *blocks[slot];
            const std::size_t n = fill(B);
            if (n == 0) break;
            if (k >= workers && written[(k - workers) % blocks.size()].valid())
                written[(k - workers) % blocks.size()].get();
            const int threads = k == 0 && !full(B) ? workers_wanted : 1;
            last = std::async(std::launch::async, [&work, &write, &B, threads, before = last] {
                       work(B, threads);
                       if (before.valid()) before.get();
                       write(B);
                   }).share();
            written[slot] = last;
            count += static_cast<long long>(n);
            progress.update(count, reader.bytes_read());
        }
        if (last.valid()) last.get();
    } catch (...) {
        for (const std::shared_future<void>& w : written)
            if (w.valid()) w.wait();
        throw;
    }
    return count;
}

Defaults defaults_of(const InventoryOptions& options)
{
    Defaults d;
    if (options.model) d.model = sylvo::parse_model(*options.model);
    d.end_age = options.end_age.value_or(sylvo::kNone);
    d.interval = options.interval.value_or(5.0);
    d.merch_limit = options.merch_limit.value_or(sylvo::kNone);
    return d;
}

sylvo::Options engine_options(const InventoryOptions& options)
{
    return {sylvo::parse_mode(options.mode), options.threads};
}

void warn_notes(unsigned notes)
{
    for (const std::string& line : sylvo::note_kinds(notes)) std::cerr << "sylvo: warning: " << line << '\n';
}

}  // namespace

int run_project(const InventoryOptions& options)
{
    sylvo::ProjectRequest request;
    request.to_age = options.to_age.value_or(sylvo::kNone);
    request.years = options.years.value_or(sylvo::kNone);
    request.merch_limit = options.merch_limit.value_or(sylvo::kNone);
    request.max_sdi = options.max_sdi.value_or(sylvo::kDefaultMaxSdi);
    request.options = engine_options(options);
    if (!options.to_age && !options.years)
        throw InputError("--to-age", "", "is missing, and so is --years", "one of --to-age and --years");
    // The engine checks the options on every call: an inventory of no stands
    // has them checked before anything is written.
    sylvo::project_inventory({}, request, {});
    const Defaults defaults = defaults_of(options);
    const bool json = options.format == "json";
    const bool merch = options.merch_limit.has_value();

    std::vector<const char*> keys;
    for (const char* k : sylvo::projection_keys())
        if (merch || std::string_view(k) != "merch_volume_m3_per_ha") keys.push_back(k);
    for (const char* k : {"status", "note"}) keys.push_back(k);

    const auto in = open_input(options.input);
    CsvReader reader(in->file);
    const Layout layout = read_header(reader, options.input, false, keys, json);
    const auto out = open_output(options.output, *in);
    Writer writer(out->file, json);
    if (!json) {
        std::string header;
        append_header(header, layout, keys);
        writer.header(header);
    }

    // Each block's stands are read, projected and formatted on a thread of
    // its own (run_blocks). A stand's result depends on its own values
    // alone, so neither the blocks nor the threads change it.
    struct Block {
        std::vector<CsvRecord> records = std::vector<CsvRecord>(kBlockRows);
        std::vector<std::string> status = std::vector<std::string>(kBlockRows);
        std::vector<sylvo::InventoryStand> stands;
        std::vector<long> result_of = std::vector<long>(kBlockRows);  // the row's result, or -1 if flagged
        std::vector<sylvo::ProjectedStand> results;
        std::string text;
        std::size_t n = 0;
        long long flagged = 0;
        unsigned notes = 0;
    };
    auto read_stands = [&](Block& B) {
        B.stands.clear();
        sylvo::InventoryStand stand;
        for (std::size_t i = 0; i < B.n; ++i) {
            B.status[i] = read_stand(B.records[i], layout, defaults, stand, nullptr, json);
            B.result_of[i] = -1;
            if (B.status[i].empty()) {
                B.result_of[i] = static_cast<long>(B.stands.size());
                B.stands.push_back(stand);
            }
        }
    };
    auto format = [&](Block& B) {
        std::string& buf = B.text;
        buf.clear();
        B.flagged = 0;
        B.notes = 0;
        std::string located;
        for (std::size_t i = 0; i < B.n; ++i) {
            const sylvo::ProjectedStand* r =
                B.result_of[i] >= 0 ? &B.results[static_cast<std::size_t>(B.result_of[i])] : nullptr;
            begin_row(buf, json);
            append_start(buf, json, B.records[i], layout);
            RowWriter row{buf, json, 0, keys};
            const double none = sylvo::kNone;
            row.number(r ? r->start_age : none);
            row.number(r ? r->end_age : none);
            row.number(r ? r->site : none);
            row.number(r ? r->height : none);
            row.number(r ? r->trees : none);
            row.number(r ? r->ba : none);
            row.number(r ? r->qmd : none);
            row.number(r ? r->volume : none);
            if (merch) row.number(r ? r->merch_volume : none);
            row.number(r ? r->sdi : none);
            // The engine names a row's fault by its column; the line and
            // column go in front here, as for the faults found on reading.
            std::string_view why = r ? std::string_view(r->status) : std::string_view(B.status[i]);
            if (r && why != "ok" && sylvo::names_column(why)) {
                located = locate_column(r->status, B.records[i], layout);
                why = located;
            }
            row.text(why);
            if (why != "ok") ++B.flagged;
            const unsigned row_notes = r ? r->notes : 0u;
            B.notes |= row_notes;
            row.text(note_column(row_notes), true);
            end_row(buf, json);
        }
    };

    Progress progress(in->size);
    long long flagged = 0;
    unsigned notes = 0;
    const long long count = run_blocks<Block>(
        reader, sylvo::thread_count(request.options, kBlockRows), progress,
        [&](Block& B) {
            B.n = 0;
            while (B.n < kBlockRows && reader.next(B.records[B.n])) ++B.n;
            return B.n;
        },
        [](const Block& B) { return B.n == kBlockRows; },
        [&](Block& B, int threads) {
            read_stands(B);
            B.results.resize(B.stands.size());
            sylvo::ProjectRequest block_request = request;
            block_request.options.threads = threads;
            sylvo::project_inventory(B.stands, block_request, B.results);
            format(B);
        },
        [&](Block& B) {
            flagged += B.flagged;
            notes |= B.notes;
            writer.put(B.text);
        });
    if (reader.read_error()) throw IoError("cannot read " + options.input + " to its end");
    writer.finish();
    progress.clear();
    warn_notes(notes);
    std::cerr << "sylvo: " << count << " stands, " << flagged << " flagged, " << fixed(progress.seconds(), 2)
              << " s\n";
    return kOk;
}

int run_tables(const InventoryOptions& options)
{
    const double max_sdi = options.max_sdi.value_or(sylvo::kDefaultMaxSdi);
    const sylvo::Options engine = engine_options(options);
    Defaults defaults = defaults_of(options);
    const bool json = options.format == "json";
    std::optional<sylvo::RegimeFile> regimes;
    if (!options.regimes.empty()) {
        regimes = sylvo::read_regimes(options.regimes);
        defaults.regimes = &*regimes;
    }

    std::vector<const char*> keys;
    for (const char* k : sylvo::yield_table_keys()) keys.push_back(k);
    keys.push_back("status");

    const auto in = open_input(options.input);
    CsvReader reader(in->file);
    const Layout layout = read_header(reader, options.input, true, keys, json);
    if (regimes && regimes->regimes.size() > 1 && !layout.has(kRegime))
        throw InputError("--input", options.input,
                         "has no column regime, and " + options.regimes + " holds several regimes",
                         "a column regime naming each stand's regime, or a regime file of one regime");
    if (!regimes && layout.has(kRegime))
        throw InputError("--input", options.input, "has a column regime, but no --regimes file is given",
                         "--regimes FILE with the regimes the column names");
    if (!layout.has(kEndAge) && !options.end_age)
        throw InputError("--input", options.input, "lacks the column end_age_yr, and no --end-age is given",
                         "a column end_age_yr, or --end-age for every stand");
    const auto out = open_output(options.output, *in);
    Writer writer(out->file, json);
    if (!json) {
        std::string header;
        append_header(header, layout, keys);
        writer.header(header);
    }

    // The stands are read here, a block at a time: at most kBlockTables
    // stands, and no more once the block's tables may have kBlockTableRows
    // rows (a block's memory stays bounded with long tables too). Each
    // block's stands are then tabled and formatted on a thread of its own
    // (run_blocks).
    struct Block {
        std::vector<CsvRecord> records = std::vector<CsvRecord>(kBlockTables);
        std::vector<sylvo::TableStand> stands = std::vector<sylvo::TableStand>(kBlockTables);
        std::vector<std::string> status = std::vector<std::string>(kBlockTables);
        std::size_t n = 0;
        double rows = 0.0;  // the most rows its tables may have
        sylvo::LongTables tables;
        std::string text;
    };
    auto fill = [&](Block& B) {
        B.n = 0;
        B.rows = 0.0;
        while (B.n < kBlockTables && B.rows < kBlockTableRows && reader.next(B.records[B.n])) {
            sylvo::TableStand& t = B.stands[B.n];
            B.status[B.n] = read_stand(B.records[B.n], layout, defaults, t.stand, &t, json);
            B.rows += B.status[B.n].empty() ? most_rows(t) : 1.0;
            ++B.n;
        }
        return B.n;
    };
    auto work = [&](Block& B, int threads) {
        B.tables = sylvo::long_tables(
            B.n,
            [&](std::size_t i, sylvo::TableStand& stand) {
                stand = B.stands[i];
                return B.status[i];
            },
            [&](std::size_t i, const std::string& reason) { return locate(reason, B.records[i], layout); }, max_sdi,
            sylvo::Options{engine.mode, threads});
        std::string& buf = B.text;
        buf.clear();
        for (const sylvo::LongTableRow& r : B.tables.rows) {
            begin_row(buf, json);
            append_start(buf, json, B.records[r.input], layout);
            RowWriter row{buf, json, 0, keys};
            if (const sylvo::YieldRow* y = r.row) {
                for (double x : {y->age, y->height, y->trees, y->ba, y->qmd, y->volume, y->merch_volume,
                                 y->removed_trees, y->removed_ba, y->removed_volume, y->mai, y->pai, y->sdi})
                    row.number(x);
                row.text(std::string(r.table->row_event(r.index)), true);
                row.text(r.table->text(r.index) ? r.table->row_note(r.index) : note_column(y->notes), true);
            } else {
                for (std::size_t k = 0; k + 3 < keys.size(); ++k) row.number(sylvo::kNone);  // all but event, note and status
                row.text("", true);
                row.text("", true);
            }
            row.text(r.status);
            end_row(buf, json);
        }
    };

    Progress progress(in->size);
    long long flagged = 0, stopped = 0, rows = 0;
    unsigned notes = 0;
    const long long count = run_blocks<Block>(
        reader, sylvo::thread_count(engine, kBlockTables), progress, fill,
        [](const Block& B) { return B.n == kBlockTables || B.rows >= kBlockTableRows; }, work, [&](Block& B) {
            flagged += B.tables.flagged;
            stopped += B.tables.stopped;
            notes |= B.tables.notes;
            rows += static_cast<long long>(B.tables.rows.size());
            writer.put(B.text);
            B.tables = {};  // its memory, until the slot's next block
            B.text = {};
        });
    if (reader.read_error()) throw IoError("cannot read " + options.input + " to its end");
    writer.finish();
    progress.clear();
    warn_notes(notes);
    std::cerr << "sylvo: " << count << " stands, " << flagged << " flagged, " << stopped << " stopped early, " << rows
              << " rows, " << fixed(progress.seconds(), 2) << " s\n";
    return kOk;
}

}  // namespace sylvo_tool
