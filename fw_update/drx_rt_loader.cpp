#include "drx_rt_loader.h"

#include "proc_address.h"

HMODULE CDrxRtLoader::m_hLibrary = nullptr;

#define DRXRT_DEFINE(name, type) type CDrxRtLoader::m_fn##name = nullptr;
DRXRT_ENTRY_POINTS(DRXRT_DEFINE)
#undef DRXRT_DEFINE

namespace {

// Binds one entry point.
template <class Fn>
bool Bind(HMODULE module, const char* name, Fn& target)
{
    target = ProcAddress<Fn>(module, name);
    return target != nullptr;
}

}  // namespace

bool CDrxRtLoader::Load(const char* pszPath)
{
    Unload();  // a library left from a failed start is not leaked
    m_hLibrary = LoadLibraryA(pszPath);
    if (!m_hLibrary) return false;
    bool all = true;
#define DRXRT_BIND(name, type) all = Bind(m_hLibrary, #name, m_fn##name) && all;
    DRXRT_ENTRY_POINTS(DRXRT_BIND)
#undef DRXRT_BIND
    return all;
}

void CDrxRtLoader::Unload()
{
    if (!m_hLibrary) return;
#define DRXRT_CLEAR(name, type) m_fn##name = nullptr;
    DRXRT_ENTRY_POINTS(DRXRT_CLEAR)
#undef DRXRT_CLEAR
    FreeLibrary(m_hLibrary);
    m_hLibrary = nullptr;
}
