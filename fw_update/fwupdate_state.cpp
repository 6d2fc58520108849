// The engine's state record: the values the host polls.
#include "fwupdate.h"

int32_t FWUpdate::getUpdateState() const { return _updateState.load(std::memory_order_relaxed); }
int32_t FWUpdate::getErrorState() const { return _errorState.load(std::memory_order_relaxed); }
void FWUpdate::setUpdateState(int32_t value) { _updateState.store(value, std::memory_order_relaxed); }
void FWUpdate::setErrorState(int32_t value) { _errorState.store(value, std::memory_order_relaxed); }
bool FWUpdate::isStopRequested() const { return _stopRequested.load(std::memory_order_relaxed); }

void FWUpdate::setStates(int32_t updateState, int32_t errorState)
{
    setUpdateState(updateState);
    setErrorState(errorState);
}
