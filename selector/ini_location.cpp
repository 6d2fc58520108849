#include "ini_location.h"

#include <windows.h>

#include <shlobj.h>

#include "log.h"
#include "shell_folders.h"
#include "zanvi_selector_dlg.h"

namespace {

struct IniCandidate {
    int nFolder;                 // CSIDL of the folder the shell names
    const wchar_t* szSubFolder;  // appended to it, or null
    const wchar_t* szFileName;
};

const IniCandidate kCandidates[] = {
    {CSIDL_WINDOWS, nullptr, L"HXSystem.ini"},
    {CSIDL_COMMON_APPDATA, L"Quellar\\Corvex2\\Corvex", L"QuellarDG.ini"},
    {CSIDL_APPDATA, L"Quellar\\Corvex2\\Corvex", L"QuellarDG.ini"},
};
const int kCandidateCount = sizeof(kCandidates) / sizeof(kCandidates[0]);

// Empty when the shell cannot name the folder.
std::wstring ShellFolder(int nFolder)
{
    wchar_t szPath[MAX_PATH] = {};
    if (FAILED(g_ShellFolderApi.GetFolderPathW(nullptr, nFolder, nullptr, 0, szPath))) return {};
    szPath[MAX_PATH - 1] = L'\0';
    return szPath;
}

bool IsDirectory(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\') return folder + name;
    return folder + L'\\' + name;
}

void CZanviSelectorDlg::FindIniFile()
{
    m_strIniFile.clear();

    // All folders are named before any is probed.
    std::wstring directories[kCandidateCount];
    for (int i = 0; i < kCandidateCount; ++i) {
        std::wstring folder = ShellFolder(kCandidates[i].nFolder);
        // A folder the shell cannot name stays empty and counts as a missing directory.
        if (!folder.empty() && kCandidates[i].szSubFolder)
            folder = JoinPath(folder, kCandidates[i].szSubFolder);
        directories[i] = folder;
    }

    for (int i = 0; i < kCandidateCount; ++i) {
        if (directories[i].empty() || !IsDirectory(directories[i])) {
            WriteLog(L"W:", L"Zanvi-Selector: didn't find directory '%s'", directories[i].c_str());
            continue;
        }
        std::wstring file = JoinPath(directories[i], kCandidates[i].szFileName);
        if (IsFile(file)) {
            m_strIniFile = file;
            WriteLog(L"D:", L"Zanvi-Selector: using '%s'", m_strIniFile.c_str());
            return;
        }
        WriteLog(L"W:", L"Zanvi-Selector: didn't find file '%s'", file.c_str());
    }
    WriteLog(L"E:", L"Zanvi-Selector: could not find INI file to use.");
}
