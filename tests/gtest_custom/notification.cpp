#include <windows.h>

#include "gtest/internal/custom/gtest-port.h"

namespace testing {
namespace internal {

Notification::Notification() : m_hEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
Notification::~Notification() { CloseHandle(m_hEvent); }
void Notification::Notify() { SetEvent(m_hEvent); }
void Notification::WaitForNotification() { WaitForSingleObject(m_hEvent, INFINITE); }

}  // namespace internal
}  // namespace testing
