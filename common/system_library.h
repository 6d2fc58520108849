// A system library loaded from the system folder for as long as this object lives: for calls
// that only a rare path makes, so that loading a plug-in does not load their libraries too.
#pragma once

#include <windows.h>

#include <string>

#include "proc_address.h"

class CSystemLibrary {
public:
    explicit CSystemLibrary(const wchar_t* name)
    {
        wchar_t folder[MAX_PATH] = {};
        UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        // Only the system folder, never the search path: no path, no library.
        if (length == 0 || length >= MAX_PATH) return;
        m_module = LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
    }
    ~CSystemLibrary()
    {
        if (m_module) FreeLibrary(m_module);
    }
    CSystemLibrary(const CSystemLibrary&) = delete;
    CSystemLibrary& operator=(const CSystemLibrary&) = delete;

    // The entry point, null when the library did not load or lacks it.
    template <class Fn>
    Fn Bind(const char* name) const
    {
        return ProcAddress<Fn>(m_module, name);
    }

private:
    HMODULE m_module = nullptr;
};
