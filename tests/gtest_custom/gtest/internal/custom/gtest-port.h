// GoogleTest's customisation hook, found before its own empty one. The win32 thread model has
// no std::mutex or std::condition_variable, which GoogleTest's own Notification is built on; this
// one is a manual-reset event (tests/gtest_custom/notification.cpp). No platform header here:
// test programs decide themselves what comes before <windows.h>.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify();
    void WaitForNotification();

private:
    void* m_hEvent;
};

}  // namespace internal
}  // namespace testing
