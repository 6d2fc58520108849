#include "update_states.h"

namespace {

const char* const kUpdateStateNames[] = {"US_Idle", "US_Init", "US_Working", "US_Ready", "US_Canceled", "US_Error"};

// Indexed by value + 2.
const char* const kErrorStateNames[] = {
    "ES_Internal",      "ES_Failed",          "ES_NoError",       "ES_CancelThread",   "ES_DLActive",
    "ES_ConfigExists",  "ES_ConfigLoad",      "ES_FileExists",    "ES_FileOpen",       "ES_FileRead",
    "ES_IHFile",        "ES_IHRecord",        "ES_IHVersion",     "ES_ModuleId",       "ES_ModuleVersion",
    "ES_ModuleType",    "ES_DeviceIsOpen",    "ES_DeviceOpen",    "ES_DeviceRead",     "ES_DeviceWrite",
    "ES_DeviceIO",      "ES_BrokenLink",      "ES_NoCommands",    "ES_UnknownCmd",     "ES_ParamError",
    "ES_MissingPar",    "ES_ParamSize",       "ES_ParamNotSet",   "ES_NoIOPortPar",    "ES_NoDLVersion",
    "ES_IllDLVersion",  "ES_NoFWVersion",     "ES_NoBLVersion",   "ES_VersionConflict", "ES_DeviceNotOpen",
    "ES_RxTimeout",     "ES_TxTimeout",       "ES_NoResponse",    "ES_ResponseData",   "ES_InvalidSection",
    "ES_EchoError",     "ES_TooManyFiles",    "ES_MissingFiles",  "ES_TooManyRetries", "ES_Command",
    "ES_IllLabelLine",  "ES_LabelNotFound",   "ES_NoGotoCall",    "ES_ExprFailed",     "ES_RetStackFull",
    "ES_ReturnNoCall",  "ES_RetStackNot0",    "ES_NoDataVar",     "ES_DataIndex",      "ES_DataNotSet",
    "ES_EndlessLoop",   "ES_DLVersFailed",    "ES_WrongResponse", "ES_BadPointer",     "ES_MissingModule",
    "ES_COMObjAccess",  "ES_MissingSection",  "ES_CanceledFWU",
};

static_assert(sizeof kErrorStateNames / sizeof kErrorStateNames[0] == ES_CanceledFWU - ES_Internal + 1,
              "one name per error state");

}  // namespace

const char* UpdateStateName(int32_t value)
{
    if (value < US_Idle || value > US_Error) return "unknown";
    return kUpdateStateNames[value];
}

const char* ErrorStateName(int32_t value)
{
    if (value < ES_Internal || value > ES_CanceledFWU) return "unknown";
    return kErrorStateNames[value - ES_Internal];
}
