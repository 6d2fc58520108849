#include "fake_script.h"

#include <windows.h>

namespace {

// The folder of the library this code is linked into, with a final backslash.
std::wstring OwnFolder()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnFolder), &self);
    wchar_t path[MAX_PATH] = L"";
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring full(path, n < MAX_PATH ? n : 0);
    return full.substr(0, full.find_last_of(L'\\') + 1);
}

std::wstring ScriptFile() { return OwnFolder() + L"fake_script.ini"; }

}  // namespace

int ScriptInt(const wchar_t* key, int fallback)
{
    return static_cast<int>(GetPrivateProfileIntW(L"Script", key, fallback, ScriptFile().c_str()));
}

std::string ScriptText(const wchar_t* key, const wchar_t* fallback)
{
    wchar_t value[256] = L"";
    DWORD n = GetPrivateProfileStringW(L"Script", key, fallback, value, 256, ScriptFile().c_str());
    return std::string(value, value + n);  // the scripts hold ASCII only
}

void RecordCall(const std::string& line)
{
    HANDLE file = CreateFileW((OwnFolder() + L"calls.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}
