#include "log_lines.h"

#include <cctype>

namespace qortest {
namespace {

bool digitsAt(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return false;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

bool isTimeStamp(std::string_view text) {
    return text.size() >= 19 && digitsAt(text, 0, 4) && text[4] == '-' && digitsAt(text, 5, 2) &&
           text[7] == '-' && digitsAt(text, 8, 2) && text[10] == ' ' && digitsAt(text, 11, 2) &&
           text[13] == ':' && digitsAt(text, 14, 2) && text[16] == ':' && digitsAt(text, 17, 2);
}

std::optional<LogLine> parseOne(std::string_view text) {
    constexpr std::string_view prefix = " - [LOG][";
    if (!isTimeStamp(text) || text.substr(19, prefix.size()) != prefix) return std::nullopt;
    const std::size_t start = 19 + prefix.size();
    const std::size_t close = text.find("] ", start);
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view site = text.substr(start, close - start);
    const std::size_t colon = site.rfind(':');
    if (colon == std::string_view::npos || colon + 1 == site.size() ||
        !digitsAt(site, colon + 1, site.size() - colon - 1)) {
        return std::nullopt;
    }
    LogLine line;
    line.time = std::string(text.substr(0, 19));
    line.function = std::string(site.substr(0, colon));
    line.line = std::stoi(std::string(site.substr(colon + 1)));
    line.message = std::string(text.substr(close + 2));
    return line;
}

}  // namespace

std::vector<LogLine> parseLogLines(std::string_view output) {
    std::vector<LogLine> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string_view::npos) end = output.size();
        const std::string_view physical = output.substr(start, end - start);
        if (auto parsed = parseOne(physical)) {
            lines.push_back(std::move(*parsed));
        } else if (!lines.empty()) {
            lines.back().following.emplace_back(physical);
        }
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> logMessages(std::string_view output) {
    std::vector<std::string> messages;
    for (auto& line : parseLogLines(output)) messages.push_back(std::move(line.message));
    return messages;
}

std::optional<LogLine> findLogLine(std::string_view output, std::string_view message) {
    for (auto& line : parseLogLines(output)) {
        if (line.message == message) return std::move(line);
    }
    return std::nullopt;
}

std::size_t countLogLines(std::string_view output, std::string_view message) {
    std::size_t count = 0;
    for (const auto& line : parseLogLines(output)) count += line.message == message;
    return count;
}

}  // namespace qortest
