// Splitting a batch over threads: contiguous ranges, one per thread, on
// standard threads started for the call (the engine keeps no pool, so it
// holds no state between calls and leaves a host's own threads alone).
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace sylvo::engine {

// Calls BODY(begin, end, part) for PARTS consecutive ranges covering
// [0, count), where range k ends at BOUNDARY(k + 1) (BOUNDARY(0) = 0,
// BOUNDARY(parts) = count), each on a thread of its own (the last on the
// calling thread). A part whose thread cannot be started (a host's limit on
// threads or memory) runs on the calling thread instead: the ranges, and so
// the results, stay the same. An exception in any part is rethrown after
// all have ended.
template <class Boundary, class Body>
void run_parts(std::size_t parts, Boundary&& boundary, Body&& body)
{
    if (parts <= 1) {
        body(boundary(0), boundary(1), std::size_t{0});
        return;
    }
    std::vector<std::exception_ptr> errors(parts);
    std::vector<std::thread> threads;
    threads.reserve(parts - 1);
    auto run = [&](std::size_t k) {
        try {
            body(boundary(k), boundary(k + 1), k);
        } catch (...) {
            errors[k] = std::current_exception();
        }
    };
    std::size_t started = 0;
    try {
        for (; started + 1 < parts; ++started) threads.emplace_back(run, started);
    } catch (const std::system_error&) {
    }
    for (std::size_t k = started; k < parts; ++k) run(k);
    for (std::thread& t : threads) t.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}

// Equal ranges of [0, count) over PARTS threads.
template <class Body>
void parallel_for(std::size_t count, std::size_t parts, Body&& body)
{
    run_parts(
        parts, [count, parts](std::size_t k) { return count / parts * k + std::min(k, count % parts); },
        std::forward<Body>(body));
}

}  // namespace sylvo::engine
