// The DRX VCI runtime's binary interface as this plug-in uses it: calling convention, result
// and event codes, reply records and entry point types. Shared with the runtime stand-in.
#pragma once

#include <cstddef>
#include <cstdint>

#define DRXRT_CALL __cdecl

typedef int32_t DrxRtResult;

// Result codes of the runtime (0 is success).
enum : int32_t {
    DRX_RT_ERR_NOT_CONSTRUCTED = 0x50000001,
    DRX_RT_ERR_INVALID_HANDLE = 0x50000002,
    DRX_RT_ERR_INVALID_ARGUMENT = 0x50000003,
    DRX_RT_ERR_INSUFFICIENT_BUFFER_SIZE = 0x50000004,
    DRX_RT_ERR_GENERAL = 0x50000005,
    DRX_RT_ERR_INTERAL = 0x50000006,
    DRX_RT_ERR_API_NOT_AVAILABLE = 0x50000007,
    DRX_RT_ERR_STATUS_QUEUE_EMPTY = 0x50000008,
    DRX_RT_ERR_CON_MGT_FAILED = 0x50002001,
    DRX_RT_ERR_ALREADY_CONNECTED_SAME_IF = 0x50002002,
    DRX_RT_ERR_VCI_SN_NOT_FOUND = 0x50002003,
    DRX_RT_ERR_IF_NOT_FOUND = 0x50002004,
    DRX_RT_ERR_DEVICE_IN_USE = 0x50002005,
    DRX_RT_ERR_DEVICE_NOT_CONNECTED = 0x50002006,
    DRX_RT_ERR_MULTIPLE_USB = 0x50002007,
    DRX_RT_ERR_UNINITIALIZED_USB = 0x50002008,
    DRX_RT_ERR_PENDANT_NOT_INSTALLED = 0x50005001,
    DRX_RT_ERR_TEMP_NOT_READY = 0x50006001,
    DRX_RT_ERR_EXCEEDED_STORAGE_SPACE = 0x5000A001,
    DRX_RT_ERR_INVALID_CFG_ITEM = 0x5000C001,
    DRX_RT_ERR_INVALID_CFG_VALUE = 0x5000C002,
    DRX_RT_ERR_WIFI_STATS_UNAVAILABLE = 0x5000C003,
    DRX_RT_ERR_SYSTEM_FW_UP_TO_DATE = 0x5000E001,
    DRX_RT_ERR_REPRO_IN_PROCESS = 0x5000E002,
    DRX_RT_ERR_CONNECT_USB = 0x5000E003,
};

// Interface bits; a module's detected interfaces are a mask of them.
enum : uint32_t {
    DRX_RT_IF_ETHERNET = 1,
    DRX_RT_IF_USB = 2,
    DRX_RT_IF_WIRELESS = 4,
    DRX_RT_IF_LOCAL = 8,
    DRX_RT_IF_BLUETOOTH = 16,
};

enum : uint32_t {
    DRX_RT_MODULE_STATE_OK = 1,
    DRX_RT_MODULE_STATE_RECOVERY = 2,
    DRX_RT_MODULE_STATE_FW_OUT_OF_DATE = 3,
    DRX_RT_MODULE_STATE_DLL_OUT_OF_DATE = 4,
    DRX_RT_MODULE_STATE_UNDETERMINED = 5,
};

// Events (uiEvent, uiSubEvent) and the handle that stands for the runtime as a whole.
enum : uint32_t {
    DRX_RT_APP_MGT_EVT = 0x80,
    DRX_RT_APP_MGT_EVT_REPRO = 1,
    DRX_RT_SD_MGT_EVT = 0x200,
    DRX_RT_SD_MGT_EVT_NOTIFY = 1,
};
const int32_t DRX_RT_RUNTIME_HANDLE = -1;

// Install status values and application control actions.
enum : int32_t {
    DRX_RT_INSTALL_IN_PROCESS = 1,
    DRX_RT_INSTALL_COMPLETE = 3,
    DRX_RT_INSTALL_ERROR = 4,
    DRX_RT_APP_START = 1,
    DRX_RT_APP_STOP = 2,
    DRX_RT_APP_IDLE = 1,
};

const size_t DRX_RT_NAME_CHARS = 256;
const size_t DRX_RT_INSTALL_RECORD_BYTES = 280;
const size_t DRX_RT_VERSION_REPLY_BYTES = 8192;

#pragma pack(push, 4)

struct DrxRtModuleInfo {
    uint32_t uiState;
    int32_t iSerialNumber;
    uint32_t uiInterfaces;
    uint32_t uiReserved;
    char szName[256];
};

struct DrxRtPCAppItem {
    char szName[DRX_RT_NAME_CHARS];
    uint32_t uiVersion;  // bytes major..build, most significant first
    uint32_t uiDate;     // bytes year-1970, month, day, unused
};

struct DrxRtVCIAppItem {
    int32_t iAppId;
    char szName[DRX_RT_NAME_CHARS];
    uint32_t uiVersion;
    uint32_t uiDate;
    int32_t iRunState;
    uint8_t reserved[4108];
};

struct DrxRtVersionItem {
    char szName[DRX_RT_NAME_CHARS];
    uint32_t uiVersion;
    uint32_t uiDate;
};

struct DrxRtAppInstallStatus {
    int32_t iStatus;
    uint32_t uiReserved;
    uint32_t uiComponent;
    uint32_t uiTotal;
    uint32_t uiReserved2[2];
    char szAppName[DRX_RT_NAME_CHARS];
};

struct DrxRtClientAccessStatus {
    int32_t iHandle;
    int32_t iStatus;  // 3 and 4: the write has finished
    uint8_t reserved[16];
};

// List replies: the records follow inside the caller's buffer.
struct DrxRtModuleList {
    uint32_t uiCount;
    DrxRtModuleInfo* pItems;
};
struct DrxRtPCAppList {
    uint32_t uiCount;
    DrxRtPCAppItem* pItems;
};
struct DrxRtVCIAppList {
    uint32_t uiCount;
    DrxRtVCIAppItem* pItems;
};

struct DrxRtVersionList {
    int32_t iCount;
    DrxRtVersionItem* pItems;
};
struct DrxRtVersionInfo {
    DrxRtVersionList* pClient;
    DrxRtVersionList* pServer;
};

#pragma pack(pop)

static_assert(sizeof(DrxRtModuleInfo) == 272, "ModuleInfo");
static_assert(offsetof(DrxRtModuleInfo, szName) == 16, "ModuleInfo name");
static_assert(sizeof(DrxRtPCAppItem) == 264 && offsetof(DrxRtPCAppItem, uiDate) == 260, "PCAppItem");
static_assert(sizeof(DrxRtVCIAppItem) == 4380 && offsetof(DrxRtVCIAppItem, iRunState) == 268, "VCIAppItem");
static_assert(sizeof(DrxRtVersionItem) == 264 && offsetof(DrxRtVersionItem, uiDate) == 260, "VersionItem");
static_assert(offsetof(DrxRtAppInstallStatus, uiComponent) == 8 && offsetof(DrxRtAppInstallStatus, uiTotal) == 12 &&
                  offsetof(DrxRtAppInstallStatus, szAppName) == 24,
              "AppInstallStatus");
static_assert(sizeof(DrxRtClientAccessStatus) == 24, "pending-write status");
#if defined(__i386__)
// The runtime's 32-bit interface: pointers four bytes wide right after the count.
static_assert(sizeof(DrxRtModuleList) == 8 && offsetof(DrxRtModuleList, pItems) == 4, "list reply");
static_assert(offsetof(DrxRtVersionList, pItems) == 4 && offsetof(DrxRtVersionInfo, pServer) == 4, "version reply");
#endif

typedef void(DRXRT_CALL* DrxRtEventCallback)(int32_t hVCI, uint32_t uiEvent, uint32_t uiSubEvent, void* pContext);

typedef DrxRtResult(DRXRT_CALL* DrxRtConstructFn)(int32_t iReserved);
typedef DrxRtResult(DRXRT_CALL* DrxRtDestructFn)();
typedef DrxRtResult(DRXRT_CALL* DrxRtSetEventCallbackFn)(int32_t hVCI, uint32_t uiMask, DrxRtEventCallback pfn,
                                                         void* pContext);
typedef DrxRtResult(DRXRT_CALL* DrxRtConnectFn)(int32_t iSerialNumber, uint32_t uiInterface, int32_t* phVCI);
typedef DrxRtResult(DRXRT_CALL* DrxRtDisconnectFn)(int32_t hVCI);
typedef DrxRtResult(DRXRT_CALL* DrxRtDeleteClientInfoFn)(int32_t hVCI, const char* pszItem, int32_t iKind);
typedef DrxRtResult(DRXRT_CALL* DrxRtGetModuleIdsFn)(uint32_t* puiSize, void* pBuffer);
typedef DrxRtResult(DRXRT_CALL* DrxRtGetAppsPCFn)(uint32_t* puiSize, void* pBuffer);
typedef DrxRtResult(DRXRT_CALL* DrxRtGetAppsVCIFn)(int32_t hVCI, int32_t iSerialNumber, int32_t iKind,
                                                   uint32_t* puiSize, void* pBuffer);
typedef DrxRtResult(DRXRT_CALL* DrxRtCtlAppFn)(int32_t hVCI, int32_t iAppId, int32_t iAction);
typedef DrxRtResult(DRXRT_CALL* DrxRtInstallVCIAppFn)(int32_t hVCI, const char* pszApp, void* pRecord,
                                                      int32_t* phInstall);
typedef DrxRtResult(DRXRT_CALL* DrxRtInstallGetStatusFn)(int32_t hVCI, int32_t hInstall,
                                                         DrxRtAppInstallStatus* pStatus);
typedef DrxRtResult(DRXRT_CALL* DrxRtUninstallVCIAppFn)(int32_t hVCI, const char* pszApp, void* pRecord,
                                                        int32_t* phUninstall);
typedef DrxRtResult(DRXRT_CALL* DrxRtGetVersionInformationFn)(int32_t hVCI, int32_t iSerialNumber,
                                                              uint32_t* puiSize, void* pBuffer);
typedef DrxRtResult(DRXRT_CALL* DrxRtGetClientAccessStatusFn)(int32_t hVCI, int32_t hWrite,
                                                              DrxRtClientAccessStatus* pStatus);
// Entry points this plug-in binds but never calls; their arguments are the runtime's business.
typedef DrxRtResult(DRXRT_CALL* DrxRtUnusedFn)();

// Every entry point, in binding order, with its pointer type.
#define DRXRT_ENTRY_POINTS(X)                                  \
    X(DrxRtConstruct, DrxRtConstructFn)                        \
    X(DrxRtConfigureUsbInterface, DrxRtUnusedFn)               \
    X(DrxRtConfigureWifiInterface, DrxRtUnusedFn)              \
    X(DrxRtDestruct, DrxRtDestructFn)                          \
    X(DrxRtGetModuleIds, DrxRtGetModuleIdsFn)                  \
    X(DrxRtGetModuleInfo, DrxRtUnusedFn)                       \
    X(DrxRtSetEventCallback, DrxRtSetEventCallbackFn)          \
    X(DrxRtGetEventCallback, DrxRtUnusedFn)                    \
    X(DrxRtConnect, DrxRtConnectFn)                            \
    X(DrxRtDisconnect, DrxRtDisconnectFn)                      \
    X(DrxRtGetVersionInformation, DrxRtGetVersionInformationFn) \
    X(DrxRtSetLED, DrxRtUnusedFn)                              \
    X(DrxRtGetLED, DrxRtUnusedFn)                              \
    X(DrxRtSetAudio, DrxRtUnusedFn)                            \
    X(DrxRtGetAudio, DrxRtUnusedFn)                            \
    X(DrxRtPwrSuspend, DrxRtUnusedFn)                          \
    X(DrxRtPwrShutdown, DrxRtUnusedFn)                         \
    X(DrxRtGetA2D, DrxRtUnusedFn)                              \
    X(DrxRtSetVpp, DrxRtUnusedFn)                              \
    X(DrxRtGetVpp, DrxRtUnusedFn)                              \
    X(DrxRtGetConfigItems, DrxRtUnusedFn)                      \
    X(DrxRtSetConfigItems, DrxRtUnusedFn)                      \
    X(DrxRtStoreClientInfoFile, DrxRtUnusedFn)                 \
    X(DrxRtStoreClientInfo, DrxRtUnusedFn)                     \
    X(DrxRtGetClientInfoList, DrxRtUnusedFn)                   \
    X(DrxRtDeleteClientInfo, DrxRtDeleteClientInfoFn)          \
    X(DrxRtGetClientInfo, DrxRtUnusedFn)                       \
    X(DrxRtGetAvailableClientSpace, DrxRtUnusedFn)             \
    X(DrxRtGetClientAccessStatus, DrxRtGetClientAccessStatusFn) \
    X(DrxRtCancelClientInfoItem, DrxRtUnusedFn)                \
    X(DrxRtGetClientInfoFile, DrxRtUnusedFn)                   \
    X(DrxRtGetAppsPC, DrxRtGetAppsPCFn)                        \
    X(DrxRtGetAppsVCI, DrxRtGetAppsVCIFn)                      \
    X(DrxRtGetCfgApp, DrxRtUnusedFn)                           \
    X(DrxRtSetCfgApp, DrxRtUnusedFn)                           \
    X(DrxRtCtlApp, DrxRtCtlAppFn)                              \
    X(DrxRtUpdateSystemFirmware, DrxRtUnusedFn)                \
    X(DrxRtInstallGetStatus, DrxRtInstallGetStatusFn)          \
    X(DrxRtInstallVCIApp, DrxRtInstallVCIAppFn)                \
    X(DrxRtUninstallVCIApp, DrxRtUninstallVCIAppFn)            \
    X(DrxRtGetAccessPointList, DrxRtUnusedFn)                  \
    X(DrxRtGetAccessPointState, DrxRtUnusedFn)                 \
    X(DrxRtGetConStatus, DrxRtUnusedFn)                        \
    X(DrxRtGetTimestamp, DrxRtUnusedFn)                        \
    X(DrxRtPendantSetLeds, DrxRtUnusedFn)                      \
    X(DrxRtPendantGetLeds, DrxRtUnusedFn)                      \
    X(DrxRtPendantSetSegDisp, DrxRtUnusedFn)                   \
    X(DrxRtPendantGetSegDisp, DrxRtUnusedFn)                   \
    X(DrxRtPendantSetAudio, DrxRtUnusedFn)                     \
    X(DrxRtPendantGetAudio, DrxRtUnusedFn)                     \
    X(DrxRtPendantReprogram, DrxRtUnusedFn)                    \
    X(DrxRtTempGetThresholds, DrxRtUnusedFn)                   \
    X(DrxRtSetLogging, DrxRtUnusedFn)                          \
    X(DrxRtGetLogging, DrxRtUnusedFn)                          \
    X(DrxRtGetLogFiles, DrxRtUnusedFn)                         \
    X(DrxRtEnableAutoWifi, DrxRtUnusedFn)                      \
    X(DrxRtEnableManualScan, DrxRtUnusedFn)                    \
    X(DrxRtGetAutoWifoInfo, DrxRtUnusedFn)                     \
    X(DrxRtRunSelfTest, DrxRtUnusedFn)
