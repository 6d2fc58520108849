// A stand-in for ZanviResolver.dll with the same exports, playing a scripted run:
// Steps polls of Zanviresolver_Progress, then Final (ready, error or never). Like the plug-in,
// the progress reads -1 once a Ready answer has ended the run.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "fake_script.h"

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

int32_t g_state = 0;
int32_t g_progress = 0;
int32_t g_progressMax = 60;
int g_polls = 0;
int g_steps = 3;
std::string g_final;
char* g_address = nullptr;
char* g_port = nullptr;

void CopyText(char* buffer, size_t size, const std::string& text)
{
    if (!buffer) return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace

FAKE_EXPORT int32_t Zanviresolver_Init()
{
    RecordCall("Init");
    g_state = ScriptInt(L"InitResult", 0);
    return g_state;
}

FAKE_EXPORT int32_t Zanviresolver_Execute(const char* text, char* address, char* port)
{
    RecordCall(std::string("Execute ") + (text ? text : "NULL"));
    g_address = address;
    g_port = port;
    g_polls = 0;
    g_progress = 0;
    g_progressMax = ScriptInt(L"ProgressMax", 15);
    g_steps = ScriptInt(L"Steps", 3);
    g_final = ScriptText(L"Final", L"ready");
    g_state = ScriptInt(L"ExecuteResult", 1);
    return g_state;
}

FAKE_EXPORT int32_t Zanviresolver_UpdateState()
{
    // As the plug-in does: Ready when the progress reached its maximum, Error at -1.
    if (g_state == 3) return g_state;
    if (g_progress == g_progressMax) {
        CopyText(g_address, 16, ScriptText(L"Address", L"10.1.2.3"));
        CopyText(g_port, 6, ScriptText(L"Port", L"58713"));
        g_state = 3;
    } else {
        g_state = g_progress == -1 ? 5 : 2;
    }
    return g_state;
}

FAKE_EXPORT int32_t Zanviresolver_Cancel()
{
    RecordCall("Cancel");
    g_state = 4;
    return g_state;
}

FAKE_EXPORT int32_t Zanviresolver_Free()
{
    RecordCall("Free");
    return 3;
}

FAKE_EXPORT int32_t Zanviresolver_ErrorState() { return g_state; }
FAKE_EXPORT int32_t Zanviresolver_Progress()
{
    if (g_state == 3) return -1;  // the run's timer has ended
    if (g_state == 4 || g_state == 5) return g_progress;
    if (++g_polls < g_steps) {
        g_progress = g_progressMax * g_polls / g_steps;
    } else if (g_final == "ready") {
        g_progress = g_progressMax;
    } else if (g_final == "error") {
        g_progress = -1;
    }
    return g_progress;
}

FAKE_EXPORT int32_t Zanviresolver_ProgressMax() { return g_progressMax; }
