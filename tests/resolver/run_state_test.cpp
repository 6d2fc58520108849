// The run state's starting values and the rule that picks the wanted link.
#include <gtest/gtest.h>

#include "run_state.h"

namespace {

TEST(RunStateTest, StartsIdleWithNoProgressAMaximumOfSixtyAndNoEvent)
{
    EXPECT_EQ(g_ResolverState, RS_Idle);
    EXPECT_EQ(g_Progress, 0);
    EXPECT_EQ(g_ProgressMax, 60);
    EXPECT_FALSE(g_Initialized);
    EXPECT_EQ(g_hResolveDone.load(), nullptr);
    EXPECT_EQ(g_hGetAddrInfoDone.load(), nullptr);
}

TEST(RunStateTest, LinkFieldChoosesTheWantedLinkByItsFirstCharacter)
{
    const struct {
        const char* field;
        EDesiredInterface expected;
    } cases[] = {
        {"usb", DESIRED_USB},   {"u", DESIRED_USB},     {"USB", DESIRED_ETH},
        {"wifi", DESIRED_WIFI}, {"Wifi", DESIRED_WIFI}, {"WIFI", DESIRED_WIFI},
        {"eth", DESIRED_ETH},   {"", DESIRED_ETH},      {"usb]", DESIRED_USB},
        {nullptr, DESIRED_ETH},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesiredInterfaceFor(c.field), c.expected) << (c.field ? c.field : "(null)");
}

}  // namespace
