// GoogleTest's customisation point, for the MinGW-w64 cross build of the unit tests only: the
// win32-threads flavour of its libstdc++ (the program's) has no std::mutex or
// std::condition_variable, which GoogleTest's Notification takes; this one waits on a Win32 event.
#ifndef PRUVOLT_TESTS_UNIT_MINGW_GTEST_PORT_H
#define PRUVOLT_TESTS_UNIT_MINGW_GTEST_PORT_H

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

// Lets GoogleTest's own threads wait until their creator lets them start.
class Notification {
public:
    Notification() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { ::CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { ::SetEvent(event_); }
    void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace testing::internal

#endif
