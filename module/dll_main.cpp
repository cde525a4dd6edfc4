// The DLL's own entry point. The module has nothing to set up or tear down,
// so every notification succeeds at once.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
