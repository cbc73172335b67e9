// Local time on Windows: the system's time-zone information.
#include <windows.h>

#include <time.h>

#include "archive/platform/localtime.h"

namespace vek::platform {

bool FileTimeToLocalTime(int64_t fileTime, std::tm* local) {
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(fileTime) & 0xFFFFFFFFu);
    utc.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(fileTime) >> 32);
    SYSTEMTIME utcTime;
    SYSTEMTIME localTime;
    TIME_ZONE_INFORMATION zone;
    if (!::FileTimeToSystemTime(&utc, &utcTime)) {
        return false;
    }
    if (::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) {
        return false;
    }
    if (!::SystemTimeToTzSpecificLocalTime(&zone, &utcTime, &localTime)) {
        return false;
    }
    *local = std::tm{};
    local->tm_year = localTime.wYear - 1900;
    local->tm_mon = localTime.wMonth - 1;
    local->tm_mday = localTime.wDay;
    local->tm_hour = localTime.wHour;
    local->tm_min = localTime.wMinute;
    local->tm_sec = localTime.wSecond;
    local->tm_isdst = -1;
    return true;
}

int64_t MakeTime64(std::tm* local) {
    return static_cast<int64_t>(_mktime64(local));
}

}  // namespace vek::platform
