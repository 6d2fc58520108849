// The outside work of LoadLibrary + Init that is the same for any plug-in, made bare: the
// loader's own cost of a library, and the trace lines that the design asks of the call, counted
// from the plug-in's debugger output and delivered bare (as many lines, through the same calls).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "worker_thread.h"

// A debug monitor of this process for as long as it lives (the system-wide debug-output buffer
// that debug viewers read): counts the lines this process sends to the debugger output until
// a line equal to the end mark comes.
class CDebugOutputCounter {
public:
    CDebugOutputCounter();
    ~CDebugOutputCounter();
    CDebugOutputCounter(const CDebugOutputCounter&) = delete;
    CDebugOutputCounter& operator=(const CDebugOutputCounter&) = delete;

    bool Listening() const { return m_view != nullptr; }
    // Sends the end mark and answers the lines counted before it, -1 when they could not be.
    int LinesUntilNow();

private:
    static void Read(void* context, HANDLE stop);

    HANDLE m_bufferReady = nullptr, m_dataReady = nullptr, m_mapping = nullptr;
    const char* m_view = nullptr;
    std::atomic<int> m_lines{0};
    std::atomic<bool> m_marked{false};
    CWorkerThread m_reader;
};

// A library of the benchmark's that does nothing, loaded from folder while this object lives.
class CStubLibrary {
public:
    explicit CStubLibrary(const std::wstring& folder);
    ~CStubLibrary();
    CStubLibrary(const CStubLibrary&) = delete;
    CStubLibrary& operator=(const CStubLibrary&) = delete;
    bool Loaded() const { return m_module != nullptr; }

private:
    HMODULE m_module;
};

// The lines of the file at path, 0 when there is no such file.
int CountFileLines(const std::wstring& path);

// Sends lines wide lines of a trace's usual length to the debugger output.
void SendTraceLines(int lines);
// Appends lines narrow lines to the log file at logPath, each opened for appending, written and
// closed, and sends each to the debugger output: how a line of the update plug-in's log goes out.
void AppendTraceLines(int lines, const std::wstring& logPath);
