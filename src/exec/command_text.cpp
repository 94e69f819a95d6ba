#include "exec/command_text.h"

#include <cstdio>
#include <stdexcept>

std::string fillTemplate(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string text;
    auto value = values.begin();
    std::size_t from = 0;
    std::size_t mark = 0;
    while ((mark = pattern.find('%', mark)) != std::string_view::npos) {
        const bool placeholder =
            mark + 1 < pattern.size() && (pattern[mark + 1] == 's' || pattern[mark + 1] == 'd');
        if (!placeholder) {
            ++mark;
            continue;
        }
        if (value == values.end()) throw std::logic_error("command template needs more values");
        text.append(pattern.substr(from, mark - from));
        text.append(*value++);
        from = mark = mark + 2;
    }
    if (value != values.end()) throw std::logic_error("command template takes fewer values");
    text.append(pattern.substr(from));
    return text;
}

std::string javaScriptString(std::string_view text) {
    std::string literal = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            literal += '\\';
            literal += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            literal += escaped;
        } else {
            literal += c;
        }
    }
    return literal + "\"";
}
