// Where an extraction goes when the user did not pick a folder: the automatic target rule and
// the folder named after the archive.
#pragma once

#include <string>

#include "archive/core/entry.h"

// Whether every entry lies below one top-level name: a single entry, or entries that all share
// the part of their name before the first '\' (a top-level file among several entries breaks it;
// names are compared case-sensitively).
bool HasSingleRoot(const SVekEntryList& entries);

// The automatic target rule. base is the folder the caller proposes; when it is empty or not an
// existing folder, the archive's own folder is used. A single-root archive goes directly into
// base; any other into base\<archive base name>, made unique with " (2)", " (3)", ... when that
// folder exists already.
std::wstring GetAutoTargetPath(const std::wstring& base, const std::wstring& archivePath,
                               const SVekEntryList& entries);

// The folder named after the archive: folder\<archive base name>, where an empty folder means the
// archive's own folder.
std::wstring GetFileNameTargetPath(const std::wstring& folder, const std::wstring& archivePath);
