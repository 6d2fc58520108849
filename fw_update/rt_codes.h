// The runtime's result codes as host error states, and names of its interface bits and module states.
#pragma once

#include <cstdint>

#include "update_states.h"

// Traces the code's name (or that it is unknown) and gives the error state for it.
EErrorState rtErrorCodeToErrorState(int32_t code);
// The name of a listed runtime result code ("DRX_RT_ERR_GENERAL"), or null.
const char* RtErrorCodeName(int32_t code);
const char* InterfaceName(uint32_t value);
const char* ModuleStateName(uint32_t value);
