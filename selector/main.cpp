#include <windows.h>

#include "selector_app.h"

CZanviSelectorApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    theApp.InitInstance(CommandLineArguments(GetCommandLineW()));
    return 0;
}
