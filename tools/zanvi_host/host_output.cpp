#include "host_output.h"

#include <cstdio>

#include "service_text.h"

int ReportFailure(int exitCode, const std::wstring& message)
{
    std::fflush(stdout);  // keep the order of both streams when they share a file
    std::fprintf(stderr, "zanvi_host: %s\n", ToDisplayText(message).c_str());
    std::fflush(stderr);
    return exitCode;
}
