// `update`: the update application's use of zeb_fw_update.dll.
#pragma once

#include "host_command_line.h"

// Runs one command of the update plug-in for the VCI named in the given host INI section and
// prints the update and error states. Returns the exit code.
int RunUpdate(const HostOptions& options);
