// Entry times: signed Unix seconds (UTC), 0 meaning unknown.
#pragma once

#include <cstdint>

// An MS-DOS date and time (time in the low 16 bits, date in the high 16 bits), read as local
// time.
int64_t DosTimeToUnixTime(uint32_t dos);

// A UTC file time (100-nanosecond units since 1601-01-01), taken through the local time of the
// current time zone.
int64_t FileTimeToUnixTime(int64_t fileTime);
