#include "library.h"

#include <dlfcn.h>

#include <filesystem>

#include "errors.h"

namespace sylvo_tool {

namespace {

ModelInfo identify(double version)
{
    const std::string stores = ", which stores only site indices above 1.3 m (a lower one would be computed with "
                               "the site stored by an earlier call)";
    if (version == 1.1) return {"A", "Model A", 1.3, "Model A" + stores, "between 2 and 80 m"};
    if (version == 1.0) return {"B", "Model B", 1.3, "Model B" + stores, "between 2 and 80 m"};
    if (version == 1.2)
        return {"C", "Model C", 1.372,
                "Model C, whose site curve is flat at 1.372 m (breast height) and falls with age below it",
                "between 1 and 80 m"};
    return {"", "the library's model", 1.372, "a library of an unidentified model: above breast height in every model",
            "in the library's search interval"};
}

}  // namespace

Library::Library(const std::string& path, const std::string& option, const std::string& value,
                 const std::string& accepted)
    : path_(path)
{
    // A bare file name would make dlopen search the system's library path.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        throw InputError(option, value, std::string("cannot be loaded (") + (why ? why : "unknown reason") + ")",
                         accepted);
    }
    auto need = [&](const char* name) {
        void* symbol = dlsym(handle_, name);
        if (!symbol) {
            dlclose(handle_);
            handle_ = nullptr;
            throw InputError(option, value, std::string("lacks the export ") + name, accepted);
        }
        return symbol;
    };
    // The whole interface must be there, also the exports the tool does not
    // call (LibMain, SylvoGain, SylvoGrowTph, SylvoGrowBa).
    for (const char* name : {"LibMain", "SylvoAge", "SylvoBaAfter", "SylvoGain", "SylvoGrow", "SylvoGrowBa",
                             "SylvoGrowTph", "SylvoHeight", "SylvoMerchVol", "SylvoSite", "SylvoTphAfter",
                             "SylvoVersion", "SylvoVolume"})
        need(name);
    age_ = reinterpret_cast<SylvoFn3>(need("SylvoAge"));
    ba_after_ = reinterpret_cast<SylvoFn4>(need("SylvoBaAfter"));
    grow_ = reinterpret_cast<SylvoGrowFn>(need("SylvoGrow"));
    height_ = reinterpret_cast<SylvoFn3>(need("SylvoHeight"));
    merch_ = reinterpret_cast<SylvoFn4>(need("SylvoMerchVol"));
    site_ = reinterpret_cast<SylvoFn3>(need("SylvoSite"));
    tph_after_ = reinterpret_cast<SylvoFn4>(need("SylvoTphAfter"));
    version_fn_ = reinterpret_cast<SylvoVersionFn>(need("SylvoVersion"));
    volume_ = reinterpret_cast<SylvoFn3>(need("SylvoVolume"));
    version_ = version_fn_();
    model_ = identify(version_);
}

Library::~Library()
{
    if (handle_) dlclose(handle_);
}

std::string model_library_path(const std::string& model)
{
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::filesystem::path dir = ec ? std::filesystem::path(".") : exe.parent_path();
    return (dir / ".." / "lib" / ("libsylvo" + model + ".so")).lexically_normal().string();
}

}  // namespace sylvo_tool
