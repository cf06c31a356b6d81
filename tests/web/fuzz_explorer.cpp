// libFuzzer target of the explorer's glue (web/src/explorer.cpp): any text as
// the page's request. The answer must be a JSON object that says ok or names
// a refused field with a message; nothing may crash, leak or hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

#include "explorer.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string answer = sylvo_web::run(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto parsed = nlohmann::json::parse(answer, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object() || !parsed.contains("ok")) std::abort();
    if (!parsed["ok"].get<bool>() && (!parsed["field"].is_string() || !parsed["message"].is_string())) std::abort();
    return 0;
}
