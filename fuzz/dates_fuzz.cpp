// The date conversions on arbitrary text and numbers: the date check agrees
// with its plain reading, a time that reads converts back and forth to the
// same second, and ObjectId bounds always carry their second in 24 digits.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "util/dates.h"

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool looksLikeDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!isDigit(text[i])) return false;
    }
    return true;
}

void checkObjectId(const std::string& id, std::int64_t seconds, char counterDigit,
                   const std::string& input) {
    fuzzCheck(id.size() == 24, "an ObjectId has 24 digits", input);
    fuzzCheck(id.find_first_not_of("0123456789abcdef") == std::string::npos,
              "an ObjectId is lowercase hexadecimal", input);
    fuzzCheck(std::strtoll(id.substr(0, 8).c_str(), nullptr, 16) == seconds,
              "the first eight digits are the second", input);
    fuzzCheck(id.substr(8) == std::string(16, counterDigit), "the counter digits are fixed",
              input);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    fuzzCheck(isValidDate(text) == looksLikeDate(text), "the date check reads YYYY-MM-DD", text);

    // 1970 ... 9999: the span in which the written form is the one read.
    const std::int64_t seconds = convertToTimestamp(text);
    if (seconds > 0 && seconds <= 253402300799) {
        const std::string written = formatTime(seconds, "%Y-%m-%d %H:%M:%S");
        fuzzCheck(convertToTimestamp(written) == seconds, "a read time converts back", text);
    }

    std::uint32_t second = 0;
    std::memcpy(&second, data, size < sizeof second ? size : sizeof second);
    checkObjectId(makeObjectIdFromTime(second), second, '0', text);
    checkObjectId(makeLastObjectIdOfTime(second), second, 'f', text);

    const std::string iso = convertIsoDateTime(text);
    fuzzCheck(iso.find_first_of("T.") == std::string::npos, "no 'T' and no '.' remain", text);
    fuzzCheck(iso.size() <= text.size(), "nothing is added", text);
    for (std::size_t i = 0; i < iso.size(); ++i) {
        fuzzCheck(iso[i] == (text[i] == 'T' ? ' ' : text[i]), "the kept head is the input's",
                  text);
    }
    return 0;
}
