#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/run_driver.h"
#include "app/settings.h"
#include "exec/child_groups.h"

namespace {
// Any local account can read a process's arguments for as long as it runs,
// so a password typed with -np or -cp is overwritten in place once it has
// been copied, as clickhouse-client does with its own --password. The places
// are those the scan took the values from: a value left out before them
// shifts what the option takes, and the masking with it.
void hidePasswordArguments(char** argv, const std::vector<std::size_t>& positions) {
    for (const std::size_t position : positions) {
        char* value = argv[position + 1];
        const std::size_t length = std::strlen(value);
        std::memset(value, 0, length);
        std::memset(value, '*', std::min<std::size_t>(length, 3));
    }
}
}  // namespace

int main(int argc, char** argv) {
    ignoreClosedReaders();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Asking what the tool is must work on any host, so it is answered
    // before the server's configuration is looked for.
    const CommandLine commandLine = scanArguments(arguments);
    hidePasswordArguments(argv, commandLine.passwordPositions);
    if (commandLine.help) {
        writeHelp();
        return 0;
    }
    if (commandLine.version) {
        std::cout << "qorolapmigrate 1.1.1" << std::endl;
        return 0;
    }

    ConnectionSettings settings = getDbUserInfo();
    if (arguments.empty()) {
        writeUsage();
        return 1;
    }
    applyOverrides(commandLine, settings);
    const std::optional<Invocation> invocation = readInvocation(commandLine);
    if (!invocation) return 1;
    if (!passesDateCheck(invocation->parameters)) return 1;

    const std::string& command = invocation->command;
    if (command == "start" || command == "retry" || command == "repair")
        return runMigration(*invocation, settings);
    if (command == "check") return runCheck(*invocation, settings);
    if (command == "drop") return runDrop(*invocation, settings);
    writeUsage();
    return 1;
}
