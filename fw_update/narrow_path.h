// Narrow-text file helpers of the update plug-in.
#pragma once

#include <string>

// The path names something whose attributes can be read and that is not a folder.
bool FileExists(const std::string& path);
// folder + "\" (unless folder already ends in one) + name.
std::string JoinPath(const std::string& folder, const std::string& name);
