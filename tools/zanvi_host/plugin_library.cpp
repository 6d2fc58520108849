#include "plugin_library.h"

#include <vector>

CPluginLibrary::~CPluginLibrary()
{
    if (m_module) FreeLibrary(m_module);
}

bool CPluginLibrary::Load(const std::wstring& folder, const std::wstring& name, std::wstring& error)
{
    m_path = PathInFolder(folder, name);
    DWORD attributes = GetFileAttributesW(m_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = L"cannot find " + m_path;
        return false;
    }
    m_module = LoadLibraryW(m_path.c_str());
    if (!m_module) {
        DWORD code = GetLastError();
        error = L"cannot load " + m_path + L": " + SystemErrorText(code) + L" (error " + std::to_wstring(code) + L")";
        return false;
    }
    return true;
}

FARPROC CPluginLibrary::Find(const char* exportName, std::wstring& error)
{
    FARPROC proc = m_module ? GetProcAddress(m_module, exportName) : nullptr;
    if (!proc) {
        std::wstring wideName(exportName, exportName + lstrlenA(exportName));
        error = m_path + L" has no export " + wideName;
    }
    return proc;
}

std::wstring PathInFolder(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder + name;
    return folder + L"\\" + name;
}

std::wstring ProgramFolder()
{
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> path(size, L'\0');
        DWORD n = GetModuleFileNameW(nullptr, path.data(), size);
        if (n == 0) break;
        if (n < size) {
            std::wstring full(path.data(), n);
            size_t slash = full.find_last_of(L"\\/");
            return slash == std::wstring::npos ? std::wstring(L".") : full.substr(0, slash);
        }
    }
    return L".";
}

std::wstring SystemErrorText(DWORD code)
{
    wchar_t text[512] = L"";
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                             static_cast<DWORD>(sizeof(text) / sizeof(text[0])), nullptr);
    std::wstring out(text, n);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' ')) out.pop_back();
    return out.empty() ? L"unknown error" : out;
}
