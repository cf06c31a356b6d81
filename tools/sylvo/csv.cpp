#include "csv.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>


namespace sylvo_tool {

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
        state = unquoted;
        field_chars = true;
    }
    record.ends.push_back(record.text.size());
    record.blank = !field_chars && record.text.empty();
    return true;
}

void append_number(std::string& out, double x)
{
    if (std::isnan(x)) return;
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
    out.append(buffer, end);
}

namespace {

// True when TEXT holds a comma, a quote, a CR or an LF (eight bytes at a
// time: a byte of X ^ C is zero where X has C).
bool needs_quotes(std::string_view text)
{
    constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    auto has = [](std::uint64_t x, unsigned char c) {
        const std::uint64_t y = x ^ (ones * c);
        return ((y - ones) & ~y & highs) != 0;
    };
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t x;
        std::memcpy(&x, text.data() + i, 8);
        if (has(x, ',') || has(x, '"') || has(x, '\r') || has(x, '\n')) return true;
    }
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    }
    return false;
}

}  // namespace

void append_csv_field(std::string& out, std::string_view text)
{
    if (!needs_quotes(text)) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (std::size_t quote; (quote = text.find('"')) != std::string_view::npos; text.remove_prefix(quote + 1)) {
        out.append(text.substr(0, quote + 1));
        out.push_back('"');
    }
    out.append(text);
    out.push_back('"');
}

namespace {

// The length of the UTF-8 sequence TEXT starts with, or 0 if it does not
// start with one (strictly: no overlong forms, no surrogates, nothing above
// U+10FFFF).
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

}  // namespace

bool is_utf8(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t n = utf8_length(text);
        if (n == 0) return false;
        text.remove_prefix(n);
    }
    return true;
}

void append_json_string(std::string& out, std::string_view text)
{
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    while (!text.empty()) {
        const char c = text[0];
        const unsigned char u = static_cast<unsigned char>(c);
        const std::size_t n = utf8_length(text);
        if (n > 1) {
            out.append(text.substr(0, n));
        } else if (n == 0) {
            out += "\\\\x";  // \\x in JSON: a backslash, then x
            out.push_back(hex[u >> 4]);
            out.push_back(hex[u & 15]);
        } else if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (u < 0x20) {
            out += "\\u00";
            out.push_back(hex[u >> 4]);
            out.push_back(hex[u & 15]);
        } else {
            out.push_back(c);
        }
        text.remove_prefix(n ? n : 1);
    }
    out.push_back('"');
}

void append_json_number(std::string& out, double x)
{
    if (!std::isfinite(x)) {
        out += "null";
        return;
    }
    append_number(out, x);
}

}  // namespace sylvo_tool
