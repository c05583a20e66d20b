#include "settings/LocalTimeText.h"

#include <windows.h>

#include <cstdio>
#include <iterator>

std::string LocalDateTimeText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[128] = {};
    char time[128] = {};
    const int dateLength =
        GetDateFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, date, static_cast<int>(std::size(date)));
    const int timeLength =
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, static_cast<int>(std::size(time)));
    if (dateLength > 0 && timeLength > 0)
        return std::string(date) + ' ' + time;
    // The locale functions failed: a fixed ISO form is still a date-time text that
    // differs from "Undefined".
    char fallback[32] = {};
    std::snprintf(fallback, std::size(fallback), "%04u-%02u-%02u %02u:%02u:%02u", unsigned{now.wYear},
                  unsigned{now.wMonth}, unsigned{now.wDay}, unsigned{now.wHour}, unsigned{now.wMinute},
                  unsigned{now.wSecond});
    return fallback;
}
