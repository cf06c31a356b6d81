// The engine's own time for an inventory in memory: project_inventory, the
// function `sylvo project` calls, on every stand at once, every core, exact
// mode. bench_inventory.py runs it beside the command on the same stands.
//
//   sylvo_project_memory FILE YEARS MERCH_LIMIT REPEAT
//
// FILE holds the stands as little-endian doubles, five per stand: model
// (0, 1, 2), age, trees per ha, basal area, site index. Prints the best wall
// time of REPEAT runs and the processor time of that run, in seconds.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sylvo/inventory.hpp"

namespace {

double processor_seconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
    return s(u.ru_utime) + s(u.ru_stime);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s FILE YEARS MERCH_LIMIT REPEAT\n", argv[0]);
        return 2;
    }
    std::FILE* f = std::fopen(argv[1], "rb");
    if (!f) {
        std::perror(argv[1]);
        return 2;
    }
    std::vector<double> values;
    double buffer[5];
    while (std::fread(buffer, sizeof(double), 5, f) == 5) values.insert(values.end(), buffer, buffer + 5);
    std::fclose(f);

    std::vector<sylvo::InventoryStand> stands(values.size() / 5);
    for (std::size_t i = 0; i < stands.size(); ++i) {
        sylvo::InventoryStand& s = stands[i];
        s.model = static_cast<sylvo::Model>(static_cast<int>(values[5 * i]));
        s.age = values[5 * i + 1];
        s.trees = values[5 * i + 2];
        s.ba = values[5 * i + 3];
        s.site = values[5 * i + 4];
    }
    sylvo::ProjectRequest request;
    request.years = std::atof(argv[2]);
    request.merch_limit = std::atof(argv[3]);
    request.options = {sylvo::Mode::exact, 0};
    std::vector<sylvo::ProjectedStand> out(stands.size());

    double best = 1e300, best_cpu = 0.0;
    for (int r = 0; r < std::atoi(argv[4]); ++r) {
        const double cpu = processor_seconds();
        const auto start = std::chrono::steady_clock::now();
        sylvo::project_inventory(stands, request, out);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (wall < best) {
            best = wall;
            best_cpu = processor_seconds() - cpu;
        }
    }
    std::size_t ok = 0;
    for (const sylvo::ProjectedStand& r : out) ok += r.status == "ok";
    std::printf("%.6f %.6f %zu\n", best, best_cpu, ok);
    return 0;
}
