// The explorer's glue (web/src/explorer.cpp) built natively against the Linux
// engine, for the comparison with the WebAssembly module
// (tests/web/compare_native.mjs):
//   native_run tables    one request (JSON) per line in, one answer per line out
//   native_run shortest  one double per line in, as 16 hex digits of its bits,
//                        std::to_chars's shortest text of it out
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>

#include "explorer.hpp"

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "tables" && mode != "shortest") {
        std::cerr << "usage: native_run tables|shortest < input\n";
        return 2;
    }
    std::ios::sync_with_stdio(false);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (mode == "tables") {
            std::cout << sylvo_web::run(line) << '\n';
            continue;
        }
        const std::uint64_t bits = std::stoull(line, nullptr, 16);
        double x;
        std::memcpy(&x, &bits, sizeof x);
        char buffer[64];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
        std::cout << std::string(buffer, ec == std::errc() ? end : buffer) << '\n';
    }
    return 0;
}
