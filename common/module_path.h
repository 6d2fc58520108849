// The full path of a module's own file, and of a file beside it, however long the path is.
#pragma once

#include <windows.h>

#include <string>

// Full path of hModule's file (null: the program's); empty when it cannot be had.
inline std::wstring ModuleFilePath(HMODULE hModule)
{
    // A path has at most 32767 characters; the buffer grows until the whole path fits.
    for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
        std::wstring path(size, L'\0');
        const DWORD length = GetModuleFileNameW(hModule, &path[0], size);
        if (length == 0) return std::wstring();
        if (length < size) {
            path.resize(length);
            return path;
        }
    }
    return std::wstring();
}

// The file fileName in the folder of hModule's file. Empty when that folder cannot be had: a
// bare file name must never reach LoadLibrary, which would look for it on the search path.
inline std::wstring FileBesideModule(HMODULE hModule, const wchar_t* fileName)
{
    const std::wstring path = ModuleFilePath(hModule);
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return std::wstring();
    return path.substr(0, slash + 1) + fileName;
}
