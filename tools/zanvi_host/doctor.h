// `doctor`: one report that tells why a VCI is not found, from the DNS-SD library to the update
// runtime, each answer taken from the deliverables' own rules.
#pragma once

#include "host_command_line.h"

// Prints the report (and saves it in options.reportFile). 0 when the saved selection of at
// least one host resolves and the update runtime loads, 1 otherwise; 2 when the report file
// cannot be created.
int RunDoctor(const HostOptions& options);
