// Prints the results of every call in a case file as bit patterns, one line
// per call: "<line number> <export> => <bits> [<bits>]". Run against the
// Linux libraries it gives what the Windows host's output is compared with.
//
//   sylvo_case_printer LIBRARY CASEFILE
#include <cinttypes>
#include <cstdio>
#include <memory>

#include "support/case_file.h"
#include "support/loaded_library.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LIBRARY CASEFILE\n", argv[0]);
        return 2;
    }
    try {
        std::unique_ptr<sylvo_test::LoadedLibrary> lib;
        for (const sylvo_test::CaseLine& c : sylvo_test::read_case_file(argv[2])) {
            if (c.load) {
                lib.reset();
                lib = std::make_unique<sylvo_test::LoadedLibrary>(argv[1]);
                continue;
            }
            if (!lib) lib = std::make_unique<sylvo_test::LoadedLibrary>(argv[1]);
            std::printf("%d %s =>", c.line_number, c.name.c_str());
            for (std::uint64_t r : sylvo_test::evaluate_case(lib->api(), c)) std::printf(" 0x%016" PRIx64, r);
            std::printf("\n");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
