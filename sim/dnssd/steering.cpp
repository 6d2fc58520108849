// Exports that let tests steer the simulated network while it runs (see dnssd_steering.h).
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "dnssd_steering.h"
#include "scenario_file.h"
#include "simulation.h"

using namespace dnssd_sim;

namespace {

bool MakeKey(const char* name, const char* regtype, const char* domain, InstanceKey& key)
{
    if (!name || !*name || !regtype || !*regtype)
        return false;
    key = {name, regtype, domain && *domain ? domain : "local."};
    return true;
}

bool ParseFault(const char* word, Fault& fault)
{
    if (!word)
        return false;
    if (std::strcmp(word, "fail") == 0)
        fault = Fault::CallFails;
    else if (std::strcmp(word, "reply-error") == 0)
        fault = Fault::ReplyError;
    else if (std::strcmp(word, "process-error") == 0)
        fault = Fault::ProcessError;
    else
        return false;
    return true;
}

bool ParseCallName(const char* word, Call& call)
{
    static const struct {
        const char* name;
        Call call;
    } kCalls[] = {{"browse", Call::Browse}, {"query", Call::Query},
        {"reconfirm", Call::Reconfirm}, {"resolve", Call::Resolve},
        {"getaddrinfo", Call::GetAddrInfo}};
    for (const auto& c : kCalls) {
        if (word && std::strcmp(word, c.name) == 0) {
            call = c.call;
            return true;
        }
    }
    return false;
}

bool ParseAddress(const char* text, AddressAnswer& out)
{
    unsigned a, b, c, d;
    char extra;
    if (std::sscanf(text, "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255)
        return false;
    out.ipv4[0] = static_cast<uint8_t>(a);
    out.ipv4[1] = static_cast<uint8_t>(b);
    out.ipv4[2] = static_cast<uint8_t>(c);
    out.ipv4[3] = static_cast<uint8_t>(d);
    return true;
}

}  // namespace

extern "C" {

int __cdecl ZanviDnssdLoadScenario(const char* path)
{
    if (!path)
        return -1;
    try {
        std::string narrow(path);
        int n = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
        std::wstring wide(n > 0 ? n : 0, L'\0');
        if (n <= 0 || !MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], n))
            return -1;
        wide.resize(n - 1);
        return CSimulation::Get().LoadScenario(wide, narrow) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int __cdecl ZanviDnssdLastError(char* buffer, int size)
{
    try {
        std::string error = CSimulation::Get().LastError();
        if (!buffer || size <= 0)
            return static_cast<int>(error.size());
        size_t n = error.size() < static_cast<size_t>(size) ? error.size() : size - 1;
        std::memcpy(buffer, error.data(), n);
        buffer[n] = '\0';
        return static_cast<int>(n);
    } catch (...) {
        return 0;
    }
}

void __cdecl ZanviDnssdReset(void)
{
    try {
        CSimulation::Get().Reset();
    } catch (...) {
    }
}

int __cdecl ZanviDnssdAddInstance(const char* name, const char* regtype, const char* domain,
    uint32_t interfaceIndex, const char* host, uint16_t port, const char* ipv4)
{
    try {
        InstanceKey key;
        AddressAnswer address;
        if (!MakeKey(name, regtype, domain, key) || interfaceIndex == 0 ||
            (ipv4 && !ParseAddress(ipv4, address)))
            return -1;
        return CSimulation::Get().AddInstance(key, interfaceIndex, host ? host : "", port,
                   ipv4 ? &address : nullptr) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int __cdecl ZanviDnssdRemoveInstance(const char* name, const char* regtype, const char* domain,
    uint32_t interfaceIndex)
{
    try {
        InstanceKey key;
        if (!MakeKey(name, regtype, domain, key))
            return -1;
        return CSimulation::Get().RemoveInstance(key, interfaceIndex) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int __cdecl ZanviDnssdSetTxt(const char* name, const char* regtype, const char* domain,
    const void* rdata, uint16_t length)
{
    try {
        InstanceKey key;
        if (!MakeKey(name, regtype, domain, key) || (length > 0 && !rdata))
            return -1;
        std::string bytes(static_cast<const char*>(rdata), length);
        return CSimulation::Get().SetTxt(key, bytes) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

int __cdecl ZanviDnssdInjectError(const char* call, const char* fault, int32_t code,
    int32_t times)
{
    try {
        ErrorInjection e;
        if (!ParseCallName(call, e.call) || !ParseFault(fault, e.fault) || times == 0 ||
            times < -1 || (e.call == Call::Reconfirm && e.fault != Fault::CallFails))
            return -1;
        e.code = code;
        e.remaining = times;
        CSimulation::Get().InjectError(e);
        return 0;
    } catch (...) {
        return -1;
    }
}

int __cdecl ZanviDnssdReconfirmCount(void)
{
    try {
        return static_cast<int>(CSimulation::Get().Reconfirms().size());
    } catch (...) {
        return 0;
    }
}

int __cdecl ZanviDnssdGetReconfirm(int index, ZanviDnssdReconfirm* out)
{
    try {
        std::vector<ZanviDnssdReconfirm> all = CSimulation::Get().Reconfirms();
        if (!out || index < 0 || static_cast<size_t>(index) >= all.size())
            return -1;
        *out = all[index];
        return 0;
    } catch (...) {
        return -1;
    }
}

int __cdecl ZanviDnssdOpenReferences(void)
{
    try {
        return CSimulation::Get().OpenReferences();
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
