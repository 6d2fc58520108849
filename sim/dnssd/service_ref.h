// One DNS-SD operation as a caller holds it: what was asked, its socket, its replies.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "dns_sd_api.h"
#include "loopback_pair.h"
#include "scenario.h"
#include "win32_sync.h"

namespace dnssd_sim {

// One reply; which fields count depends on the operation.
struct Reply {
    DNSServiceFlags flags = 0;
    uint32_t interfaceIndex = 0;
    DNSServiceErrorType error = kDNSServiceErr_NoError;
    std::string name;      // browse: instance name; others: full name or host name
    std::string regtype;   // browse
    std::string domain;    // browse
    std::string host;      // resolve: host target
    uint16_t portNet = 0;  // resolve, network order
    std::string data;      // resolve: TXT; query: rdata
    uint16_t rrtype = 0;   // query
    uint16_t rrclass = 0;  // query
    uint32_t ttl = 0;      // query, address lookup
    bool hasAddress = false;
    sockaddr_in address = {};
    bool last = false;     // the operation stops with this reply: nothing follows it
};

}  // namespace dnssd_sim

// The library's opaque reference type is this operation.
struct _DNSServiceRef_t {
    dnssd_sim::Call call = dnssd_sim::Call::Browse;
    DNSServiceFlags flags = 0;
    uint32_t interfaceIndex = 0;
    std::string name;     // browse: unused; resolve: instance; query: full name; lookup: host
    std::string regtype;  // browse, resolve
    std::string domain;   // browse, resolve
    uint16_t rrtype = 0;
    uint16_t rrclass = 0;
    DNSServiceProtocol protocol = 0;
    void* context = nullptr;
    DNSServiceBrowseReply browseReply = nullptr;
    DNSServiceQueryRecordReply queryReply = nullptr;
    DNSServiceResolveReply resolveReply = nullptr;
    DNSServiceGetAddrInfoReply addrInfoReply = nullptr;

    dnssd_sim::CLoopbackPair sockets;

    // Guarded by the simulation's lock.
    std::multimap<uint64_t, dnssd_sim::Reply> pending;  // by due tick, in arrival order
    std::deque<dnssd_sim::Reply> ready;                 // each signalled with one byte
    unsigned bytesSignalled = 0;
    bool failed = false;  // answered with an error reply: nothing follows

    // Set once under both locks; read without one between callbacks.
    std::atomic<bool> dead{false};
    // Held while replies are delivered; deallocation waits for a callback in progress on
    // another thread, and a callback may deallocate its own reference.
    CRecursiveMutex delivery;

    bool Wants(uint32_t index) const { return interfaceIndex == 0 || interfaceIndex == index; }
};
