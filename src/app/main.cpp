#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/run_driver.h"
#include "app/settings.h"

namespace {
// Any local account can read a process's arguments for as long as it runs,
// so a password typed with -np or -cp is overwritten in place once it has
// been copied, as clickhouse-client does with its own --password.
void hidePasswordArguments(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-np") != 0 && std::strcmp(argv[i], "-cp") != 0) continue;
        char* value = argv[++i];
        const std::size_t length = std::strlen(value);
        std::memset(value, 0, length);
        std::memset(value, '*', std::min<std::size_t>(length, 3));
    }
}
}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    hidePasswordArguments(argc, argv);
    // Asking what the tool is must work on any host, so it is answered
    // before the server's configuration is looked for.
    const CommandLine commandLine = scanArguments(arguments);
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
