#pragma once
// Date conversions of the migrations. All in UTC and whole seconds, whatever
// the host's time zone: ranges, ObjectId bounds and logged ranges must mean
// the same instant on every server.

#include <cstdint>
#include <string>

// The whole text is four digits, '-', two digits, '-', two digits.
bool isValidDate(const std::string& text);

// "YYYY-MM-DD HH:MM:SS" (a bare date reads as midnight) to epoch seconds;
// 0 with a diagnostic on standard error when the text cannot be read.
std::int64_t convertToTimestamp(const std::string& text);

std::string formatTime(std::int64_t epochSeconds, const char* pattern);

// The smallest ObjectId of a second: 8 hex digits of time, 16 zeros.
std::string makeObjectIdFromTime(std::int64_t epochSeconds);

// The largest ObjectId of a second: 8 hex digits of time, 16 'f'. An
// inclusive upper bound built from it takes in the whole of that second.
std::string makeLastObjectIdOfTime(std::int64_t epochSeconds);

// "2024-05-01T08:15:30.123Z" to "2024-05-01 08:15:30".
std::string convertIsoDateTime(const std::string& text);
