// The simulated network a scenario file describes, and its parser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dnssd_sim {

// One answer of an address lookup for an instance's host.
struct AddressAnswer {
    bool hasAddress = true;    // false: an answer without any address
    uint8_t ipv4[4] = {};      // network order
    uint32_t onInterface = 0;  // 0: on every interface the instance is seen on
    uint32_t afterMs = 0;      // extra delay of this answer
    bool moreComing = false;   // flagged kDNSServiceFlagsMoreComing whatever follows
};

// Name, type and domain identify an instance; the same instance may be seen on several
// interfaces at once.
struct InstanceKey {
    std::string name;
    std::string type;
    std::string domain;
    bool operator==(const InstanceKey& other) const;
};

struct Instance {
    InstanceKey key;
    std::vector<uint32_t> interfaces = {1};  // where an announcement without "on" appears
    std::vector<uint32_t> seenOn;            // where browses see it right now
    std::vector<uint32_t> cachedOn;          // where its other records are cached
    std::string txt = std::string(1, '\0');  // raw rdata: length-prefixed strings
    std::string host;                        // empty: name + ".local."
    uint16_t port = 0;
    std::vector<AddressAnswer> addresses;
    bool hidden = false;                     // not announced when the scenario starts
    bool flushOnReconfirm = false;           // a reconfirm of its TXT removes it everywhere
    bool checked = false;                    // a reconfirm found it silent: flush under way or done
};

enum class Call { Browse, Query, Reconfirm, Resolve, GetAddrInfo };
enum class Fault {
    CallFails,     // the call answers the code and gives no reference
    ReplyError,    // the operation's one reply carries the code
    ProcessError,  // DNSServiceProcessResult on the reference answers the code
    Pause,         // DNSServiceProcessResult on the reference waits code ms before delivering
};

struct ErrorInjection {
    Call call = Call::Browse;
    Fault fault = Fault::CallFails;
    int32_t code = 0;
    int remaining = 1;  // -1: always
    bool hasAddress = false;  // a reply error of an address lookup carries this IPv4 address
    uint8_t ipv4[4] = {};
};

enum class EventKind {
    Add,
    Remove,   // the instance withdraws: its goodbye, then Goodbye when it takes effect
    Txt,
    Goodbye,  // the browse record on the interfaces expires; the other records stay cached
    Flush,    // a failed reconfirm: every record of the instance leaves the cache
};

struct TimelineEvent {
    uint32_t atMs = 0;
    EventKind kind = EventKind::Add;
    InstanceKey key;
    std::vector<uint32_t> interfaces;  // empty: the instance's own list (add) or all (remove)
    std::string txt;                   // new rdata for EventKind::Txt
};

struct Scenario {
    uint32_t replyDelayMs = 2;
    uint32_t flushDelayMs = 20;
    uint32_t negativeDelayMs = 50;
    uint32_t goodbyeDelayMs = 1000;
    uint32_t queryTimeoutMs = 5000;
    // Negative intermediate answers, as unicast DNS gives; multicast questions get none.
    bool negativeReplies = false;
    std::vector<Instance> instances;
    std::vector<TimelineEvent> timeline;
    std::vector<ErrorInjection> errors;
};

// Parses scenario text. On failure answers false with "<label>:<line>: <what>" in error.
bool ParseScenario(const std::string& text, const std::string& label, Scenario& scenario,
    std::string& error);

// TXT rdata from its strings; false when a string is longer than 255 bytes.
bool BuildTxt(const std::vector<std::string>& strings, std::string& rdata);

}  // namespace dnssd_sim
