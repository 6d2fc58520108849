// The simulated runtime's world, read from a scenario file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SimModule {
    int32_t serial = 0;
    uint32_t interfaces = 0;
    uint32_t state = 1;
    std::string name;
};

struct SimApp {
    int32_t id = 0;  // VCI applications only
    std::string name;
    uint32_t version = 0;
    uint32_t date = 0;
    bool running = false;
};

struct SimVersionItem {
    std::string name;
    uint32_t version = 0;
    uint32_t date = 0;
};

struct SimFailure {
    int32_t code = 0;
    unsigned after = 0;  // calls that succeed before the failures start
};

struct Scenario {
    std::vector<SimModule> modules;
    std::vector<SimApp> pcApps;
    std::map<int32_t, std::vector<SimApp>> vciApps;  // by serial number
    std::vector<SimVersionItem> clientItems;
    std::vector<SimVersionItem> serverItems;
    std::map<int32_t, int32_t> writes;  // pending-write handle -> status
    std::map<std::string, SimFailure> failures;
    std::map<std::string, unsigned> pausesMs;  // entry point -> pause before it answers
    unsigned installComponents = 3;
    unsigned installErrorAt = 0;  // component that reports the error status; 0: none
    unsigned installTotal = 0;    // the total each status reports; 0: the number of components
    unsigned eventDelayMs = 5;
};

// Parses the scenario text; false with a message naming the first bad line.
bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error);
// "a.b.c.d" and "yyyy-mm-dd" in the runtime's packed forms.
bool PackVersion(const std::string& text, uint32_t& packed);
bool PackDate(const std::string& text, uint32_t& packed);
