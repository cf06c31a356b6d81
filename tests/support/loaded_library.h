// A Sylvo library loaded with dlopen, as host programs load it. Each object
// is a freshly loaded copy: its module state starts at the load-time values.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "sylvo_api.h"

namespace sylvo_test {

class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& path) : path_(path)
    {
        // A copy still loaded would keep its state: insist on a new one.
        if (void* old = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) {
            dlclose(old);
            throw std::runtime_error(path + " is still loaded; cannot load a fresh copy");
        }
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
        std::string missing;
        if (!resolve_api([this](const char* name) { return dlsym(handle_, name); }, api_, missing)) {
            dlclose(handle_);
            throw std::runtime_error(path + " lacks exports: " + missing);
        }
    }
    ~LoadedLibrary()
    {
        if (handle_) dlclose(handle_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    const SylvoApi& api() const { return api_; }
    const SylvoApi* operator->() const { return &api_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    void* handle_ = nullptr;
    SylvoApi api_;
};

}  // namespace sylvo_test
