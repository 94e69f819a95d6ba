#include "exec/shell_quote.h"

#include <algorithm>

namespace {
bool isAsciiAlphanumeric(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool isPlainCharacter(char c) {
    switch (c) {
        case '_': case '@': case '%': case '+': case '=':
        case ':': case ',': case '.': case '/': case '-':
            return true;
        default:
            return isAsciiAlphanumeric(c);
    }
}

bool isCollectionNameCharacter(char c) {
    return isAsciiAlphanumeric(c) || c == '_';
}

// Inside single quotes the shell takes every byte literally except the
// closing quote itself, so a quote is the only thing to take care of.
std::string escapeSingleQuotes(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (char c : value) {
        if (c == '\'')
            escaped += "'\\''";
        else
            escaped += c;
    }
    return escaped;
}
}  // namespace

bool isPlainValue(std::string_view value) {
    return !value.empty() && std::all_of(value.begin(), value.end(), isPlainCharacter);
}

std::string bareArgument(std::string_view value) {
    if (isPlainValue(value)) return std::string(value);
    return "'" + escapeSingleQuotes(value) + "'";
}

std::string insideSingleQuotes(std::string_view value) { return escapeSingleQuotes(value); }

std::string insideDoubleQuotes(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (char c : value) {
        if (c == '\\' || c == '"' || c == '$' || c == '`') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool isAcceptableCollectionName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), isCollectionNameCharacter);
}
