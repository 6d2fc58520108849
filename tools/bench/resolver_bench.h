// The resolver plug-in as a fast host drives it: Execute -> Ready per link, polled every 10 ms,
// and LoadLibrary + Init, the first time in a process (cold) and again (warm), beside what the
// design asks Init to do, made bare (the floor).
#pragma once

#include <string>

// folder holds ZanviResolver.dll with dnssd.dll and its scenario; link is usb, wifi or eth.
// Prints resolver.<link> samples.
int RunResolve(const std::wstring& folder, const std::string& link, int repetitions);

// kind "plugin": LoadLibrary + Zanviresolver_Init of folder\ZanviResolver.dll; "bare": a library
// of the benchmark's loaded, folder\dnssd.dll and the IP helper library loaded, one adapter
// survey and traceLines trace lines to the debugger output. Prints resolver.init.cold[.bare] for
// the first repetition and resolver.init.warm[.bare] after it. "lines": counts the lines that
// the plug-in sends to the debugger output during LoadLibrary + Init, and prints them as
// resolver.init.lines.
int RunResolverInit(const std::wstring& folder, const std::string& kind, int repetitions, int traceLines);
