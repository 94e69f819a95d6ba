// The option scan and the reading and checking of the run parameters on any
// argument vector (arguments separated by NUL bytes in the input): no crash,
// and a vector that passes the checks leaves values the migration can use.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "fuzz_check.h"

namespace {
std::vector<std::string> splitAtNul(const std::string& text) {
    std::vector<std::string> arguments;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\0', start);
        arguments.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return arguments;
        start = end + 1;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> arguments = splitAtNul(input);
    const CommandLine commandLine = scanArguments(arguments);
    fuzzCheck(commandLine.command == arguments.front(), "the first argument is the command",
              input);

    ConnectionSettings settings{"n", "nu", "np", "c", "cu", "cp", "r", "ru", "rp"};
    applyOverrides(commandLine, settings);
    fuzzCheck(!settings.nosqlIp.empty() && !settings.olapPassword.empty(),
              "an override never blanks a configured value", input);
    fuzzCheck(settings.rdbHost == "r", "no option reaches the PostgreSQL host", input);

    std::optional<RunParameters> parameters = readRunParameters(commandLine);
    if (!parameters) return 0;
    fuzzCheck(parameters->memoryLimitSet == !commandLine.memoryLimit.empty(),
              "the memory guard is on exactly when -ml has a value", input);
    if (passesDateCheck(*parameters) && !parameters->startTime.empty()) {
        fuzzCheck(!parameters->endTime.empty(), "a range has both ends", input);
    }
    if (passesTuningCheck(*parameters)) {
        fuzzCheck(parameters->diskLimit >= 0 && parameters->diskLimit <= 100,
                  "disk limit within 0 ... 100", input);
        fuzzCheck(parameters->batchCount >= 1 && parameters->batchCount <= 300,
                  "batch count within 1 ... 300", input);
        fuzzCheck(parameters->waitTime >= 1, "wait time at least 1", input);
        fuzzCheck(parameters->interval >= 1, "interval at least 1", input);
        fuzzCheck(!parameters->memoryLimitSet ||
                      (parameters->memoryLimit >= 1 && parameters->memoryLimit <= 100),
                  "memory limit within 1 ... 100 when set", input);
    }
    return 0;
}
