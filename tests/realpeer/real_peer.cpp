#include "real_peer.h"

#include <windows.h>

#include <algorithm>

#include "test_files.h"

namespace {

std::wstring Env(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? value : L"";
}

// A request is answered within the daemon's probing and a goodbye: a few seconds.
const DWORD kAnswerMs = 20000;

}  // namespace

std::wstring RealDnssdLibrary() { return Env(L"ZANVI_REALPEER_DNSSD"); }
std::string VciAddress() { return Narrow(Env(L"ZANVI_REALPEER_VCI_ADDRESS")); }
std::string UsbAdapterName() { return Narrow(Env(L"ZANVI_REALPEER_USB_ADAPTER")); }

RealPeer::~RealPeer()
{
    // Each withdrawal takes its entry off the list, answered or not.
    while (!m_announced.empty()) {
        const auto last = m_announced.back();
        Withdraw(last.first, last.second);
    }
}

bool RealPeer::Announce(const std::string& name, const std::string& type, int port,
                        const std::vector<std::string>& txt)
{
    std::string line = "announce " + name + " " + type + " " + std::to_string(port);
    for (const std::string& item : txt) line += " " + item;
    if (!Request(line)) return false;
    m_announced.emplace_back(name, type);
    return true;
}

bool RealPeer::AnnounceBrowseOnly(const std::string& name, const std::string& type)
{
    if (!Request("announce-browse-only " + name + " " + type)) return false;
    m_announced.emplace_back(name, type);
    return true;
}

bool RealPeer::Withdraw(const std::string& name, const std::string& type)
{
    const auto it = std::find(m_announced.begin(), m_announced.end(), std::make_pair(name, type));
    if (it == m_announced.end()) return false;
    m_announced.erase(it);
    return Request("withdraw " + name + " " + type);
}

bool RealPeer::Request(const std::string& line)
{
    static int s_count = 0;
    const std::wstring spool = Env(L"ZANVI_REALPEER_SPOOL");
    if (spool.empty()) return false;
    const std::wstring base = spool + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++s_count);
    // Written whole before the server sees it: it looks for .cmd files only.
    if (!WriteWholeFile(base + L".new", line + "\n") ||
        !MoveFileW((base + L".new").c_str(), (base + L".cmd").c_str()))
        return false;
    const std::wstring done = base + L".done";
    for (DWORD start = GetTickCount(); GetTickCount() - start < kAnswerMs; Sleep(20)) {
        if (GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        const std::string answer = ReadWholeFile(done);
        DeleteFileW(done.c_str());
        return answer.rfind("ok", 0) == 0;
    }
    return false;
}
