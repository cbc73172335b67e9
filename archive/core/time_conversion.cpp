#include "archive/core/time_conversion.h"

#include <ctime>
#include <limits>

#include "archive/platform/localtime.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970

// What a local-time conversion gave back, or 0 when it failed or left the kept range.
int64_t Checked(int64_t unixSeconds) {
    return unixSeconds > 0 && unixSeconds <= VEK_LATEST_UNIX_TIME ? unixSeconds : 0;
}

}  // namespace

int64_t DosTimeToUnixTime(uint32_t dos) {
    std::tm local{};
    local.tm_sec = static_cast<int>((dos & 0x1F) * 2);
    unsigned minutes = (dos >> 5) & 0x3F;
    local.tm_min = static_cast<int>(minutes > 59 ? 59 : minutes);
    local.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
    local.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
    local.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
    local.tm_year = static_cast<int>(dos >> 25) + 1980 - 1900;
    local.tm_isdst = -1;
    return Checked(vek::platform::MakeTime64(&local));
}

int64_t FileTimeToUnixTime(int64_t fileTime) {
    if (fileTime < 0) {
        return 0;
    }
    int64_t unixSeconds = fileTime / kUnitsPerSecond - kEpochDifference;
    if (Checked(unixSeconds) == 0) {
        return 0;
    }
    std::tm local{};
    if (!vek::platform::FileTimeToLocalTime(fileTime, &local)) {
        return 0;
    }
    return Checked(vek::platform::MakeTime64(&local));
}

bool UnixTimeToFileTime(int64_t unixSeconds, int64_t* fileTime) {
    constexpr int64_t kLatest =
        std::numeric_limits<int64_t>::max() / kUnitsPerSecond - kEpochDifference;
    if (unixSeconds < -kEpochDifference || unixSeconds > kLatest) {
        return false;
    }
    *fileTime = (unixSeconds + kEpochDifference) * kUnitsPerSecond;
    return true;
}
