// A program a test starts: nothing is inherited (a child must not hold the test's output pipe
// open), and it is ended if the test leaves it running.
#pragma once

#include <windows.h>

#include <string>

class ChildProcess {
public:
    // commandLine as CreateProcessW takes it; folder is its working folder (empty: the test's).
    explicit ChildProcess(std::wstring commandLine, const std::wstring& folder = std::wstring());
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_hProcess != nullptr; }
    DWORD Id() const { return m_dwId; }
    // True when it ended within waitMs.
    bool Ended(DWORD waitMs) const;
    // The exit code, or STILL_ACTIVE when it did not end within waitMs.
    DWORD Wait(DWORD waitMs) const;

private:
    HANDLE m_hProcess = nullptr;
    DWORD m_dwId = 0;
};
