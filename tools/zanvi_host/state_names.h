// Names of the states the plug-ins report, as a host shows them.
#pragma once

#include <cstdint>

// Resolver and update states share their numbers: 0 Idle, 1 Init, 2 Working, 3 Ready,
// 4 Canceled, 5 Error.
enum PolledState : int32_t {
    kStateIdle = 0,
    kStateInit = 1,
    kStateWorking = 2,
    kStateReady = 3,
    kStateCanceled = 4,
    kStateError = 5,
};

const char* ResolverStateName(int32_t state);    // "RS_Idle" ... "RS_Error", else "unknown"
const char* UpdateStateName(int32_t state);      // "US_Idle" ... "US_Error", else "unknown"
const char* UpdateErrorStateName(int32_t error); // "ES_Internal" (-2) ... "ES_CanceledFWU" (60), else "unknown"
