// The list-file parser on arbitrary text: whatever an administrator's editor
// left in the file, the catalogue that comes out is well formed and reads
// back the same when written out again.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "util/parsers.h"

namespace {
bool hasRemovedCharacter(const std::string& text) {
    return text.find_first_of(" \t\n\r") != std::string::npos;
}

bool looksLikeHeader(const std::string& text) {
    return !text.empty() && text.front() == '[' && text.back() == ']';
}

ProductCatalogue withoutEmptyEntries(const ProductCatalogue& catalogue) {
    ProductCatalogue kept;
    for (const auto& entry : catalogue) {
        if (!entry.empty()) kept.push_back(entry);
    }
    return kept;
}

std::string writeOut(const ProductCatalogue& catalogue) {
    std::string text;
    for (const auto& entry : catalogue) {
        for (const auto& [key, names] : entry) {
            text += "[" + key + "]\n";
            for (const std::string& name : names) text += name + "\n";
        }
    }
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ProductCatalogue catalogue = parseSectionList(text);

    std::size_t lines = 1;
    for (char c : text) lines += c == '\n' ? 1 : 0;
    std::size_t headersAndNames = 0;
    for (const auto& entry : catalogue) {
        fuzzCheck(entry.size() <= 1, "an entry holds at most one key", text);
        ++headersAndNames;
        for (const auto& [key, names] : entry) {
            fuzzCheck(!key.empty() && !hasRemovedCharacter(key), "keys are clean", text);
            fuzzCheck(!names.empty(), "a key is present only with names", text);
            for (const std::string& name : names) {
                fuzzCheck(!name.empty() && !hasRemovedCharacter(name), "names are clean", text);
                fuzzCheck(name.front() != '#', "comments are no names", text);
                fuzzCheck(!looksLikeHeader(name), "headers are no names", text);
            }
            headersAndNames += names.size();
        }
    }
    fuzzCheck(headersAndNames <= lines, "every header and every name is a line of its own", text);

    const ProductCatalogue kept = withoutEmptyEntries(catalogue);
    fuzzCheck(parseSectionList(writeOut(kept)) == kept, "a catalogue written out reads back",
              text);
    return 0;
}
