// Plays the host: copies a build of the resolver plug-in with the dnssd stand-in into a private
// folder, loads it with LoadLibrary and calls its exports.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"
#include "test_seams.h"

class PluginHost {
public:
    // dll: L"ZanviResolver.dll" (bin folder) or L"ZanviResolverSeams.dll" (test folder).
    PluginHost(const wchar_t* dll, bool withDnssd);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    bool Loaded() const { return m_module != nullptr; }
    HMODULE Module() const { return m_module; }
    const TempDir& Dir() const { return m_dir; }
    void Unload();

    // Seams of the test build; the adapters are those of the current FakeAdapterList, and the
    // survey throws inside the plug-in when surveyThrows says so. The pauses of the USB wait are
    // instant unless realUsbPause asks for the plug-in's own second.
    void UseFakeSeams(BOOL (*getVersionEx)(OSVERSIONINFOEXW*) = nullptr, bool realUsbPause = false,
                      bool surveyThrows = false);
    // Replaces the stand-in's network (after Init has loaded it).
    bool LoadScenario(const std::string& text);
    // Polls UpdateState every 50 ms until 3 or 5 or the time is up (then 0); records each
    // new progress figure.
    int32_t PollUntilDone(DWORD timeoutMs, std::vector<int32_t>* progress = nullptr);
    // Waits until ErrorState answers state (without calling UpdateState).
    bool WaitForErrorState(int32_t state, DWORD timeoutMs);

    int32_t (*Init)() = nullptr;
    int32_t (*Free)() = nullptr;
    int32_t (*Execute)(const char*, char*, char*) = nullptr;
    int32_t (*Cancel)() = nullptr;
    int32_t (*UpdateState)() = nullptr;
    int32_t (*ErrorState)() = nullptr;
    int32_t (*Progress)() = nullptr;
    int32_t (*ProgressMax)() = nullptr;
    int32_t (*ErrorLine)() = nullptr;
    int32_t (*ServiceName)() = nullptr;

    char ipAddress[16] = {};
    char port[6] = {};

private:
    TempDir m_dir;
    HMODULE m_module = nullptr;
};

// Counts the one-second pauses of the USB wait, which the fake seams make instant.
int UsbPauseCount();
