// What the engine's JSON readers (regime and economics files) share: every
// value's place (pointer, line, column) found by a scan of the text that
// nlohmann-json parsed, refusals that name it, keys checked against those
// a schema accepts, and numbers checked against their range.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "sylvo/regime.hpp"
#include "values.h"

namespace sylvo::engine {

using json = nlohmann::json;

// Line and column (1-based, in characters) of byte OFFSET of TEXT.
inline std::pair<int, int> line_column(std::string_view text, std::size_t offset)
{
    int line = 1, column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

inline std::string escape_pointer_token(const std::string& key)
{
    std::string out;
    for (char c : key) {
        if (c == '~') out += "~0";
        else if (c == '/') out += "~1";
        else out += c;
    }
    return out;
}

// Byte offsets of every value of a well-formed JSON text by its pointer;
// the first key given twice in one object is kept in DUPLICATE.
class Locator {
public:
    explicit Locator(std::string_view text) : text_(text) { value(""); }
    std::unordered_map<std::string, std::size_t> offsets;
    std::unordered_map<std::string, std::size_t> key_offsets;  // a member's key, by the member's pointer
    std::string duplicate;  // pointer of the second occurrence
    std::size_t duplicate_offset = 0;

private:
    std::string_view text_;
    std::size_t i_ = 0;

    void space()
    {
        while (i_ < text_.size() && (text_[i_] == ' ' || text_[i_] == '\t' || text_[i_] == '\n' || text_[i_] == '\r'))
            ++i_;
    }
    // The raw string starting at i_ (with its quotes); i_ moves past it.
    std::string_view raw_string()
    {
        const std::size_t start = i_++;
        while (i_ < text_.size() && text_[i_] != '"') i_ += text_[i_] == '\\' ? 2 : 1;
        ++i_;
        return text_.substr(start, i_ - start);
    }
    void value(const std::string& pointer)
    {
        space();
        offsets.emplace(pointer, i_);
        if (i_ >= text_.size()) return;
        const char c = text_[i_];
        if (c == '{') {
            ++i_;
            std::set<std::string> seen;
            for (;;) {
                space();
                if (i_ >= text_.size() || text_[i_] == '}') break;
                if (text_[i_] == ',') {
                    ++i_;
                    continue;
                }
                const std::size_t key_at = i_;
                const std::string key = json::parse(raw_string()).get<std::string>();
                const std::string child = pointer + "/" + escape_pointer_token(key);
                key_offsets.emplace(child, key_at);
                if (!seen.insert(key).second && duplicate.empty()) {
                    duplicate = child;
                    duplicate_offset = key_at;
                }
                space();
                ++i_;  // ':'
                if (offsets.count(child)) {
                    std::size_t keep = offsets[child];
                    value(child);
                    offsets[child] = keep;
                } else {
                    value(child);
                }
            }
            ++i_;
        } else if (c == '[') {
            ++i_;
            for (std::size_t n = 0;;) {
                space();
                if (i_ >= text_.size() || text_[i_] == ']') break;
                if (text_[i_] == ',') {
                    ++i_;
                    continue;
                }
                value(pointer + "/" + std::to_string(n++));
            }
            ++i_;
        } else if (c == '"') {
            raw_string();
        } else {
            while (i_ < text_.size() && std::string_view(",]} \t\r\n").find(text_[i_]) == std::string_view::npos) ++i_;
        }
    }
};

inline const char* type_name(const json& v)
{
    switch (v.type()) {
    case json::value_t::object: return "an object";
    case json::value_t::array: return "an array";
    case json::value_t::string: return "a string";
    case json::value_t::boolean: return "a boolean";
    case json::value_t::null: return "null";
    case json::value_t::discarded: return "nothing";
    default: return "a number";
    }
}

// What a number must be: a test and its words.
struct Range {
    bool (*ok)(double);
    const char* words;
};
constexpr Range kAge{[](double x) { return x > 0.0 && x <= kMaxAge; }, "an age in years above 0 and at most 1000"};
constexpr Range kPositive{[](double x) { return x > 0.0; }, "a number above 0"};
constexpr Range kNonNegative{[](double x) { return x >= 0.0; }, "a number of 0 or more"};
constexpr Range kFraction{[](double x) { return x > 0.0 && x < 1.0; }, "a share above 0 and below 1"};
constexpr Range kYears{[](double x) { return x > 0.0 && x <= kMaxAge; }, "a number of years above 0 and at most 1000"};

// A document being read: its file, its text and the places of its values.
class JsonReader {
public:
    JsonReader(std::string file, std::string_view text, const Locator& locator)
        : file_(std::move(file)), text_(text), locator_(locator)
    {
    }
    SourcePlace place(const std::string& pointer) const
    {
        SourcePlace p;
        p.pointer = pointer;
        auto it = locator_.offsets.find(pointer);
        if (it != locator_.offsets.end()) std::tie(p.line, p.column) = line_column(text_, it->second);
        return p;
    }
    [[noreturn]] void fail(const std::string& pointer, const std::string& problem, const std::string& accepted) const
    {
        throw RegimeError(file_, place(pointer), problem, accepted);
    }
    // As fail, placed at the member's key rather than its value.
    [[noreturn]] void fail_key(const std::string& pointer, const std::string& problem, const std::string& accepted) const
    {
        SourcePlace p = place(pointer);
        if (auto it = locator_.key_offsets.find(pointer); it != locator_.key_offsets.end())
            std::tie(p.line, p.column) = line_column(text_, it->second);
        throw RegimeError(file_, p, problem, accepted);
    }

    // V must be an object whose keys are all in KEYS.
    void object(const json& v, const std::string& pointer, std::initializer_list<const char*> keys,
                const char* what) const
    {
        std::string list;
        for (const char* k : keys) list += (list.empty() ? "" : ", ") + std::string(k);
        if (!v.is_object()) fail(pointer, std::string("is ") + type_name(v) + ", not " + what, std::string(what) + " with keys " + list);
        for (auto it = v.begin(); it != v.end(); ++it) {
            bool known = false;
            for (const char* k : keys) known = known || it.key() == k;
            if (!known)
                fail_key(pointer + "/" + escape_pointer_token(it.key()), "is not a key of " + std::string(what),
                         "the keys " + list);
        }
    }

    double plain(const json& v, const std::string& pointer, Range range, const std::string& accepted) const
    {
        if (!v.is_number()) fail(pointer, std::string("is ") + type_name(v) + ", not a number", accepted);
        const double x = v.get<double>();
        if (!std::isfinite(x)) fail(pointer, "is not a finite number", accepted);
        if (!range.ok(x)) fail(pointer, "is " + shortest(x) + ", out of range", accepted);
        return x;
    }

protected:
    std::string file_;
    std::string_view text_;
    const Locator& locator_;
};

// TEXT parsed, or a refusal naming FILE, the line and column; WHAT says what
// the document must hold.
json parse_document(std::string_view text, const std::string& file, const char* what);
// Refuses the first key LOCATOR found given twice in one object.
void refuse_duplicates(std::string_view text, const std::string& file, const Locator& locator);

}  // namespace sylvo::engine
