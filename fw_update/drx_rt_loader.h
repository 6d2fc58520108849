// The runtime library loaded at run time and its entry points bound by name.
#pragma once

#include <windows.h>

#include <vector>

#include "drx_rt_api.h"

class CDrxRtLoader {
public:
    // Binds every entry point; false when the library cannot be loaded or a name is missing.
    // The library stays loaded in either case until Unload.
    static bool Load(const char* pszPath);
    static void Unload();
    static bool IsLoaded() { return m_hLibrary != nullptr; }
    // The entry points that are not bound (all of them when no library is loaded), in binding
    // order.
    static std::vector<const char*> Unbound();

#define DRXRT_MEMBER(name, type) static type m_fn##name;
    DRXRT_ENTRY_POINTS(DRXRT_MEMBER)
#undef DRXRT_MEMBER

private:
    CDrxRtLoader() = delete;
    virtual ~CDrxRtLoader() = default;

    static HMODULE m_hLibrary;
};
