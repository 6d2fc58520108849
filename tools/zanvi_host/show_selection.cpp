#include "show_selection.h"

#include <cstdio>

#include "exit_codes.h"
#include "host_output.h"
#include "saved_selection.h"
#include "service_text.h"

namespace {

void Print(const char* host, const char* entry, const SavedSelection& selection)
{
    std::printf("%s: %s\n", host, selection.location.empty() ? "(none)" : ToDisplayText(selection.location).c_str());
    if (selection.found)
        std::printf("  %s: %s\n", entry, ToDisplayText(selection.text).c_str());
    else
        std::printf("  no selection: %s\n", ToDisplayText(selection.problem).c_str());
}

}  // namespace

int RunShow()
{
    SavedSelection ini = ReadIniSelection();
    SavedSelection registry = ReadRegistrySelection();
    Print("Corvex host INI file", "[Zanvi] Device", ini);
    Print("Bay Steward host preferences", "VCIServiceInstance", registry);
    if (!ini.found && !registry.found) return ReportFailure(kExitMissing, L"no saved selection");
    return kExitSuccess;
}
