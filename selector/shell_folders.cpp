#include "shell_folders.h"

#include <shlobj.h>

namespace {

HRESULT RealGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path)
{
    return SHGetFolderPathW(owner, csidl, token, flags, path);
}

}  // namespace

ShellFolderApi g_ShellFolderApi = {RealGetFolderPathW};
