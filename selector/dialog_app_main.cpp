// The program's entry point: hands over to the application object (dialog_app.h).
#include "dialog_app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow)
{
    return CDialogApp::RunApp(hInstance, CommandLineTail(GetCommandLineW()), nCmdShow);
}
