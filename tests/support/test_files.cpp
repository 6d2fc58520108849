#include "test_files.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>

std::wstring BinDir() { return ZANVI_BIN_DIR; }
std::wstring SimDir() { return ZANVI_SIM_DIR; }
std::wstring TestDir() { return ZANVI_TEST_DIR; }

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, base);
    std::wstring root = (n > 0 && n < MAX_PATH) ? std::wstring(base, n) : L"C:\\windows\\temp\\";
    if (root.back() != L'\\') root += L'\\';
    for (;;) {
        m_path = root + L"zanvi_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(counter++);
        if (CreateDirectoryW(m_path.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

TempDir::~TempDir() { RemoveTree(m_path); }

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

bool CopyInto(const std::wstring& source, const std::wstring& folder)
{
    size_t slash = source.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
    return CopyFileW(source.c_str(), (folder + L"\\" + name).c_str(), FALSE) != FALSE;
}

std::string ReadWholeFile(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text)
{
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}
