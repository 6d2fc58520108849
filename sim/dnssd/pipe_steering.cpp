#include "pipe_steering.h"

#include <winsock2.h>
#include <windows.h>

#include <new>
#include <sstream>
#include <string>

#include "simulation.h"

namespace dnssd_sim {

namespace {

constexpr DWORD kMessageBytes = 512;

// "add NAME TYPE DOMAIN INDEX" or "remove NAME TYPE DOMAIN INDEX" (0: every interface):
// answers "0" when carried out, "-1" otherwise, as the steering exports do. "seen NAME TYPE
// DOMAIN 0": "1" when browses see the instance now, "0" when not, "-1" for no such instance.
std::string Carry(const std::string& message)
{
    std::istringstream words(message);
    std::string verb;
    InstanceKey key;
    uint32_t index = 0;
    std::string extra;
    if (!(words >> verb >> key.name >> key.type >> key.domain >> index) || (words >> extra))
        return "-1";
    bool done = false;
    if (verb == "add" && index != 0)
        done = CSimulation::Get().AddInstance(key, index, "", 0, nullptr);
    else if (verb == "remove")
        done = CSimulation::Get().RemoveInstance(key, index);
    else if (verb == "seen")
        return std::to_string(CSimulation::Get().Seen(key));
    return done ? "0" : "-1";
}

struct PipeThread {
    HANDLE pipe;
    HMODULE module;
};

DWORD WINAPI ServePipe(LPVOID param)
{
    PipeThread self = *static_cast<PipeThread*>(param);
    delete static_cast<PipeThread*>(param);
    char message[kMessageBytes];
    DWORD got = 0;
    // A message that does not fit fails the read and ends the service like a closed pipe.
    while (ReadFile(self.pipe, message, sizeof(message), &got, nullptr)) {
        std::string reply;
        try {
            reply = Carry(std::string(message, got));
        } catch (...) {
            reply = "-1";
        }
        DWORD written = 0;
        if (!WriteFile(self.pipe, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr))
            break;
    }
    CloseHandle(self.pipe);
    FreeLibraryAndExitThread(self.module, 0);
}

}  // namespace

void StartPipeSteering()
{
    wchar_t name[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ZANVI_DNSSD_STEERING_PIPE", name, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    HANDLE pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
        nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        OutputDebugStringA("dnssd: the steering pipe cannot be opened\n");
        return;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    HMODULE module = nullptr;
    PipeThread* self = nullptr;
    HANDLE thread = nullptr;
    if (SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr) &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
            reinterpret_cast<LPCWSTR>(&ServePipe), &module)) {
        self = new (std::nothrow) PipeThread{pipe, module};
        if (self)
            thread = CreateThread(nullptr, 0, ServePipe, self, 0, nullptr);
    }
    if (thread) {
        CloseHandle(thread);
        return;
    }
    delete self;
    if (module)
        FreeLibrary(module);
    CloseHandle(pipe);
    OutputDebugStringA("dnssd: the steering pipe cannot be served\n");
}

}  // namespace dnssd_sim
