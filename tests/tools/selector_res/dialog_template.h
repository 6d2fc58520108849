// Reads an extended dialog template (DLGTEMPLATEEX, as DIALOGEX statements compile) from a
// module's resources, so that tests can compare it with the layout the program must have.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ControlTemplate {
    DWORD id;
    std::wstring windowClass;  // "Button", "Edit", "Static" for the predefined atoms
    std::wstring text;         // "#128" when the text is a resource ordinal
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::wstring title;
    WORD pointSize;
    std::wstring typeface;
    std::vector<ControlTemplate> controls;
};

// False when the resource is missing, is not an extended template, or is malformed.
bool ReadDialogTemplate(HMODULE module, UINT id, DialogTemplate& out);
