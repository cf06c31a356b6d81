// The DLL entry of the 64-bit Windows libraries. The runtime's start-up
// (DllMainCRTStartup) initialises the C runtime on process attach and hands
// every notification to DllMain, which passes it on to LibMain, as on
// 32-bit Windows. There is no precision to select: doubles are computed in
// SSE2 registers, every operation rounded to double. DllMain is not
// exported.
#include <windows.h>

#include "sylvo.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    return LibMain(module, reason, reserved);
}
