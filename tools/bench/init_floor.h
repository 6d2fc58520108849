// The outside work of LoadLibrary + Init that is the same for any plug-in, made bare: the
// loader's own cost of a library, and the trace lines that the design asks of the call (as many
// as the plug-in sends to the debugger output, through the same calls).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "debug_capture.h"
#include "samples.h"

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

// Sends lines wide lines of a trace's usual length to the debugger output.
void SendTraceLines(int lines);
// Appends lines narrow lines to the log file at logPath, each opened for appending, written and
// closed, and sends each to the debugger output: how a line of the update plug-in's log goes out.
void AppendTraceLines(int lines, const std::wstring& logPath);

// Prints as figure the lines that a plug-in (a type with Load(folder), init, free and Unload)
// sends to the debugger output during LoadLibrary + Init.
template <class Plugin>
int PrintInitTraceLines(const std::wstring& folder, const char* figure)
{
    DebugOutputCapture capture;
    Plugin plugin;
    const bool started = plugin.Load(folder) && plugin.init() == 0;
    const std::size_t lines = capture.Lines().size();
    if (plugin.free) plugin.free();
    plugin.Unload();
    if (!started) return Fail("the plug-in did not start to count its trace lines");
    PrintSample(figure, static_cast<double>(lines));
    return 0;
}
