#include "dnssd_reply_log.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "ansi_text.h"
#include "log.h"

namespace {

constexpr std::size_t kNameChars = 200;
const wchar_t kEscaped[] = L" &;`'\"|*?~<>^()[]{}$";

wchar_t WidenByte(unsigned char byte)
{
    wchar_t wide = 0;
    const char narrow = static_cast<char>(byte);
    return MultiByteToWideChar(CP_ACP, 0, &narrow, 1, &wide, 1) == 1 ? wide : wchar_t(byte);
}

}  // namespace

std::wstring FormatTxtRecord(uint16_t txtLen, const unsigned char* txtRecord)
{
    const std::size_t room = kTxtTextChars - 1;
    std::wstring text;
    std::size_t position = 0;
    while (txtRecord && position < txtLen) {
        const std::size_t length = txtRecord[position];
        if (position + 1 + length > txtLen) {
            text = L"<< invalid txt data >>";
            break;
        }
        if (length > 0) text += L' ';
        for (std::size_t i = 0; i < length; ++i) {
            const wchar_t c = WidenByte(txtRecord[position + 1 + i]);
            if (c == 0 || std::wcschr(kEscaped, c)) text += L'\\';
            if (c == L'\\') {
                text += L"\\\\\\\\";
            } else if (c >= 32) {
                text += c;
            } else {
                wchar_t hex[8];
                std::swprintf(hex, 8, L"\\\\x%02X", static_cast<unsigned>(c));
                text += hex;
            }
        }
        position += 1 + length;
        if (text.size() >= room) break;
    }
    // The rendering stays within its 500-character buffer: a longer one is cut.
    if (text.size() > room) text.resize(room);
    return text;
}

std::string Ipv4Text(const sockaddr* address)
{
    if (!address || address->sa_family != AF_INET) return std::string();
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    const auto* b = reinterpret_cast<const unsigned char*>(&in->sin_addr);
    char text[16];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

void LogResolveReply(DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                     const char* fullname, const char* hosttarget, uint16_t portHostOrder,
                     uint16_t txtLen, const unsigned char* txtRecord)
{
    if (errorCode != kDNSServiceErr_NoError) {
        WriteLog(L"D:", L"resolve_reply(): Error code %d", static_cast<int>(errorCode));
        return;
    }
    const std::wstring name = WidenAnsi(fullname, kNameChars);
    const std::wstring host = WidenAnsi(hosttarget, kNameChars);
    WriteLog(L"D:", L"resolve_reply():");
    WriteLog(L"D:", L"\t      fullname: %s", name.c_str());
    WriteLog(L"D:", L"\t   host target: %s", host.c_str());
    WriteLog(L"D:", L"\t         Flags: 0x%X", static_cast<unsigned>(flags));
    WriteLog(L"D:", L"\t          port: %u", static_cast<unsigned>(portHostOrder));
    WriteLog(L"D:", L"\tinterfaceIndex: %u", static_cast<unsigned>(interfaceIndex));
    if (txtLen > 1)
        WriteLog(L"D:", L"\tTXT record: [%s]", FormatTxtRecord(txtLen, txtRecord).c_str());
}

void LogAddrInfoReply(DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                      const char* hostname, const sockaddr* address, uint32_t ttl)
{
    if (errorCode != kDNSServiceErr_NoError) {
        WriteLog(L"D:", L"addrinfo_reply(): Error code %d", static_cast<int>(errorCode));
        return;
    }
    const std::wstring host = WidenAnsi(hostname, kNameChars);
    const std::string ipv4 = Ipv4Text(address);
    // An answer without an IPv4 address shows "<none>" in place of one.
    const std::wstring shown = ipv4.empty() ? std::wstring(L"<none>") : WidenAnsi(ipv4.c_str(), 16);
    WriteLog(L"D:", L"addrinfo_reply():");
    WriteLog(L"D:", L"\t         flags: 0x%X", static_cast<unsigned>(flags));
    WriteLog(L"D:", L"\tinterfaceIndex: %u", static_cast<unsigned>(interfaceIndex));
    WriteLog(L"D:", L"\t     errorCode: %d", static_cast<int>(errorCode));
    WriteLog(L"D:", L"\t     host name: %s", host.c_str());
    WriteLog(L"D:", L"\t       address: %s", shown.c_str());
    WriteLog(L"D:", L"\t           TTL: %u", static_cast<unsigned>(ttl));
}
