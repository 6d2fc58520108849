// The update plug-in as the update application drives it, on the runtime stand-in: LoadLibrary +
// Init (cold and warm), an update of an install whose component timings the runtime's scenario
// fixes, and Free while an install runs; Init and Free beside the runtime calls they are asked
// to make, made bare (the floor).
#pragma once

#include <string>

// kind "plugin": LoadLibrary + Init of folder\zeb_fw_update.dll; "bare": a library of the
// benchmark's loaded, the registered runtime loaded, its 59 entry points bound, constructed and
// its event callback registered, and traceLines lines appended to a log file beside the plug-in
// as its log appends them. Prints update.init.cold[.bare] for the first repetition and
// update.init.warm[.bare] after it. "lines": counts the lines that the plug-in sends to the debugger
// output during LoadLibrary + Init, and prints them as update.init.lines.
int RunUpdateInit(const std::wstring& folder, const std::string& kind, int repetitions, int traceLines);

// "FWUpdate" on the VCI of the Corvex host's INI file, polled every 10 ms until Ready. Prints
// update.beyond: the milliseconds beyond standInMs, the runtime's own delays.
int RunUpdate(const std::wstring& folder, int repetitions, double standInMs);

// kind "plugin": Free once the install reports its second component; "bare": disconnecting,
// destructing and unloading the runtime at the same point of a bare install. Prints
// update.free[.bare].
int RunUpdateFree(const std::wstring& folder, const std::string& kind, int repetitions);
