// The JSON readers' parsing step: nlohmann-json's refusals turned into the
// readers' own (file, line, column, and text that is always UTF-8).
#include "json_places.h"

namespace sylvo::engine {

json parse_document(std::string_view text, const std::string& file, const char* what_accepted)
{
    try {
        return json::parse(text.begin(), text.end());
    } catch (const json::parse_error& e) {
        SourcePlace place;
        const std::size_t at = e.byte > 0 ? e.byte - 1 : 0;
        std::tie(place.line, place.column) = line_column(text, at);
        // nlohmann's message quotes the bytes last read, which may cut a
        // character in two: every byte that is not printable ASCII is
        // written as \xHH, so that the message is always UTF-8 text.
        std::string what;
        for (const char c : std::string_view(e.what())) {
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0x20 && u < 0x7f) {
                what += c;
            } else {
                static const char hex[] = "0123456789ABCDEF";
                what += "\\x";
                what += hex[u >> 4];
                what += hex[u & 15];
            }
        }
        const std::size_t at_column = what.find("column ");
        const std::size_t colon = what.find(": ", at_column == std::string::npos ? 0 : at_column);
        throw RegimeError(file, place,
                          "is not JSON (" + (colon == std::string::npos ? what : what.substr(colon + 2)) + ")",
                          what_accepted);
    } catch (const json::exception& e) {
        throw RegimeError(file, SourcePlace{"", 1, 1}, std::string("is not JSON that can be read (") + e.what() + ")",
                          what_accepted);
    }
}

void refuse_duplicates(std::string_view text, const std::string& file, const Locator& locator)
{
    if (locator.duplicate.empty()) return;
    SourcePlace place{locator.duplicate, 0, 0};
    std::tie(place.line, place.column) = line_column(text, locator.duplicate_offset);
    throw RegimeError(file, place, "is a key given twice in one object", "each key once");
}

}  // namespace sylvo::engine
