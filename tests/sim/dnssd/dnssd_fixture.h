// Each test starts from an empty network and must leave no reference open.
#pragma once

#include <gtest/gtest.h>

#include "dnssd_client.h"

class DnssdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dnssd().Complete()) << "dnssd.dll missing beside the test program";
        Dnssd().Reset();
    }
    void TearDown() override { EXPECT_EQ(0, Dnssd().OpenReferences()); }

    static void Load(const std::string& text) { ASSERT_EQ("", LoadScenarioText(text)); }
};
