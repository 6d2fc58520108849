// A held call: the next call of one entry point waits a while before it does its work, as a
// daemon that is slow to answer it, so that a test or benchmark can act while a caller is inside
// that call. Armed through ZanviDnssdHoldCall (dnssd_steering.h).
#pragma once

namespace dnssd_sim {

// At the start of the entry point named entryPoint: waits there when a hold is armed for it.
void HoldIfArmed(const char* entryPoint);

}  // namespace dnssd_sim
