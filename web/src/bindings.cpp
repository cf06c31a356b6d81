// The WebAssembly module's interface for the page: run(request) and models(),
// both JSON text in and out (explorer.hpp).
#include <emscripten/bind.h>

#include <string>

#include "explorer.hpp"

namespace {

std::string run_request(const std::string& request) { return sylvo_web::run(request); }

}  // namespace

EMSCRIPTEN_BINDINGS(sylvo_explorer)
{
    emscripten::function("run", &run_request);
    emscripten::function("models", &sylvo_web::models);
}
