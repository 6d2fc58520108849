#include "instance_checker.h"

#include <system_error>

#include "main_window.h"

CHandle g_hInstanceMapping;

namespace {

const DWORD kMappingBytes = 4;

// The window handle travels as 32 bits: handles of windows are 32-bit values on every
// Windows, widened by sign extension.
DWORD WindowToStored(HWND hWnd)
{
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(hWnd));
}

HWND StoredToWindow(DWORD value)
{
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

HANDLE CreateMutexOrThrow(const wchar_t* name)
{
    HANDLE h = CreateMutexW(nullptr, FALSE, name);
    if (!h) throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
    return h;
}

// A view of the 4 bytes, unmapped when it goes.
class CMappedWord {
public:
    explicit CMappedWord(HANDLE hMapping)
        : m_p(static_cast<DWORD*>(
              MapViewOfFile(hMapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kMappingBytes)))
    {
    }
    ~CMappedWord() { Unmap(); }
    CMappedWord(const CMappedWord&) = delete;
    CMappedWord& operator=(const CMappedWord&) = delete;

    DWORD* Get() const { return m_p; }
    void Unmap()
    {
        if (m_p) UnmapViewOfFile(m_p);
        m_p = nullptr;
    }

private:
    DWORD* m_p;
};

}  // namespace

// Holds a mutex from construction to destruction. An abandoned mutex counts as taken.
class CInstanceChecker::CMutexLock {
public:
    explicit CMutexLock(HANDLE hMutex) : m_hMutex(hMutex)
    {
        DWORD result = WaitForSingleObject(hMutex, INFINITE);
        m_bHeld = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }
    ~CMutexLock()
    {
        if (m_bHeld) ReleaseMutex(m_hMutex);
    }
    CMutexLock(const CMutexLock&) = delete;
    CMutexLock& operator=(const CMutexLock&) = delete;

private:
    HANDLE m_hMutex;
    bool m_bHeld;
};

CInstanceChecker::CInstanceChecker(const std::wstring& name)
    : m_dataMutex(CreateMutexOrThrow(nullptr)), m_startMutex(CreateMutexOrThrow(name.c_str())),
      m_strName(name)
{
}

CInstanceChecker::~CInstanceChecker() = default;

std::wstring CInstanceChecker::BuildMappingName() const
{
    return m_strName + L"_CInstanceChecker_MMF";
}

HWND CInstanceChecker::WindowToPublish() const
{
    const CWnd* pMainWnd = GetMainWindow();
    return pMainWnd ? pMainWnd->GetSafeHwnd() : nullptr;
}

void CInstanceChecker::AcquireStartLock()
{
    m_pStartLock.reset();
    m_pStartLock = std::make_unique<CMutexLock>(m_startMutex.Get());
}

bool CInstanceChecker::IsAnotherInstanceRunning() const
{
    CHandle hMapping(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, BuildMappingName().c_str()));
    return static_cast<bool>(hMapping);
}

bool CInstanceChecker::PublishWindow()
{
    if (IsAnotherInstanceRunning()) return false;

    g_hInstanceMapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                kMappingBytes, BuildMappingName().c_str()));
    if (!g_hInstanceMapping) return false;

    CMappedWord view(g_hInstanceMapping.Get());
    if (!view.Get()) return false;

    CMutexLock dataLock(m_dataMutex.Get());
    *view.Get() = WindowToStored(WindowToPublish());
    view.Unmap();
    m_pStartLock.reset();
    return true;
}

HWND CInstanceChecker::BringOtherInstanceToFront()
{
    HWND hOther = nullptr;
    {
        CHandle hMapping(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, BuildMappingName().c_str()));
        if (!hMapping) return nullptr;

        CMappedWord view(hMapping.Get());
        if (view.Get()) {
            CMutexLock dataLock(m_dataMutex.Get());
            hOther = StoredToWindow(*view.Get());
            if (hOther) {
                HWND hPopup = GetLastActivePopup(hOther);
                if (IsIconic(hOther)) ShowWindow(hOther, SW_RESTORE);
                SetForegroundWindow(hPopup);
            }
            view.Unmap();
        }
    }
    m_pStartLock.reset();
    return hOther;
}
