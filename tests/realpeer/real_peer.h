// The VCI at the other end of the real-peer network: the open-source responder's daemon there
// announces and withdraws at the test's request. realpeer.sh serves the requests (one file each
// in a spool folder) and names the network through environment variables.
#pragma once

#include <string>
#include <vector>

// What realpeer.sh set up; empty when the program runs outside it.
std::wstring RealDnssdLibrary();       // the real client library, dnssd.dll
std::string VciAddress();              // the VCI's IPv4 address on the veth
std::string UsbAdapterName();          // the PC's veth, named as a Remote NDIS adapter

class RealPeer {
public:
    RealPeer() = default;
    ~RealPeer();  // withdraws what is still announced
    RealPeer(const RealPeer&) = delete;
    RealPeer& operator=(const RealPeer&) = delete;

    // Registered by the VCI's daemon (after its probing) when these return true.
    bool Announce(const std::string& name, const std::string& type, int port,
                  const std::vector<std::string>& txt);
    // The browse record alone: a question for its TXT record is never answered.
    bool AnnounceBrowseOnly(const std::string& name, const std::string& type);
    // Ends the announcement: the daemon sends its goodbye.
    bool Withdraw(const std::string& name, const std::string& type);

private:
    bool Request(const std::string& line);
    std::vector<std::pair<std::string, std::string>> m_announced;
};
