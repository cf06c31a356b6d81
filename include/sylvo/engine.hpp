// The Sylvo batch engine, C++ interface: the thirteen exports' model
// functions over whole arrays of stands, for all three models in one process.
//
// Every function is the batch form of one export and, in exact mode, gives
// for every element the bits that export gives in a freshly loaded library
// (see sylvo_engine.h for the one documented difference and for fast mode).
// Nothing is kept between calls; any number of calls may run at once.
//
// Arrays are spans of equal length; an output may be the very span of an
// input (in place), no other overlap is allowed. A violated precondition
// throws sylvo::EngineError carrying the C interface's code; nothing has
// been written then.
#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sylvo_engine.h"

namespace sylvo {

enum class Model : int { a = SYLVO_MODEL_A, b = SYLVO_MODEL_B, c = SYLVO_MODEL_C };
enum class Mode : int { exact = SYLVO_EXACT, fast = SYLVO_FAST };

struct Options {
    Mode mode = Mode::exact;
    int threads = 0;  // 0: every core
};

class EngineError : public std::invalid_argument {
public:
    EngineError(int code, const std::string& what) : std::invalid_argument(what), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// "a", "b", "c" (also "A", "B", "C"); throws EngineError(SYLVO_ERR_MODEL)
// naming the accepted values otherwise.
Model parse_model(std::string_view name);
// "a", "b" or "c".
const char* model_letter(Model model);
// "Model A", "Model B" or "Model C".
const char* model_name(Model model);
// SylvoVersion of the model's library.
double model_version(Model model);
// "exact" or "fast"; throws EngineError(SYLVO_ERR_MODE) otherwise.
Mode parse_mode(std::string_view name);

// How many threads a call with these options uses for COUNT stands.
int thread_count(const Options& options, std::size_t count);

using In = std::span<const double>;
using Out = std::span<double>;

void grow(Model model, In t1, In t2, In trees, In ba, Out trees_out, Out ba_out, const Options& options = {});
void height(Model model, In age, In site, In shift, Out out, const Options& options = {});
void site(Model model, In height, In age, In shift, Out out, const Options& options = {});
void age(Model model, In height, In site, In shift, Out out, const Options& options = {});
void volume(Model model, In height, In trees, In ba, Out out, const Options& options = {});
void merch_volume(Model model, In height, In trees, In ba, In limit, Out out, const Options& options = {});
void ba_after(Model model, In p, In trees, In ba, In trees_after, Out out, const Options& options = {});
void tph_after(Model model, In p, In trees, In ba, In ba_after, Out out, const Options& options = {});

// One stand, exactly as the export computes it (no threads, no grouping).
struct Stand {
    double trees;  // per hectare
    double ba;     // m2/ha
};
Stand grow_one(Model model, double t1, double t2, double trees, double ba);
double height_one(Model model, double age, double site, double shift);
double site_one(Model model, double height, double age, double shift);
double age_one(Model model, double height, double site, double shift);
double volume_one(Model model, double height, double trees, double ba);
double merch_volume_one(Model model, double height, double trees, double ba, double limit);
double ba_after_one(Model model, double p, double trees, double ba, double trees_after);
double tph_after_one(Model model, double p, double trees, double ba, double ba_after);

// The quadratic mean diameter (cm) the volume equations use, as the tables
// and projections report it:
// sqrt(12732.3954473516 * ba / trees).
double qmd(double ba, double trees);

}  // namespace sylvo
