// Stand-in for the VCI manager program: it shows nothing, records that it was started and ends.
//
// Each start appends one line to "VciManager.started" beside the program:
//     VciManager started: <arguments>
// where <arguments> are the program's arguments joined by spaces; without arguments (the way
// the selector starts it) the line is just "VciManager started:". Exit code 0 when the line
// was written, 1 otherwise.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring MarkerPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L'\\');
    path.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return path + L"VciManager.started";
}

// The program's arguments joined by single spaces (quotes removed).
std::wstring Arguments()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return std::wstring();
    std::wstring joined;
    for (int i = 1; i < count; ++i) {
        if (i > 1) joined += L' ';
        joined += argv[i];
    }
    LocalFree(argv);
    return joined;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

bool AppendLine(const std::wstring& path, const std::string& line)
{
    // Appending (not rewriting) keeps every start visible, also when two run at once.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::wstring marker = MarkerPath();
    std::wstring arguments = Arguments();
    std::wstring line = L"VciManager started:" + (arguments.empty() ? L"" : L" " + arguments) + L"\r\n";
    return !marker.empty() && AppendLine(marker, Utf8(line)) ? 0 : 1;
}
