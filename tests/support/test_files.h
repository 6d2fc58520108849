// Folders and files for tests: the build's output folders and private temporary folders.
#pragma once

#include <string>

// Folders of this build as Windows paths (no trailing backslash).
std::wstring BinDir();   // the deliverables
std::wstring SimDir();   // the stand-ins
std::wstring TestDir();  // the test programs

// A fresh folder under %TEMP%, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

bool CopyInto(const std::wstring& source, const std::wstring& folder);
std::string ReadWholeFile(const std::wstring& path);  // bytes as stored; empty if missing
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
void RemoveTree(const std::wstring& path);
std::string Narrow(const std::wstring& text);  // ANSI code page
std::wstring Widen(const std::string& text);   // ANSI code page
