// The WebAssembly module's interface for the page: run(request) and models(),
// both JSON text in and out (explorer.hpp).
#include <emscripten/bind.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "explorer.hpp"

namespace {

std::string run_request(const std::string& request) { return sylvo_web::run(request); }

// For the comparison with the native build: each line of BITS (16 hex digits,
// a double's bits) written as std::to_chars writes it, one per line.
std::string shortest_texts(const std::string& bits)
{
    std::string out;
    for (std::size_t start = 0; start < bits.size();) {
        std::size_t end = bits.find('\n', start);
        if (end == std::string::npos) end = bits.size();
        const std::uint64_t pattern = std::stoull(bits.substr(start, end - start), nullptr, 16);
        double x;
        std::memcpy(&x, &pattern, sizeof x);
        char buffer[64];
        const auto [last, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
        out.append(buffer, ec == std::errc() ? last : buffer);
        out += '\n';
        start = end + 1;
    }
    return out;
}

}  // namespace

EMSCRIPTEN_BINDINGS(sylvo_explorer)
{
    emscripten::function("run", &run_request);
    emscripten::function("models", &sylvo_web::models);
    emscripten::function("shortest_texts", &shortest_texts);
}
