// DNS Service Discovery client interface, as the platform library dnssd.dll offers it.
// Written from the public API documentation: names, argument lists, flag bits and error
// values are the library's; the layout and comments are ours. The selector and the resolver
// bind the functions at run time (the PFN_ types); the dnssd stand-in implements them.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The library uses __stdcall on 32-bit Windows for its functions and for the callbacks it
// calls; elsewhere the platform's one calling convention applies.
#if defined(_WIN32) && !defined(_WIN64)
#define DNSSD_API __stdcall
#else
#define DNSSD_API
#endif

// Only pointers to it pass through this interface; Winsock defines it.
struct sockaddr;

#ifdef __cplusplus
extern "C" {
#endif

// Opaque handle of one operation (browse, query, resolve, address lookup).
typedef struct _DNSServiceRef_t* DNSServiceRef;

typedef uint32_t DNSServiceFlags;
typedef uint32_t DNSServiceProtocol;
typedef int32_t DNSServiceErrorType;

// The socket behind a reference: a Winsock SOCKET, which is a pointer-sized unsigned integer.
typedef uintptr_t dnssd_sock_t;
#define DNSSD_INVALID_SOCKET ((dnssd_sock_t)~(uintptr_t)0)

// Flag bits, in calls and in replies.
enum {
    kDNSServiceFlagsMoreComing          = 0x1,
    kDNSServiceFlagsAdd                 = 0x2,
    kDNSServiceFlagsDefault             = 0x4,
    kDNSServiceFlagsNoAutoRename        = 0x8,
    kDNSServiceFlagsShared              = 0x10,
    kDNSServiceFlagsUnique              = 0x20,
    kDNSServiceFlagsBrowseDomains       = 0x40,
    kDNSServiceFlagsRegistrationDomains = 0x80,
    kDNSServiceFlagsLongLivedQuery      = 0x100,
    kDNSServiceFlagsAllowRemoteQuery    = 0x200,
    kDNSServiceFlagsForceMulticast      = 0x400,
    kDNSServiceFlagsForce               = 0x800,
    kDNSServiceFlagsReturnIntermediates = 0x1000,
    kDNSServiceFlagsNonBrowsable        = 0x2000,
    kDNSServiceFlagsShareConnection     = 0x4000,
    kDNSServiceFlagsSuppressUnusable    = 0x8000,
    kDNSServiceFlagsTimeout             = 0x10000,
    kDNSServiceFlagsIncludeP2P          = 0x20000,
    kDNSServiceFlagsWakeOnResolve       = 0x40000,
    kDNSServiceFlagAnsweredFromCache    = 0x40000000
};

// Address families asked of DNSServiceGetAddrInfo.
enum {
    kDNSServiceProtocol_IPv4 = 0x01,
    kDNSServiceProtocol_IPv6 = 0x02,
    kDNSServiceProtocol_UDP  = 0x10,
    kDNSServiceProtocol_TCP  = 0x20
};

// Interface index values with a meaning of their own.
#define kDNSServiceInterfaceIndexAny       0u
#define kDNSServiceInterfaceIndexLocalOnly ((uint32_t)-1)
#define kDNSServiceInterfaceIndexUnicast   ((uint32_t)-2)
#define kDNSServiceInterfaceIndexP2P       ((uint32_t)-3)

// Record classes and the record types this system asks for.
enum {
    kDNSServiceClass_IN = 1
};
enum {
    kDNSServiceType_A    = 1,
    kDNSServiceType_PTR  = 12,
    kDNSServiceType_TXT  = 16,
    kDNSServiceType_AAAA = 28,
    kDNSServiceType_SRV  = 33
};

// Longest names, terminator included.
enum {
    kDNSServiceMaxServiceName = 64,
    kDNSServiceMaxDomainName  = 1009
};

// Error codes: 0 is success, the rest count down from -65537.
enum {
    kDNSServiceErr_NoError                   = 0,
    kDNSServiceErr_Unknown                   = -65537,
    kDNSServiceErr_NoSuchName                = -65538,
    kDNSServiceErr_NoMemory                  = -65539,
    kDNSServiceErr_BadParam                  = -65540,
    kDNSServiceErr_BadReference              = -65541,
    kDNSServiceErr_BadState                  = -65542,
    kDNSServiceErr_BadFlags                  = -65543,
    kDNSServiceErr_Unsupported               = -65544,
    kDNSServiceErr_NotInitialized            = -65545,
    kDNSServiceErr_AlreadyRegistered         = -65547,
    kDNSServiceErr_NameConflict              = -65548,
    kDNSServiceErr_Invalid                   = -65549,
    kDNSServiceErr_Firewall                  = -65550,
    kDNSServiceErr_Incompatible              = -65551,
    kDNSServiceErr_BadInterfaceIndex         = -65552,
    kDNSServiceErr_Refused                   = -65553,
    kDNSServiceErr_NoSuchRecord              = -65554,
    kDNSServiceErr_NoAuth                    = -65555,
    kDNSServiceErr_NoSuchKey                 = -65556,
    kDNSServiceErr_NATTraversal              = -65557,
    kDNSServiceErr_DoubleNAT                 = -65558,
    kDNSServiceErr_BadTime                   = -65559,
    kDNSServiceErr_BadSig                    = -65560,
    kDNSServiceErr_BadKey                    = -65561,
    kDNSServiceErr_Transient                 = -65562,
    kDNSServiceErr_ServiceNotRunning         = -65563,
    kDNSServiceErr_NATPortMappingUnsupported = -65564,
    kDNSServiceErr_NATPortMappingDisabled    = -65565,
    kDNSServiceErr_NoRouter                  = -65566,
    kDNSServiceErr_PollingMode               = -65567,
    kDNSServiceErr_Timeout                   = -65568
};

// Callbacks: run by DNSServiceProcessResult on the thread that called it.
typedef void(DNSSD_API* DNSServiceBrowseReply)(DNSServiceRef sdRef, DNSServiceFlags flags,
    uint32_t interfaceIndex, DNSServiceErrorType errorCode, const char* serviceName,
    const char* regtype, const char* replyDomain, void* context);

// port is in network byte order; txtRecord holds length-prefixed strings.
typedef void(DNSSD_API* DNSServiceResolveReply)(DNSServiceRef sdRef, DNSServiceFlags flags,
    uint32_t interfaceIndex, DNSServiceErrorType errorCode, const char* fullname,
    const char* hosttarget, uint16_t port, uint16_t txtLen, const unsigned char* txtRecord,
    void* context);

typedef void(DNSSD_API* DNSServiceQueryRecordReply)(DNSServiceRef sdRef,
    DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
    const char* fullname, uint16_t rrtype, uint16_t rrclass, uint16_t rdlen,
    const void* rdata, uint32_t ttl, void* context);

// address may be null when the answer carries no address.
typedef void(DNSSD_API* DNSServiceGetAddrInfoReply)(DNSServiceRef sdRef,
    DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
    const char* hostname, const struct sockaddr* address, uint32_t ttl, void* context);

// The eight functions this system uses.
DNSServiceErrorType DNSSD_API DNSServiceBrowse(DNSServiceRef* sdRef, DNSServiceFlags flags,
    uint32_t interfaceIndex, const char* regtype, const char* domain,
    DNSServiceBrowseReply callBack, void* context);

DNSServiceErrorType DNSSD_API DNSServiceQueryRecord(DNSServiceRef* sdRef,
    DNSServiceFlags flags, uint32_t interfaceIndex, const char* fullname, uint16_t rrtype,
    uint16_t rrclass, DNSServiceQueryRecordReply callBack, void* context);

DNSServiceErrorType DNSSD_API DNSServiceReconfirmRecord(DNSServiceFlags flags,
    uint32_t interfaceIndex, const char* fullname, uint16_t rrtype, uint16_t rrclass,
    uint16_t rdlen, const void* rdata);

DNSServiceErrorType DNSSD_API DNSServiceResolve(DNSServiceRef* sdRef, DNSServiceFlags flags,
    uint32_t interfaceIndex, const char* name, const char* regtype, const char* domain,
    DNSServiceResolveReply callBack, void* context);

DNSServiceErrorType DNSSD_API DNSServiceGetAddrInfo(DNSServiceRef* sdRef,
    DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceProtocol protocol,
    const char* hostname, DNSServiceGetAddrInfoReply callBack, void* context);

// DNSSD_INVALID_SOCKET for a null reference.
dnssd_sock_t DNSSD_API DNSServiceRefSockFD(DNSServiceRef sdRef);

// Reads the replies waiting on the reference's socket and runs its callback for each; blocks
// until one arrives when none is waiting.
DNSServiceErrorType DNSSD_API DNSServiceProcessResult(DNSServiceRef sdRef);

// Ends the operation and closes its socket; no callback runs for it afterwards.
void DNSSD_API DNSServiceRefDeallocate(DNSServiceRef sdRef);

// Entry points as bound with GetProcAddress.
typedef DNSServiceErrorType(DNSSD_API* PFN_DNSServiceBrowse)(DNSServiceRef*, DNSServiceFlags,
    uint32_t, const char*, const char*, DNSServiceBrowseReply, void*);
typedef DNSServiceErrorType(DNSSD_API* PFN_DNSServiceQueryRecord)(DNSServiceRef*,
    DNSServiceFlags, uint32_t, const char*, uint16_t, uint16_t, DNSServiceQueryRecordReply,
    void*);
typedef DNSServiceErrorType(DNSSD_API* PFN_DNSServiceReconfirmRecord)(DNSServiceFlags,
    uint32_t, const char*, uint16_t, uint16_t, uint16_t, const void*);
typedef DNSServiceErrorType(DNSSD_API* PFN_DNSServiceResolve)(DNSServiceRef*,
    DNSServiceFlags, uint32_t, const char*, const char*, const char*, DNSServiceResolveReply,
    void*);
typedef DNSServiceErrorType(DNSSD_API* PFN_DNSServiceGetAddrInfo)(DNSServiceRef*,
    DNSServiceFlags, uint32_t, DNSServiceProtocol, const char*, DNSServiceGetAddrInfoReply,
    void*);
typedef dnssd_sock_t(DNSSD_API* PFN_DNSServiceRefSockFD)(DNSServiceRef);
typedef DNSServiceErrorType(DNSSD_API* PFN_DNSServiceProcessResult)(DNSServiceRef);
typedef void(DNSSD_API* PFN_DNSServiceRefDeallocate)(DNSServiceRef);

#ifdef __cplusplus
}
#endif
