// Linked into every library that hosts load and unload: what the statically linked C++ runtime
// would keep per load is given back at unload. (Function-local statics: static_init_guard.cpp.)
//
// - The exception-handling emergency pool (about 71 KiB on x86_64) is allocated at load and not
//   freed by the runtime's own unload; __gnu_cxx::__freeres is the runtime's call for that.
#include <windows.h>

namespace __gnu_cxx {
void __freeres();
}

namespace {

struct EmergencyPoolRelease {
    ~EmergencyPoolRelease() { __gnu_cxx::__freeres(); }
} g_emergencyPoolRelease;

}  // namespace
