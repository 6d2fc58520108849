#include "runtime_fixture.h"

#include <sstream>

#include "test_files.h"

namespace {
const wchar_t kRuntimeKey[] = L"SOFTWARE\\Quellar\\DRX-VCI\\Zanvi\\RT Support";
typedef int32_t(__cdecl* JournalFn)(char*, int32_t);
typedef int32_t(__cdecl* RaiseEventFn)(int32_t, uint32_t, uint32_t);
}  // namespace

std::wstring StandInPath() { return SimDir() + L"\\drx_runtime.dll"; }
std::wstring NoSelfTestStandInPath() { return SimDir() + L"\\drx_runtime_noselftest.dll"; }

RuntimeRegistration::RuntimeRegistration(const std::wstring& libraryPath)
{
    std::wstring key = kRuntimeKey;
    for (size_t pos = 0; pos != std::wstring::npos;) {
        pos = key.find(L'\\', pos + 1);
        std::wstring part = key.substr(0, pos);
        HKEY h = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, part.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                            &disposition) != ERROR_SUCCESS)
            return;
        if (disposition == REG_CREATED_NEW_KEY) m_created.push_back(part);
        if (pos == std::wstring::npos)
            RegSetValueExW(h, L"FunctionLibrary", 0, REG_SZ, reinterpret_cast<const BYTE*>(libraryPath.c_str()),
                           static_cast<DWORD>((libraryPath.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
    }
}

RuntimeRegistration::~RuntimeRegistration()
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, KEY_SET_VALUE, &h) == ERROR_SUCCESS) {
        RegDeleteValueW(h, L"FunctionLibrary");
        RegCloseKey(h);
    }
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) RegDeleteKeyW(HKEY_LOCAL_MACHINE, it->c_str());
}

ScenarioFile::ScenarioFile(const std::string& text)
{
    wchar_t dir[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, dir);
    m_path = std::wstring(dir, n) + L"drx_scenario_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    WriteWholeFile(m_path, text);
    SetEnvironmentVariableW(L"ZANVI_DRX_SCENARIO", m_path.c_str());
}

ScenarioFile::~ScenarioFile()
{
    SetEnvironmentVariableW(L"ZANVI_DRX_SCENARIO", nullptr);
    DeleteFileW(m_path.c_str());
}

StandIn::StandIn(const std::wstring& libraryPath) : m_module(LoadLibraryW(libraryPath.c_str())) {}

StandIn::~StandIn()
{
    if (m_module) FreeLibrary(m_module);
}

std::vector<std::string> StandIn::Journal() const
{
    std::vector<std::string> lines;
    JournalFn journal = m_module ? reinterpret_cast<JournalFn>(
                                       reinterpret_cast<void*>(GetProcAddress(m_module, "DrxSimJournal")))
                                 : nullptr;
    if (!journal) return lines;
    std::string text(static_cast<size_t>(journal(nullptr, 0)), '\0');
    journal(&text[0], static_cast<int32_t>(text.size()));
    std::istringstream in(text.c_str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> StandIn::Calls(const std::string& entry) const
{
    std::vector<std::string> calls;
    for (const std::string& line : Journal()) {
        if (line == entry) calls.push_back("");
        else if (line.compare(0, entry.size() + 1, entry + " ") == 0) calls.push_back(line.substr(entry.size() + 1));
    }
    return calls;
}

void StandIn::RaiseEvent(int32_t handle, uint32_t event, uint32_t subEvent) const
{
    RaiseEventFn raise = m_module ? reinterpret_cast<RaiseEventFn>(
                                        reinterpret_cast<void*>(GetProcAddress(m_module, "DrxSimRaiseEvent")))
                                  : nullptr;
    if (raise) raise(handle, event, subEvent);
}
