#pragma once
// What an in-process test made the tool write to standard output.

#include <string>
#include <vector>

// One physical line of output. For a log line, the function named in its
// prefix and the message after it; any other line (the empty line after a
// message that ends in a newline, for one) has an empty function and the
// whole line as its message.
struct LoggedLine {
    std::string function;
    std::string message;
    bool operator==(const LoggedLine&) const = default;
};

// Captures standard output from construction until the first reading.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    const std::string& text();
    std::vector<LoggedLine> lines();
    std::vector<std::string> messages();

private:
    bool capturing_ = true;
    std::string text_;
};
