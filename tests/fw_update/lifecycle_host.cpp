// A host process for the update plug-in's lifecycle tests: plays a list of steps against the
// plug-in, once or for many cycles, and ends with 0 when every step gave what it expects, or
// with 10 + the number of the first step that did not (after a line on standard error). A
// crash or a hang is left for the test that started it to see.
//
//   fw_update_lifecycle_host <plug-in path> [cycles=N] step...
//
//   load, unload                LoadLibrary (with the exports bound) and FreeLibrary
//   init[=<result>], cancel     Init answers 0 (or the result given), Cancel answers 0
//   cancel<<ms>                 Cancel answers 0 in less than ms milliseconds
//   polls<<ms>                  UpdateState, ErrorState, Progress and ProgressMax each answer in
//                               less than ms milliseconds
//   run:<command>[=<result>]    Execute with the section "Zanvi" (and its result, when given)
//   long:<cmd chars>/<section chars>=<result>
//                               Execute with a command and a section of that many characters
//                               (0: "FWUpdate", "Zanvi")
//   installing                  wait (at most 10 s) for a nonzero Progress
//   entered:<entry point>       wait (at most 10 s) until the runtime stand-in has been called there
//   states:<update>/<error>     UpdateState and ErrorState
//   until:<update>/<error>      wait (at most 20 s) until UpdateState and ErrorState read so
//   free<<ms>                   Free answers 0 in less than ms milliseconds
//   thread:<step>               plays the step on a second host thread
//   joined<<ms>                 that thread ends within ms milliseconds, its step as expected
//   shell                       loads the shell library, asks it for the all-users data folder
//                               and frees it, as a windowed host has long done: what the platform
//                               then keeps for the whole process (under Wine user32 and its
//                               companions, with their handles) is the host's, not the plug-in's
//   baseline                    takes the process's handles and threads
//   gone                        wait (at most 20 s) until neither the plug-in nor the runtime is
//                               loaded and handles and threads are back at the baseline
//   sleep:<ms>
//   a|b|...                     cycle i plays choice i modulo their number; "-" plays nothing
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "proc_address.h"
#include "process_figures.h"

namespace {

typedef int32_t(__cdecl* NoArgFn)();
const DWORD kUntilMs = 20000;
typedef int32_t(__cdecl* ExecuteFn)(const char*, const char*, const char*, const char*, int32_t);

struct Plugin {
    std::string path;
    HMODULE module = nullptr;
    NoArgFn Init = nullptr, Free = nullptr, Cancel = nullptr, UpdateState = nullptr, ErrorState = nullptr,
            Progress = nullptr, ProgressMax = nullptr;
    ExecuteFn Execute = nullptr;
};

bool Load(Plugin& p)
{
    p.module = LoadLibraryA(p.path.c_str());
    p.Init = ProcAddress<NoArgFn>(p.module, "Init");
    p.Free = ProcAddress<NoArgFn>(p.module, "Free");
    p.Cancel = ProcAddress<NoArgFn>(p.module, "Cancel");
    p.UpdateState = ProcAddress<NoArgFn>(p.module, "UpdateState");
    p.ErrorState = ProcAddress<NoArgFn>(p.module, "ErrorState");
    p.Progress = ProcAddress<NoArgFn>(p.module, "Progress");
    p.ProgressMax = ProcAddress<NoArgFn>(p.module, "ProgressMax");
    p.Execute = ProcAddress<ExecuteFn>(p.module, "Execute");
    return p.Init && p.Free && p.Cancel && p.UpdateState && p.ErrorState && p.Progress && p.ProgressMax &&
           p.Execute;
}

template <class Done>
bool WaitFor(Done done, DWORD ms = 10000)
{
    for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < ms; Sleep(5))
        if (done()) return true;
    return false;
}

// Whether fn answers in less than ms milliseconds (and what it answered).
template <class Fn>
bool Quick(Fn fn, const std::string& ms, int32_t* answer = nullptr)
{
    ULONGLONG start = GetTickCount64();
    int32_t result = fn();
    if (answer) *answer = result;
    return GetTickCount64() - start < std::strtoull(ms.c_str(), nullptr, 10);
}

std::string States(const Plugin& p)
{
    int32_t update = p.UpdateState();
    return std::to_string(update) + "/" + std::to_string(p.ErrorState());
}

// The second host thread of thread: and joined<.
struct SecondHost {
    Plugin* plugin = nullptr;
    std::string step;
    bool played = false;
    HANDLE thread = nullptr;
};
SecondHost g_second;
ProcessFigures g_baseline;

bool Play(Plugin& p, const std::string& step);

DWORD WINAPI SecondHostThread(void*)
{
    g_second.played = Play(*g_second.plugin, g_second.step);
    return 0;
}

// Whether the stand-in that the plug-in loaded has journaled a call of the entry point.
bool Entered(const std::string& entry)
{
    typedef int32_t(__cdecl * JournalFn)(char*, int32_t);
    JournalFn journal = ProcAddress<JournalFn>(GetModuleHandleA("drx_runtime.dll"), "DrxSimJournal");
    if (!journal) return false;
    std::string text(static_cast<size_t>(journal(nullptr, 0)) + 64, '\0');  // room for calls meanwhile
    if (journal(&text[0], static_cast<int32_t>(text.size())) > static_cast<int32_t>(text.size())) return false;
    return ("\n" + text).find("\n" + entry + " ") != std::string::npos;
}

bool StartsWith(const std::string& text, const char* prefix, std::string& rest)
{
    size_t n = std::strlen(prefix);
    if (text.compare(0, n, prefix) != 0) return false;
    rest = text.substr(n);
    return true;
}

// Plays one step; false when it did not give what it expects.
bool Play(Plugin& p, const std::string& step)
{
    std::string arg;
    if (step == "-") return true;
    if (step == "load") return !p.module && Load(p);
    if (StartsWith(step, "sleep:", arg)) {
        Sleep(std::strtoul(arg.c_str(), nullptr, 10));
        return true;
    }
    if (step == "shell") {
        char folder[MAX_PATH] = {};
        HMODULE shell32 = LoadLibraryW(L"shell32.dll");
        typedef HRESULT(WINAPI * GetFolderPathFn)(HWND, int, HANDLE, DWORD, LPSTR);
        GetFolderPathFn getFolderPath = ProcAddress<GetFolderPathFn>(shell32, "SHGetFolderPathA");
        bool ok = getFolderPath && SUCCEEDED(getFolderPath(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder));
        if (shell32) FreeLibrary(shell32);
        return ok;
    }
    if (step == "baseline") {
        g_baseline = ReadProcessFigures();
        return true;
    }
    if (step == "gone") {
        ProcessFigures now;
        bool gone = WaitFor([&] {
            now = ReadProcessFigures();
            return !GetModuleHandleA("zeb_fw_update.dll") && !GetModuleHandleA("drx_runtime.dll") &&
                   now.HandleCount() <= g_baseline.HandleCount() && now.threads <= g_baseline.threads;
        }, kUntilMs);
        if (!gone) std::fprintf(stderr, "baseline: %s\nnow:      %s\n", g_baseline.Text().c_str(), now.Text().c_str());
        return gone;
    }
    if (!p.module) return false;  // every other step needs the exports
    if (step == "unload") {
        FreeLibrary(p.module);
        p.module = nullptr;
        return true;
    }
    if (StartsWith(step, "joined<", arg)) {
        bool ended = g_second.thread && WaitForSingleObject(g_second.thread, std::strtoul(arg.c_str(), nullptr, 10)) ==
                                            WAIT_OBJECT_0;
        if (ended) CloseHandle(g_second.thread);
        g_second.thread = nullptr;
        return ended && g_second.played;
    }
    if (step == "init") return p.Init() == 0;
    if (StartsWith(step, "init=", arg)) return p.Init() == std::atoi(arg.c_str());
    if (step == "cancel") return p.Cancel() == 0;
    if (StartsWith(step, "thread:", arg)) {
        if (g_second.thread) return false;
        g_second.plugin = &p;
        g_second.step = arg;
        g_second.played = false;
        g_second.thread = CreateThread(nullptr, 0, SecondHostThread, nullptr, 0, nullptr);
        return g_second.thread != nullptr;
    }
    if (StartsWith(step, "cancel<", arg)) {
        int32_t answer = -1;
        return Quick(p.Cancel, arg, &answer) && answer == 0;
    }
    if (StartsWith(step, "polls<", arg))
        return Quick(p.UpdateState, arg) && Quick(p.ErrorState, arg) && Quick(p.Progress, arg) &&
               Quick(p.ProgressMax, arg);
    if (StartsWith(step, "until:", arg)) return WaitFor([&] { return States(p) == arg; }, kUntilMs);
    if (StartsWith(step, "long:", arg)) {
        size_t slash = arg.find('/'), equals = arg.find('=');
        size_t cmdChars = std::strtoul(arg.c_str(), nullptr, 10);
        size_t sectionChars = std::strtoul(arg.c_str() + slash + 1, nullptr, 10);
        std::string command = cmdChars ? std::string(cmdChars, 'x') : "FWUpdate";
        std::string section = sectionChars ? std::string(sectionChars, 'x') : "Zanvi";
        return p.Execute(command.c_str(), section.c_str(), "", "", 0) == std::atoi(arg.c_str() + equals + 1);
    }
    if (step == "installing") return WaitFor([&] { return p.Progress() > 0; });
    if (StartsWith(step, "entered:", arg)) return WaitFor([&] { return Entered(arg); });
    if (StartsWith(step, "run:", arg)) {
        size_t equals = arg.rfind('=');
        std::string command = arg.substr(0, equals);
        int32_t result = p.Execute(command.c_str(), "Zanvi", "", "", 0);
        return equals == std::string::npos || result == std::atoi(arg.c_str() + equals + 1);
    }
    if (StartsWith(step, "states:", arg)) return States(p) == arg;
    if (StartsWith(step, "free<", arg)) {
        ULONGLONG start = GetTickCount64();
        bool freed = p.Free() == 0;
        return freed && GetTickCount64() - start < std::strtoull(arg.c_str(), nullptr, 10);
    }
    return false;
}

// The choice of a|b|... for one cycle.
std::string Choice(const std::string& step, unsigned cycle)
{
    std::vector<std::string> choices;
    for (size_t start = 0;;) {
        size_t bar = step.find('|', start);
        choices.push_back(step.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return choices[cycle % choices.size()];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    Plugin plugin;
    plugin.path = argv[1];
    int first = 2;
    unsigned cycles = 1;
    std::string arg;
    if (argc > 2 && StartsWith(argv[2], "cycles=", arg)) {
        cycles = std::strtoul(arg.c_str(), nullptr, 10);
        first = 3;
    }
    for (unsigned cycle = 0; cycle < cycles; ++cycle) {
        for (int i = first; i < argc; ++i) {
            std::string step = Choice(argv[i], cycle);
            if (Play(plugin, step)) continue;
            std::fprintf(stderr, "cycle %u: step %d '%s' failed\n", cycle + 1, i - first + 1, step.c_str());
            return 10 + i - first + 1;
        }
    }
    std::printf("%u cycle(s) played\n", cycles);
    return 0;
}
