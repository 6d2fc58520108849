#include "resolver_host.h"

#include <cstdint>
#include <cstdio>
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

const wchar_t kResolverLibrary[] = L"ZanviResolver.dll";
const unsigned kDefaultTimeoutSeconds = 90;  // the resolver ends every run within 60 s itself

typedef int32_t(__cdecl* PFN_ResolverCall)();
typedef int32_t(__cdecl* PFN_ResolverExecute)(const char* pzServiceInstanceName, char* pzIpAddress, char* pzPort);

struct ResolverExports {
    PFN_ResolverCall init = nullptr;
    PFN_ResolverCall free = nullptr;
    PFN_ResolverExecute execute = nullptr;
    PFN_ResolverCall cancel = nullptr;
    PFN_ResolverCall updateState = nullptr;
    PFN_ResolverCall errorState = nullptr;
    PFN_ResolverCall progress = nullptr;
    PFN_ResolverCall progressMax = nullptr;

    bool Bind(CPluginLibrary& library, std::wstring& error)
    {
        return library.Bind("Zanviresolver_Init", init, error) && library.Bind("Zanviresolver_Free", free, error) &&
               library.Bind("Zanviresolver_Execute", execute, error) &&
               library.Bind("Zanviresolver_Cancel", cancel, error) &&
               library.Bind("Zanviresolver_UpdateState", updateState, error) &&
               library.Bind("Zanviresolver_ErrorState", errorState, error) &&
               library.Bind("Zanviresolver_Progress", progress, error) &&
               library.Bind("Zanviresolver_ProgressMax", progressMax, error);
    }
};

// The host's buffers. They must outlive every resolver thread that may write them, so they
// are declared before the library, which is released first.
struct ResolverBuffers {
    char address[64] = {};  // the resolver writes at most 16 bytes
    char port[64] = {};     // and at most 6
};

// The text to resolve: the one given, or the saved selection.
bool ChooseText(const HostOptions& options, std::wstring& text, int& exitCode)
{
    if (!options.text.empty()) {
        text = options.text;
        return true;
    }
    SavedSelection ini;
    SavedSelection registry;
    if (options.source != SelectionSource::Registry) ini = ReadIniSelection();
    if (options.source != SelectionSource::Ini && !ini.found) registry = ReadRegistrySelection();
    const SavedSelection& chosen = ini.found ? ini : registry;
    if (!chosen.found) {
        std::wstring why;
        if (options.source != SelectionSource::Registry) why += L" Corvex host: " + ini.problem + L".";
        if (options.source != SelectionSource::Ini) why += L" Bay Steward host: " + registry.problem + L".";
        exitCode = ReportFailure(kExitMissing, L"no saved selection to resolve." + why);
        return false;
    }
    const char* host = ini.found ? "Corvex host, " : "Bay Steward host, ";
    const char* entry = ini.found ? " [Zanvi] Device" : " VCIServiceInstance";
    std::printf("Using the saved selection (%s%s%s): %s\n", host, ToDisplayText(chosen.location).c_str(), entry,
                ToDisplayText(chosen.text).c_str());
    text = chosen.text;
    return true;
}

std::string StateLine(const ResolverExports& exports, int32_t state)
{
    int32_t error = exports.errorState();
    char line[128];
    std::snprintf(line, sizeof(line), "State: %s (%ld), error state: %s (%ld)", ResolverStateName(state),
                  static_cast<long>(state), ResolverStateName(error), static_cast<long>(error));
    return line;
}

int Resolve(const ResolverExports& exports, const std::string& text, unsigned timeoutSeconds,
            ResolverBuffers& buffers)
{
    int32_t state = exports.init();
    if (state != kStateIdle) {
        std::printf("%s\n", StateLine(exports, state).c_str());
        return ReportFailure(kExitRunFailed, L"Zanviresolver_Init failed: the resolver could not load its "
                                             L"DNS-SD or IP helper library");
    }
    state = exports.execute(text.c_str(), buffers.address, buffers.port);
    if (state == kStateError) {
        std::printf("%s\n", StateLine(exports, state).c_str());
        return ReportFailure(kExitRunFailed, L"Zanviresolver_Execute refused the text");
    }

    PollOutcome outcome;
    {
        CConsoleProgress bar;
        outcome = PollUntilFinal(timeoutSeconds, [&] {
            // Progress first: the Ready answer ends the run, and the resolver's timer then leaves -1.
            int32_t progress = exports.progress();
            int32_t progressMax = exports.progressMax();
            state = exports.updateState();
            bar.Show(progress, progressMax, ResolverStateName(state));
            return state == kStateReady || state == kStateError || state == kStateCanceled;
        });
    }
    if (outcome != PollOutcome::Final) {
        state = exports.cancel();
        std::printf("%s\n", StateLine(exports, state).c_str());
        if (outcome == PollOutcome::Interrupted)
            return ReportFailure(kExitRunFailed, L"interrupted; the run was cancelled");
        return ReportFailure(kExitTimedOut, L"no final state after " + std::to_wstring(timeoutSeconds) +
                                                L" s; the run was cancelled");
    }
    if (state != kStateReady) {
        std::printf("%s\n", StateLine(exports, state).c_str());
        return ReportFailure(kExitRunFailed, L"the resolution failed");
    }
    std::printf("State: %s (%ld)\n", ResolverStateName(state), static_cast<long>(state));

    buffers.address[sizeof(buffers.address) - 1] = '\0';
    buffers.port[sizeof(buffers.port) - 1] = '\0';
    if (buffers.address[0] == '\0')
        return ReportFailure(kExitRunFailed, L"the resolver reported RS_Ready but delivered no address");
    std::printf("Address: %s\nPort: %s\n", buffers.address, buffers.port);
    return kExitSuccess;
}

}  // namespace

int RunResolve(const HostOptions& options)
{
    int exitCode = kExitSuccess;
    std::wstring text;
    if (!ChooseText(options, text, exitCode)) return exitCode;

    // A saved text is not the user's typing: an unusable one counts as no usable selection.
    int badText = options.text.empty() ? kExitMissing : kExitUsage;
    std::wstring body;
    std::wstring error;
    if (!StripServiceWrapping(text, body, error)) return ReportFailure(badText, error);
    std::string ansiBody;
    if (!ToAnsiText(body, ansiBody))
        return ReportFailure(badText, L"'" + body + L"' has characters outside the system code page");

    ResolverBuffers buffers;
    CPluginLibrary library;
    std::wstring folder = options.pluginDir.empty() ? ProgramFolder() : options.pluginDir;
    if (!library.Load(folder, kResolverLibrary, error)) return ReportFailure(kExitMissing, error);
    ResolverExports exports;
    if (!exports.Bind(library, error)) return ReportFailure(kExitMissing, error);

    std::printf("Resolving %s with %s\n", ansiBody.c_str(), ToDisplayText(library.Path()).c_str());
    std::fflush(stdout);
    unsigned timeout = options.timeoutSeconds ? options.timeoutSeconds : kDefaultTimeoutSeconds;
    CPluginShutdown shutdown(exports.free);
    return Resolve(exports, ansiBody, timeout, buffers);
}
