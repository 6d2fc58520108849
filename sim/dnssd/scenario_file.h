// Where the scenario comes from: a file named by ZANVI_DNSSD_SCENARIO, or dnssd_scenario.txt
// beside this library.
#pragma once

#include <string>

#include "scenario.h"

namespace dnssd_sim {

// Reads and parses a scenario file; errors name label (normally the path) and the line.
bool ReadScenarioFile(const std::wstring& path, const std::string& label, Scenario& scenario,
    std::string& error);

// The scenario in force when the library starts: an empty network when none is given.
bool LoadDefaultScenario(Scenario& scenario, std::string& error);

std::string NarrowPath(const std::wstring& path);

}  // namespace dnssd_sim
