// One resolution run: the request taken apart, the Wi-Fi preparation, the resolution and timer
// threads.
#pragma once

#include <windows.h>

// Platform steps of a run that tests replace: the pause between USB attempts (which the run's
// stop event ends early) and the user's roaming application-data folder.
struct ResolutionPlatform {
    void (*pauseBeforeUsbRetry)(HANDLE hRunStop);
    // Fills folder (MAX_PATH characters); a failure code when there is none.
    HRESULT (*getAppDataFolder)(wchar_t* folder);
};
ResolutionPlatform& ResolutionPlatformCalls();
const ResolutionPlatform& RealResolutionPlatform();

bool ParseServiceInstanceName(const char* text);
void PrepareWifiDongle(const char* ssid);
// Thread bodies (see CWorkerThread); context: the run, with a reference of the thread's own
// (see StartRunThread).
void MainThread(void* context, HANDLE hStop);
void TimerThread(void* context, HANDLE hStop);
