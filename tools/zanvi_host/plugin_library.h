// A plug-in library loaded from a folder at run time, as the hosts load theirs, and its exports
// bound by name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CPluginLibrary {
public:
    CPluginLibrary() = default;
    ~CPluginLibrary();
    CPluginLibrary(const CPluginLibrary&) = delete;
    CPluginLibrary& operator=(const CPluginLibrary&) = delete;

    // Loads folder\name. False when the file is missing or cannot be loaded; error says which.
    bool Load(const std::wstring& folder, const std::wstring& name, std::wstring& error);

    // Binds one export of the loaded library to fn. False when the library lacks it.
    template <typename Fn>
    bool Bind(const char* exportName, Fn& fn, std::wstring& error)
    {
        FARPROC proc = Find(exportName, error);
        // Through the generic function pointer type, which converts to any other without a warning.
        fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
        return proc != nullptr;
    }

    const std::wstring& Path() const { return m_path; }

private:
    FARPROC Find(const char* exportName, std::wstring& error);

    HMODULE m_module = nullptr;
    std::wstring m_path;
};

// Calls a plug-in's shutdown export (Zanviresolver_Free, Free) when the scope ends, on every
// path once the plug-in was initialised.
class CPluginShutdown {
public:
    typedef int32_t(__cdecl* PFN_Shutdown)();
    explicit CPluginShutdown(PFN_Shutdown shutdown) : m_shutdown(shutdown) {}
    ~CPluginShutdown() { m_shutdown(); }
    CPluginShutdown(const CPluginShutdown&) = delete;
    CPluginShutdown& operator=(const CPluginShutdown&) = delete;

private:
    PFN_Shutdown m_shutdown;
};

// folder\name, without a second separator when the folder ends in one.
std::wstring PathInFolder(const std::wstring& folder, const std::wstring& name);

// The folder of this program's own file: where the plug-ins are looked for by default.
std::wstring ProgramFolder();

// The system's text for an error code, without the final line break.
std::wstring SystemErrorText(DWORD code);
