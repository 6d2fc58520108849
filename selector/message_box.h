// Message boxes without an owner window, through one replaceable function so that tests can
// see text and caption without a box blocking them.
#pragma once

#include <windows.h>

using OwnerlessMessageBoxFn = int (*)(const wchar_t* text, const wchar_t* caption, UINT type);

// MessageBoxW without an owner unless replaced.
extern OwnerlessMessageBoxFn g_pfnOwnerlessMessageBox;

int ShowOwnerlessMessageBox(const wchar_t* text, const wchar_t* caption, UINT type);
