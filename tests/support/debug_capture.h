// Collects what the code under test sends to the debugger output (OutputDebugStringA/W).
//
// OutputDebugString raises a first-chance exception that a debugger would take; a vectored
// handler sees it first, records the text and lets the call return. Only one capture is
// active at a time; lines from every thread of the process are collected.
#pragma once

#include <string>
#include <vector>

#include "win32_sync.h"

class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    // Each debugger output call as it was sent (narrow texts widened from the ANSI code page).
    std::vector<std::wstring> Lines() const;
    // The same lines as tag + message: the "[date time] " stamp and the final newline removed.
    // A line without a well-formed stamp is kept whole, so a comparison shows it.
    std::vector<std::wstring> Messages() const;
    void Clear();

private:
    void Add(std::wstring line);
    static long __stdcall Handler(void* exceptionPointers);

    mutable CMutex m_lock;
    std::vector<std::wstring> m_lines;
    void* m_handler;
};

// Tag + message of one log line, or the line unchanged when its stamp is malformed.
std::wstring StripStamp(const std::wstring& line);
// True when line is tag + "[YYYY-MM-DD HH:MM:SS] " + rest.
bool HasWellFormedStamp(const std::wstring& line);
