// Local-time conversion of a UTC file time, as the system's time-zone settings give it.
#pragma once

#include <cstdint>
#include <ctime>

namespace vek::platform {

// Breaks a UTC file time (100-nanosecond units since 1601-01-01) into the local calendar time
// of the current time zone. tm_isdst is left at -1 so that mktime decides daylight saving.
bool FileTimeToLocalTime(int64_t fileTime, std::tm* local);

// The standard library's 64-bit local-time conversion.
int64_t MakeTime64(std::tm* local);

}  // namespace vek::platform
