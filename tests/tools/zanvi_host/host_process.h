// Runs zanvi_host as a child process with its output in a file, as a script would run it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct HostRun {
    DWORD exitCode = 0;
    bool finished = false;  // false: it did not end within the wait and was terminated
    std::string output;     // standard output and standard error, in order
    std::vector<std::string> Lines() const;
};

// Runs build/<t>/bin/zanvi_host.exe with the given arguments (each quoted), waiting at most
// waitMs. The output file is written into folder.
HostRun RunHost(const std::vector<std::wstring>& args, const std::wstring& folder, DWORD waitMs = 60000);
// The same with another build of the program.
HostRun RunHostProgram(const std::wstring& program, const std::vector<std::wstring>& args,
                       const std::wstring& folder, DWORD waitMs = 60000);
