// The update plug-in as the update application sees it, and the host files it reads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The host INI file's Device entry for the VCI 4711, and a world in which it can be updated.
inline constexpr char kDevice[] = "srv[DEMO-4711._zeb_vci._tcp.local,58713,usb]";
inline constexpr char kWorld[] =
    "module 4711 3 1 DEMO-4711\n"
    "pcapp zvci 1.3.0.3 2013-05-17\n"
    "vciapp 4711 5 zvci 1.3.0.2 2013-01-01 running\n"
    "server 2.1.0.15 2013-02-01 DRX Product Version\n"
    "install 3\n"
    "delay 1\n";

// zeb_fw_update.dll loaded from the build's output folder with its sixteen exports.
class UpdatePlugin {
public:
    UpdatePlugin();
    ~UpdatePlugin();
    UpdatePlugin(const UpdatePlugin&) = delete;
    UpdatePlugin& operator=(const UpdatePlugin&) = delete;
    bool Loaded() const { return m_module != nullptr; }

    typedef int32_t(__cdecl* NoArgFn)();
    typedef int32_t(__cdecl* ExecuteFn)(const char*, const char*, const char*, const char*, int32_t);
    typedef int32_t(__cdecl* TextFn)(char*, int32_t);
    typedef int32_t(__cdecl* ErrorMessageFn)(int32_t, char*, int32_t);

    NoArgFn Init, Free, Cancel, UpdateState, ErrorState, Progress, ProgressMax, Version, DataOut, DataOutMax;
    ExecuteFn Execute;
    TextFn UpdateVersion, CurrentCmd, DownloadPort, ErrorLine;
    ErrorMessageFn ErrorMessage;

    // Runs a command with the target section "Zanvi".
    int32_t Run(const char* command) { return Execute(command, "Zanvi", "", "", 0); }
    // Polls until the update leaves US_Init and US_Working (at most 20 s); the progress seen.
    std::vector<int32_t> WaitForEnd();

private:
    HMODULE m_module;
};

// "HXSystem.ini" in the Windows folder with [section] Device=value; restored afterwards.
class HostIni {
public:
    HostIni(const std::string& section, const std::string& device);
    ~HostIni();
    HostIni(const HostIni&) = delete;
    HostIni& operator=(const HostIni&) = delete;
    void SetDevice(const std::string& device);

private:
    std::string m_path;
    std::string m_section;
    std::string m_saved;
    bool m_existed;
};

// The compatibility file in the all-users application-data folder; removed with the folders
// it created.
class CompatFile {
public:
    CompatFile();
    ~CompatFile();
    CompatFile(const CompatFile&) = delete;
    CompatFile& operator=(const CompatFile&) = delete;
    void Set(const std::string& platform, const std::string& versions);
    // Puts a folder where the file should be.
    void MakeFolder();

private:
    std::string m_folder;
    std::string m_path;
    std::vector<std::string> m_created;
};

// The names in a PE file's export table, read from the file itself (any architecture).
std::vector<std::string> ExportNames(const std::wstring& path);
