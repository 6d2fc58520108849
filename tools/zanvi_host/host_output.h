// What zanvi_host prints: results on standard output, failures on standard error.
#pragma once

#include <string>

// A failure message "zanvi_host: <message>" on standard error; returns exitCode.
int ReportFailure(int exitCode, const std::wstring& message);
