// What every measurement of the benchmark shares: a fine clock, the one output line format (the
// script turns the samples into figures).
#pragma once

#include <windows.h>

#include <functional>

// Milliseconds of the performance counter, which all processes of the machine share.
double NowMs();

// "sample <figure> <milliseconds or percent>" on standard output, flushed at once.
void PrintSample(const char* figure, double value);

// A message on standard error; answers the exit code of a failed measurement.
int Fail(const char* what);

// Polls condition every pollMs until it holds or timeoutMs passed; answers whether it held.
bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs);
