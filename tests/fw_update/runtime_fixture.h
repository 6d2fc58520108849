// Test set-up for the runtime stand-in: its registry entry, its scenario and its call journal.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Points HKLM "...\RT Support" "FunctionLibrary" at a library; removes what it added.
class RuntimeRegistration {
public:
    explicit RuntimeRegistration(const std::wstring& libraryPath);
    ~RuntimeRegistration();
    RuntimeRegistration(const RuntimeRegistration&) = delete;
    RuntimeRegistration& operator=(const RuntimeRegistration&) = delete;

private:
    std::vector<std::wstring> m_created;  // keys this object created, outermost first
};

// Writes a scenario file and names it in ZANVI_DRX_SCENARIO until destroyed.
class ScenarioFile {
public:
    explicit ScenarioFile(const std::string& text);
    ~ScenarioFile();
    ScenarioFile(const ScenarioFile&) = delete;
    ScenarioFile& operator=(const ScenarioFile&) = delete;

private:
    std::wstring m_path;
};

// The stand-in loaded by path (the same module the plug-in loads) for its steering exports.
class StandIn {
public:
    explicit StandIn(const std::wstring& libraryPath);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // The calls the stand-in received since its last construction, one per line.
    std::vector<std::string> Journal() const;
    // Raises a runtime event on a handle's registration, as the runtime's own thread would.
    void RaiseEvent(int32_t handle, uint32_t event, uint32_t subEvent) const;
    // Only the lines of one entry point, without its name.
    std::vector<std::string> Calls(const std::string& entry) const;

private:
    HMODULE m_module;
};

std::wstring StandInPath();           // the full stand-in
std::wstring NoSelfTestStandInPath();  // the build without DrxRtRunSelfTest
