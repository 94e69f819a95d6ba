#include "util/log.h"

#include <ctime>
#include <iostream>

std::string getCurrentTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

void writeLog(std::string_view function, int line, std::string_view message) {
    const std::string stamp = getCurrentTime();
    std::cout << stamp << " - [LOG][" << function << ':' << line << "] " << message << '\n';
    std::cout.flush();
}

void writeReportLine(std::string_view text) {
    std::cout << text << '\n';
    std::cout.flush();
}

void writeDiagnostic(std::string_view text) {
    std::cerr << text;
    if (text.empty() || text.back() != '\n') std::cerr << '\n';
    std::cerr.flush();
}
