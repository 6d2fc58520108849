// At most one selector per variant: a named start-up mutex and a named 4-byte shared memory
// block that holds the running instance's main window.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "handle.h"

class CInstanceChecker {
public:
    // Throws std::system_error when either mutex cannot be created (for instance because an
    // object of another kind holds the name): the program cannot guard its start-up then.
    explicit CInstanceChecker(const std::wstring& name);
    virtual ~CInstanceChecker();
    CInstanceChecker(const CInstanceChecker&) = delete;
    CInstanceChecker& operator=(const CInstanceChecker&) = delete;

    virtual std::wstring BuildMappingName() const;
    // The main window of the calling user-interface thread, or 0.
    virtual HWND WindowToPublish() const;

    // Waits without a time limit until no other start-up of this variant is under way.
    void AcquireStartLock();
    bool IsAnotherInstanceRunning() const;
    // Publishes this instance's window and ends its start-up; false when another instance runs
    // or the shared memory cannot be set up (the start lock is then kept).
    bool PublishWindow();
    // Activates the running instance's window; returns it, or 0.
    HWND BringOtherInstanceToFront();

    bool HoldsStartLock() const { return m_pStartLock != nullptr; }

private:
    class CMutexLock;

    CHandle m_dataMutex;
    CHandle m_startMutex;
    std::unique_ptr<CMutexLock> m_pStartLock;
    std::wstring m_strName;
};

// The shared memory created by this process's first instance; open until the process ends.
extern CHandle g_hInstanceMapping;
