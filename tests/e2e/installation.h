// The system as a PC holds it: the deliverables in one folder with the DNS-SD library, the VCI
// runtime registered, and the demo's simulated VCIs behind both stand-ins.
#pragma once

#include <string>
#include <vector>

#include "host_process.h"
#include "runtime_fixture.h"
#include "test_files.h"

class Installation {
public:
    Installation();
    const std::wstring& Folder() const { return m_folder.Path(); }
    // zanvi_host with the given arguments, over the plug-ins of this installation.
    HostRun Host(std::vector<std::wstring> args) const;
    // The update plug-in's log file beside its library.
    std::string UpdateLog() const;

private:
    TempDir m_folder;
    RuntimeRegistration m_runtime;
};

// Whether the run printed exactly this line.
bool HasLine(const HostRun& run, const std::string& line);

// A file of the demo's scenarios (demo/ in the sources).
std::wstring DemoFile(const wchar_t* name);
