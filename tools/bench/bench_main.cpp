// The benchmark's measuring program: each command runs one kind of measurement on the stand-ins
// and prints "sample <figure> <value>" lines; scripts/bench.sh runs them, reads the selector's
// CPU time and turns the samples into the table, the CSV file and the chart.
//
//     bench selector <folder> <VCIs listed> <repetitions>
//     bench churn <folder> <instances> <seconds>      (by hand, not part of make bench)
//     bench wakeups <VCIs listed> <seconds>
//     bench resolve <folder> <usb|wifi|eth> <repetitions>
//     bench resolver-init <folder> <plugin|bare|lines> <repetitions> [<trace lines of bare>]
//     bench update-init <folder> <plugin|bare|lines> <repetitions> [<trace lines of bare>]
//     bench update <folder> <repetitions> <the runtime's own delays, ms>
//     bench update-free <folder> <plugin|bare> <repetitions>
//     bench resolver-responsiveness <folder>
//     bench update-responsiveness <folder>
//
// Exit code 0 when every sample was taken, 1 with a message on stderr when not, 2 for bad
// arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "resolver_bench.h"
#include "resolver_responsiveness.h"
#include "samples.h"
#include "selector_bench.h"
#include "update_bench.h"
#include "update_responsiveness.h"
#include "wakeups.h"

namespace {

std::string Narrow(const wchar_t* text)
{
    std::string result;
    for (; *text; ++text) result += static_cast<char>(*text < 128 ? *text : '?');
    return result;
}

int Usage()
{
    std::fputs("usage: bench selector|churn|wakeups|resolve|resolver-init|update-init|update|\n"
               "             update-free|resolver-responsiveness|update-responsiveness ...\n"
               "       (see tools/bench/bench_main.cpp)\n",
               stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    auto number = [&](int i) { return std::wcstol(argv[i], nullptr, 10); };
    if (command == L"wakeups" && argc == 4) return RunWakeups(number(2), number(3));
    if (command == L"resolver-responsiveness" && argc == 3) return RunResolverResponsiveness(argv[2]);
    if (command == L"update-responsiveness" && argc == 3) return RunUpdateResponsiveness(argv[2]);
    if (argc < 5) return Usage();
    const std::wstring folder = argv[2];
    if (command == L"selector" && argc == 5) return RunSelectorBench(folder, number(3), number(4));
    if (command == L"churn" && argc == 5) return RunSelectorChurn(folder, number(3), number(4));
    if (command == L"resolve" && argc == 5) return RunResolve(folder, Narrow(argv[3]), number(4));
    const int traceLines = argc == 6 ? number(5) : 0;
    if (command == L"resolver-init" && argc <= 6) return RunResolverInit(folder, Narrow(argv[3]), number(4), traceLines);
    if (command == L"update-init" && argc <= 6) return RunUpdateInit(folder, Narrow(argv[3]), number(4), traceLines);
    if (command == L"update" && argc == 5) return RunUpdate(folder, number(3), number(4));
    if (command == L"update-free" && argc == 5) return RunUpdateFree(folder, Narrow(argv[3]), number(4));
    return Usage();
}
