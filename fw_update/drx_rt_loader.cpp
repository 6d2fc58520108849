#include "drx_rt_loader.h"

#include "proc_address.h"

HMODULE CDrxRtLoader::m_hLibrary = nullptr;

#define DRXRT_DEFINE(name, type) type CDrxRtLoader::m_fn##name = nullptr;
DRXRT_ENTRY_POINTS(DRXRT_DEFINE)
#undef DRXRT_DEFINE

bool CDrxRtLoader::Load(const char* pszPath)
{
    Unload();  // a library left from a failed start is not leaked
    m_hLibrary = LoadLibraryA(pszPath);
    if (!m_hLibrary) return false;
#define DRXRT_BIND(name, type) m_fn##name = ProcAddress<type>(m_hLibrary, #name);
    DRXRT_ENTRY_POINTS(DRXRT_BIND)
#undef DRXRT_BIND
    return Unbound().empty();
}

std::vector<const char*> CDrxRtLoader::Unbound()
{
    std::vector<const char*> names;
#define DRXRT_UNBOUND(name, type) \
    if (!m_fn##name) names.push_back(#name);
    DRXRT_ENTRY_POINTS(DRXRT_UNBOUND)
#undef DRXRT_UNBOUND
    return names;
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
