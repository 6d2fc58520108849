#include "state_names.h"

namespace {

const char* const kResolverStates[] = {"RS_Idle", "RS_Init", "RS_Working", "RS_Ready", "RS_Canceled", "RS_Error"};
const char* const kUpdateStates[] = {"US_Idle", "US_Init", "US_Working", "US_Ready", "US_Canceled", "US_Error"};

// The error states from 0 upwards; -1 and -2 stand apart.
const char* const kErrorStates[] = {
    "ES_NoError", "ES_CancelThread", "ES_DLActive", "ES_ConfigExists", "ES_ConfigLoad", "ES_FileExists",
    "ES_FileOpen", "ES_FileRead", "ES_IHFile", "ES_IHRecord", "ES_IHVersion", "ES_ModuleId",
    "ES_ModuleVersion", "ES_ModuleType", "ES_DeviceIsOpen", "ES_DeviceOpen", "ES_DeviceRead",
    "ES_DeviceWrite", "ES_DeviceIO", "ES_BrokenLink", "ES_NoCommands", "ES_UnknownCmd", "ES_ParamError",
    "ES_MissingPar", "ES_ParamSize", "ES_ParamNotSet", "ES_NoIOPortPar", "ES_NoDLVersion",
    "ES_IllDLVersion", "ES_NoFWVersion", "ES_NoBLVersion", "ES_VersionConflict", "ES_DeviceNotOpen",
    "ES_RxTimeout", "ES_TxTimeout", "ES_NoResponse", "ES_ResponseData", "ES_InvalidSection",
    "ES_EchoError", "ES_TooManyFiles", "ES_MissingFiles", "ES_TooManyRetries", "ES_Command",
    "ES_IllLabelLine", "ES_LabelNotFound", "ES_NoGotoCall", "ES_ExprFailed", "ES_RetStackFull",
    "ES_ReturnNoCall", "ES_RetStackNot0", "ES_NoDataVar", "ES_DataIndex", "ES_DataNotSet",
    "ES_EndlessLoop", "ES_DLVersFailed", "ES_WrongResponse", "ES_BadPointer", "ES_MissingModule",
    "ES_COMObjAccess", "ES_MissingSection", "ES_CanceledFWU",
};

template <size_t N>
const char* NameAt(const char* const (&names)[N], int32_t value)
{
    return value >= 0 && static_cast<size_t>(value) < N ? names[value] : "unknown";
}

}  // namespace

const char* ResolverStateName(int32_t state) { return NameAt(kResolverStates, state); }

const char* UpdateStateName(int32_t state) { return NameAt(kUpdateStates, state); }

const char* UpdateErrorStateName(int32_t error)
{
    if (error == -2) return "ES_Internal";
    if (error == -1) return "ES_Failed";
    return NameAt(kErrorStates, error);
}
