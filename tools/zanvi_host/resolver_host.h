// `resolve`: the Corvex and Bay Steward hosts' use of ZanviResolver.dll.
#pragma once

#include "host_command_line.h"

// Resolves the given text (or the saved selection) and prints address and port. Returns the
// exit code.
int RunResolve(const HostOptions& options);
