#include "log_lines.h"

#include <algorithm>

#include "log_file.h"

TraceLog::TraceLog() { g_LogFile.SetFileName(Narrow(m_dir.File(L"trace.log")).c_str()); }

std::vector<std::string> TraceLog::Lines() const
{
    std::vector<std::string> lines;
    for (const std::wstring& message : m_capture.Messages()) lines.push_back(Narrow(message));
    return lines;
}

std::vector<std::string> TraceLog::Starting(const std::string& prefix) const
{
    std::vector<std::string> lines;
    for (const std::string& line : Lines())
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    return lines;
}

bool TraceLog::Has(const std::string& line) const
{
    std::vector<std::string> lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
