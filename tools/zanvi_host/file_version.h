// The version record of a library file, as Explorer shows it.
#pragma once

#include <string>

// The file version "a.b.c.d" from the file's version resource; empty when it has none.
std::string FileVersionText(const std::wstring& path);
