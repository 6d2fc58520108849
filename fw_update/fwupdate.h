// The update engine behind the plug-in's exports.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "update_states.h"

class FWUpdate {
public:
    FWUpdate();
    virtual ~FWUpdate();
    FWUpdate(const FWUpdate&) = delete;
    FWUpdate& operator=(const FWUpdate&) = delete;

    int32_t getUpdateState() const;
    int32_t getErrorState() const;
    void setUpdateState(int32_t value);
    void setErrorState(int32_t value);
    bool isStopRequested() const;

private:
    // Written and read whole by host threads and the worker without a lock; last writer wins.
    std::atomic<int32_t> _updateState;
    std::atomic<int32_t> _errorState;
    std::atomic<int32_t> _targetSerNum;
    HANDLE _hThread;
    std::atomic<bool> _stopRequested;
};
