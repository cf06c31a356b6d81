// The preconditions every batch call checks before it writes anything.
#pragma once

#include <initializer_list>
#include <span>

#include "sylvo/engine.hpp"

namespace sylvo::engine {

// Throws EngineError for an unknown model or mode, a negative thread count,
// arrays of different lengths, or an output that overlaps an input or the
// other output other than by being the very same array.
void check_call(Model model, const Options& options, std::initializer_list<std::span<const double>> inputs,
                std::initializer_list<std::span<double>> outputs);

// How many threads to use for COUNT elements when one thread should have at
// least MIN_PER_THREAD of them.
std::size_t threads_for(const Options& options, std::size_t count, std::size_t min_per_thread);

}  // namespace sylvo::engine
