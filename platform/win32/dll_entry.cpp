// The Windows module's load notification.
#include <windows.h>

#include "plugin/module_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        zu::ModuleProcessAttach(instance);
        ::DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        zu::ModuleProcessDetach();
    }
    return TRUE;
}
