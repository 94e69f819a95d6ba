#include "util/parsers.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

std::vector<std::string> splitByTab(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t tab = text.find('\t', start);
        if (tab == std::string::npos) tab = text.size();
        if (tab > start) pieces.emplace_back(text, start, tab - start);
        start = tab + 1;
    }
    return pieces;
}

namespace {
bool isRemovedFromListLines(char c) {
    // Carriage returns go too: list files edited on Windows must not turn
    // into an empty catalogue without a word.
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
}  // namespace

ProductCatalogue parseSectionList(const std::string& text) {
    ProductCatalogue catalogue;
    std::map<std::string, std::vector<std::string>> current;
    std::string section;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line.erase(std::remove_if(line.begin(), line.end(), isRemovedFromListLines), line.end());
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            if (!section.empty()) catalogue.push_back(std::move(current));
            current.clear();
            section = line.substr(1, line.size() - 2);
            continue;
        }
        if (!section.empty()) current[section].push_back(line);
    }
    if (!current.empty()) catalogue.push_back(std::move(current));
    return catalogue;
}

bool isObjectIdText(std::string_view text) {
    return text.size() == 24 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::optional<std::string> objectIdIn(std::string_view line) {
    constexpr std::string_view opening = "ObjectId('";
    const std::size_t start = line.find(opening);
    if (start == std::string_view::npos) return std::nullopt;
    const std::string_view id = line.substr(start + opening.size(), 24);
    if (!isObjectIdText(id) || line.substr(start + opening.size() + 24, 2) != "')") return std::nullopt;
    return std::string(id);
}

std::string removeNewlines(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    return text;
}

namespace {
enum class NumberReading { read, notANumber, outOfRange };

NumberReading readLeadingNumber(const std::string& text, std::int64_t& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(begin, &end, 10);
    if (end == begin) return NumberReading::notANumber;
    if (errno == ERANGE) return NumberReading::outOfRange;
    value = number;
    return NumberReading::read;
}
}  // namespace

std::optional<std::uint64_t> readWholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::int64_t> readLeadingInt64(std::string_view text) {
    std::int64_t value = 0;
    if (readLeadingNumber(std::string(text), value) != NumberReading::read) return std::nullopt;
    return value;
}

std::int64_t parseLeadingInt64(const std::string& text) {
    std::int64_t value = 0;
    switch (readLeadingNumber(text, value)) {
        case NumberReading::read:
            return value;
        case NumberReading::notANumber:
            throw std::invalid_argument("not a number: \"" + removeNewlines(text) + "\"");
        case NumberReading::outOfRange:
            break;
    }
    throw std::out_of_range("number out of range: \"" + removeNewlines(text) + "\"");
}
