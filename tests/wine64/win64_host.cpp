// The Windows host of the 64-bit DLL tests, run under wine64. It loads one
// Sylvo DLL as a 64-bit Windows host does and checks what only a real load
// shows: an x64 image, its export table (the thirteen names with ordinals 1
// to 13, nothing else, each resolving by name and by ordinal to the same
// address), LibMain for every notification code, and unloading. Then it
// evaluates a case file, with a freshly loaded copy at every @load (the
// module's stored site starts at its load-time value), and prints the
// results in the format of sylvo_case_printer, for comparison with the
// Linux libraries.
//
//   sylvo_win64_host DLL CASEFILE
//
// Results go to stdout, the checks to stderr; the exit status is 1 when a
// check failed, 2 on a usage or case-file error.
#include <windows.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/case_file.h"
#include "support/sylvo_api.h"

namespace {

using sylvo_test::export_names;

int failures = 0;

void check(bool ok, const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fputs(ok ? "  ok      " : "  FAILED  ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    if (!ok) ++failures;
}

std::string base_name(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void* lookup(HMODULE module, const char* name_or_ordinal)
{
    return reinterpret_cast<void*>(GetProcAddress(module, name_or_ordinal));
}

void check_export_table(HMODULE module, const std::string& dll_name)
{
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const bool x64 = dos->e_magic == IMAGE_DOS_SIGNATURE && nt->Signature == IMAGE_NT_SIGNATURE &&
                     nt->FileHeader.Machine == IMAGE_FILE_MACHINE_AMD64 &&
                     nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    check(x64, "an x64 (PE32+) image");
    if (!x64) return;
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0) {
        check(false, "the image has an export directory");
        return;
    }
    const auto* dir = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const char* image_name = reinterpret_cast<const char*>(base + dir->Name);
    check(lstrcmpiA(image_name, dll_name.c_str()) == 0, "export directory names the DLL %s", image_name);
    check(dir->Base == 1 && dir->NumberOfFunctions == 13 && dir->NumberOfNames == 13,
          "ordinal base %lu, %lu functions, %lu names (expected 1, 13, 13)", dir->Base, dir->NumberOfFunctions,
          dir->NumberOfNames);
    if (dir->NumberOfNames > 1000) return;
    const auto* names = reinterpret_cast<const DWORD*>(base + dir->AddressOfNames);
    const auto* name_ordinals = reinterpret_cast<const WORD*>(base + dir->AddressOfNameOrdinals);
    const auto* functions = reinterpret_cast<const DWORD*>(base + dir->AddressOfFunctions);
    std::string table;
    for (DWORD i = 0; i < dir->NumberOfNames; ++i) {
        const char* name = reinterpret_cast<const char*>(base + names[i]);
        const DWORD ordinal = name_ordinals[i] + dir->Base;
        table += " " + std::string(name) + "@" + std::to_string(ordinal);
        const bool listed = i < 13 && std::strcmp(name, export_names[i]) == 0 && ordinal == i + 1;
        void* by_name = lookup(module, name);
        void* by_ordinal = lookup(module, MAKEINTRESOURCEA(ordinal));
        const bool resolves =
            by_name != nullptr && by_name == by_ordinal && by_name == base + functions[name_ordinals[i]];
        if (!listed || !resolves)
            check(false, "export %s @%lu (listed: %s; by name %p, by ordinal %p)", name, ordinal,
                  listed ? "yes" : "no", by_name, by_ordinal);
    }
    std::fprintf(stderr, "  export table:%s\n", table.c_str());
    int resolved = 0;
    for (int i = 0; i < 13; ++i) {
        void* by_name = lookup(module, export_names[i]);
        resolved += by_name != nullptr && by_name == lookup(module, MAKEINTRESOURCEA(i + 1));
    }
    check(resolved == 13, "%d of 13 names resolve to the export of their ordinal", resolved);
    check(lookup(module, MAKEINTRESOURCEA(14)) == nullptr && lookup(module, "DllMain") == nullptr &&
              lookup(module, "LibMain@12") == nullptr,
          "nothing at ordinal 14, no DllMain, no decorated LibMain");
}

bool resolve(HMODULE module, sylvo_test::SylvoApi& api)
{
    std::string missing;
    const bool all = sylvo_test::resolve_api([&](const char* name) { return lookup(module, name); }, api, missing);
    if (!all) check(false, "exports missing: %s", missing.c_str());
    return all;
}

void check_load_and_entry(const std::string& path, const std::string& dll_name)
{
    check(GetModuleHandleA(dll_name.c_str()) == nullptr, "%s is not loaded yet", dll_name.c_str());
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        check(false, "LoadLibrary(%s) failed (error %lu)", path.c_str(), GetLastError());
        return;
    }
    check_export_table(module, dll_name);
    sylvo_test::SylvoApi api;
    if (resolve(module, api)) {
        int ones = 0;
        for (std::uint32_t reason : {0u, 1u, 2u, 3u, 99u, 0xffffffffu}) ones += api.LibMain(module, reason, nullptr) == 1;
        check(ones == 6, "LibMain(module, reason, NULL) = 1 for 6 reasons (%d)", ones);
    }
    FreeLibrary(module);
    check(GetModuleHandleA(dll_name.c_str()) == nullptr, "%s is gone after FreeLibrary", dll_name.c_str());
}

void run_cases(const std::string& path, const std::string& dll_name, const std::vector<sylvo_test::CaseLine>& cases)
{
    HMODULE module = nullptr;
    sylvo_test::SylvoApi api;
    int loads = 0, still_loaded = 0;
    auto fresh = [&] {
        if (module) {
            FreeLibrary(module);
            if (GetModuleHandleA(dll_name.c_str())) ++still_loaded;
        }
        module = LoadLibraryA(path.c_str());
        if (!module) {
            check(false, "LoadLibrary(%s) failed (error %lu)", path.c_str(), GetLastError());
            return false;
        }
        ++loads;
        return resolve(module, api);
    };
    for (const sylvo_test::CaseLine& c : cases) {
        if (c.load || !module) {
            if (!fresh()) return;
            if (c.load) continue;
        }
        std::printf("%d %s =>", c.line_number, c.name.c_str());
        for (std::uint64_t r : sylvo_test::evaluate_case(api, c)) std::printf(" 0x%016" PRIx64, r);
        std::printf("\n");
    }
    if (module) {
        FreeLibrary(module);
        if (GetModuleHandleA(dll_name.c_str())) ++still_loaded;
    }
    check(still_loaded == 0, "%d fresh loads for the cases, each gone after FreeLibrary (%d still loaded)", loads,
          still_loaded);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DLL CASEFILE\n", argv[0]);
        return 2;
    }
    // The x87 control word of a new x64 Windows thread (a 53-bit
    // significand; Wine starts at 64 bits): the DLLs' exp, log and pow must
    // not depend on it.
    const unsigned short windows_default = 0x027f;
    __asm__ __volatile__("fldcw %0" : : "m"(windows_default));
    const std::string path = argv[1];
    const std::string dll_name = base_name(path);
    try {
        const std::vector<sylvo_test::CaseLine> cases = sylvo_test::read_case_file(argv[2]);
        std::fprintf(stderr, "%s (x64):\n", dll_name.c_str());
        check_load_and_entry(path, dll_name);
        run_cases(path, dll_name, cases);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %d check%s failed\n", dll_name.c_str(), failures, failures == 1 ? "" : "s");
    return failures ? 1 : 0;
}
