// What a process holds that a loaded and unloaded library could leave behind: free TLS and FLS
// indexes, handles by type, threads, committed private memory and loaded modules.
#pragma once

#include <map>
#include <string>

struct ProcessFigures {
    unsigned tlsFree = 0;
    unsigned flsFree = 0;
    std::map<std::string, unsigned> handles;  // by object type
    unsigned threads = 0;
    unsigned long long privateBytes = 0;
    unsigned modules = 0;

    unsigned HandleCount() const;
    // One line: "TLS free 1020, FLS free 4000, handles 40 (Event 12, ...), threads 2, ...".
    std::string Text() const;
};

// The figures of this process now.
ProcessFigures ReadProcessFigures();
