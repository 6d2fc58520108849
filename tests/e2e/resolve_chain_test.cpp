// From the saved choice to an address: zanvi_host reads the choice where each host keeps it,
// takes off the srv[...] wrapping and runs the resolver on the demo's network.
#include <gtest/gtest.h>

#include "host_stage.h"
#include "installation.h"

namespace {

struct ResolveCase {
    const wchar_t* source;  // where the host keeps the choice: ini (Corvex) or registry (Bay Steward)
    const char* saved;      // the choice as the selector saves it
    const char* address;    // what the resolver writes into the host's buffers
    const char* port;
};

class ResolveChain : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveChain, HostResolvesTheSavedChoiceOverItsLink)
{
    const ResolveCase& c = GetParam();
    SavedSelectionStage hostFiles;
    if (std::wstring(c.source) == L"ini") {
        hostFiles.RemoveRegistry();
        hostFiles.WriteIni(std::string("[Zanvi]\r\nDevice=") + c.saved + "\r\n");
    } else {
        hostFiles.RemoveIni();
        hostFiles.WriteRegistry(Widen(c.saved));
    }
    Installation pc;

    HostRun resolve = pc.Host({L"resolve", L"--source", c.source});
    ASSERT_TRUE(resolve.finished);
    EXPECT_EQ(0u, resolve.exitCode) << resolve.output;
    EXPECT_TRUE(HasLine(resolve, "State: RS_Ready (3)")) << resolve.output;
    EXPECT_TRUE(HasLine(resolve, std::string("Address: ") + c.address)) << resolve.output;
    EXPECT_TRUE(HasLine(resolve, std::string("Port: ") + c.port)) << resolve.output;
}

INSTANTIATE_TEST_SUITE_P(BothHosts, ResolveChain, ::testing::Values(
    ResolveCase{L"ini", "srv[DEMO-01._zeb_vci._tcp.local,58713,usb]", "169.254.10.1", "58713"},
    ResolveCase{L"ini", "srv[DEMO-03._zeb_vci._tcp.local,58713,wifi]", "10.10.0.3", "58713"},
    ResolveCase{L"registry", "srv[DEMO-01._wyn_vci._tcp.local,6800,wifi]", "10.10.0.1", "6800"},
    ResolveCase{L"registry", "srv[DEMO-02._wyn_vci._tcp.local,6800,eth]", "192.168.1.52", "6800"}));

}  // namespace
