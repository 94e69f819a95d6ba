#include "log_capture.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

std::vector<LoggedLine> parseLoggedLines(const std::string& output) {
    static const std::regex logLine(
        R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} - \[LOG\]\[([^:\]]+):\d+\] (.*)$)");
    std::vector<LoggedLine> lines;
    std::istringstream stream(output);
    std::string line;
    while (std::getline(stream, line)) {
        std::smatch match;
        if (std::regex_match(line, match, logLine)) {
            lines.push_back({match[1], match[2]});
        } else {
            lines.push_back({"", line});
        }
    }
    return lines;
}

std::vector<std::string> loggedMessages(const std::string& output) {
    std::vector<std::string> messages;
    for (const LoggedLine& line : parseLoggedLines(output)) messages.push_back(line.message);
    return messages;
}

StdoutCapture::StdoutCapture() { ::testing::internal::CaptureStdout(); }

StdoutCapture::~StdoutCapture() { text(); }

const std::string& StdoutCapture::text() {
    if (capturing_) {
        text_ = ::testing::internal::GetCapturedStdout();
        capturing_ = false;
    }
    return text_;
}
