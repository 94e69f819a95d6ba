// The list-file parser on arbitrary text: whatever an editor left in the
// file, keys and names come out clean, and a catalogue written out reads back.

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "util/parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ProductCatalogue catalogue = parseSectionList(text);
    ProductCatalogue kept;
    std::string written;
    for (const auto& entry : catalogue) {
        fuzzCheck(entry.size() <= 1, "an entry holds at most one key", text);
        for (const auto& [key, names] : entry) {
            fuzzCheck(!key.empty() && !names.empty(), "a key comes with names", text);
            written += "[" + key + "]\n";
            for (const std::string& name : names) {
                fuzzCheck(!name.empty() && name.find_first_of(" \t\r\n") == std::string::npos &&
                              name.front() != '#' && !(name.front() == '[' && name.back() == ']'),
                          "names are clean, and no comment or header", text);
                written += name + "\n";
            }
            kept.push_back(entry);
        }
    }
    fuzzCheck(parseSectionList(written) == kept, "a catalogue written out reads back", text);
    return 0;
}
