#include "pass_messages.h"

#include <regex>

namespace qortest {

std::vector<std::string> passMessages(const RunResult& result) {
    static const std::regex diskUsage(R"(^Disk Usage : \d+%$)");
    const std::vector<LogLine> lines = result.logs();
    auto from = lines.begin();
    for (auto line = lines.begin(); line != lines.end(); ++line) {
        if (line->function == "setMigrationList") from = line + 1;
    }
    std::vector<std::string> messages;
    for (auto line = from; line != lines.end(); ++line) {
        messages.push_back(std::regex_match(line->message, diskUsage) ? "Disk Usage : N%"
                                                                       : line->message);
        messages.insert(messages.end(), line->following.begin(), line->following.end());
    }
    return messages;
}

}  // namespace qortest
