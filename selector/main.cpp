// The program's one application object; WinMain (dialog_app_main.cpp) runs it.
#include "selector_app.h"

CZanviSelectorApp theApp;
