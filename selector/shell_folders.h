// The shell's folder lookup, reached through a table so that tests can point the folders at
// places of their own.
#pragma once

#include <windows.h>

struct ShellFolderApi {
    // Same contract as SHGetFolderPathW: fills a buffer of MAX_PATH characters.
    HRESULT (*GetFolderPathW)(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path);
};

// The real shell calls unless replaced.
extern ShellFolderApi g_ShellFolderApi;
