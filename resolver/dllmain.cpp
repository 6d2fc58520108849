// The resolver plug-in's entry point: it only remembers its own module, to find its folder.
#include <windows.h>

#include "run_state.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/)
{
    g_hModule = instance;
    return TRUE;
}
