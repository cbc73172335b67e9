#include "archive/core/time_conversion.h"

#include <ctime>

#include "archive/platform/localtime.h"

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
    return vek::platform::MakeTime64(&local);
}

int64_t FileTimeToUnixTime(int64_t fileTime) {
    std::tm local{};
    if (!vek::platform::FileTimeToLocalTime(fileTime, &local)) {
        return 0;
    }
    return vek::platform::MakeTime64(&local);
}
