#include "log_capture.h"

#include <gtest/gtest.h>

#include "log_lines.h"

StdoutCapture::StdoutCapture() { ::testing::internal::CaptureStdout(); }

StdoutCapture::~StdoutCapture() { text(); }

const std::string& StdoutCapture::text() {
    if (capturing_) {
        text_ = ::testing::internal::GetCapturedStdout();
        capturing_ = false;
    }
    return text_;
}

std::vector<LoggedLine> StdoutCapture::lines() {
    std::vector<LoggedLine> lines;
    for (const qortest::LogLine& line : qortest::parseLogLines(text())) {
        lines.push_back({line.function, line.message});
        for (const std::string& following : line.following) lines.push_back({"", following});
    }
    return lines;
}

std::vector<std::string> StdoutCapture::messages() {
    std::vector<std::string> messages;
    for (const LoggedLine& line : lines()) messages.push_back(line.message);
    return messages;
}
