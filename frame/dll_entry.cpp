// The DLL entry (32-bit Windows only). The runtime's start-up
// (DllMainCRTStartup) initialises the C runtime on process attach and hands
// every notification to DllMain, which sets the x87 precision the model asks
// for and passes the notification on to LibMain. DllMain is not exported.
#include <windows.h>

#include "model.h"
#include "sylvo.h"
#include "x87.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    // Extended precision on every notification, in the thread that receives
    // it; a model that does not ask for it leaves the host's precision alone.
    if constexpr (sylvo::SYLVO_EXPORT_MODEL::coefficients.frame.extended_precision) sylvo::x87::select_extended_precision();
    return LibMain(module, reason, reserved);
}
