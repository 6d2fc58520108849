// The resolver plug-in as a fast host drives it: Execute -> Ready per link, polled every 10 ms,
// and LoadLibrary + Init, the first time in a process (cold) and again (warm), beside what the
// design asks Init to do, made bare (the floor).
#pragma once

#include <string>

// folder holds ZanviResolver.dll with dnssd.dll and its scenario; link is usb, wifi or eth.
// Prints resolver.<link> samples.
int RunResolve(const std::wstring& folder, const std::string& link, int repetitions);

// kind "plugin": LoadLibrary + Zanviresolver_Init of folder\ZanviResolver.dll; "bare": loading
// folder\dnssd.dll and the IP helper library and one adapter survey. Prints
// resolver.init.cold[.bare] for the first repetition and resolver.init.warm[.bare] after it.
int RunResolverInit(const std::wstring& folder, const std::string& kind, int repetitions);
