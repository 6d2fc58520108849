// A program made with the dialog framework's entry point, for the framework's tests: its
// InitInstance writes the command line it received to "dialog_app_probe.cmdline" beside the
// program (ANSI code page) and answers FALSE; ExitInstance makes the exit code 3.
#include <windows.h>

#include <string>

#include "dialog_app.h"

namespace {

class CProbeApp : public CDialogApp {
public:
    BOOL InitInstance() override
    {
        wchar_t path[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return FALSE;
        std::wstring marker(path, n);
        marker.replace(marker.find_last_of(L'.'), std::wstring::npos, L".cmdline");

        char text[512] = "";
        int length = WideCharToMultiByte(CP_ACP, 0, GetCmdLine(), -1, text, sizeof(text), nullptr, nullptr);
        HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, text, length > 0 ? static_cast<DWORD>(length - 1) : 0, &written, nullptr);
            CloseHandle(file);
        }
        return FALSE;
    }
    int ExitInstance(int) override { return 3; }
};

CProbeApp theApp;

}  // namespace
