// The script of a fake plug-in: "fake_script.ini" beside the library's file, section [Script],
// and "calls.txt" beside it, where the fake records the host's calls one per line.
#pragma once

#include <string>

int ScriptInt(const wchar_t* key, int fallback);
std::string ScriptText(const wchar_t* key, const wchar_t* fallback);
void RecordCall(const std::string& line);
