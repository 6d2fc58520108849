#include "console_progress.h"

#include <windows.h>

#include <cstdio>

namespace {

const int kBarWidth = 30;

}  // namespace

CConsoleProgress::CConsoleProgress()
{
    DWORD mode = 0;
    m_console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

void CConsoleProgress::Show(int32_t progress, int32_t maximum, const char* stateName)
{
    std::string line = FormatProgressLine(progress, maximum, stateName);
    if (line == m_last) return;
    if (m_console) {
        // Blank out what is left of a longer earlier line.
        size_t pad = m_last.size() > line.size() ? m_last.size() - line.size() : 0;
        std::printf("\r%s%*s", line.c_str(), static_cast<int>(pad), "");
        m_open = true;
    } else {
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    m_last = line;
}

void CConsoleProgress::Finish()
{
    if (m_open) {
        std::printf("\n");
        std::fflush(stdout);
        m_open = false;
    }
}

std::string FormatProgressLine(int32_t progress, int32_t maximum, const char* stateName)
{
    int filled = 0;
    if (maximum > 0 && progress > 0)
        filled = progress >= maximum ? kBarWidth : static_cast<int>(static_cast<int64_t>(progress) * kBarWidth / maximum);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    char figures[64];
    std::snprintf(figures, sizeof(figures), "] %ld/%ld ", static_cast<long>(progress), static_cast<long>(maximum));
    return "[" + bar + figures + stateName;
}
