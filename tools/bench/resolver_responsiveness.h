// The resolver's rows of the host-responsiveness table: each export timed from a second host
// thread while the DNS-SD stand-in is held inside each of its calls in turn, and throughout runs
// (Execute's start, both phases, the end a poll sees), while another host thread drives the run.
#pragma once

#include <string>

// folder holds ZanviResolver.dll (the demo's, over the test build) with dnssd.dll and the demo
// network. Prints "target resp.resolver.<export> <ms>" once per export and
// "sample resp.resolver.<export> <ms>" per call timed.
int RunResolverResponsiveness(const std::wstring& folder);
