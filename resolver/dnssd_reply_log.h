// Log blocks of the DNS-SD answers, and the readable form of a TXT record.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>

#include "dns_sd_api.h"

constexpr std::size_t kTxtTextChars = 500;  // terminator included

// The TXT record's strings, each after a blank, with shell-special characters escaped; a string
// that runs past the record's end gives "<< invalid txt data >>". At most 499 characters.
std::wstring FormatTxtRecord(uint16_t txtLen, const unsigned char* txtRecord);

void LogResolveReply(DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                     const char* fullname, const char* hosttarget, uint16_t portHostOrder,
                     uint16_t txtLen, const unsigned char* txtRecord);
void LogAddrInfoReply(DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                      const char* hostname, const sockaddr* address, uint32_t ttl);
// "%d.%d.%d.%d" of an IPv4 socket address, or empty for any other.
std::string Ipv4Text(const sockaddr* address);
