#include "child_process.h"

ChildProcess::ChildProcess(std::wstring commandLine, const std::wstring& folder)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return;
    CloseHandle(process.hThread);
    m_hProcess = process.hProcess;
    m_dwId = process.dwProcessId;
}

ChildProcess::~ChildProcess()
{
    if (!m_hProcess) return;
    if (!Ended(0)) {
        TerminateProcess(m_hProcess, 99);
        WaitForSingleObject(m_hProcess, 5000);
    }
    CloseHandle(m_hProcess);
}

bool ChildProcess::Ended(DWORD waitMs) const
{
    return m_hProcess && WaitForSingleObject(m_hProcess, waitMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::Wait(DWORD waitMs) const
{
    DWORD code = STILL_ACTIVE;
    if (Ended(waitMs)) GetExitCodeProcess(m_hProcess, &code);
    return code;
}
