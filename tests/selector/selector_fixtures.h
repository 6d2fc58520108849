// Fixtures shared by the selector's tests: private registry keys, the message-box seam and the
// shell folder table pointed at private folders.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "handle.h"
#include "message_box.h"
#include "shell_folders.h"

// A fresh key HKEY_CURRENT_USER\Software\ZanviTest\<unique>, deleted with everything in it.
class TestRegistryKey {
public:
    TestRegistryKey();
    ~TestRegistryKey();
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    // Sub-key path under HKEY_CURRENT_USER, e.g. Software\ZanviTest\123_0.
    const std::wstring& SubKey() const { return m_subKey; }
    // The same as a path text that begins with its root name.
    std::wstring Path() const { return L"HKEY_CURRENT_USER\\" + m_subKey; }

private:
    std::wstring m_subKey;
};

// Redirects HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE of this process into two keys of a
// TestRegistryKey, so that code with fixed host key paths runs against private keys.
class RedirectedHostKeys {
public:
    // machineWritable false gives a machine root that refuses new lasting keys.
    explicit RedirectedHostKeys(bool machineWritable = true);
    ~RedirectedHostKeys();
    RedirectedHostKeys(const RedirectedHostKeys&) = delete;
    RedirectedHostKeys& operator=(const RedirectedHostKeys&) = delete;

    // Read the redirected keys without going through the redirection.
    bool UserValue(const std::wstring& subKey, const std::wstring& name, DWORD& type,
                   std::vector<BYTE>& data) const;
    bool UserKeyExists(const std::wstring& subKey) const;
    bool MachineKeyExists(const std::wstring& subKey) const;
    bool WriteUserString(const std::wstring& subKey, const std::wstring& name,
                         const std::wstring& text) const;

private:
    TestRegistryKey m_key;
    HKEY m_hUser = nullptr;
    HKEY m_hMachine = nullptr;
};

struct RecordedMessageBox {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

// Replaces the message-box seam while it lives and records every box instead of showing it.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<RecordedMessageBox>& Boxes() const;

private:
    OwnerlessMessageBoxFn m_previous;
};

// Makes the shell name the given folders (by CSIDL) while it lives; a folder not given
// fails as the shell fails when it cannot name one.
class ShellFoldersAt {
public:
    explicit ShellFoldersAt(const std::map<int, std::wstring>& folders);
    ~ShellFoldersAt();
    ShellFoldersAt(const ShellFoldersAt&) = delete;
    ShellFoldersAt& operator=(const ShellFoldersAt&) = delete;

    // The folders asked for, in order.
    const std::vector<int>& Requests() const;

private:
    ShellFolderApi m_previous;
};

// The discovery state as a fresh process has it, browsing for serviceType.
void ResetDiscoveryState(const char* serviceType);
