// The whole program behind main(): the command line, then the command it names.
#pragma once

// Returns the exit code.
int HostMain();
