#include "scenario_file.h"

#include <windows.h>

namespace dnssd_sim {

namespace {

constexpr DWORD kMaxScenarioBytes = 1 << 20;

// The file handle is closed on every path.
class CFile {
public:
    explicit CFile(const std::wstring& path)
        : m_h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
              FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~CFile()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    HANDLE Get() const { return m_h; }

private:
    HANDLE m_h;
};

std::wstring ModuleFolder()
{
    HMODULE self = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&ModuleFolder), &self))
        return std::wstring();
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    std::wstring folder(path, n);
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

}  // namespace

std::string NarrowPath(const std::wstring& path)
{
    int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), nullptr,
        0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), &out[0], n,
            nullptr, nullptr);
    return out;
}

bool ReadScenarioFile(const std::wstring& path, const std::string& label, Scenario& scenario,
    std::string& error)
{
    CFile file(path);
    if (file.Get() == INVALID_HANDLE_VALUE) {
        error = label + ": cannot open the scenario file (error " +
                std::to_string(GetLastError()) + ")";
        return false;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxScenarioBytes) {
        error = label + ": the scenario file is unreadable or larger than 1 MiB";
        return false;
    }
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() &&
        (!ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
            read != text.size())) {
        error = label + ": cannot read the scenario file";
        return false;
    }
    return ParseScenario(text, label, scenario, error);
}

bool LoadDefaultScenario(Scenario& scenario, std::string& error)
{
    wchar_t value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"ZANVI_DNSSD_SCENARIO", value, MAX_PATH);
    if (n >= MAX_PATH) {
        error = "ZANVI_DNSSD_SCENARIO: the path is longer than 259 characters";
        return false;
    }
    if (n > 0)
        return ReadScenarioFile(value, NarrowPath(value), scenario, error);
    std::wstring beside = ModuleFolder() + L"dnssd_scenario.txt";
    if (GetFileAttributesW(beside.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    return ReadScenarioFile(beside, NarrowPath(beside), scenario, error);
}

}  // namespace dnssd_sim
