#include "host_process.h"

#include <memory>

#include "test_files.h"

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// One argument as the child's CommandLineToArgvW takes it back: backslashes count only before a
// quote, where they are doubled.
std::wstring Quote(const std::wstring& arg)
{
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

std::vector<std::string> HostRun::Lines() const
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    if (start < output.size()) lines.push_back(output.substr(start));
    return lines;
}

HostRun RunHost(const std::vector<std::wstring>& args, const std::wstring& folder, DWORD waitMs)
{
    return RunHostProgram(BinDir() + L"\\zanvi_host.exe", args, folder, waitMs);
}

HostRun RunHostProgram(const std::wstring& program, const std::vector<std::wstring>& args,
                       const std::wstring& folder, DWORD waitMs)
{
    HostRun run;
    std::wstring outputPath = folder + L"\\host_output.txt";
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    UniqueHandle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (output.get() == INVALID_HANDLE_VALUE) return run;

    // Only the output file is handed down to the child.
    HANDLE inherited = output.get();
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> listStorage(listSize);
    auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listStorage.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &listSize)) return run;
    bool listReady = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherited,
                                               sizeof(inherited), nullptr, nullptr) != FALSE;

    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = inherited;
    startup.StartupInfo.hStdError = inherited;
    startup.lpAttributeList = list;

    std::wstring commandLine = Quote(program);
    for (const std::wstring& arg : args) commandLine += L" " + Quote(arg);
    PROCESS_INFORMATION process = {};
    BOOL started = listReady && CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                                               EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                               &startup.StartupInfo, &process);
    DeleteProcThreadAttributeList(list);
    if (!started) return run;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    output.reset();

    if (WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0) {
        run.finished = true;
        GetExitCodeProcess(process.hProcess, &run.exitCode);
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    run.output = ReadWholeFile(outputPath);
    return run;
}
