// Exit codes of zanvi_host, for scripts (also listed in README.md).
#pragma once

enum HostExitCode {
    kExitSuccess = 0,   // the command did what was asked
    kExitRunFailed = 1, // the plug-in reported a failure, or the run was interrupted
    kExitUsage = 2,     // bad arguments or an unusable service-instance text
    kExitMissing = 3,   // a plug-in library or one of its exports, or the saved selection, is missing
    kExitTimedOut = 4,  // no final state within the time bound; the run was cancelled
};
