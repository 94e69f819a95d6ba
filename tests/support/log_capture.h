#pragma once
// Reading back what the tool wrote to the console in a test.

#include <string>
#include <vector>

// One line of standard output. For a log line, the function named in its
// prefix and the message after it; any other line (the empty line after a
// message that ends in a newline, for one) has an empty function and the
// whole line as its message.
struct LoggedLine {
    std::string function;
    std::string message;
    bool operator==(const LoggedLine&) const = default;
};

std::vector<LoggedLine> parseLoggedLines(const std::string& output);

// Just the messages, in order.
std::vector<std::string> loggedMessages(const std::string& output);

// Captures standard output from construction until `lines()` or `text()`.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    const std::string& text();
    std::vector<LoggedLine> lines() { return parseLoggedLines(text()); }
    std::vector<std::string> messages() { return loggedMessages(text()); }

private:
    bool capturing_ = true;
    std::string text_;
};
