// sylvo._engine: the Python package's bridge to the engine's C++ interface.
// It moves numbers between numpy arrays (or data-frame columns) and the
// engine, and hands results back; no model arithmetic happens here. The
// pure-Python layer (sylvo/__init__.py) broadcasts and checks arguments.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sylvo/csv.hpp"
#include "sylvo/engine.hpp"
#include "sylvo/inventory.hpp"
#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"

namespace py = pybind11;

namespace {

// A one-dimensional contiguous float64 array as the engine's span. The
// Python layer hands over only such arrays (so nothing is copied here);
// anything else is a programming error of that layer.
sylvo::In in(const py::array& a, const char* name)
{
    if (!py::isinstance<py::array_t<double>>(a) || a.ndim() != 1 || !(a.flags() & py::array::c_style))
        throw py::type_error(std::string(name) + ": a one-dimensional contiguous float64 array is needed");
    return {static_cast<const double*>(a.data()), static_cast<std::size_t>(a.shape(0))};
}

sylvo::Out out(py::array& a, const char* name)
{
    if (!py::isinstance<py::array_t<double>>(a) || a.ndim() != 1 || !(a.flags() & py::array::c_style) ||
        !a.writeable())
        throw py::type_error(std::string(name) + ": a writeable one-dimensional contiguous float64 array is needed");
    return {static_cast<double*>(a.mutable_data()), static_cast<std::size_t>(a.shape(0))};
}

sylvo::Options options_of(const std::string& mode, int threads)
{
    sylvo::Options o;
    o.mode = sylvo::parse_mode(mode);
    o.threads = threads;
    return o;
}

void grow(const std::string& model, const py::array& t1, const py::array& t2, const py::array& trees,
          const py::array& ba, py::array trees_out, py::array ba_out, const std::string& mode, int threads)
{
    const sylvo::Model m = sylvo::parse_model(model);
    const sylvo::Options o = options_of(mode, threads);
    const sylvo::In a = in(t1, "t1"), b = in(t2, "t2"), c = in(trees, "trees"), d = in(ba, "ba");
    const sylvo::Out x = out(trees_out, "trees_out"), y = out(ba_out, "ba_out");
    py::gil_scoped_release release;
    sylvo::grow(m, a, b, c, d, x, y, o);
}

using Fn3 = void (*)(sylvo::Model, sylvo::In, sylvo::In, sylvo::In, sylvo::Out, const sylvo::Options&);
using Fn4 = void (*)(sylvo::Model, sylvo::In, sylvo::In, sylvo::In, sylvo::In, sylvo::Out, const sylvo::Options&);

template <Fn3 F>
void batch3(const std::string& model, const py::array& x, const py::array& y, const py::array& z, py::array r,
            const std::string& mode, int threads)
{
    const sylvo::Model m = sylvo::parse_model(model);
    const sylvo::Options o = options_of(mode, threads);
    const sylvo::In a = in(x, "x"), b = in(y, "y"), c = in(z, "z");
    const sylvo::Out o1 = out(r, "out");
    py::gil_scoped_release release;
    F(m, a, b, c, o1, o);
}

template <Fn4 F>
void batch4(const std::string& model, const py::array& w, const py::array& x, const py::array& y,
            const py::array& z, py::array r, const std::string& mode, int threads)
{
    const sylvo::Model m = sylvo::parse_model(model);
    const sylvo::Options o = options_of(mode, threads);
    const sylvo::In a = in(w, "w"), b = in(x, "x"), c = in(y, "y"), d = in(z, "z");
    const sylvo::Out o1 = out(r, "out");
    py::gil_scoped_release release;
    F(m, a, b, c, d, o1, o);
}

// ---------------------------------------------------------------------------
// Data frames. The Python layer passes each column the engine reads as a
// float64 array (a numeric column: NaN is an empty cell) or as a list of
// Python objects (a text column: str is read as the command line reads a CSV
// field, None an empty cell, a float or int its value).

enum Column { kModel, kAge, kTrees, kBa, kSite, kHeight, kHeightAge, kShift, kEndAge, kInterval, kMerchLimit,
              kThinnings, kRegime, kColumns };
const char* const kColumnNames[kColumns] = {"model", "age_yr", "trees_per_ha", "ba_m2_per_ha", "site_m",
                                            "height_m", "height_age_yr", "shift_yr", "end_age_yr",
                                            "interval_yr", "merch_limit_cm", "thinnings", "regime"};

struct ColumnData {
    int position = 0;  // 1-based position in the data frame, 0: absent
    const double* numbers = nullptr;
    std::vector<py::object> cells;  // a text column
    // Text columns are read before the engine runs, with the GIL held;
    // these hold each cell as text (or empty for None) and whether the cell
    // was a number object.
    std::vector<std::string> text;
    std::vector<double> value;
    std::vector<signed char> kind;  // 0: None, 1: text, 2: number
};

struct Frame {
    ColumnData col[kColumns];
    std::size_t rows = 0;
    long long offset = 0;  // rows before this frame (a partition of a larger one)

    bool has(Column c) const { return col[c].position > 0; }

    // Cell I of column C as the engine reads it: a float column's values
    // (NaN, pandas' missing value, is empty), or a text column's cells.
    sylvo::Cell cell(Column c, std::size_t i) const
    {
        const ColumnData& d = col[c];
        sylvo::Cell cell;
        if (d.numbers) {
            cell.kind = sylvo::Cell::Kind::number;
            cell.number = d.numbers[i];
        } else if (d.kind[i] == 2) {
            cell.kind = sylvo::Cell::Kind::number;
            cell.number = d.value[i];
        } else if (d.kind[i] == 1) {
            cell.kind = sylvo::Cell::Kind::text;
            cell.text = d.text[i];
        }
        return cell;
    }

    std::string row_text(std::size_t i) const { return "row " + std::to_string(offset + static_cast<long long>(i) + 1); }
    std::string at_column(std::size_t i, Column c) const
    {
        return row_text(i) + ", column " + std::to_string(col[c].position) + " (" + kColumnNames[c] + ")";
    }
};

// Reads the columns dict {name: (position, array or list)} into a Frame,
// with the GIL held.
void load_frame(Frame& f, const py::dict& columns, std::size_t rows, long long offset)
{
    f.rows = rows;
    f.offset = offset;
    for (int c = 0; c < kColumns; ++c) {
        if (!columns.contains(kColumnNames[c])) continue;
        const auto entry = columns[kColumnNames[c]].cast<py::tuple>();
        ColumnData& d = f.col[c];
        d.position = entry[0].cast<int>();
        py::object data = entry[1];
        if (py::isinstance<py::array>(data)) {
            py::array a = data;
            d.numbers = in(a, kColumnNames[c]).data();
            if (static_cast<std::size_t>(a.shape(0)) != rows) throw py::value_error("column length mismatch");
            d.cells.push_back(a);  // keeps the array alive
            continue;
        }
        const auto list = data.cast<py::list>();
        if (list.size() != rows) throw py::value_error("column length mismatch");
        d.text.resize(rows);
        d.value.assign(rows, 0.0);
        d.kind.assign(rows, 0);
        for (std::size_t i = 0; i < rows; ++i) {
            py::handle h = list[i];
            if (h.is_none()) continue;
            if (py::isinstance<py::str>(h)) {
                d.kind[i] = 1;
                d.text[i] = h.cast<std::string>();
            } else if (py::isinstance<py::bool_>(h)) {
                d.kind[i] = 1;
                d.text[i] = h.cast<bool>() ? "True" : "False";
            } else if (py::isinstance<py::float_>(h) || py::isinstance<py::int_>(h)) {
                d.kind[i] = 2;
                d.value[i] = h.cast<double>();
            } else {
                d.kind[i] = 1;
                d.text[i] = py::str(h).cast<std::string>();
            }
        }
    }
}

// Row I of a frame as the engine reads a row of an inventory.
class FrameRow final : public sylvo::InventoryRow {
public:
    FrameRow(const Frame& f, std::size_t i) : f_(f), i_(i) {}
    bool has(sylvo::InventoryColumn c) const override { return f_.has(column_of(c)); }
    sylvo::Cell cell(sylvo::InventoryColumn c) const override { return f_.cell(column_of(c), i_); }
    std::string where() const override { return f_.row_text(i_); }
    std::string where(sylvo::InventoryColumn c) const override { return f_.at_column(i_, column_of(c)); }

private:
    static Column column_of(sylvo::InventoryColumn c) { return static_cast<Column>(static_cast<int>(c)); }
    const Frame& f_;
    std::size_t i_;
};

using Defaults = sylvo::RowDefaults;

std::string read_stand(const Frame& f, std::size_t row, const Defaults& defaults, sylvo::InventoryStand& s,
                       sylvo::TableStand* table)
{
    return sylvo::read_stand(FrameRow(f, row), defaults, s, table);
}

py::array_t<double> to_array(std::vector<double>&& v)
{
    auto* heap = new std::vector<double>(std::move(v));
    py::capsule owner(heap, [](void* p) { delete static_cast<std::vector<double>*>(p); });
    return py::array_t<double>(static_cast<py::ssize_t>(heap->size()), heap->data(), owner);
}

// The numeric columns of a table's rows, by the table's keys.
struct RowColumns {
    std::vector<std::vector<double>> numbers = std::vector<std::vector<double>>(13);
    std::vector<std::string> events, notes;

    // Row I of TABLE, with its event and note.
    void add(const sylvo::YieldTable& table, std::size_t i)
    {
        const sylvo::YieldRow& r = table.rows[i];
        const double v[13] = {r.age, r.height, r.trees, r.ba, r.qmd, r.volume, r.merch_volume, r.removed_trees,
                              r.removed_ba, r.removed_volume, r.mai, r.pai, r.sdi};
        for (int k = 0; k < 13; ++k) numbers[k].push_back(v[k]);
        events.emplace_back(table.row_event(i));
        notes.push_back(table.row_note(i));
    }
    void add_empty()
    {
        for (auto& n : numbers) n.push_back(sylvo::kNone);
        events.emplace_back();
        notes.emplace_back();
    }
    py::dict dict()
    {
        const auto keys = sylvo::yield_table_keys();
        py::dict d;
        for (std::size_t k = 0; k < numbers.size(); ++k) d[keys[k]] = to_array(std::move(numbers[k]));
        d["event"] = py::cast(events);
        d["note"] = py::cast(notes);
        return d;
    }
};

double none_if(const py::object& x) { return x.is_none() ? sylvo::kNone : x.cast<double>(); }

py::dict yield_table(const std::string& model, py::object site, py::object height, py::object height_age,
                     double shift, double start_age, double trees, double ba, double end_age, double interval,
                     py::object merch_limit, const std::vector<std::string>& thinnings, double max_sdi,
                     const std::string& regime_text, const std::string& regime_source, const std::string& regime_name)
{
    sylvo::TableRequest request;
    request.model = sylvo::parse_model(model);
    request.site = none_if(site);
    request.height = none_if(height);
    request.height_age = none_if(height_age);
    request.shift = shift;
    request.start_age = start_age;
    request.trees = trees;
    request.ba = ba;
    request.end_age = end_age;
    request.interval = interval;
    request.merch_limit = none_if(merch_limit);
    request.max_sdi = max_sdi;
    request.thinning_field = "thinnings";
    for (const std::string& t : thinnings)
        for (sylvo::Thinning& one : sylvo::parse_thinnings(t, "thinnings")) request.thinnings.push_back(std::move(one));
    std::optional<sylvo::RegimeFile> file;
    const sylvo::Regime* regime = nullptr;
    if (!regime_source.empty()) {
        file = sylvo::parse_regimes(regime_text, regime_source);
        regime = &file->pick(regime_name);
    }
    sylvo::YieldTable table;
    {
        py::gil_scoped_release release;
        table = regime ? sylvo::yield_table(request, *regime) : sylvo::yield_table(request);
    }
    RowColumns rows;
    for (std::size_t i = 0; i < table.rows.size(); ++i) rows.add(table, i);
    py::dict result;
    result["regime"] = regime ? py::cast(regime->document) : py::none();
    result["regime_name"] = regime ? py::cast(regime->name) : py::none();
    result["harvested"] = table.harvested;
    const sylvo::TableSummary summary = sylvo::summarize_table(table);
    py::dict s;
    s["end_age_yr"] = summary.end_age;
    s["production_m3_per_ha"] = summary.production;
    s["removed_volume_m3_per_ha"] = summary.removed_volume;
    s["max_mai_m3_per_ha_yr"] = summary.max_mai;
    s["max_mai_age_yr"] = summary.max_mai_age;
    s["standing_volume_m3_per_ha"] = summary.standing_volume;
    s["harvested"] = summary.harvested;
    result["summary"] = s;
    result["columns"] = rows.dict();
    result["site"] = table.site;
    result["notes"] = table.notes;
    std::vector<std::string> written;
    for (const sylvo::Thinning& t : request.thinnings) written.push_back(sylvo::format_thinning(t));
    result["thinnings"] = written;
    if (table.stop) {
        py::dict stop;
        stop["age"] = table.stop->age;
        stop["after_thinning"] = table.stop->after_thinning;
        stop["reason"] = table.stop->reason;
        stop["text"] = sylvo::stop_status(*table.stop);
        result["stop"] = stop;
    } else {
        result["stop"] = py::none();
    }
    return result;
}

py::dict project(const py::dict& columns, std::size_t n, long long offset, const std::string& model,
                 py::object to_age, py::object years, py::object merch_limit, double max_sdi, const std::string& mode,
                 int threads)
{
    Frame f;
    load_frame(f, columns, n, offset);
    Defaults defaults;
    defaults.end_age_option = "end_age";
    defaults.model = sylvo::parse_model(model);
    sylvo::ProjectRequest request;
    request.to_age = none_if(to_age);
    request.years = none_if(years);
    request.merch_limit = none_if(merch_limit);
    request.max_sdi = max_sdi;
    request.options = options_of(mode, threads);

    std::vector<sylvo::ProjectedStand> results;
    {
        py::gil_scoped_release release;
        results = sylvo::project_rows(
            n, [&](std::size_t i, sylvo::InventoryStand& s) { return read_stand(f, i, defaults, s, nullptr); },
            [&](std::size_t i, const std::string& reason) { return sylvo::locate_column(reason, FrameRow(f, i)); },
            request);
    }
    std::vector<std::vector<double>> v(10, std::vector<double>(n));
    std::vector<std::string> status(n), note(n);
    for (std::size_t i = 0; i < n; ++i) {
        const sylvo::ProjectedStand& r = results[i];
        const double x[10] = {r.start_age, r.end_age, r.site, r.height,       r.trees,
                              r.ba,        r.qmd,     r.volume, r.merch_volume, r.sdi};
        for (int k = 0; k < 10; ++k) v[k][i] = x[k];
        status[i] = r.status;
        note[i] = sylvo::note_text(r.notes);
    }
    const auto keys = sylvo::projection_keys();
    py::dict d;
    for (int k = 0; k < 10; ++k) d[keys[k]] = to_array(std::move(v[k]));
    d["status"] = status;
    d["note"] = note;
    return d;
}

py::dict tables(const py::dict& columns, std::size_t n, long long offset, const std::string& model,
                py::object end_age, double interval, py::object merch_limit, double max_sdi, int threads,
                const std::string& regime_text, const std::string& regime_source)
{
    std::optional<sylvo::RegimeFile> file;
    if (!regime_source.empty()) file = sylvo::parse_regimes(regime_text, regime_source);
    Frame f;
    load_frame(f, columns, n, offset);
    Defaults defaults;
    defaults.end_age_option = "end_age";
    defaults.model = sylvo::parse_model(model);
    defaults.end_age = none_if(end_age);
    defaults.interval = interval;
    defaults.merch_limit = none_if(merch_limit);
    if (file) defaults.regimes = &*file;
    sylvo::Options options;
    options.threads = threads;

    RowColumns rows;
    std::vector<long long> stand;
    std::vector<std::string> st;
    {
        py::gil_scoped_release release;
        const sylvo::LongTables t = sylvo::long_tables(
            n,
            [&](std::size_t i, sylvo::TableStand& s) { return read_stand(f, i, defaults, s.stand, &s); },
            [&](std::size_t i, const std::string& reason) { return sylvo::locate(reason, FrameRow(f, i)); },
            max_sdi, options);
        for (const sylvo::LongTableRow& r : t.rows) {
            if (r.row)
                rows.add(*r.table, r.index);
            else
                rows.add_empty();
            stand.push_back(static_cast<long long>(r.input));
            st.push_back(r.status);
        }
    }
    py::dict d;
    d["columns"] = rows.dict();
    d["stand"] = py::array_t<long long>(static_cast<py::ssize_t>(stand.size()), stand.data());
    d["status"] = st;
    return d;
}

// An inventory file as the command line reads it: {"header": names,
// "columns": one list of str per column}; a file with a faulty record
// raises ValueError naming its line and column.
py::dict read_csv(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw sylvo::InputError("path", path, std::string("cannot be opened (") + std::strerror(errno) + ")",
                                "a readable CSV file");
    sylvo::CsvTable table;
    try {
        py::gil_scoped_release release;
        table = sylvo::read_csv_table(file, "path", path);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    std::fclose(file);
    py::list columns;
    for (const std::vector<std::string>& column : table.columns) {
        py::list values(column.size());
        for (std::size_t i = 0; i < column.size(); ++i) values[i] = py::str(column[i]);
        columns.append(values);
    }
    py::dict d;
    d["header"] = table.header;
    d["columns"] = columns;
    return d;
}

}  // namespace

PYBIND11_MODULE(_engine, m)
{
    m.doc() = "The Sylvo engine's C++ interface for the sylvo package (use the functions of sylvo itself).";

    // EngineError and InputError derive from std::invalid_argument, which
    // pybind11 raises as ValueError with the engine's message.
    m.def("parse_model", [](const std::string& name) { return sylvo::model_letter(sylvo::parse_model(name)); });
    m.def("parse_mode", [](const std::string& name) {
        return sylvo::parse_mode(name) == sylvo::Mode::exact ? "exact" : "fast";
    });
    m.def("model_name", [](const std::string& name) { return sylvo::model_name(sylvo::parse_model(name)); });
    m.def("model_version", [](const std::string& name) { return sylvo::model_version(sylvo::parse_model(name)); });
    m.def("thread_count", [](const std::string& mode, int threads, std::size_t count) {
        return sylvo::thread_count(options_of(mode, threads), count);
    });
    m.def("yield_table_keys", [] {
        const auto keys = sylvo::yield_table_keys();
        return std::vector<std::string>(keys.begin(), keys.end());
    });
    m.def("format_thinnings", [](const std::string& text) {
        std::vector<std::string> out;
        for (const sylvo::Thinning& t : sylvo::parse_thinnings(text, "thinnings")) out.push_back(sylvo::format_thinning(t));
        return out;
    });
    m.def("note_text", [](unsigned notes) { return sylvo::note_text(notes); });
    m.attr("default_max_sdi") = sylvo::kDefaultMaxSdi;

    m.def("grow", &grow);
    m.def("height", &batch3<&sylvo::height>);
    m.def("site", &batch3<&sylvo::site>);
    m.def("age", &batch3<&sylvo::age>);
    m.def("volume", &batch3<&sylvo::volume>);
    m.def("merch_volume", &batch4<&sylvo::merch_volume>);
    m.def("ba_after", &batch4<&sylvo::ba_after>);
    m.def("tph_after", &batch4<&sylvo::tph_after>);

    m.def("yield_table", &yield_table);
    m.def("project", &project);
    m.def("tables", &tables);
    m.def("read_csv", &read_csv);
}
