// The Windows host of the DLL tests, run under 32-bit Wine. It loads one
// Sylvo DLL as a Windows host does and checks what only a real load shows:
// the export table (names against ordinals, nothing else exported), LibMain,
// the x87 precision the DLL's start-up leaves on every notification it can
// observe, and unloading. Then it evaluates a case file, with a freshly
// loaded copy at every @load, and prints the results in the format of
// sylvo_case_printer, for comparison with the Linux libraries.
//
//   sylvo_win_host DLL CASEFILE extended|host
//
// `extended`: the DLL's start-up selects a 64-bit significand; `host`: it
// leaves the host's precision alone. Before every load the host selects a
// 53-bit significand (the Windows default), so the cases run at 64 bits in
// a DLL of the first kind and at 53 in one of the second.
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

// The x87 control word and its precision-control field (bits 8 and 9).
constexpr unsigned pc_53 = 2;
constexpr unsigned pc_64 = 3;

unsigned short control_word()
{
    unsigned short cw;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    return cw;
}

unsigned precision(unsigned short cw)
{
    return (cw >> 8) & 3u;
}

const char* precision_name(unsigned pc)
{
    static const char* const names[4] = {"24-bit", "reserved", "53-bit", "64-bit"};
    return names[pc & 3u];
}

void select_precision(unsigned pc)
{
    const unsigned short cw = static_cast<unsigned short>((control_word() & ~0x300u) | (pc << 8));
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
}

// The image's entry point, the runtime's DLL start-up that the loader calls.
using EntryPoint = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

EntryPoint entry_point(HMODULE module)
{
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    return reinterpret_cast<EntryPoint>(
        reinterpret_cast<void*>(const_cast<unsigned char*>(base) + nt->OptionalHeader.AddressOfEntryPoint));
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

// Walks the export directory of the loaded image: exactly the thirteen names,
// sorted, with ordinals 1 to 13 in the order of export_names, each resolving
// by name to the same address as by ordinal.
void check_export_table(HMODULE module, const std::string& dll_name)
{
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    check(dos->e_magic == IMAGE_DOS_SIGNATURE && nt->Signature == IMAGE_NT_SIGNATURE &&
              nt->FileHeader.Machine == IMAGE_FILE_MACHINE_I386,
          "a 32-bit x86 image");
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0) {
        check(false, "the image has an export directory");
        return;
    }
    const auto* dir = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const char* image_name = reinterpret_cast<const char*>(base + dir->Name);
    check(lstrcmpiA(image_name, dll_name.c_str()) == 0, "export directory names the DLL %s", image_name);
    check(dir->Base == 1 && dir->NumberOfFunctions == 13 && dir->NumberOfNames == 13,
          "ordinal base %lu, %lu functions, %lu names (expected 1, 13, 13)", dir->Base,
          dir->NumberOfFunctions, dir->NumberOfNames);
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
        const bool resolves = by_name != nullptr && by_name == by_ordinal &&
                              by_name == base + functions[name_ordinals[i]];
        if (!listed || !resolves)
            check(false, "export %s @%lu (listed: %s; by name %p, by ordinal %p)", name, ordinal,
                  listed ? "yes" : "no", by_name, by_ordinal);
    }
    std::fprintf(stderr, "  export table:%s\n", table.c_str());
    for (int i = 0; i < 13; ++i) {
        void* by_name = lookup(module, export_names[i]);
        check(by_name != nullptr && by_name == lookup(module, MAKEINTRESOURCEA(i + 1)),
              "GetProcAddress(\"%s\") == GetProcAddress(@%d)", export_names[i], i + 1);
    }
    check(lookup(module, MAKEINTRESOURCEA(14)) == nullptr && lookup(module, "DllMain") == nullptr &&
              lookup(module, "LibMain@12") == nullptr && lookup(module, "_LibMain@12") == nullptr,
          "nothing at ordinal 14, no DllMain, no decorated LibMain");
}

HMODULE load(const std::string& path)
{
    select_precision(pc_53);
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) check(false, "LoadLibrary(%s) failed (error %lu)", path.c_str(), GetLastError());
    return module;
}

// FreeLibrary; true when the module is gone afterwards.
bool unload(HMODULE module, const std::string& dll_name)
{
    FreeLibrary(module);
    return GetModuleHandleA(dll_name.c_str()) == nullptr;
}

// The thirteen exports by name; false (a failed check) if any is missing.
bool resolve(HMODULE module, sylvo_test::SylvoApi& api)
{
    std::string missing;
    const bool all = sylvo_test::resolve_api([&](const char* name) { return lookup(module, name); }, api, missing);
    if (!all) check(false, "exports missing: %s", missing.c_str());
    return all;
}

// Load, export table, LibMain, and the precision after each notification.
void check_load_and_entry(const std::string& path, const std::string& dll_name, bool extended)
{
    const unsigned expected = extended ? pc_64 : pc_53;

    check(GetModuleHandleA(dll_name.c_str()) == nullptr, "%s is not loaded yet", dll_name.c_str());

    HMODULE module = load(path);
    if (!module) return;
    const unsigned short after_attach = control_word();
    check(precision(after_attach) == expected, "process attach: control word 0x%04x (%s), expected %s",
          after_attach, precision_name(precision(after_attach)), precision_name(expected));

    check_export_table(module, dll_name);
    sylvo_test::SylvoApi api;
    if (resolve(module, api)) {
        select_precision(pc_53);
        for (std::uint32_t reason : {0u, 1u, 2u, 3u, 99u}) {
            const std::int32_t r = api.LibMain(module, reason, nullptr);
            check(r == 1, "LibMain(module, %u, NULL) = %ld", reason, static_cast<long>(r));
        }
        check(precision(control_word()) == pc_53, "LibMain called by the host leaves the precision alone");
    }

    // The thread notifications, and one the loader never sends, handed to
    // the entry point in this thread. (A new thread cannot show them: under
    // Wine it starts at 0x027f even with an extended-precision DLL loaded.)
    const EntryPoint entry = entry_point(module);
    for (DWORD reason : {DWORD{DLL_THREAD_ATTACH}, DWORD{DLL_THREAD_DETACH}, DWORD{99}}) {
        select_precision(pc_53);
        const BOOL r = entry(module, reason, nullptr);
        const unsigned short cw = control_word();
        check(r == TRUE && precision(cw) == expected,
              "entry point, reason %lu: returns %d, control word 0x%04x (%s), expected %s", reason, r, cw,
              precision_name(precision(cw)), precision_name(expected));
    }

    // Process detach runs in this thread.
    select_precision(pc_53);
    check(unload(module, dll_name), "%s is gone after FreeLibrary", dll_name.c_str());
    const unsigned short after_detach = control_word();
    check(precision(after_detach) == expected, "process detach: control word 0x%04x (%s), expected %s",
          after_detach, precision_name(precision(after_detach)), precision_name(expected));
}

// Every case line, with a freshly loaded copy at every @load (and before the
// first call if the file does not start with one).
void run_cases(const std::string& path, const std::string& dll_name, bool extended,
               const std::vector<sylvo_test::CaseLine>& cases)
{
    const unsigned expected = extended ? pc_64 : pc_53;
    HMODULE module = nullptr;
    sylvo_test::SylvoApi api;
    int loads = 0;
    int wrong_precision = 0;
    int still_loaded = 0;
    auto fresh = [&] {
        if (module && !unload(module, dll_name)) ++still_loaded;
        module = load(path);
        if (!module) return false;
        ++loads;
        if (precision(control_word()) != expected) ++wrong_precision;
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
    if (module && !unload(module, dll_name)) ++still_loaded;
    check(wrong_precision == 0 && still_loaded == 0,
          "%d fresh loads for the cases, each at %s and gone after FreeLibrary (%d at another precision, %d "
          "still loaded)",
          loads, precision_name(expected), wrong_precision, still_loaded);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || (std::strcmp(argv[3], "extended") != 0 && std::strcmp(argv[3], "host") != 0)) {
        std::fprintf(stderr, "usage: %s DLL CASEFILE extended|host\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const std::string dll_name = base_name(path);
    const bool extended = std::strcmp(argv[3], "extended") == 0;
    try {
        const std::vector<sylvo_test::CaseLine> cases = sylvo_test::read_case_file(argv[2]);
        std::fprintf(stderr, "%s (%s precision):\n", dll_name.c_str(), extended ? "extended" : "host's");
        check_load_and_entry(path, dll_name, extended);
        run_cases(path, dll_name, extended, cases);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %d check%s failed\n", dll_name.c_str(), failures, failures == 1 ? "" : "s");
    return failures ? 1 : 0;
}
