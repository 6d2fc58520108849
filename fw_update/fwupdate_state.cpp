// The engine's state record: the values the host polls.
#include "fwupdate.h"

// Hosts read the update state first: an error state read after it is at least as new.
int32_t FWUpdate::getUpdateState() const { return _updateState.load(std::memory_order_acquire); }
int32_t FWUpdate::getErrorState() const { return _errorState.load(std::memory_order_relaxed); }
bool FWUpdate::isStopRequested() const { return _stopRequested.load(std::memory_order_relaxed); }

void FWUpdate::setUpdateState(int32_t value)
{
    std::lock_guard<CMutex> lock(_stateLock);
    _updateState.store(value, std::memory_order_release);
}

void FWUpdate::setErrorState(int32_t value)
{
    std::lock_guard<CMutex> lock(_stateLock);
    _errorState.store(value, std::memory_order_relaxed);
}

// An error is published with its reason already in place, and any other state before the
// error state it clears, so that a host never reads US_Error without the reason.
void FWUpdate::setStates(int32_t updateState, int32_t errorState)
{
    std::lock_guard<CMutex> lock(_stateLock);
    if (updateState == US_Error) {
        _errorState.store(errorState, std::memory_order_relaxed);
        _updateState.store(updateState, std::memory_order_release);
    } else {
        _updateState.store(updateState, std::memory_order_release);
        _errorState.store(errorState, std::memory_order_relaxed);
    }
}
