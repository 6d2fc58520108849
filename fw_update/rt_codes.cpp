#include "rt_codes.h"

#include "drx_rt_api.h"
#include "log_file.h"

namespace {

struct CodeRow {
    int32_t code;
    const char* name;
    EErrorState state;
};

#define ROW(code, state) {code, #code, state}
const CodeRow kCodes[] = {
    ROW(DRX_RT_ERR_NOT_CONSTRUCTED, ES_Failed),
    ROW(DRX_RT_ERR_INVALID_HANDLE, ES_ParamError),
    ROW(DRX_RT_ERR_INVALID_ARGUMENT, ES_ParamError),
    ROW(DRX_RT_ERR_INSUFFICIENT_BUFFER_SIZE, ES_Failed),
    ROW(DRX_RT_ERR_GENERAL, ES_Internal),
    ROW(DRX_RT_ERR_INTERAL, ES_Internal),
    ROW(DRX_RT_ERR_API_NOT_AVAILABLE, ES_MissingModule),
    ROW(DRX_RT_ERR_STATUS_QUEUE_EMPTY, ES_Failed),
    ROW(DRX_RT_ERR_CON_MGT_FAILED, ES_NoResponse),
    ROW(DRX_RT_ERR_ALREADY_CONNECTED_SAME_IF, ES_Failed),
    ROW(DRX_RT_ERR_VCI_SN_NOT_FOUND, ES_ModuleId),
    ROW(DRX_RT_ERR_IF_NOT_FOUND, ES_Failed),
    ROW(DRX_RT_ERR_DEVICE_IN_USE, ES_DeviceOpen),
    ROW(DRX_RT_ERR_DEVICE_NOT_CONNECTED, ES_DeviceNotOpen),
    ROW(DRX_RT_ERR_MULTIPLE_USB, ES_Failed),
    ROW(DRX_RT_ERR_UNINITIALIZED_USB, ES_DeviceNotOpen),
    ROW(DRX_RT_ERR_PENDANT_NOT_INSTALLED, ES_Failed),
    ROW(DRX_RT_ERR_TEMP_NOT_READY, ES_Failed),
    ROW(DRX_RT_ERR_EXCEEDED_STORAGE_SPACE, ES_Failed),
    ROW(DRX_RT_ERR_INVALID_CFG_ITEM, ES_Failed),
    ROW(DRX_RT_ERR_INVALID_CFG_VALUE, ES_Failed),
    ROW(DRX_RT_ERR_WIFI_STATS_UNAVAILABLE, ES_Failed),
    ROW(DRX_RT_ERR_SYSTEM_FW_UP_TO_DATE, ES_ConfigExists),
    ROW(DRX_RT_ERR_REPRO_IN_PROCESS, ES_Failed),
    ROW(DRX_RT_ERR_CONNECT_USB, ES_Failed),
};
#undef ROW

const CodeRow* FindCode(int32_t code)
{
    for (const CodeRow& row : kCodes)
        if (row.code == code) return &row;
    return nullptr;
}

}  // namespace

EErrorState rtErrorCodeToErrorState(int32_t code)
{
    if (const CodeRow* row = FindCode(code)) {
        g_LogFile.Write("D:", "rtErrorCodeToErrorState(%s)", row->name);
        return row->state;
    }
    g_LogFile.Write("D:", "rtErrorCodeToErrorState(0x%X) - unhandled error code.", static_cast<unsigned>(code));
    return ES_Failed;
}

const char* RtErrorCodeName(int32_t code)
{
    const CodeRow* row = FindCode(code);
    return row ? row->name : nullptr;
}

const char* InterfaceName(uint32_t value)
{
    switch (value) {
    case DRX_RT_IF_ETHERNET: return "DRX_RT_IF_ETHERNET";
    case DRX_RT_IF_USB: return "DRX_RT_IF_USB";
    case DRX_RT_IF_WIRELESS: return "DRX_RT_IF_WIRELESS";
    case DRX_RT_IF_LOCAL: return "DRX_RT_IF_LOCAL";
    case DRX_RT_IF_BLUETOOTH: return "DRX_RT_IF_BLUETOOTH";
    default: return "unknown";
    }
}

const char* ModuleStateName(uint32_t value)
{
    switch (value) {
    case DRX_RT_MODULE_STATE_OK: return "DRX_RT_MODULE_STATE_OK";
    case DRX_RT_MODULE_STATE_RECOVERY: return "DRX_RT_MODULE_STATE_RECOVERY";
    case DRX_RT_MODULE_STATE_FW_OUT_OF_DATE: return "DRX_RT_MODULE_STATE_FW_OUT_OF_DATE";
    case DRX_RT_MODULE_STATE_DLL_OUT_OF_DATE: return "DRX_RT_MODULE_STATE_DLL_OUT_OF_DATE";
    case DRX_RT_MODULE_STATE_UNDETERMINED: return "DRX_RT_MODULE_STATE_UNDETERMINED";
    default: return "unknown";
    }
}
