#include "plugin_fixture.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "test_files.h"

namespace {

template <class Fn>
Fn Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

UpdatePlugin::UpdatePlugin() : m_module(LoadLibraryW((BinDir() + L"\\zeb_fw_update.dll").c_str()))
{
    Init = Export<NoArgFn>(m_module, "Init");
    Free = Export<NoArgFn>(m_module, "Free");
    Cancel = Export<NoArgFn>(m_module, "Cancel");
    UpdateState = Export<NoArgFn>(m_module, "UpdateState");
    ErrorState = Export<NoArgFn>(m_module, "ErrorState");
    Progress = Export<NoArgFn>(m_module, "Progress");
    ProgressMax = Export<NoArgFn>(m_module, "ProgressMax");
    Version = Export<NoArgFn>(m_module, "Version");
    DataOut = Export<NoArgFn>(m_module, "DataOut");
    DataOutMax = Export<NoArgFn>(m_module, "DataOutMax");
    Execute = Export<ExecuteFn>(m_module, "Execute");
    UpdateVersion = Export<TextFn>(m_module, "UpdateVersion");
    CurrentCmd = Export<TextFn>(m_module, "CurrentCmd");
    DownloadPort = Export<TextFn>(m_module, "DownloadPort");
    ErrorLine = Export<TextFn>(m_module, "ErrorLine");
    ErrorMessage = Export<ErrorMessageFn>(m_module, "ErrorMessage");
}

UpdatePlugin::~UpdatePlugin()
{
    if (m_module) FreeLibrary(m_module);
}

std::vector<int32_t> UpdatePlugin::WaitForEnd()
{
    std::vector<int32_t> progress;
    DWORD start = GetTickCount();
    for (;;) {
        progress.push_back(Progress());
        int32_t state = UpdateState();
        if ((state != 1 && state != 2) || GetTickCount() - start > 20000) break;
        Sleep(5);
    }
    progress.push_back(Progress());
    return progress;
}

HostIni::HostIni(const std::string& section, const std::string& device) : m_section(section)
{
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    m_path = std::string(folder) + "\\HXSystem.ini";
    m_existed = GetFileAttributesA(m_path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (m_existed) m_saved = ReadWholeFile(Widen(m_path));
    SetDevice(device);
}

void HostIni::SetDevice(const std::string& device)
{
    WritePrivateProfileStringA(m_section.c_str(), "Device", device.c_str(), m_path.c_str());
}

HostIni::~HostIni()
{
    WritePrivateProfileStringA(m_section.c_str(), nullptr, nullptr, m_path.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_path.c_str());  // flush the cache
    if (m_existed)
        WriteWholeFile(Widen(m_path), m_saved);
    else
        DeleteFileA(m_path.c_str());
}

CompatFile::CompatFile()
{
    char base[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, base);
    m_folder = base;
    for (const char* part : {"Quellar", "DRX-VCI", "Zanvi", "app-compatibility"}) {
        m_folder += std::string("\\") + part;
        if (CreateDirectoryA(m_folder.c_str(), nullptr)) m_created.push_back(m_folder);
    }
    m_path = m_folder + "\\zvci_app_compatibility.config";
}

CompatFile::~CompatFile()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_path.c_str());
    DeleteFileA(m_path.c_str());
    RemoveDirectoryA(m_path.c_str());
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) RemoveDirectoryA(it->c_str());
}

void CompatFile::Set(const std::string& platform, const std::string& versions)
{
    WritePrivateProfileStringA(platform.c_str(), "zvci", versions.c_str(), m_path.c_str());
}

void CompatFile::MakeFolder() { CreateDirectoryA(m_path.c_str(), nullptr); }

std::vector<std::string> ExportNames(const std::wstring& path)
{
    std::vector<std::string> names;
    std::string pe = ReadWholeFile(path);
    auto u16 = [&](size_t at) -> uint32_t { return at + 2 <= pe.size() ? *reinterpret_cast<const uint16_t*>(&pe[at]) : 0; };
    auto u32 = [&](size_t at) -> uint32_t { return at + 4 <= pe.size() ? *reinterpret_cast<const uint32_t*>(&pe[at]) : 0; };
    size_t nt = u32(0x3C);
    if (pe.size() < nt + 24 || pe.compare(nt, 4, std::string("PE\0\0", 4)) != 0) return names;
    size_t sections = u16(nt + 6), optional = nt + 24, optionalSize = u16(nt + 20);
    bool pe32plus = u16(optional) == 0x20B;
    uint32_t exportRva = u32(optional + (pe32plus ? 112 : 96));
    auto offset = [&](uint32_t rva) -> size_t {
        for (size_t i = 0; i < sections; ++i) {
            size_t s = optional + optionalSize + i * 40;
            uint32_t va = u32(s + 12), size = u32(s + 16), raw = u32(s + 20);
            if (rva >= va && rva < va + size) return raw + (rva - va);
        }
        return 0;
    };
    size_t dir = offset(exportRva);
    if (!dir) return names;
    uint32_t count = u32(dir + 24);
    size_t table = offset(u32(dir + 32));
    for (uint32_t i = 0; i < count && table; ++i) {
        size_t name = offset(u32(table + 4 * i));
        if (name && name < pe.size()) names.push_back(pe.c_str() + name);
    }
    std::sort(names.begin(), names.end());
    return names;
}
