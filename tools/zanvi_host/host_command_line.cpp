#include "host_command_line.h"

#include <cwchar>

namespace {

bool ParseSeconds(const std::wstring& text, unsigned maximum, unsigned& seconds)
{
    if (text.empty() || text.size() > 6) return false;
    unsigned value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value == 0 || value > maximum) return false;
    seconds = value;
    return true;
}

bool ParseSource(const std::wstring& text, SelectionSource& source)
{
    if (_wcsicmp(text.c_str(), L"ini") == 0) source = SelectionSource::Ini;
    else if (_wcsicmp(text.c_str(), L"registry") == 0) source = SelectionSource::Registry;
    else return false;
    return true;
}

bool Fail(std::wstring& error, const std::wstring& why)
{
    error = why;
    return false;
}

}  // namespace

bool ParseHostCommandLine(const std::vector<std::wstring>& args, HostOptions& options, std::wstring& error)
{
    options = HostOptions();
    bool sourceGiven = false;
    bool doctorOptionGiven = false;
    std::vector<std::wstring> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            options.command = HostCommand::Help;
            return true;
        }
        if (arg.compare(0, 2, L"--") != 0) {
            operands.push_back(arg);
            continue;
        }
        if (arg != L"--dir" && arg != L"--timeout" && arg != L"--source" && arg != L"--seconds" && arg != L"--out")
            return Fail(error, L"unknown option '" + arg + L"'");
        if (i + 1 >= args.size()) return Fail(error, L"option " + arg + L" needs a value");
        const std::wstring& value = args[++i];
        if (arg == L"--dir") {
            if (value.empty()) return Fail(error, L"option --dir needs a folder");
            options.pluginDir = value;
        } else if (arg == L"--timeout") {
            if (!ParseSeconds(value, kMaxTimeoutSeconds, options.timeoutSeconds))
                return Fail(error, L"option --timeout needs a whole number of seconds from 1 to 86400, not '" +
                                       value + L"'");
        } else if (arg == L"--seconds") {
            if (!ParseSeconds(value, kMaxBrowseSeconds, options.browseSeconds))
                return Fail(error, L"option --seconds needs a whole number of seconds from 1 to 60, not '" +
                                       value + L"'");
            doctorOptionGiven = true;
        } else if (arg == L"--out") {
            if (value.empty()) return Fail(error, L"option --out needs a file name");
            options.reportFile = value;
            doctorOptionGiven = true;
        } else {
            if (!ParseSource(value, options.source))
                return Fail(error, L"option --source takes 'ini' or 'registry', not '" + value + L"'");
            sourceGiven = true;
        }
    }

    if (operands.empty()) return Fail(error, L"no command given");
    const std::wstring& command = operands[0];
    size_t extra = operands.size() - 1;
    if (command == L"show") {
        if (extra != 0) return Fail(error, L"show takes no operand");
        options.command = HostCommand::Show;
    } else if (command == L"resolve") {
        if (extra > 1) return Fail(error, L"resolve takes at most one service-instance text");
        if (extra == 1) {
            if (operands[1].empty()) return Fail(error, L"the service-instance text is empty");
            options.text = operands[1];
        }
        options.command = HostCommand::Resolve;
    } else if (command == L"update") {
        if (extra < 1) return Fail(error, L"update needs the host INI section that names the VCI");
        if (extra > 2) return Fail(error, L"update takes a section and at most one command");
        if (operands[1].empty()) return Fail(error, L"the section name is empty");
        options.section = operands[1];
        options.updateCommand = extra == 2 ? operands[2] : L"FWUpdate";
        if (options.updateCommand.empty()) return Fail(error, L"the update command is empty");
        options.command = HostCommand::Update;
    } else if (command == L"doctor") {
        if (extra != 0) return Fail(error, L"doctor takes no operand");
        options.command = HostCommand::Doctor;
    } else {
        return Fail(error, L"unknown command '" + command + L"'");
    }
    if (sourceGiven && !(options.command == HostCommand::Resolve && options.text.empty()))
        return Fail(error, L"--source applies only to resolve without a text");
    if (doctorOptionGiven && options.command != HostCommand::Doctor)
        return Fail(error, L"--seconds and --out apply only to doctor");
    return true;
}

const char* HostUsageText()
{
    return "Usage: zanvi_host [options] show\n"
           "       zanvi_host [options] resolve [<service-instance text>]\n"
           "       zanvi_host [options] update <section> [<command>]\n"
           "       zanvi_host [options] doctor\n"
           "Options:\n"
           "  --dir <folder>             folder of the plug-in libraries (default: this program's)\n"
           "  --timeout <seconds>        bound on waiting for the run (default 90 resolve, 600 update)\n"
           "  --source ini|registry      resolve without a text: where the saved selection is read\n"
           "  --seconds <seconds>        doctor: how long VCIs are browsed for, 1 to 60 (default 3)\n"
           "  --out <file>               doctor: also save the report in this file\n"
           "  --help                     this text\n"
           "Exit codes: 0 success, 1 the run failed, 2 bad arguments, 3 missing library, export\n"
           "            or saved selection, 4 no final state within the time bound\n"
           "doctor:     0 a saved selection resolves and the runtime loads, 1 otherwise, 2 bad arguments\n";
}
