// The one way the library opens an archive by path: a plain file stream, or a stream over the
// whole split set when the file is the first volume of one.
#pragma once

#include "archive/core/streams.h"

// Returns the stream with a reference count of 0 (the caller takes the first reference), or
// null when the file cannot be opened.
IVekInStream* OpenInputStream(const wchar_t* path);

// The split kind (EVekSplitKind) of an open file, from its extension and its first and last
// 22 bytes. Leaves the stream's position wherever the probing left it.
int DetectSplitKind(const wchar_t* path, IVekInStream* first);
