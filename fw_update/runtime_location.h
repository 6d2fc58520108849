// Where the DRX VCI runtime library is registered: the value "FunctionLibrary" under
// HKEY_LOCAL_MACHINE "SOFTWARE\Quellar\DRX-VCI\Zanvi\RT Support".
#pragma once

#include <string>

extern const char kRuntimeKey[];
extern const char kRuntimeValue[];

enum class ERuntimeLocation {
    Found,
    NoKey,    // the key cannot be opened
    NoValue,  // the value is missing, not text, or longer than its 255 characters
};

// The registered path of the runtime library, when Found.
ERuntimeLocation ReadRuntimeLibraryPath(std::string& path);
