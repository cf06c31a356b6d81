#include "csv.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>


namespace sylvo_tool {

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

void append_json_string(std::string& out, std::string_view text)
{
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    while (!text.empty()) {
        const char c = text[0];
        const unsigned char u = static_cast<unsigned char>(c);
        const std::size_t n = sylvo::utf8_length(text);
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
