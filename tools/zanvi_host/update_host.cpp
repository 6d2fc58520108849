#include "update_host.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

#include "console_progress.h"
#include "exit_codes.h"
#include "host_output.h"
#include "plugin_library.h"
#include "run_poller.h"
#include "saved_selection.h"
#include "service_text.h"
#include "state_names.h"

namespace {

const wchar_t kUpdateLibrary[] = L"zeb_fw_update.dll";
const unsigned kDefaultTimeoutSeconds = 600;

typedef int32_t(__cdecl* PFN_UpdateCall)();
typedef int32_t(__cdecl* PFN_UpdateExecute)(const char* pszCmd, const char* pszModule, const char* third,
                                            const char* fourth, int32_t fifth);

struct UpdateExports {
    PFN_UpdateCall init = nullptr;
    PFN_UpdateCall free = nullptr;
    PFN_UpdateExecute execute = nullptr;
    PFN_UpdateCall cancel = nullptr;
    PFN_UpdateCall updateState = nullptr;
    PFN_UpdateCall errorState = nullptr;
    PFN_UpdateCall progress = nullptr;
    PFN_UpdateCall progressMax = nullptr;

    bool Bind(CPluginLibrary& library, std::wstring& error)
    {
        return library.Bind("Init", init, error) && library.Bind("Free", free, error) &&
               library.Bind("Execute", execute, error) && library.Bind("Cancel", cancel, error) &&
               library.Bind("UpdateState", updateState, error) && library.Bind("ErrorState", errorState, error) &&
               library.Bind("Progress", progress, error) && library.Bind("ProgressMax", progressMax, error);
    }
};

// The two names of the update itself, which runs on the plug-in's worker; every other command
// has finished when Execute returns.
bool IsUpdateCommand(const std::wstring& command)
{
    return _wcsicmp(command.c_str(), L"FWUpdate") == 0 || _wcsicmp(command.c_str(), L"FWforceupdate") == 0;
}

bool IsFinal(int32_t state) { return state == kStateReady || state == kStateCanceled || state == kStateError; }

// Prints both states and answers the exit code they stand for.
int ReportStates(const UpdateExports& exports)
{
    int32_t state = exports.updateState();
    int32_t error = exports.errorState();
    std::printf("Update state: %s (%ld)\nError state: %s (%ld)\n", UpdateStateName(state), static_cast<long>(state),
                UpdateErrorStateName(error), static_cast<long>(error));
    std::fflush(stdout);
    return state == kStateError || state == kStateCanceled ? kExitRunFailed : kExitSuccess;
}

void ShowTarget(const std::wstring& section)
{
    std::wstring device = ReadUpdateTargetDevice(section);
    if (device.empty())
        std::printf("HXSystem.ini in the Windows folder has no Device entry in section [%s]\n",
                    ToDisplayText(section).c_str());
    else
        std::printf("Target: [%s] Device=%s\n", ToDisplayText(section).c_str(), ToDisplayText(device).c_str());
}

int Update(const UpdateExports& exports, const HostOptions& options, const std::string& command,
           const std::string& section)
{
    if (exports.init() != 0) {
        ReportStates(exports);
        return ReportFailure(kExitRunFailed, L"Init failed: the VCI runtime could not be loaded or initialised");
    }
    // The two further texts are only traced by the plug-in; the last value is not used.
    if (exports.execute(command.c_str(), section.c_str(), "", "", 0) != 0) {
        ReportStates(exports);
        return ReportFailure(kExitRunFailed, L"Execute failed for the command '" + options.updateCommand + L"'");
    }
    if (!IsUpdateCommand(options.updateCommand)) {
        int exitCode = ReportStates(exports);
        return exitCode == kExitSuccess ? exitCode : ReportFailure(exitCode, L"the command failed");
    }

    unsigned timeout = options.timeoutSeconds ? options.timeoutSeconds : kDefaultTimeoutSeconds;
    PollOutcome outcome;
    {
        CConsoleProgress bar;
        outcome = PollUntilFinal(timeout, [&] {
            int32_t state = exports.updateState();
            bar.Show(exports.progress(), exports.progressMax(), UpdateStateName(state));
            return IsFinal(state);
        });
    }
    if (outcome != PollOutcome::Final) {
        exports.cancel();
        ReportStates(exports);
        if (outcome == PollOutcome::Interrupted)
            return ReportFailure(kExitRunFailed, L"interrupted; the update was cancelled");
        return ReportFailure(kExitTimedOut,
                             L"no final state after " + std::to_wstring(timeout) + L" s; the update was cancelled");
    }
    int exitCode = ReportStates(exports);
    return exitCode == kExitSuccess ? exitCode : ReportFailure(exitCode, L"the update failed");
}

}  // namespace

int RunUpdate(const HostOptions& options)
{
    std::string command;
    std::string section;
    if (!ToAnsiText(options.updateCommand, command))
        return ReportFailure(kExitUsage, L"the command has characters outside the system code page");
    if (!ToAnsiText(options.section, section))
        return ReportFailure(kExitUsage, L"the section name has characters outside the system code page");

    CPluginLibrary library;
    std::wstring error;
    std::wstring folder = options.pluginDir.empty() ? ProgramFolder() : options.pluginDir;
    if (!library.Load(folder, kUpdateLibrary, error)) return ReportFailure(kExitMissing, error);
    UpdateExports exports;
    if (!exports.Bind(library, error)) return ReportFailure(kExitMissing, error);

    std::printf("Command '%s' for section [%s] with %s\n", command.c_str(), section.c_str(),
                ToDisplayText(library.Path()).c_str());
    ShowTarget(options.section);
    std::fflush(stdout);
    CPluginShutdown shutdown(exports.free);
    return Update(exports, options, command, section);
}
