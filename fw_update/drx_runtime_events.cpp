// CDrxRuntime's handler of the runtime's connection events: install and storage progress.
#include "drx_rt_loader.h"
#include "drx_runtime.h"
#include "log_file.h"

namespace {

// A storage status query that keeps failing is given up after a few tries.
const int kStatusQueryTries = 5;
const DWORD kStatusQueryPauseMs = 20;

const char* InstallStatusText(int32_t status)
{
    if (status == DRX_RT_INSTALL_COMPLETE) return "Complete";
    if (status == DRX_RT_INSTALL_ERROR) return "Error";
    return "In Process";
}

}  // namespace

void CDrxRuntime::DrxRtCbFn(int32_t hVCI, uint32_t uiEvent, uint32_t uiSubEvent)
{
    g_LogFile.Write("D:", "DrxRtCbFn::Entering");
    g_LogFile.Write("D:", "DrxRtCbFn::uiEvent = %X uiSubEvent = %X", uiEvent, uiSubEvent);
    if (uiEvent == DRX_RT_APP_MGT_EVT && uiSubEvent == DRX_RT_APP_MGT_EVT_REPRO) {
        g_LogFile.Write("D:", "DrxRtCbFn::DRX_RT_APP_MGT_EVT_REPRO");
        OnInstallProgress();
    } else if (uiEvent == DRX_RT_SD_MGT_EVT) {
        g_LogFile.Write("D:", "DrxRtCbFn::DRX_RT_SD_MGT_EVT");
        if (uiSubEvent == DRX_RT_SD_MGT_EVT_NOTIFY) {
            g_LogFile.Write("D:", "DrxRtCbFn::DRX_RT_SD_MGT_EVT_NOTIFY");
            OnStorageProgress(hVCI);
        }
    } else if (uiEvent == 0x4 && uiSubEvent == 2) {
        NotifyClient(0x4);
    }
    g_LogFile.Write("D:", "DrxRtCbFn::Leaving");
}

void CDrxRuntime::OnInstallProgress()
{
    boost::recursive_mutex::scoped_lock lock(m_installLock);
    for (;;) {
        DrxRtAppInstallStatus status = {};
        int32_t r = CDrxRtLoader::m_fnDrxRtInstallGetStatus(m_hVCI, m_installHandle, &status);
        if (r == DRX_RT_ERR_STATUS_QUEUE_EMPTY) break;
        if (r != 0) {
            g_LogFile.Write("D:", "DrxRtCbFn::m_fnDrxRtInstallGetStatus Failed iRet = 0x%X", static_cast<unsigned>(r));
            break;
        }
        status.szAppName[sizeof status.szAppName - 1] = '\0';
        g_LogFile.Write("D:", "DrxRtCbFn::AppStatus Name %s, Number = %d, Total  = %d, Status = %s", status.szAppName,
                        static_cast<int>(status.uiComponent), static_cast<int>(status.uiTotal),
                        InstallStatusText(status.iStatus));
        g_uiCurrentInstallComponent = status.uiComponent;
        g_uiTotalInstallComponents = status.uiTotal;
        if (status.iStatus == DRX_RT_INSTALL_ERROR) {
            g_LogFile.Write("D:", "DrxRtCbFn::Special Error Handling");
            // The waiting install ends with a failure the engine can map.
            EndInstall(DRX_RT_ERR_GENERAL);
        } else if (status.iStatus == DRX_RT_INSTALL_COMPLETE) {
            EndInstall(0);
        }
    }
}

void CDrxRuntime::EndInstall(int32_t result)
{
    boost::recursive_mutex::scoped_lock lock(m_installLock);
    m_installResult = result;
    m_bInstallEnded = true;
    m_bInstallBusy = false;
    m_installCond.notify_all();
}

void CDrxRuntime::OnStorageProgress(int32_t hVCI)
{
    boost::recursive_mutex::scoped_lock lock(m_pendingWritesLock);
    for (auto it = m_pendingWrites.begin(); it != m_pendingWrites.end();) {
        DrxRtClientAccessStatus status = {};
        int32_t r = -1;
        for (int attempt = 0; attempt < kStatusQueryTries && r != 0; ++attempt) {
            if (attempt > 0) Sleep(kStatusQueryPauseMs);
            r = CDrxRtLoader::m_fnDrxRtGetClientAccessStatus(hVCI, it->first, &status);
        }
        if (r != 0) {
            ++it;
            continue;
        }
        it->second = status;
        g_LogFile.Write("D:", "DrxRtCbFn:: handle = %d, Status = %d", status.iHandle, status.iStatus);
        if (status.iStatus == 3 || status.iStatus == 4) {
            it = m_pendingWrites.erase(it);
            NotifyClient(DRX_RT_SD_MGT_EVT);
        } else {
            ++it;
        }
    }
    m_pendingWritesCond.notify_all();
}

void CDrxRuntime::NotifyClient(uint32_t uiEvent)
{
    if (m_pfnClientNotification && (m_uiClientEventMask & uiEvent)) m_pfnClientNotification(uiEvent);
}
