// A stand-in for zeb_fw_update.dll with the same exports. The update commands run for Steps
// polls of UpdateState and end in FinalState/FinalError (FinalState 2 never ends); any other
// command ends at once in those states.
#include <windows.h>

#include <cstdint>
#include <string>

#include "fake_script.h"

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

int32_t g_state = 0;
int32_t g_error = 0;
int32_t g_progress = 0;
int g_polls = 0;
bool g_updating = false;

std::string Text(const char* text) { return text ? text : "NULL"; }

void EndCommand()
{
    g_state = ScriptInt(L"FinalState", 3);
    g_error = ScriptInt(L"FinalError", 0);
    if (g_state == 3) g_progress = 100;
}

}  // namespace

FAKE_EXPORT int32_t Init()
{
    RecordCall("Init");
    int32_t result = ScriptInt(L"InitResult", 0);
    g_state = result == 0 ? 0 : 5;
    g_error = result == 0 ? 0 : -1;
    return result;
}

FAKE_EXPORT int32_t Execute(const char* command, const char* module, const char* third, const char* fourth,
                            int32_t fifth)
{
    RecordCall("Execute " + Text(command) + "|" + Text(module) + "|" + Text(third) + "|" + Text(fourth) + "|" +
               std::to_string(fifth));
    if (ScriptInt(L"ExecuteResult", 0) != 0) {
        g_state = 5;
        g_error = ScriptInt(L"ExecuteError", 21);
        return -1;
    }
    g_polls = 0;
    g_progress = 0;
    g_updating = lstrcmpiA(Text(command).c_str(), "FWUpdate") == 0 || lstrcmpiA(Text(command).c_str(), "FWforceupdate") == 0;
    if (g_updating) {
        g_state = 1;
        g_error = 0;
    } else {
        EndCommand();
    }
    return 0;
}

FAKE_EXPORT int32_t UpdateState()
{
    if (g_updating && (g_state == 1 || g_state == 2)) {
        int steps = ScriptInt(L"Steps", 3);
        if (++g_polls < steps) {
            g_state = 2;
            g_progress = 100 * g_polls / steps;
        } else if (ScriptInt(L"FinalState", 3) != 2) {
            EndCommand();
        }
    }
    return g_state;
}

FAKE_EXPORT int32_t Cancel()
{
    RecordCall("Cancel");
    g_state = 4;
    return 0;
}

FAKE_EXPORT int32_t Free()
{
    RecordCall("Free");
    return 0;
}

FAKE_EXPORT int32_t ErrorState() { return g_error; }
FAKE_EXPORT int32_t Progress() { return g_progress; }
FAKE_EXPORT int32_t ProgressMax() { return 100; }
