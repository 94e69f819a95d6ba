#pragma once
// The host's own tools, which need no login.

#include <string_view>

#include "exec/command_text.h"

// Each on its own, never piped into awk: dash has no pipefail, and a
// pipeline's status would be awk's, hiding a failure of the program asked.
ShellCommand physicalMemoryCommand();
// "du -sL PATH": the size in 1024-byte blocks, then a TAB and the path.
ShellCommand directorySizeCommand(std::string_view path);
