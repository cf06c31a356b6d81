/* A C host linked against one DLL's import library (sylvo<m>.dll.a) with
 * sylvo.h, as a Windows program built with the import library is: it starts
 * only if every import resolves to an export of the DLL, and its calls use
 * the conventions the header declares (__stdcall LibMain, __cdecl models).
 * Prints SylvoVersion's bits and LibMain's result for the test to check. */
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include "sylvo.h"

int main(void)
{
    /* Every export, so that each one is imported. */
    void (*const imports[])(void) = {
        (void (*)(void))LibMain,      (void (*)(void))SylvoAge,     (void (*)(void))SylvoBaAfter,
        (void (*)(void))SylvoGain,    (void (*)(void))SylvoGrow,    (void (*)(void))SylvoGrowBa,
        (void (*)(void))SylvoGrowTph, (void (*)(void))SylvoHeight,  (void (*)(void))SylvoMerchVol,
        (void (*)(void))SylvoSite,    (void (*)(void))SylvoTphAfter, (void (*)(void))SylvoVersion,
        (void (*)(void))SylvoVolume,
    };
    const double version = SylvoVersion();
    const int32_t entry = LibMain(NULL, 99, NULL);
    uint64_t bits;
    memcpy(&bits, &version, sizeof bits);
    printf("imports %u\nSylvoVersion => 0x%016" PRIx64 "\nLibMain => %" PRId32 "\n",
           (unsigned)(sizeof imports / sizeof imports[0]), bits, entry);
    return 0;
}
