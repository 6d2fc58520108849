#include "host_main.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "doctor.h"
#include "exit_codes.h"
#include "host_command_line.h"
#include "host_output.h"
#include "resolver_host.h"
#include "run_poller.h"
#include "show_selection.h"
#include "update_host.h"

namespace {

std::vector<std::wstring> Arguments()
{
    std::vector<std::wstring> args;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

}  // namespace

int HostMain()
{
    HostOptions options;
    std::wstring error;
    if (!ParseHostCommandLine(Arguments(), options, error)) {
        return ReportFailure(kExitUsage, error + L" (zanvi_host --help shows the usage)");
    }
    CatchConsoleInterrupts();
    switch (options.command) {
    case HostCommand::Show:
        return RunShow();
    case HostCommand::Resolve:
        return RunResolve(options);
    case HostCommand::Update:
        return RunUpdate(options);
    case HostCommand::Doctor:
        return RunDoctor(options);
    case HostCommand::Help:
    case HostCommand::None:
        break;
    }
    std::fputs(HostUsageText(), stdout);
    return kExitSuccess;
}
