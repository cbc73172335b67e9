// The two commands of the command line, each returning the process's exit status.
#pragma once

#include "cli/options.h"

namespace cli {

constexpr int kExitSuccess = 0;
constexpr int kExitEntryFailed = 1;
constexpr int kExitCannotOpen = 2;  // also wrong arguments

int RunList(const SOptions& options);
int RunExtract(const SOptions& options);

// Parses the arguments and runs the command they name.
int Run(const std::vector<std::wstring>& arguments);

}  // namespace cli
