// Whether the PC's application may be installed on a VCI: its version among the PC's
// applications, and the compatibility file that lists, per platform version of the VCI, the
// application versions admitted there.
#pragma once

#include <string>

#include "drx_runtime.h"

// The first application on the PC whose name equals pszName without regard to case, or null.
const DrxRtPCAppItem* FindPcApp(const PCAppList& apps, const char* pszName);

// The compatibility file under the all-users application-data folder; empty when the shell
// cannot name that folder (which then counts as a missing file).
std::string AppCompatConfigPath();

enum class EAppCompat {
    NoFile,       // no compatibility file: the update goes on
    NoEntry,      // no "zvci" entry for the platform version: the update goes on
    Admitted,     // the entry holds the application's version
    NotAdmitted,  // the entry does not hold it: the update stops
};

// Looks the application version up in the platform version's "zvci" entry of the file at path:
// a substring search (an empty version occurs in every entry).
EAppCompat LookUpAppCompat(const std::string& path, const std::string& platformVersion,
                           const std::string& appVersion);
