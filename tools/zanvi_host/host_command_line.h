// The command line of zanvi_host: one command, its operands and a few options.
#pragma once

#include <string>
#include <vector>

enum class HostCommand { None, Help, Show, Resolve, Update, Doctor };

// Where `resolve` without a text takes the saved selection from.
enum class SelectionSource { Any, Ini, Registry };

struct HostOptions {
    HostCommand command = HostCommand::None;
    std::wstring text;            // resolve: the service-instance text (empty: the saved selection)
    std::wstring section;         // update: the host INI section naming the VCI
    std::wstring updateCommand;   // update: the plug-in command
    std::wstring pluginDir;       // empty: the folder of zanvi_host.exe
    unsigned timeoutSeconds = 0;  // 0: the command's default bound
    SelectionSource source = SelectionSource::Any;
    unsigned browseSeconds = 3;   // doctor: how long VCIs are browsed for
    std::wstring reportFile;      // doctor: where the report is also saved (empty: nowhere)
};

const unsigned kMaxTimeoutSeconds = 86400;
const unsigned kMaxBrowseSeconds = 60;

// Parses the arguments after the program name. On failure returns false and says why in error.
bool ParseHostCommandLine(const std::vector<std::wstring>& args, HostOptions& options, std::wstring& error);

// The usage text printed by --help and after a usage error.
const char* HostUsageText();
