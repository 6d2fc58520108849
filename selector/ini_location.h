// Locating the Corvex host's INI file (CZanviSelectorDlg::FindIniFile) and joining paths.
#pragma once

#include <string>

// folder, one backslash unless folder already ends in one, then name. folder must not be empty.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
