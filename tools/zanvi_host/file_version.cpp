#include "file_version.h"

#include <windows.h>

#include <vector>

#include "doctor_report.h"

std::string FileVersionText(const std::wstring& path)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::string();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    return Format("%u.%u.%u.%u", static_cast<unsigned>(HIWORD(info->dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(info->dwFileVersionMS)),
                  static_cast<unsigned>(HIWORD(info->dwFileVersionLS)),
                  static_cast<unsigned>(LOWORD(info->dwFileVersionLS)));
}
