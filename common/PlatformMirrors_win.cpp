// What common/ repeats from the platform's headers for the portable core, checked against
// them: a wrong copy fails the Windows build.

#include <windows.h>

#include <cstddef>

#include "common/Calendar.h"
#include "common/WindowMessages.h"

// The messages between the programs lie in the range a window class may define for itself,
// clear of the system's messages below WM_USER and the application range from WM_APP.
constexpr bool IsPrivateMessage(unsigned message) {
    return message >= WM_USER && message < WM_APP;
}
static_assert(IsPrivateMessage(UM_CONSOLE_HELLO) && IsPrivateMessage(UM_SERVICE_HELLO) &&
              IsPrivateMessage(UM_OPTIONS_UPDATED) && IsPrivateMessage(UM_SYNC_NOW) &&
              IsPrivateMessage(UM_SYNC_RESULT) && IsPrivateMessage(UM_SYNC_BREAK));

// The calendar record has SYSTEMTIME's fields in SYSTEMTIME's order.
static_assert(sizeof(CalendarTime) == sizeof(SYSTEMTIME));
static_assert(offsetof(CalendarTime, wYear) == offsetof(SYSTEMTIME, wYear));
static_assert(offsetof(CalendarTime, wMonth) == offsetof(SYSTEMTIME, wMonth));
static_assert(offsetof(CalendarTime, wDayOfWeek) == offsetof(SYSTEMTIME, wDayOfWeek));
static_assert(offsetof(CalendarTime, wDay) == offsetof(SYSTEMTIME, wDay));
static_assert(offsetof(CalendarTime, wHour) == offsetof(SYSTEMTIME, wHour));
static_assert(offsetof(CalendarTime, wMinute) == offsetof(SYSTEMTIME, wMinute));
static_assert(offsetof(CalendarTime, wSecond) == offsetof(SYSTEMTIME, wSecond));
static_assert(offsetof(CalendarTime, wMilliseconds) == offsetof(SYSTEMTIME, wMilliseconds));
