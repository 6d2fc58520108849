// The two numeric vocabularies the host polls: the update state and the error state.
#pragma once

#include <cstdint>

enum EUpdateState : int32_t {
    US_Idle = 0,
    US_Init = 1,
    US_Working = 2,
    US_Ready = 3,
    US_Canceled = 4,
    US_Error = 5,
};

// The host's numbering for every update plug-in; values keep their numbers even where unused.
enum EErrorState : int32_t {
    ES_Internal = -2,
    ES_Failed = -1,
    ES_NoError = 0,
    ES_CancelThread,
    ES_DLActive,
    ES_ConfigExists,
    ES_ConfigLoad,
    ES_FileExists,
    ES_FileOpen,
    ES_FileRead,
    ES_IHFile,
    ES_IHRecord,
    ES_IHVersion,
    ES_ModuleId,
    ES_ModuleVersion,
    ES_ModuleType,
    ES_DeviceIsOpen,
    ES_DeviceOpen,
    ES_DeviceRead,
    ES_DeviceWrite,
    ES_DeviceIO,
    ES_BrokenLink,
    ES_NoCommands,
    ES_UnknownCmd,
    ES_ParamError,
    ES_MissingPar,
    ES_ParamSize,
    ES_ParamNotSet,
    ES_NoIOPortPar,
    ES_NoDLVersion,
    ES_IllDLVersion,
    ES_NoFWVersion,
    ES_NoBLVersion,
    ES_VersionConflict,
    ES_DeviceNotOpen,
    ES_RxTimeout,
    ES_TxTimeout,
    ES_NoResponse,
    ES_ResponseData,
    ES_InvalidSection,
    ES_EchoError,
    ES_TooManyFiles,
    ES_MissingFiles,
    ES_TooManyRetries,
    ES_Command,
    ES_IllLabelLine,
    ES_LabelNotFound,
    ES_NoGotoCall,
    ES_ExprFailed,
    ES_RetStackFull,
    ES_ReturnNoCall,
    ES_RetStackNot0,
    ES_NoDataVar,
    ES_DataIndex,
    ES_DataNotSet,
    ES_EndlessLoop,
    ES_DLVersFailed,
    ES_WrongResponse,
    ES_BadPointer,
    ES_MissingModule,
    ES_COMObjAccess,
    ES_MissingSection,
    ES_CanceledFWU,
};

static_assert(ES_ModuleId == 11 && ES_ParamNotSet == 25 && ES_VersionConflict == 31 && ES_NoResponse == 35 &&
                  ES_MissingModule == 57 && ES_CanceledFWU == 60,
              "the host's error numbering");

// Enumerator name of a value, "unknown" for any other value.
const char* UpdateStateName(int32_t value);
const char* ErrorStateName(int32_t value);
