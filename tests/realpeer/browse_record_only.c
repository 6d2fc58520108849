/* Announces a service instance by its browse record alone (PTR <type>.local. -> <name>.<type>.local.),
   through the DNS-SD daemon of its network namespace: a VCI that answers browses but never a
   question for its TXT record, SRV or address. Stays until it is ended (SIGTERM), which withdraws
   the record as a closed client connection does.

       browse_record_only <instance name> <service type, e.g. _zeb_vci._tcp>

   Prints "registered" once the daemon has accepted the record; exit code 1 on any error. */
#include <stdio.h>
#include <string.h>

#include <dns_sd.h>

static int AppendLabels(unsigned char* out, size_t size, size_t* used, const char* dotted)
{
    const char* p = dotted;
    while (*p) {
        const char* dot = strchr(p, '.');
        size_t len = dot ? (size_t)(dot - p) : strlen(p);
        if (len == 0 || len > 63 || *used + 1 + len >= size) return 0;
        out[(*used)++] = (unsigned char)len;
        memcpy(out + *used, p, len);
        *used += len;
        p += len;
        if (*p == '.') ++p;
    }
    return 1;
}

static void DNSSD_API Registered(DNSServiceRef ref, DNSRecordRef record, DNSServiceFlags flags,
                                 DNSServiceErrorType error, void* context)
{
    (void)ref; (void)record; (void)flags;
    *(DNSServiceErrorType*)context = error;
    if (error == kDNSServiceErr_NoError) printf("registered\n");
    else fprintf(stderr, "browse_record_only: registration failed (%d)\n", (int)error);
    fflush(stdout);
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: browse_record_only <instance name> <service type>\n");
        return 1;
    }
    char owner[256];
    snprintf(owner, sizeof owner, "%s.local.", argv[2]);
    unsigned char rdata[256];
    size_t used = 0;
    if (!AppendLabels(rdata, sizeof rdata, &used, argv[1]) || !AppendLabels(rdata, sizeof rdata, &used, argv[2]) ||
        !AppendLabels(rdata, sizeof rdata, &used, "local")) {
        fprintf(stderr, "browse_record_only: name too long\n");
        return 1;
    }
    rdata[used++] = 0;

    DNSServiceRef connection = NULL;
    DNSRecordRef record = NULL;
    DNSServiceErrorType result = kDNSServiceErr_NoError;
    if (DNSServiceCreateConnection(&connection) != kDNSServiceErr_NoError) {
        fprintf(stderr, "browse_record_only: no DNS-SD daemon\n");
        return 1;
    }
    if (DNSServiceRegisterRecord(connection, &record, kDNSServiceFlagsShared, 0, owner, kDNSServiceType_PTR,
                                 kDNSServiceClass_IN, (uint16_t)used, rdata, 4500, Registered, &result)
        != kDNSServiceErr_NoError) {
        fprintf(stderr, "browse_record_only: the daemon refused the record\n");
        return 1;
    }
    while (result == kDNSServiceErr_NoError && DNSServiceProcessResult(connection) == kDNSServiceErr_NoError) {}
    DNSServiceRefDeallocate(connection);
    return 1;
}
