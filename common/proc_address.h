// An entry point of a loaded module as its own function-pointer type.
#pragma once

#include <windows.h>

// Null when the module is null or lacks the name. The step through void* is how a FARPROC
// becomes another function-pointer type without a cast-function-type warning.
template <class Fn>
Fn ProcAddress(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
