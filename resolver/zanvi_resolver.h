// The resolver plug-in's exported interface, as the host application calls it.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t __cdecl Zanviresolver_Init(void);
int32_t __cdecl Zanviresolver_Free(void);
// pzIpAddress and pzPort: host buffers of at least 16 and 6 bytes, kept until the run ends.
int32_t __cdecl Zanviresolver_Execute(const char* pzServiceInstanceName, char* pzIpAddress,
                                      char* pzPort);
int32_t __cdecl Zanviresolver_Cancel(void);
int32_t __cdecl Zanviresolver_UpdateState(void);
int32_t __cdecl Zanviresolver_ErrorState(void);
int32_t __cdecl Zanviresolver_Progress(void);
int32_t __cdecl Zanviresolver_ProgressMax(void);
int32_t __cdecl Zanviresolver_ErrorLine(void);
// Exported under two names: Zanviresolver_ErrorLine and Zanviresolver_ServiceName.
int32_t __cdecl Zanviresolver_ServiceName(void);

#ifdef __cplusplus
}
#endif
