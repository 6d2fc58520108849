// scripted_user: plays the user at a running ZanviSelector for the demo.
//   scripted_user pick <window title> <VCI> <link>   (link: USB, WiFi or Ethernet)
//   scripted_user save <window title>
// pick prints the picked choice and the dialog's place on the screen as WxH+X+Y.
// Exit codes: 0 done, 1 the window or the item did not appear in time, 2 bad arguments.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "selector_user.h"

namespace {

constexpr DWORD kWindowWaitMs = 30000;
constexpr DWORD kPickWaitMs = 30000;

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

int Fail(const char* what)
{
    std::fprintf(stderr, "scripted_user: %s\n", what);
    return 1;
}

}  // namespace

int main()
{
    const std::vector<std::wstring> args = Arguments();
    const bool pick = args.size() == 4 && args[0] == L"pick";
    const bool save = args.size() == 2 && args[0] == L"save";
    if (!pick && !save) {
        std::fputs("usage: scripted_user pick <window title> <VCI> <link> | save <window title>\n", stderr);
        return 2;
    }
    SelectorUser user;
    if (!user.WaitForWindow(args[1], kWindowWaitMs)) return Fail("the selector's window did not appear");
    if (save) {
        if (!user.Save()) return Fail("Save cannot be clicked");
        std::puts("pressed Save");
        return 0;
    }
    if (!user.Pick(args[2], args[3], kPickWaitMs)) return Fail("the VCI's link did not appear in the tree");
    std::printf("picked %ls\n", user.Selection().c_str());
    // Where the dialog lies on the screen, for a screenshot of it.
    RECT rect = {};
    if (GetWindowRect(user.Window(), &rect))
        std::printf("window %ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
    return 0;
}
