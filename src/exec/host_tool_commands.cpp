#include "exec/host_tool_commands.h"

#include "exec/shell_quote.h"

ShellCommand physicalMemoryCommand() { return {"free -b"}; }

ShellCommand directorySizeCommand(std::string_view path) { return {"du -sL " + bareArgument(path)}; }
