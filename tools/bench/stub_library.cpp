// A library that does nothing: loading it costs what the loader costs for any library.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
