// The progress display of a polled run: a bar redrawn in place on a console, one line per
// change when the output goes to a file or a pipe.
#pragma once

#include <cstdint>
#include <string>

class CConsoleProgress {
public:
    CConsoleProgress();
    ~CConsoleProgress() { Finish(); }
    CConsoleProgress(const CConsoleProgress&) = delete;
    CConsoleProgress& operator=(const CConsoleProgress&) = delete;

    void Show(int32_t progress, int32_t maximum, const char* stateName);
    // Ends the bar's line, so that what follows starts on a line of its own.
    void Finish();

private:
    bool m_console;
    bool m_open = false;  // a bar is drawn on the current console line
    std::string m_last;
};

// The bar for a progress figure against its maximum; a figure outside 0..maximum shows as such.
std::string FormatProgressLine(int32_t progress, int32_t maximum, const char* stateName);
