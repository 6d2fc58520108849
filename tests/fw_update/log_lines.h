// The update plug-in's trace lines as a test sees them: the log is pointed at a temporary file
// so that every line also reaches the debugger output, where a capture collects it.
#pragma once

#include <string>
#include <vector>

#include "debug_capture.h"
#include "test_files.h"

class TraceLog {
public:
    TraceLog();
    // Tag + message of every line since construction or Clear.
    std::vector<std::string> Lines() const;
    // The lines that begin with prefix, in order.
    std::vector<std::string> Starting(const std::string& prefix) const;
    bool Has(const std::string& line) const;
    void Clear() { m_capture.Clear(); }

private:
    TempDir m_dir;
    DebugOutputCapture m_capture;
};
