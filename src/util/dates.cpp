#include "util/dates.h"

#include <cstdio>
#include <ctime>
#include <regex>

#include "util/log.h"

bool isValidDate(const std::string& text) {
    static const std::regex datePattern(R"(^\d{4}-\d{2}-\d{2}$)");
    return std::regex_match(text, datePattern);
}

namespace {
// Reads "YYYY-MM-DD HH:MM:SS" field by field. The text may end right after
// any complete field (the rest stay zero) and may go on after the seconds;
// a field with the wrong digits or range, or a wrong separator, fails.
bool readDateTimeFields(const std::string& text, std::tm& fields) {
    struct Field {
        char separatorBefore;
        int digits;
        int minimum;
        int maximum;
        int* target;
    };
    int year = 0;
    const Field layout[] = {
        {'\0', 4, 0, 9999, &year},           {'-', 2, 1, 12, &fields.tm_mon},
        {'-', 2, 1, 31, &fields.tm_mday},    {' ', 2, 0, 23, &fields.tm_hour},
        {':', 2, 0, 59, &fields.tm_min},     {':', 2, 0, 60, &fields.tm_sec},
    };
    std::size_t at = 0;
    bool first = true;
    for (const Field& field : layout) {
        if (!first) {
            if (at == text.size()) break;
            if (text[at] != field.separatorBefore) return false;
            ++at;
        }
        first = false;
        int value = 0;
        for (int i = 0; i < field.digits; ++i, ++at) {
            if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
            value = value * 10 + (text[at] - '0');
        }
        if (value < field.minimum || value > field.maximum) return false;
        *field.target = value;
    }
    fields.tm_year = year - 1900;
    if (fields.tm_mon > 0) fields.tm_mon -= 1;
    return true;
}
}  // namespace

std::int64_t convertToTimestamp(const std::string& text) {
    std::tm fields{};
    if (!readDateTimeFields(text, fields)) {
        writeDiagnostic("Failed to parse date string.\n");
        return 0;
    }
    const std::time_t seconds = timegm(&fields);
    if (seconds == static_cast<std::time_t>(-1)) {
        writeDiagnostic("Failed to convert to timestamp.\n");
        return 0;
    }
    return seconds;
}

std::string formatTime(std::int64_t epochSeconds, const char* pattern) {
    const std::time_t seconds = static_cast<std::time_t>(epochSeconds);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[1024];
    const std::size_t length = std::strftime(text, sizeof text, pattern, &utc);
    return std::string(text, length);
}

namespace {
std::string objectIdOfSecond(std::int64_t epochSeconds, const char* counterDigits) {
    char text[64];
    std::snprintf(text, sizeof text, "%08llx%s",
                  static_cast<unsigned long long>(epochSeconds),
                  counterDigits);
    return text;
}
}  // namespace

std::string makeObjectIdFromTime(std::int64_t epochSeconds) {
    return objectIdOfSecond(epochSeconds, "0000000000000000");
}

std::string makeLastObjectIdOfTime(std::int64_t epochSeconds) {
    return objectIdOfSecond(epochSeconds, "ffffffffffffffff");
}

std::string convertIsoDateTime(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        if (c == 'T') c = ' ';
    }
    const std::size_t dot = result.find('.');
    if (dot != std::string::npos) result.erase(dot);
    return result;
}
