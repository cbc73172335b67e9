// Local time on Linux: the C library's time-zone database, which follows TZ.
#include <time.h>

#include "archive/platform/localtime.h"

namespace vek::platform {

bool FileTimeToLocalTime(int64_t fileTime, std::tm* local) {
    constexpr int64_t kUnitsPerSecond = 10000000;
    constexpr int64_t kEpochDifference = 11644473600LL;
    int64_t units = fileTime;
    int64_t seconds = units / kUnitsPerSecond;
    if (units % kUnitsPerSecond < 0) {
        --seconds;
    }
    time_t unixSeconds = static_cast<time_t>(seconds - kEpochDifference);
    if (localtime_r(&unixSeconds, local) == nullptr) {
        return false;
    }
    local->tm_isdst = -1;
    return true;
}

int64_t MakeTime64(std::tm* local) {
    return static_cast<int64_t>(mktime(local));
}

}  // namespace vek::platform
