// CDrxRuntime: the one runtime object, its start and shutdown, and the console control handler.
#include "drx_runtime.h"

#include "drx_rt_loader.h"
#include "log_file.h"
#include "runtime_location.h"

std::atomic<uint32_t> g_uiTotalInstallComponents{0};
std::atomic<uint32_t> g_uiCurrentInstallComponent{0};

// The runtime-level registration passes no context, so only connection events arrive here.
void DRXRT_CALL CDrxRuntime::EventEntry(int32_t hVCI, uint32_t uiEvent, uint32_t uiSubEvent, void* pContext)
{
    if (!pContext) return;
    CDrxRuntime* runtime = static_cast<CDrxRuntime*>(pContext);
    try {
        runtime->DrxRtCbFn(hVCI, uiEvent, uiSubEvent);
    } catch (...) {
        // Nothing may escape into the runtime's thread: the install it reports on ends failed.
        try {
            g_LogFile.Write("E:", "DrxRtCbFn - exception in the event handler; the install ends as failed");
            if (runtime->m_bInstallBusy) runtime->EndInstall(DRX_RT_ERR_INTERAL);
        } catch (...) {
        }
    }
}

BOOL WINAPI CtrlHandler(DWORD dwCtrlType)
{
    switch (dwCtrlType) {
    case CTRL_C_EVENT: g_LogFile.Write("D:", "CTRL+C received!"); break;
    case CTRL_BREAK_EVENT: g_LogFile.Write("D:", "CTRL+BREAK received!"); break;
    case CTRL_CLOSE_EVENT: g_LogFile.Write("D:", "Program being closed!"); break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: g_LogFile.Write("D:", "User is logging off!"); break;
    default: break;
    }
    return TRUE;
}

CDrxRuntime& CDrxRuntime::Instance()
{
    static CDrxRuntime runtime;
    return runtime;
}

CDrxRuntime::CDrxRuntime()
    : m_pfnClientNotification(nullptr),
      m_uiClientEventMask(0),
      m_installHandle(0),
      m_bInitialized(false),
      m_hVCI(-1),
      m_connectedSerNum(0),
      m_bInstallEnded(false),
      m_bInstallBusy(false),
      m_installResult(0),
      m_bCtrlHandlerInstalled(false)
{
}

CDrxRuntime::~CDrxRuntime()
{
    if (m_bInitialized) Uninitialize();
    // The handler lives in this library: it must not outlast it.
    if (m_bCtrlHandlerInstalled) SetConsoleCtrlHandler(CtrlHandler, FALSE);
}

bool CDrxRuntime::IsConnected() const { return m_hVCI != -1; }

int32_t CDrxRuntime::LoadRuntimeLibrary()
{
    std::string path;
    switch (ReadRuntimeLibraryPath(path)) {
    case ERuntimeLocation::NoKey:
        g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Can't open registry key %s", kRuntimeKey);
        return -1;
    case ERuntimeLocation::NoValue:
        g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Can't query registry key %s", kRuntimeValue);
        return -1;
    case ERuntimeLocation::Found:
        break;
    }
    if (!CDrxRtLoader::Load(path.c_str())) {
        g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Unable to load Orbal RT");
        return -1;
    }
    g_LogFile.Write("D:", "CDrxRuntime::Initialize()::ORBAL Runtime Loaded");
    return 0;
}

int32_t CDrxRuntime::Initialize()
{
    g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Entering");
    if (m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Already Initialized");
        return -1;
    }
    // Installed once per load of this library (a second entry would trace every event twice).
    if (!m_bCtrlHandlerInstalled) {
        if (!SetConsoleCtrlHandler(CtrlHandler, TRUE)) {
            g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Unable to install Ctrl C handler");
            return -1;
        }
        m_bCtrlHandlerInstalled = true;
    }
    int32_t r = LoadRuntimeLibrary();
    if (r != 0) return r;

    r = CDrxRtLoader::m_fnDrxRtConstruct(0);
    if (r == 0)
        g_LogFile.Write("D:", "CDrxRuntime::Initialize()::ORBAL Runtime Constructed");
    else
        g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Error Constructing ORBAL Runtime iRet = 0x%X",
                        static_cast<unsigned>(r));
    if (r == 0) r = CDrxRtLoader::m_fnDrxRtSetEventCallback(DRX_RT_RUNTIME_HANDLE, 1, EventEntry, nullptr);
    if (r == 0)
        g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Callback Registered");
    else
        g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Error Registering Event Callback iRet = 0x%X",
                        static_cast<unsigned>(r));
    if (r == 0) m_bInitialized = true;
    g_LogFile.Write("D:", "CDrxRuntime::Initialize()::Leaving");
    return r;
}

int32_t CDrxRuntime::Uninitialize()
{
    int32_t r = 0;
    g_LogFile.Write("D:", "CDrxRuntime::Uninitialize()::Entering");
    // Cleared at once: a shutdown still in a runtime call when the process ends is not begun a
    // second time from the library's unload.
    if (!m_bInitialized.exchange(false)) {
        g_LogFile.Write("D:", "CDrxRuntime::Uninitialize()::ORBAL Runtime not initialized");
        r = -1;
    }
    if (r == 0) {
        r = CDrxRtLoader::m_fnDrxRtSetEventCallback(DRX_RT_RUNTIME_HANDLE, 0, nullptr, nullptr);
        g_LogFile.Write("D:", r == 0 ? "CDrxRuntime::Uninitialize()::Callback Unregistered"
                                     : "CDrxRuntime::Uninitialize()::Error unregistering callback");
    }
    if (r == 0 && m_hVCI != -1) {
        r = CDrxRtLoader::m_fnDrxRtDisconnect(m_hVCI);
        g_LogFile.Write("D:", r == 0 ? "CDrxRuntime::Uninitialize()::Module disconnected"
                                     : "CDrxRuntime::Uninitialize()::Error Disconnecting from Module");
    }
    if (r == 0) {
        r = CDrxRtLoader::m_fnDrxRtDestruct();
        g_LogFile.Write("D:", r == 0 ? "CDrxRuntime::Uninitialize()::ORBAL Runtime Destructed"
                                     : "CDrxRuntime::Uninitialize()::Error Destructing ORBAL Runtime");
    }
    CDrxRtLoader::Unload();
    // A destructed runtime runs no install any more.
    m_bInstallBusy = false;
    m_hVCI = -1;
    m_connectedSerNum = 0;
    return r;
}
