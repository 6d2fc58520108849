// Threads of the resolver that keep its module loaded until they have ended, so a host that
// unloads the library while one still runs does not pull the code from under it.
#pragma once

#include <windows.h>

#include <atomic>

// Starts body on a new thread; the handle, or null when the thread could not be started.
HANDLE StartLibraryThread(void (*body)());

// Replaces a stored thread handle, closing the one it held.
void StoreThreadHandle(std::atomic<HANDLE>& slot, HANDLE thread);
